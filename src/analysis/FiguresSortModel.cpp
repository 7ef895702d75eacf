#include "FiguresSortModel.h"

#include "FiguresModel.h"

FiguresSortModel::FiguresSortModel(QObject* parent) : QSortFilterProxyModel(parent)
{
    setSortRole(FiguresModel::sortRole);
}

namespace {
// `left` before `right` when the rows marked `last` go last whichever way: the view reverses
// the comparison for a descending order.
bool lastEitherWay(bool leftLast, bool rightLast, Qt::SortOrder order)
{
    const bool ascending = order == Qt::AscendingOrder;
    return leftLast ? !ascending && !rightLast : ascending;
}
} // namespace

bool FiguresSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const bool leftTotal = left.data(FiguresModel::isTotalRole).toBool();
    const bool rightTotal = right.data(FiguresModel::isTotalRole).toBool();
    if (leftTotal || rightTotal)
        return lastEitherWay(leftTotal, rightTotal, sortOrder());
    const QVariant a = left.data(sortRole());
    const QVariant b = right.data(sortRole());
    if (!a.isValid() || !b.isValid())
        return lastEitherWay(!a.isValid(), !b.isValid(), sortOrder());
    if (a.typeId() == QMetaType::QString)
        return a.toString() < b.toString();
    return a.toDouble() < b.toDouble();
}

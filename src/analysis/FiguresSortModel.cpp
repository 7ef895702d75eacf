#include "FiguresSortModel.h"

#include "FiguresModel.h"

FiguresSortModel::FiguresSortModel(QObject* parent) : QSortFilterProxyModel(parent)
{
    setSortRole(FiguresModel::sortRole);
}

bool FiguresSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const bool leftTotal = left.data(FiguresModel::isTotalRole).toBool();
    const bool rightTotal = right.data(FiguresModel::isTotalRole).toBool();
    if (leftTotal || rightTotal) {
        // Last whichever way: the view reverses the comparison for a descending order.
        const bool ascending = sortOrder() == Qt::AscendingOrder;
        return leftTotal ? !ascending && !rightTotal : ascending;
    }
    const QVariant a = left.data(sortRole());
    const QVariant b = right.data(sortRole());
    if (a.typeId() == QMetaType::QString)
        return a.toString() < b.toString();
    return a.toDouble() < b.toDouble();
}

#pragma once

#include <QSortFilterProxyModel>

// Sorts the per-source table by the numbers behind its texts, and keeps the totals row last
// in either order.
class FiguresSortModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit FiguresSortModel(QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

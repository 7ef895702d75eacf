#pragma once

#include <QSortFilterProxyModel>

// Sorts the per-source table by the numbers behind its texts, and keeps the totals row last
// in either order, and the rows with nothing in the column ("—") after every number in
// either order: a source without a spend never ranks as the cheapest nor as the dearest.
class FiguresSortModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit FiguresSortModel(QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

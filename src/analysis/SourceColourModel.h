#pragma once

#include <QColor>
#include <QHash>
#include <QIdentityProxyModel>

// The per-source table with the chart's colour of a source beside its name (column 0), so
// that the table reads as the chart's legend. Rows are those of the model below.
class SourceColourModel : public QIdentityProxyModel
{
    Q_OBJECT

public:
    using QIdentityProxyModel::QIdentityProxyModel;

    // Colours by row of the model below; the rows not given have none.
    void setColours(const QHash<int, QColor>& colours);
    QColor colour(int row) const { return m_colours.value(row); }

    QVariant data(const QModelIndex& index, int role) const override;

private:
    QHash<int, QColor> m_colours;
};

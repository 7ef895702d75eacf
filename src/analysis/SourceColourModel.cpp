#include "SourceColourModel.h"

void SourceColourModel::setColours(const QHash<int, QColor>& colours)
{
    if (colours == m_colours)
        return;
    m_colours = colours;
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}

QVariant SourceColourModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::DecorationRole && index.isValid() && index.column() == 0) {
        const QColor colour = m_colours.value(index.row());
        if (colour.isValid())
            return colour;
    }
    return QIdentityProxyModel::data(index, role);
}

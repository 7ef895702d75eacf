#include "FiguresModel.h"

#include "AdAnalysis.h"
#include "AnalysisExport.h"

#include <QFont>

namespace {
// Nothing is no number: an invalid value, which the sorting puts after every number.
template <typename T> QVariant number(std::optional<T> value)
{
    return value ? QVariant(double(*value)) : QVariant();
}
} // namespace

void FiguresModel::setAnalysis(const AdAnalysis& analysis)
{
    beginResetModel();
    m_rows = analysis.rows();
    m_rows << analysis.total();
    endResetModel();
}

const SourceFigures& FiguresModel::figures(int row) const
{
    return m_rows.at(row);
}

int FiguresModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FiguresModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(AnalysisExport::headings().size());
}

QVariant FiguresModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const SourceFigures& f = m_rows.at(index.row());
    const bool total = index.row() == m_rows.size() - 1;
    switch (role) {
    case Qt::DisplayRole:
        return AnalysisExport::cells(f).value(index.column());
    case Qt::TextAlignmentRole:
        return int((index.column() == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    case Qt::FontRole: {
        if (!total)
            return {};
        QFont font;
        font.setBold(true);
        return font;
    }
    case isTotalRole:
        return total;
    case sortRole:
        switch (index.column()) {
        case 0:
            return f.name.toCaseFolded();
        case 1:
            return double(f.calls);
        case 2:
            return double(f.booked);
        case 3:
            return number(f.rate());
        case 4:
            return double(f.previousCalls);
        case 5:
            return double(f.previousBooked);
        case 6:
            return number(SourceFigures::change(f.calls, f.previousCalls));
        case 7:
            return number(SourceFigures::change(f.booked, f.previousBooked));
        case 8:
            return number(f.spend);
        case 9:
            return number(f.costPerCall());
        case 10:
            return number(f.costPerBooking());
        }
        return {};
    default:
        return {};
    }
}

QVariant FiguresModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        // Two lines a heading, so that the columns stay as narrow as their numbers.
        QString heading = AnalysisExport::headings().value(section);
        if (heading.contains(QStringLiteral(", ")))
            heading.replace(QStringLiteral(", "), QStringLiteral(",\n"));
        else if (heading.contains(u' '))
            heading[heading.indexOf(u' ')] = u'\n';
        return heading;
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

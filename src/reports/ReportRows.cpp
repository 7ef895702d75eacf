#include "ReportRows.h"

#include "ReportLayout.h"

#include <QtNumeric>
#include <limits>

ReportRows::ReportRows(const QAbstractItemModel& model) : m_model(model) {}

int ReportRows::column(const QString& field) const
{
    for (int c = 0; c < m_model.columnCount(); ++c)
        if (m_model.headerData(c, Qt::Horizontal).toString().compare(field, Qt::CaseInsensitive) ==
            0)
            return c;
    return -1;
}

QVariant ReportRows::value(int row, int column) const
{
    if (row < 0 || row >= m_model.rowCount() || column < 0 || column >= m_model.columnCount())
        return {};
    return m_model.index(row, column).data(Qt::DisplayRole);
}

qint64 ReportRows::sum(const QString& field) const
{
    const int c = column(field);
    qint64 total = 0;
    for (int row = 0; row < count(); ++row) {
        const qint64 cell = value(row, c).toLongLong();
        // A total beyond the 64-bit integers stays at their nearest end.
        if (qAddOverflow(total, cell, &total))
            total =
                cell < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    }
    return total;
}

QStringList ReportRows::missingFields(const ReportLayout& layout) const
{
    QStringList missing;
    for (const auto& section : layout.sections())
        for (const auto& control : section->controls())
            if (control->kind() != ReportControl::Kind::Label && column(control->field()) < 0 &&
                !missing.contains(control->field(), Qt::CaseInsensitive))
                missing << control->field();
    return missing;
}

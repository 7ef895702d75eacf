#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <QStringList>
#include <QVariant>

class ReportLayout;

// Read access to the rows a report prints: any table model whose horizontal headers name its
// columns (a RowSet, or a plain model in tests). Field names match without regard to case.
class ReportRows
{
public:
    explicit ReportRows(const QAbstractItemModel& model);

    int count() const { return m_model.rowCount(); }
    int column(const QString& field) const;
    QVariant value(int row, int column) const;
    QVariant value(int row, const QString& field) const { return value(row, column(field)); }
    // The sum of a numeric field over all rows.
    qint64 sum(const QString& field) const;

    // The fields the layout's text boxes and functions name that the rows lack.
    QStringList missingFields(const ReportLayout& layout) const;

private:
    const QAbstractItemModel& m_model;
};

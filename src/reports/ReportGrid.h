#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <QStringList>
#include <QVector>

class ReportLayout;

// A report as a plain table, for the file exports: one column per detail text box (left to
// right), the page header's labels as headings, the rows, and the report footer's texts placed
// under the columns they stand over.
class ReportGrid
{
public:
    // False (and errorText()) when the rows lack a field the layout prints.
    // `period` stands in the period label's place (a null text leaves its design caption).
    bool build(const ReportLayout& layout, const QAbstractItemModel& rows,
               const QString& period = QString());
    // A table given as it is, for the exports of views other than the layouts.
    static ReportGrid table(const QString& title, const QString& period,
                            const QStringList& headings, const QVector<QStringList>& rows,
                            const QStringList& totals, const QVector<bool>& numeric);

    QString title() const { return m_title; }
    QString period() const { return m_period; }
    int columnCount() const { return int(m_headings.size()); }
    const QStringList& headings() const { return m_headings; }
    const QVector<QStringList>& rows() const { return m_rows; }
    const QStringList& totals() const { return m_totals; }
    // A column whose values are all numbers.
    bool isNumeric(int column) const { return m_numeric.value(column); }
    QString errorText() const { return m_error; }

private:
    QString m_title;
    QString m_period;
    QStringList m_headings;
    QVector<QStringList> m_rows;
    QStringList m_totals;
    QVector<bool> m_numeric;
    QString m_error;
};

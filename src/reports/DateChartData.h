#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QString>
#include <QStringList>

class DataEnv;

// What the diagram draws: one category per date of the by-date rows, with the number of all
// calls and of booked calls.
class DateChartData
{
public:
    // From the rows of the by-date report as the data environment holds them (running the command
    // with its last period if the row set is closed). Leaves the row set as it found it.
    static DateChartData fromEnvironment(DataEnv* env);
    // From any model with the columns Data, Vsego and Zapis.
    static DateChartData fromRows(const QAbstractItemModel& rows);

    // False before any by-date report has run in this process (no period known).
    bool hasPeriod() const { return m_hasPeriod; }
    QStringList categories() const { return m_categories; }
    QList<int> allCalls() const { return m_all; }
    QList<int> bookedCalls() const { return m_booked; }
    int maximum() const;
    // The chart's title: empty when there is something to draw, else what the operator sees.
    QString notice() const;
    QString errorText() const { return m_error; }

private:
    bool m_hasPeriod = false;
    QStringList m_categories;
    QList<int> m_all;
    QList<int> m_booked;
    QString m_error;
};

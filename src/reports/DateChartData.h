#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "ReportPeriod.h"

class DataEnv;

// What the diagram draws: one category per date of the by-date rows, with the number of all
// calls and of booked calls.
class DateChartData
{
public:
    // The by-date report's rows over `period`; without a period, nothing to draw.
    static DateChartData forPeriod(DataEnv* env, const std::optional<ReportPeriod>& period);
    // From any model with the columns Data, Vsego and Zapis.
    static DateChartData fromRows(const QAbstractItemModel& rows);

    // False when no period was given.
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

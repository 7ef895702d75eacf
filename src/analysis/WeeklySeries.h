#pragma once

#include "AdAnalysis.h"
#include "AnalysisPeriod.h"

#include <QColor>
#include <QDate>
#include <QString>
#include <QVector>

// What the weekly chart draws: one series per chosen source (at most six), one point per week
// of the period. A point is the average per day over the days of its week that lie inside the
// period and not after today, so a week cut short by either end of the period (or by today)
// reads on the same scale as a whole one; weeks that start after today have no point.
class WeeklySeries
{
public:
    static constexpr int maxSeries = 6;

    enum class Measure
    {
        Calls,
        Booked
    };

    struct Point
    {
        QDate first; // the first and last day counted
        QDate last;
        qint64 count = 0; // calls or bookings over those days
        int days() const { return int(first.daysTo(last)) + 1; }
        double perDay() const { return double(count) / days(); }
        bool isPartial() const { return days() < 7; }
    };

    struct Series
    {
        QString name;
        QColor colour;
        QVector<Point> points;
    };

    WeeklySeries(const AnalysisPeriod& period, const QDate& today, Measure measure);

    // Adds the series of a source from its weeks as AdAnalysis::weeks() gives them, in the
    // next colour; false (nothing added) once there are maxSeries.
    bool add(const QString& name, const QVector<AdAnalysis::Week>& weeks);
    const QVector<Series>& series() const { return m_series; }

    // The days the chart spans: the period, ending today at the latest; invalid when the
    // period starts after today.
    QDate firstDay() const { return m_period.from(); }
    QDate lastDay() const;
    // What a point's height means, for the chart's heading.
    QString unit() const;

    // The colour of the series at a place (0 first), which the table shows beside the name.
    static QColor colour(int index);

private:
    AnalysisPeriod m_period;
    QDate m_today;
    Measure m_measure;
    QVector<Series> m_series;
};

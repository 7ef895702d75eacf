#include "WeeklySeries.h"

WeeklySeries::WeeklySeries(const AnalysisPeriod& period, const QDate& today, Measure measure)
    : m_period(period), m_today(today), m_measure(measure)
{
}

QDate WeeklySeries::lastDay() const
{
    if (!m_period.isValid() || m_period.from() > m_today)
        return QDate();
    return std::min(m_period.to(), m_today);
}

bool WeeklySeries::add(const QString& name, const QVector<AdAnalysis::Week>& weeks)
{
    if (m_series.size() >= maxSeries)
        return false;
    Series series{name, colour(int(m_series.size())), {}};
    const QDate last = lastDay();
    for (const AdAnalysis::Week& week : weeks) {
        Point point;
        point.first = std::max(week.monday, m_period.from());
        point.last = std::min(week.monday.addDays(6), last);
        if (!last.isValid() || point.first > point.last)
            continue;
        point.count = m_measure == Measure::Calls ? week.calls : week.booked;
        series.points << point;
    }
    m_series << series;
    return true;
}

QString WeeklySeries::unit() const
{
    return m_measure == Measure::Calls ? QStringLiteral("Звонков в день, в среднем за неделю")
                                       : QStringLiteral("Записей в день, в среднем за неделю");
}

QColor WeeklySeries::colour(int index)
{
    // Told apart on screen and on a grey printout alike.
    static const QColor colours[maxSeries]{QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
                                           QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x7f, 0x0e),
                                           QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b)};
    return colours[qBound(0, index, maxSeries - 1)];
}

#include "Period.h"

#include <QtMath>
#include <cmath>

std::optional<double> Period::parse(const QString& text)
{
    const QString trimmed = text.trimmed();
    int digits = 0;
    int commas = 0;
    for (QChar c : trimmed) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            ++digits;
        else if (c == QLatin1Char(','))
            ++commas;
        else
            return std::nullopt;
    }
    if (digits == 0 || commas > 1)
        return std::nullopt;
    QString number = trimmed;
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    if (number.startsWith(QLatin1Char('.')))
        number.prepend(QLatin1Char('0'));
    bool ok = false;
    const double days = number.toDouble(&ok);
    if (!ok || days > maxDays)
        return std::nullopt;
    return days;
}

QDateTime Period::after(const QDate& day, double days)
{
    return shift(day, days, 1);
}

QDateTime Period::before(const QDate& day, double days)
{
    return shift(day, days, -1);
}

QDateTime Period::shift(const QDate& day, double days, int direction)
{
    if (!day.isValid() || !std::isfinite(days) || days < 0 || days > maxDays)
        return {};
    constexpr qint64 secondsPerDay = 24 * 60 * 60;
    const qint64 seconds = qRound64(days * secondsPerDay);
    // Whole days move the calendar date, the rest is the time of day: daylight-saving
    // changes do not shift the result.
    const qint64 wholeDays = seconds / secondsPerDay;
    const int rest = int(seconds % secondsPerDay);
    if (direction > 0)
        return QDateTime(day.addDays(wholeDays), QTime(0, 0).addSecs(rest));
    if (rest == 0)
        return QDateTime(day.addDays(-wholeDays), QTime(0, 0));
    return QDateTime(day.addDays(-wholeDays - 1), QTime(0, 0).addSecs(int(secondsPerDay) - rest));
}

#include "Clock.h"

QDateTime Clock::s_fixed;

QDateTime Clock::now()
{
    return s_fixed.isValid() ? s_fixed : QDateTime::currentDateTime();
}

QDate Clock::today()
{
    return now().date();
}

QTime Clock::timeOfDay()
{
    const QTime t = now().time();
    return QTime(t.hour(), t.minute(), t.second());
}

void Clock::setFixed(const QDateTime& moment)
{
    s_fixed = moment;
}

void Clock::advance(qint64 msecs)
{
    if (s_fixed.isValid())
        s_fixed = s_fixed.addMSecs(msecs);
}

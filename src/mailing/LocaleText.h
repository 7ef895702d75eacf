#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// Dates and times as a person reads them: the locale's short date form with a four-digit year
// and the locale's time form with seconds.
class LocaleText
{
public:
    static QString dateFormat(const QLocale& locale = QLocale());
    static QString timeFormat(const QLocale& locale = QLocale());

    static QString date(const QDate& date, const QLocale& locale = QLocale());
    static QString time(const QTime& time, const QLocale& locale = QLocale());
    // The date, followed by the time of day (seconds only when not zero) when the moment is
    // not midnight.
    static QString moment(const QDateTime& moment, const QLocale& locale = QLocale());
};

#pragma once

#include "ProgramLocale.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

// Dates and times as a person reads them: the locale's short date form with a four-digit year
// and the locale's time form with seconds; the program's (Russian) locale unless one is given.
class LocaleText
{
public:
    static QString dateFormat(const QLocale& locale = ProgramLocale::locale());
    static QString timeFormat(const QLocale& locale = ProgramLocale::locale());

    static QString date(const QDate& date, const QLocale& locale = ProgramLocale::locale());
    static QString time(const QTime& time, const QLocale& locale = ProgramLocale::locale());
    // The date, followed by the time of day (seconds only when not zero) when the moment is
    // not midnight.
    static QString moment(const QDateTime& moment, const QLocale& locale = ProgramLocale::locale());
};

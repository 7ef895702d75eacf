#pragma once

#include "ProgramLocale.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

// The announcement of the next dispatch after the settings are stored.
class NextDateMessage
{
public:
    static QString title();
    // "Следующая отправка отчёта <date>, далее отчет отправляется каждые <days>дн.": the date
    // in the locale's (the program's, unless given) short form (with the time of day when it has
    // one), the period as typed.
    static QString text(const QDateTime& nextDate, const QString& daysText,
                        const QLocale& locale = ProgramLocale::locale());
};

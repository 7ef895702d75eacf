#pragma once

#include <QDate>
#include <QPair>
#include <QStringList>

// The journal's choice of period: all calls first, then the analysis's presets (the last of
// them, any dates, takes the two dates as the operator sets them).
class JournalPeriod
{
public:
    static QStringList captions();
    static bool isAllCalls(int index) { return index == 0; }
    static bool isAnyDates(int index);
    // The dates of a choice around `today`; invalid dates for all calls and any dates.
    static QPair<QDate, QDate> dates(int index, const QDate& today);
};

#pragma once

#include "TotalsKind.h"

#include <QString>

// One place where the stored keys or totals of the calls disagree with the calls themselves.
struct TotalsDifference
{
    bool callKeys = false; // a call's stored keys are not those of its names
    // The totals that differ (not for callKeys); for ByHour the name is the weekday and hour.
    TotalsKind::Value kind = TotalsKind::ByDate;
    bool month = false; // a month's total rather than a day's
    QString period;     // the day (the month for a month's total; the call's date for callKeys)
    QString name;       // the folded name the total is kept under
    qint64 storedCalls = 0;
    qint64 storedBooked = 0;
    qint64 countedCalls = 0;
    qint64 countedBooked = 0;

    // callKeys only: the call, its two names, and the folded names its stored keys stand for
    // and those its names fold to ("service / source").
    qint64 call = 0;
    QString names;
    QString storedKeys;
    QString expectedKeys;
};

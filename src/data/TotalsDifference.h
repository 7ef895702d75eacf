#pragma once

#include <QString>

// One place where the stored keys or totals of the calls disagree with the calls themselves.
struct TotalsDifference
{
    enum class Kind
    {
        CallKeys, // a call's stored keys are not those of its names
        BySource,
        ByService,
        InternetByService,
        ByDate,
        ByHour // name: the weekday (1 Monday) times 100 plus the hour (24: no time)
    };

    Kind kind = Kind::ByDate;
    bool month = false; // a month's total rather than a day's
    QString period;     // the day (the month for a month's total; the call's date for CallKeys)
    QString name;       // the folded name the total is kept under
    qint64 storedCalls = 0;
    qint64 storedBooked = 0;
    qint64 countedCalls = 0;
    qint64 countedBooked = 0;

    // CallKeys only: the call, its two names, and the folded names its stored keys stand for
    // and those its names fold to ("service / source").
    qint64 call = 0;
    QString names;
    QString storedKeys;
    QString expectedKeys;
};

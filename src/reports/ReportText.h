#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

// How report values read on paper, in files and in the period label.
class ReportText
{
public:
    // The program's short date format (Russian, whatever the process locale), always with a
    // four-digit year.
    static QString dateFormat();
    static QString date(const QDate& date);
    // A date with its time of day (hours and minutes) when the time is not midnight.
    static QString moment(const QDateTime& moment);
    // Numbers as integers, dates as dates, text unchanged; null prints empty.
    static QString value(const QVariant& value);
    static bool isNumber(const QVariant& value);
};

#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

// The dispatch period: a decimal number of days written with a decimal comma ("7", "1,5").
// A fraction is that part of a day, so a date moved by a period can carry a time of day.
class Period
{
public:
    // Longest period accepted (about a hundred years).
    static constexpr double maxDays = 36525.0;

    // Digits with at most one comma and at least one digit; nothing for "", ",", "1,,2",
    // blanks inside, other characters or more than maxDays.
    static std::optional<double> parse(const QString& text);

    // Midnight of `day` moved by `days` forward (after) or back (before), to the second.
    // Invalid for a negative, non-finite or too long period.
    static QDateTime after(const QDate& day, double days);
    static QDateTime before(const QDate& day, double days);

private:
    static QDateTime shift(const QDate& day, double days, int direction);
};

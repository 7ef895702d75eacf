#pragma once

#include "Outcome.h"

#include <QDate>
#include <QString>
#include <optional>

// Amounts of money as whole kopecks (never floating point): reading what a person typed,
// writing them for people and for machines, and the arithmetic of the analysis. Every
// division rounds half away from zero, computed on integers.
class Money
{
public:
    // The largest amount taken: 9 999 999 999 999,99 roubles.
    static constexpr qint64 maxKopecks = 999999999999999;

    // Roubles with up to two decimals after a comma or a point, digits grouped by blanks
    // (also non-breaking ones) or not: "15 000,50", "15000.50", "15000". Nothing (and the
    // reason, in words for the operator) for a negative, non-numeric or too large amount.
    static Outcome<qint64> parse(const QString& text);

    // "1234.50": the machine form (JSON, the command line's input).
    static QString plain(qint64 kopecks);
    // "1 234,50" with non-breaking blanks between groups: the form people read.
    static QString display(qint64 kopecks);

    // numerator / denominator rounded half away from zero; nothing when the denominator is 0.
    static std::optional<qint64> divide(qint64 numerator, qint64 denominator);

    // A month's spend in proportion to the days of [from, to] it covers, for each month given
    // as (first day of the month, kopecks): the exact sum of kopecks * covered days / days of
    // the month over the months, rounded once, half away from zero.
    struct MonthAmount
    {
        QDate month;
        qint64 kopecks = 0;
    };
    static qint64 prorate(const QList<MonthAmount>& months, const QDate& from, const QDate& to);
};

#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// A period of the advertising analysis: two dates, both included, the calendar unit it was
// chosen as (a week, a month, a year, or just days), and the period it is compared with. The
// presets are calendar periods around a given day; weeks start on Monday; this week, this month
// and this year run to that day.
class AnalysisPeriod
{
public:
    enum class Preset
    {
        ThisWeek,
        LastWeek,
        ThisMonth,
        LastMonth,
        Last30Days,
        ThisYear,
        AnyDates
    };
    enum class Unit
    {
        Days,
        Week,
        Month,
        Year
    };
    // What the period is compared with:
    // - PreviousSpan: the same number of days ending the day before it;
    // - PreviousUnit: the same days of the week, month or year before (the same day numbers,
    //   clamped to a shorter month's end; whole months against whole months); for a period of
    //   days, the previous span;
    // - PreviousYear: the same days a year before (a week: 52 weeks before, the same weekdays).
    enum class Comparison
    {
        PreviousSpan,
        PreviousUnit,
        PreviousYear
    };

    AnalysisPeriod() = default;
    AnalysisPeriod(const QDate& from, const QDate& to, Unit unit = Unit::Days,
                   Comparison comparison = Comparison::PreviousSpan)
        : m_from(from), m_to(to), m_unit(unit), m_comparison(comparison)
    {
    }
    // The preset's period around `today` (AnyDates: today alone), compared as it is usually
    // read: the open and the closed weeks, months and years with the previous unit, the last
    // 30 days and any dates with the previous span.
    static AnalysisPeriod preset(Preset preset, const QDate& today);
    // The presets in the order offered, and their captions.
    static QList<Preset> presets();
    static QString caption(Preset preset);
    // The unit a preset is made of (AnyDates, Last30Days: days).
    static Unit unit(Preset preset);
    // The comparisons in the order offered, their captions and their command-line names
    // ("previous-span", "previous-unit", "previous-year").
    static QList<Comparison> comparisons();
    static QString caption(Comparison comparison);
    static QString name(Comparison comparison);
    // The Monday of the week of `date`.
    static QDate monday(const QDate& date);

    QDate from() const { return m_from; }
    QDate to() const { return m_to; }
    Unit unit() const { return m_unit; }
    bool isValid() const { return m_from.isValid() && m_to.isValid() && m_from <= m_to; }
    qint64 days() const { return isValid() ? m_from.daysTo(m_to) + 1 : 0; }
    // The same dates compared otherwise.
    AnalysisPeriod comparedWith(Comparison comparison) const;
    // The comparison applied: PreviousUnit of a period of days is its PreviousSpan.
    Comparison comparison() const;
    // The period compared with.
    AnalysisPeriod previous() const;
    // "01.12.2026 - 31.12.2026".
    QString text() const;
    // What the period is compared with, in words: "те же дни прошлого месяца".
    QString comparisonText() const;

private:
    // The period `months` months earlier: from and to on the same day numbers (clamped to the
    // month's end), whole months onto whole months.
    AnalysisPeriod monthsBefore(int months) const;
    bool isWholeMonths() const;
    bool isWholeUnit() const;

    QDate m_from;
    QDate m_to;
    Unit m_unit = Unit::Days;
    Comparison m_comparison = Comparison::PreviousSpan;
};

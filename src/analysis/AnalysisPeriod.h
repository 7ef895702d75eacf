#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// A period of the advertising analysis: two dates, both included, and the period of the same
// length immediately before it. The presets are calendar periods around a given day; weeks
// start on Monday; this week, this month and this year run to their last day.
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

    AnalysisPeriod() = default;
    AnalysisPeriod(const QDate& from, const QDate& to) : m_from(from), m_to(to) {}
    // The preset's period around `today` (AnyDates: today alone).
    static AnalysisPeriod preset(Preset preset, const QDate& today);
    // The presets in the order offered, and their captions.
    static QList<Preset> presets();
    static QString caption(Preset preset);
    // The Monday of the week of `date`.
    static QDate monday(const QDate& date);

    QDate from() const { return m_from; }
    QDate to() const { return m_to; }
    bool isValid() const { return m_from.isValid() && m_to.isValid() && m_from <= m_to; }
    qint64 days() const { return isValid() ? m_from.daysTo(m_to) + 1 : 0; }
    // The same number of days ending the day before `from`.
    AnalysisPeriod previous() const;
    // "01.12.2026 - 31.12.2026".
    QString text() const;

private:
    QDate m_from;
    QDate m_to;
};

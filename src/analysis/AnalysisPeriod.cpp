#include "AnalysisPeriod.h"

#include "ReportText.h"

#include <QList>

AnalysisPeriod AnalysisPeriod::preset(Preset preset, const QDate& today)
{
    const QDate week = monday(today);
    const QDate month(today.year(), today.month(), 1);
    const Unit of = unit(preset);
    const Comparison comparison =
        of == Unit::Days ? Comparison::PreviousSpan : Comparison::PreviousUnit;
    switch (preset) {
    case Preset::ThisWeek:
        return {week, today, of, comparison};
    case Preset::LastWeek:
        return {week.addDays(-7), week.addDays(-1), of, comparison};
    case Preset::ThisMonth:
        return {month, today, of, comparison};
    case Preset::LastMonth:
        return {month.addMonths(-1), month.addDays(-1), of, comparison};
    case Preset::Last30Days:
        return {today.addDays(-29), today, of, comparison};
    case Preset::ThisYear:
        return {QDate(today.year(), 1, 1), today, of, comparison};
    case Preset::AnyDates:
        break;
    }
    return {today, today};
}

AnalysisPeriod::Unit AnalysisPeriod::unit(Preset preset)
{
    switch (preset) {
    case Preset::ThisWeek:
    case Preset::LastWeek:
        return Unit::Week;
    case Preset::ThisMonth:
    case Preset::LastMonth:
        return Unit::Month;
    case Preset::ThisYear:
        return Unit::Year;
    case Preset::Last30Days:
    case Preset::AnyDates:
        break;
    }
    return Unit::Days;
}

QList<AnalysisPeriod::Preset> AnalysisPeriod::presets()
{
    return {Preset::ThisWeek,   Preset::LastWeek, Preset::ThisMonth, Preset::LastMonth,
            Preset::Last30Days, Preset::ThisYear, Preset::AnyDates};
}

QString AnalysisPeriod::caption(Preset preset)
{
    switch (preset) {
    case Preset::ThisWeek:
        return QStringLiteral("Эта неделя");
    case Preset::LastWeek:
        return QStringLiteral("Прошлая неделя");
    case Preset::ThisMonth:
        return QStringLiteral("Этот месяц");
    case Preset::LastMonth:
        return QStringLiteral("Прошлый месяц");
    case Preset::Last30Days:
        return QStringLiteral("Последние 30 дней");
    case Preset::ThisYear:
        return QStringLiteral("Этот год");
    case Preset::AnyDates:
        break;
    }
    return QStringLiteral("Любые даты");
}

QList<AnalysisPeriod::Comparison> AnalysisPeriod::comparisons()
{
    return {Comparison::PreviousSpan, Comparison::PreviousUnit, Comparison::PreviousYear};
}

QString AnalysisPeriod::caption(Comparison comparison)
{
    switch (comparison) {
    case Comparison::PreviousSpan:
        return QStringLiteral("Предыдущие дни");
    case Comparison::PreviousUnit:
        return QStringLiteral("Прошлая неделя, месяц, год");
    case Comparison::PreviousYear:
        break;
    }
    return QStringLiteral("Прошлый год");
}

QString AnalysisPeriod::name(Comparison comparison)
{
    switch (comparison) {
    case Comparison::PreviousSpan:
        return QStringLiteral("previous-span");
    case Comparison::PreviousUnit:
        return QStringLiteral("previous-unit");
    case Comparison::PreviousYear:
        break;
    }
    return QStringLiteral("previous-year");
}

QDate AnalysisPeriod::monday(const QDate& date)
{
    return date.addDays(1 - date.dayOfWeek());
}

AnalysisPeriod AnalysisPeriod::comparedWith(Comparison comparison) const
{
    return {m_from, m_to, m_unit, comparison};
}

AnalysisPeriod::Comparison AnalysisPeriod::comparison() const
{
    if (m_comparison == Comparison::PreviousUnit && m_unit == Unit::Days)
        return Comparison::PreviousSpan;
    return m_comparison;
}

bool AnalysisPeriod::isWholeMonths() const
{
    return m_from.day() == 1 && m_to.day() == m_to.daysInMonth();
}

bool AnalysisPeriod::isWholeUnit() const
{
    switch (m_unit) {
    case Unit::Week:
        return m_from.dayOfWeek() == 1 && days() == 7;
    case Unit::Month:
        return isWholeMonths() && m_from.month() == m_to.month() && m_from.year() == m_to.year();
    case Unit::Year:
        return m_from == QDate(m_from.year(), 1, 1) && m_to == QDate(m_from.year(), 12, 31);
    case Unit::Days:
        break;
    }
    return false;
}

AnalysisPeriod AnalysisPeriod::monthsBefore(int months) const
{
    // QDate::addMonths keeps the day number, or takes the month's last day when it is shorter.
    const QDate to = m_to.addMonths(-months);
    return {m_from.addMonths(-months),
            isWholeMonths() ? QDate(to.year(), to.month(), to.daysInMonth()) : to};
}

AnalysisPeriod AnalysisPeriod::previous() const
{
    if (!isValid())
        return {};
    switch (comparison()) {
    case Comparison::PreviousSpan:
        break;
    case Comparison::PreviousUnit:
        if (m_unit == Unit::Week)
            return {m_from.addDays(-7), m_to.addDays(-7)};
        return monthsBefore(m_unit == Unit::Month ? 1 : 12);
    case Comparison::PreviousYear:
        if (m_unit == Unit::Week)
            return {m_from.addDays(-364), m_to.addDays(-364)};
        return monthsBefore(12);
    }
    return {m_from.addDays(-days()), m_from.addDays(-1)};
}

QString AnalysisPeriod::text() const
{
    return QStringLiteral("%1 - %2").arg(ReportText::date(m_from), ReportText::date(m_to));
}

QString AnalysisPeriod::comparisonText() const
{
    const bool whole = isWholeUnit();
    switch (comparison()) {
    case Comparison::PreviousSpan:
        break;
    case Comparison::PreviousUnit:
        if (m_unit == Unit::Week)
            return whole ? QStringLiteral("прошлая неделя")
                         : QStringLiteral("те же дни прошлой недели");
        if (m_unit == Unit::Month)
            return whole ? QStringLiteral("прошлый месяц")
                         : QStringLiteral("те же дни прошлого месяца");
        return whole ? QStringLiteral("прошлый год") : QStringLiteral("те же дни прошлого года");
    case Comparison::PreviousYear:
        if (m_unit == Unit::Week)
            return QStringLiteral("те же дни недели 52 недели назад");
        return whole && m_unit == Unit::Month ? QStringLiteral("тот же месяц прошлого года")
                                              : QStringLiteral("те же дни прошлого года");
    }
    return QStringLiteral("столько же дней перед периодом");
}

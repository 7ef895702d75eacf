#include "AnalysisPeriod.h"

#include <QList>
#include <QLocale>

AnalysisPeriod AnalysisPeriod::preset(Preset preset, const QDate& today)
{
    const QDate week = monday(today);
    const QDate month(today.year(), today.month(), 1);
    switch (preset) {
    case Preset::ThisWeek:
        return {week, week.addDays(6)};
    case Preset::LastWeek:
        return {week.addDays(-7), week.addDays(-1)};
    case Preset::ThisMonth:
        return {month, month.addMonths(1).addDays(-1)};
    case Preset::LastMonth:
        return {month.addMonths(-1), month.addDays(-1)};
    case Preset::Last30Days:
        return {today.addDays(-29), today};
    case Preset::ThisYear:
        return {QDate(today.year(), 1, 1), QDate(today.year(), 12, 31)};
    case Preset::AnyDates:
        break;
    }
    return {today, today};
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

QDate AnalysisPeriod::monday(const QDate& date)
{
    return date.addDays(1 - date.dayOfWeek());
}

AnalysisPeriod AnalysisPeriod::previous() const
{
    if (!isValid())
        return {};
    return {m_from.addDays(-days()), m_from.addDays(-1)};
}

QString AnalysisPeriod::text() const
{
    const QLocale locale;
    return QStringLiteral("%1 - %2").arg(locale.toString(m_from, "dd.MM.yyyy"),
                                         locale.toString(m_to, "dd.MM.yyyy"));
}

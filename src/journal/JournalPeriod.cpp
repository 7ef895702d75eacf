#include "JournalPeriod.h"

#include "AnalysisPeriod.h"

QStringList JournalPeriod::captions()
{
    QStringList list{QStringLiteral("Все звонки")};
    for (const AnalysisPeriod::Preset preset : AnalysisPeriod::presets())
        list << AnalysisPeriod::caption(preset);
    return list;
}

bool JournalPeriod::isAnyDates(int index)
{
    return index >= 1 &&
           AnalysisPeriod::presets().value(index - 1) == AnalysisPeriod::Preset::AnyDates;
}

QPair<QDate, QDate> JournalPeriod::dates(int index, const QDate& today)
{
    if (isAllCalls(index) || isAnyDates(index) || index > AnalysisPeriod::presets().size())
        return {};
    const AnalysisPeriod period =
        AnalysisPeriod::preset(AnalysisPeriod::presets().at(index - 1), today);
    return {period.from(), period.to()};
}

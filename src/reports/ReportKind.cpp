#include "ReportKind.h"

#include "ReportPeriod.h"

ReportKind::ReportKind(Value value, const QString& name, const QString& command,
                       const QString& layout, int periodRepeats)
    : m_value(value), m_name(name), m_command(command), m_layout(layout),
      m_periodRepeats(periodRepeats)
{
}

const QList<ReportKind>& ReportKind::all()
{
    static const QList<ReportKind> kinds = {
        ReportKind(BySource, "BySource", "ReportkolVoZv", "RepkolVo", 2),
        ReportKind(ByService, "ByService", "ReportKolvoUsl", "ReportKvUsl", 2),
        ReportKind(InternetByService, "InternetByService", "ReportInternet", "ReportInternet", 2),
        ReportKind(ByDate, "ByDate", "ReportDates", "ReportDates", 1),
    };
    return kinds;
}

const ReportKind* ReportKind::find(int kind)
{
    for (const ReportKind& entry : all())
        if (entry.value() == kind)
            return &entry;
    return nullptr;
}

QVariantList ReportKind::arguments(const ReportPeriod& period) const
{
    QVariantList arguments;
    for (int i = 0; i < m_periodRepeats; ++i)
        arguments << period.from() << period.to();
    return arguments;
}

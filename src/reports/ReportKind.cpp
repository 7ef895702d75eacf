#include "ReportKind.h"

#include "ReportLayout.h"
#include "ReportLayouts.h"
#include "ReportPeriod.h"

ReportKind::ReportKind(const Entry& entry)
    : m_value(entry.value), m_cliName(entry.cliName), m_command(entry.command),
      m_periodRepeats(entry.periodRepeats), m_layout(entry.layout), m_design(entry.design),
      m_fileName(entry.fileName), m_menuName(entry.menuName), m_menuCaption(entry.menuCaption),
      m_keyField(entry.keyField), m_callsField(entry.callsField), m_bookedField(entry.bookedField)
{
}

const QList<ReportKind>& ReportKind::all()
{
    static const QList<ReportKind> kinds = {
        ReportKind({BySource, "by-source", "ReportkolVoZv", 2, "RepkolVo", ReportDesigns::repkolVo,
                    "poist.htm", "otchkolzv", QStringLiteral("Звонки по &источнику"), "IName",
                    "Zvonkov", "zapis"}),
        ReportKind({ByService, "by-service", "ReportKolvoUsl", 2, "ReportKvUsl",
                    ReportDesigns::reportKvUsl, "pousl.htm", "zvpoUsl",
                    QStringLiteral("Звонки по &услуге"), "Uname", "Zvonkov", "zapis"}),
        ReportKind({InternetByService, "internet", "ReportInternet", 2, "ReportInternet",
                    ReportDesigns::reportInternet, "point.htm", "interZvon",
                    QStringLiteral("Отчет по звонкам из &интернета"), "Uname", "Zvonkov",
                    "zapis"}),
        ReportKind({ByDate, "by-date", "ReportDates", 1, "ReportDates",
                    ReportDesigns::reportDates, "podates.htm", "podatam",
                    QStringLiteral("Отчет по &датам"), "Data", "Vsego", "Zapis"}),
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

const ReportKind* ReportKind::findByCliName(const QString& cliName)
{
    for (const ReportKind& entry : all())
        if (entry.cliName() == cliName)
            return &entry;
    return nullptr;
}

const ReportKind* ReportKind::findByLayout(const QString& layoutName)
{
    for (const ReportKind& entry : all())
        if (entry.layoutName().compare(layoutName, Qt::CaseInsensitive) == 0)
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

std::unique_ptr<ReportLayout> ReportKind::design() const
{
    return m_design();
}

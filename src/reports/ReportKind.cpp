#include "ReportKind.h"

#include "ReportLayout.h"
#include "ReportLayouts.h"
#include "ReportPeriod.h"

ReportKind::ReportKind(const Entry& entry)
    : m_value(entry.value), m_query(ReportQuery::find(entry.value)), m_cliName(entry.cliName),
      m_summary(entry.summary), m_layout(entry.layout), m_caption(entry.caption),
      m_title(entry.title.isEmpty() ? entry.caption : entry.title), m_design(entry.design),
      m_fileName(entry.fileName), m_menuName(entry.menuName), m_menuCaption(entry.menuCaption),
      m_keyField(entry.keyField), m_callsField(entry.callsField), m_bookedField(entry.bookedField)
{
}

const QList<ReportKind>& ReportKind::all()
{
    static const QList<ReportKind> kinds = {
        ReportKind({BySource, "by-source", "звонки по источникам", "RepkolVo",
                    QStringLiteral("Отчет по кол-ву звонков из разных источников"), QString(),
                    ReportDesigns::repkolVo, "poist.htm", "otchkolzv",
                    QStringLiteral("Звонки по &источнику"), "IName", "Zvonkov", "zapis"}),
        ReportKind({ByService, "by-service", "звонки по услугам", "ReportKvUsl",
                    QStringLiteral("Отчет по кол-ву звонков в зависимости от услуги"),
                    QStringLiteral("Отчет по кол-ву звонков (по услуге)"),
                    ReportDesigns::reportKvUsl, "pousl.htm", "zvpoUsl",
                    QStringLiteral("Звонки по &услуге"), "Uname", "Zvonkov", "zapis"}),
        ReportKind({InternetByService, "internet", "звонки из интернета по услугам",
                    "ReportInternet", QStringLiteral("Отчет по звонкам из интернета"), QString(),
                    ReportDesigns::reportInternet, "point.htm", "interZvon",
                    QStringLiteral("Отчет по звонкам из &интернета"), "Uname", "Zvonkov", "zapis"}),
        ReportKind({ByDate, "by-date", "звонки по датам", "ReportDates",
                    QStringLiteral("Отчет по звонкам (по датам)"), QString(),
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

QStringList ReportKind::cliNames()
{
    QStringList names;
    for (const ReportKind& kind : all())
        names << kind.cliName();
    return names;
}

QStringList ReportKind::fileNames()
{
    QStringList names;
    for (const ReportKind& kind : all())
        names << kind.fileName();
    return names;
}

QString ReportKind::listed(const QStringList& words, const QString& last)
{
    if (words.size() < 2)
        return words.join(QString());
    return words.mid(0, words.size() - 1).join(", ") + ' ' + last + ' ' + words.last();
}

QVariantList ReportKind::arguments(const ReportPeriod& period) const
{
    return m_query->arguments(period.from(), period.to());
}

std::unique_ptr<ReportLayout> ReportKind::design() const
{
    return m_design(*this);
}

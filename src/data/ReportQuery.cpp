#include "ReportQuery.h"

ReportQuery::ReportQuery(TotalsKind::Value kind, const char* command, const char* listTable,
                         const char* nameColumn)
    : m_kind(kind), m_command(command), m_listTable(listTable), m_nameColumn(nameColumn)
{
}

const QList<ReportQuery>& ReportQuery::all()
{
    static const QList<ReportQuery> queries = {
        ReportQuery(TotalsKind::BySource, "ReportkolVoZv", "IName", "IName"),
        ReportQuery(TotalsKind::ByService, "ReportKolvoUsl", "Uslugi", "Uname"),
        ReportQuery(TotalsKind::InternetByService, "ReportInternet", "Uslugi", "Uname"),
        ReportQuery(TotalsKind::ByDate, "ReportDates", "", ""),
    };
    return queries;
}

const ReportQuery* ReportQuery::find(int kind)
{
    for (const ReportQuery& query : all())
        if (query.kind() == kind)
            return &query;
    return nullptr;
}

QVariantList ReportQuery::arguments(const QVariant& from, const QDate& to) const
{
    QVariantList arguments;
    for (int i = 0; i < periodRepeats(); ++i)
        arguments << from << to;
    return arguments;
}

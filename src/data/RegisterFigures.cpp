#include "RegisterFigures.h"

#include "Database.h"
#include "ReportQuery.h"
#include "SqlDialect.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {
Outcome<RegisterFigures> failed(const QSqlQuery& query)
{
    return Outcome<RegisterFigures>::failure(Database::describe(query.lastError()));
}
} // namespace

const QStringList& RegisterFigures::tables()
{
    static const QStringList names{"Base", "Uslugi", "IName", "Rashody", "Izmeneniya"};
    return names;
}

Outcome<RegisterFigures> RegisterFigures::read(const QSqlDatabase& db, const SqlDialect& dialect)
{
    RegisterFigures figures;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const QStringList present = db.tables();
    for (const QString& table : tables()) {
        // A copy of an older layout lacks the later tables: they hold nothing there.
        if (!present.contains(table, Qt::CaseInsensitive)) {
            figures.m_counts.insert(table, 0);
            continue;
        }
        if (!query.exec("SELECT COUNT(*) FROM " + table) || !query.next())
            return failed(query);
        figures.m_counts.insert(table, query.value(0).toLongLong());
    }
    if (!query.exec("SELECT MIN(Data), MAX(Data) FROM Base") || !query.next())
        return failed(query);
    figures.m_first = dialect.dateFromDb(query.value(0)).toDate();
    figures.m_last = dialect.dateFromDb(query.value(1)).toDate();
    const QDate first = figures.m_first.isValid() ? figures.m_first : QDate(2000, 1, 1);
    const QDate last = figures.m_last.isValid() ? figures.m_last : first;
    for (const ReportQuery& report : ReportQuery::all()) {
        if (!query.prepare(dialect.report(report)))
            return failed(query);
        for (const QVariant& argument : report.arguments(first, last))
            query.addBindValue(dialect.toDb(argument));
        if (!query.exec())
            return failed(query);
        const int dateColumn = query.record().indexOf(QStringLiteral("Data"));
        QStringList rows;
        while (query.next()) {
            QStringList cells;
            for (int c = 0; c < query.record().count(); ++c)
                cells << (c == dateColumn ? dialect.dateFromDb(query.value(c)) : query.value(c))
                             .toString();
            rows << cells.join('\t');
        }
        if (query.lastError().isValid())
            return failed(query);
        figures.m_reports.insert(report.command(), rows);
    }
    return figures;
}

QString RegisterFigures::differenceFrom(const RegisterFigures& source) const
{
    for (const QString& table : tables())
        if (m_counts.value(table) != source.m_counts.value(table))
            return QStringLiteral("в таблице %1 %2 строк, а в исходной базе %3")
                .arg(table)
                .arg(m_counts.value(table))
                .arg(source.m_counts.value(table));
    if (m_first != source.m_first || m_last != source.m_last)
        return QStringLiteral("даты звонков не совпадают с исходной базой");
    for (auto report = source.m_reports.begin(); report != source.m_reports.end(); ++report)
        if (m_reports.value(report.key()) != report.value())
            return QStringLiteral("отчёт %1 не совпадает с отчётом по исходной базе")
                .arg(report.key());
    return {};
}

#include "RegisterCopy.h"

#include "DataEnv.h"
#include "ReportQuery.h"
#include "RowSet.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace {
struct ListTable
{
    const char* command;
    const char* table;
    const char* column;
};
const ListTable lists[] = {{"Uslugi", "Uslugi", "Uname"}, {"Istochnik", "IName", "IName"}};

qint64 count(DataEnv& env, const QString& table, bool* ok)
{
    QSqlQuery query(env.database().connection());
    *ok = query.exec("SELECT COUNT(*) FROM " + table) && query.next();
    return *ok ? query.value(0).toLongLong() : -1;
}

// Every row of a row set, each as one line of text.
QStringList rowsOf(RowSet* rows)
{
    QStringList lines;
    for (int r = 0; r < rows->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < rows->columnCount(); ++c)
            cells << rows->value(r, c).toString();
        lines << cells.join('\t');
    }
    return lines;
}
} // namespace

bool RegisterCopy::fail(const QString& error)
{
    m_error = error;
    return false;
}

bool RegisterCopy::run()
{
    m_error.clear();
    m_targetNotEmpty = false;
    if (!m_source.connect())
        return fail(m_source.errorText());
    if (!m_target.connect())
        return fail(m_target.errorText());
    bool ok = false;
    if (count(m_target, "Base", &ok) != 0) {
        m_targetNotEmpty = ok;
        return fail(ok ? QStringLiteral("в базе, куда копируют, уже есть звонки; "
                                        "копия делается только в пустую базу")
                       : Database::describe(m_target.database().connection().lastError()));
    }
    QSqlDatabase db = m_target.database().connection();
    if (!db.transaction())
        return fail(Database::describe(db.lastError()));
    if (!copyLists() || !copyCalls() || !copySpend() || !copyChanges() || !compare()) {
        db.rollback();
        // The row sets read inside the transaction show what is no longer there.
        for (const ListTable& list : lists)
            m_target.rowSet(QStringLiteral("rs") + list.command)->close();
        return false;
    }
    if (!db.commit()) {
        const QString reason = Database::describe(db.lastError());
        db.rollback();
        return fail(reason);
    }
    return true;
}

bool RegisterCopy::copyLists()
{
    for (const ListTable& list : lists) {
        RowSet* from = m_source.bind(list.command);
        if (!from || !from->isOpen())
            return fail(m_source.errorText());
        QSqlQuery clear(m_target.database().connection());
        if (!clear.exec(QStringLiteral("DELETE FROM %1").arg(list.table)))
            return fail(Database::describe(clear.lastError()));
        RowSet* to = m_target.bind(list.command);
        if (!to || !to->open())
            return fail(m_target.errorText());
        for (int r = 0; r < from->rowCount(); ++r)
            if (!to->addRow(list.column, from->value(r, list.column)))
                return fail(to->errorText());
    }
    return true;
}

bool RegisterCopy::copyCalls()
{
    QSqlQuery calls(m_source.database().connection());
    calls.setForwardOnly(true);
    if (!calls.exec("SELECT Data, usluga, Istochnik, Zapis, Vrem, ID FROM Base ORDER BY ID"))
        return fail(Database::describe(calls.lastError()));
    // Into the target's open transaction; the stored values travel as they are.
    QSqlDatabase db = m_target.database().connection();
    std::unique_ptr<CallWriter> writer = m_target.database().dialect().callWriter(db);
    m_calls = 0;
    m_sourceIds.clear();
    QVariantList call;
    while (calls.next()) {
        call = {calls.value(0), calls.value(1), calls.value(2), calls.value(3), calls.value(4)};
        m_sourceIds << calls.value(5).toLongLong();
        if (!writer->add(call))
            return fail(Database::describe(QSqlError(QString(), writer->errorText())));
        ++m_calls;
    }
    if (calls.lastError().isValid())
        return fail(Database::describe(calls.lastError()));
    if (!writer->finish())
        return fail(Database::describe(QSqlError(QString(), writer->errorText())));
    // The copies' keys, in the order of the originals'.
    QSqlQuery copied(db);
    copied.setForwardOnly(true);
    if (!copied.exec("SELECT ID FROM Base ORDER BY ID"))
        return fail(Database::describe(copied.lastError()));
    m_targetIds.clear();
    m_targetIds.reserve(m_sourceIds.size());
    while (copied.next())
        m_targetIds << copied.value(0).toLongLong();
    return true;
}

bool RegisterCopy::copyChanges()
{
    const QString columns = SqlDialect::changeColumns();
    QSqlQuery entries(m_source.database().connection());
    entries.setForwardOnly(true);
    if (!entries.exec(QStringLiteral("SELECT %1 FROM Izmeneniya ORDER BY ID").arg(columns)))
        return fail(Database::describe(entries.lastError()));
    const int count = int(columns.count(',')) + 1;
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    QSqlQuery add(m_target.database().connection());
    if (!add.exec("DELETE FROM Izmeneniya") ||
        !add.prepare(QStringLiteral("INSERT INTO Izmeneniya (%1) VALUES (%2)")
                         .arg(columns, marks.join(", "))))
        return fail(Database::describe(add.lastError()));
    constexpr int callColumn = 2; // Zvonok
    while (entries.next()) {
        for (int i = 0; i < count; ++i)
            add.bindValue(i, entries.value(i));
        // An entry of a call that is still there follows its copy; one of a call removed for
        // good keeps its values but no key (0), which no copied call has.
        const qint64 call = entries.value(callColumn).toLongLong();
        const auto at = std::lower_bound(m_sourceIds.cbegin(), m_sourceIds.cend(), call);
        const bool kept =
            at != m_sourceIds.cend() && *at == call && m_targetIds.size() == m_sourceIds.size();
        add.bindValue(callColumn, kept ? m_targetIds.at(at - m_sourceIds.cbegin()) : qint64(0));
        if (!add.exec())
            return fail(Database::describe(add.lastError()));
    }
    if (entries.lastError().isValid())
        return fail(Database::describe(entries.lastError()));
    return true;
}

bool RegisterCopy::copySpend()
{
    QSqlQuery entries(m_source.database().connection());
    entries.setForwardOnly(true);
    if (!entries.exec(m_source.database().dialect().spendEntries()))
        return fail(Database::describe(entries.lastError()));
    QSqlQuery add(m_target.database().connection());
    if (!add.exec("DELETE FROM Rashody") || !add.prepare(m_target.database().dialect().addSpend()))
        return fail(Database::describe(add.lastError()));
    while (entries.next()) {
        for (int i = 0; i < 3; ++i)
            add.bindValue(i, entries.value(i));
        if (!add.exec())
            return fail(Database::describe(add.lastError()));
    }
    if (entries.lastError().isValid())
        return fail(Database::describe(entries.lastError()));
    return true;
}

bool RegisterCopy::compare()
{
    for (const char* table : {"Base", "Uslugi", "IName", "Rashody", "Izmeneniya"}) {
        bool sourceOk = false;
        bool targetOk = false;
        const qint64 there = count(m_source, table, &sourceOk);
        const qint64 here = count(m_target, table, &targetOk);
        if (!sourceOk || !targetOk || there != here)
            return fail(QStringLiteral("после копирования в таблице %1 %2 строк, а в исходной "
                                       "базе %3; ничего не скопировано")
                            .arg(table)
                            .arg(here)
                            .arg(there));
    }
    QSqlQuery span(m_source.database().connection());
    if (!span.exec("SELECT MIN(Data), MAX(Data) FROM Base") || !span.next())
        return fail(Database::describe(span.lastError()));
    const SqlDialect& dialect = m_source.database().dialect();
    const QDate first = dialect.dateFromDb(span.value(0)).toDate();
    const QDate last = dialect.dateFromDb(span.value(1)).toDate();
    for (const ReportQuery& report : ReportQuery::all()) {
        const QVariantList arguments = first.isValid()
                                           ? report.arguments(first, last)
                                           : report.arguments(QDate(2000, 1, 1), QDate(2000, 1, 1));
        if (!m_source.execute(report.command(), arguments))
            return fail(m_source.errorText());
        if (!m_target.execute(report.command(), arguments))
            return fail(m_target.errorText());
        if (rowsOf(m_source.rowSet(report.rowSetName())) !=
            rowsOf(m_target.rowSet(report.rowSetName())))
            return fail(QStringLiteral("отчёт %1 по копии не совпадает с отчётом по исходной "
                                       "базе; ничего не скопировано")
                            .arg(report.command()));
    }
    return true;
}

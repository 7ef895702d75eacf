#include "RegisterCopy.h"

#include "DataEnv.h"
#include "RowSet.h"

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

// The tables that travel row for row, in the order of their keys; a new one is one line.
struct PlainTable
{
    const char* table;
    QStringList columns;
};
const PlainTable plainTables[] = {{"Rashody", {"Istochnik", "Mes", "Kopeek"}}};

qint64 count(DataEnv& env, const QString& table, bool* ok)
{
    QSqlQuery query(env.database().connection());
    *ok = query.exec("SELECT COUNT(*) FROM " + table) && query.next();
    return *ok ? query.value(0).toLongLong() : -1;
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
    if (!m_replacing && count(m_target, "Base", &ok) != 0) {
        m_targetNotEmpty = ok;
        return fail(ok ? QStringLiteral("в базе, куда копируют, уже есть звонки; "
                                        "копия делается только в пустую базу")
                       : Database::describe(m_target.database().connection().lastError()));
    }
    // Everything is read from one snapshot of the source.
    QSqlDatabase source = m_source.database().connection();
    if (!source.transaction())
        return fail(Database::describe(source.lastError()));
    QSqlQuery snapshot(source);
    const QString isolation = m_source.database().dialect().snapshot();
    if (!isolation.isEmpty() && !snapshot.exec(isolation)) {
        const QString reason = Database::describe(snapshot.lastError());
        source.rollback();
        return fail(reason);
    }
    const bool copied = copyInTransaction();
    source.rollback();
    return copied;
}

bool RegisterCopy::copyInTransaction()
{
    QSqlDatabase db = m_target.database().connection();
    if (!db.transaction())
        return fail(Database::describe(db.lastError()));
    QSqlQuery clear(db);
    bool ok = true;
    if (m_replacing)
        for (const QString& statement : m_target.database().dialect().emptyRegister())
            ok = ok && clear.exec(statement);
    if (!ok)
        fail(Database::describe(clear.lastError()));
    clear.finish();
    if (!ok || !copyLists() || !copyCalls() || !copyRows() || !copyChanges() || !compare()) {
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
        if (!m_source.execute(list.command))
            return fail(m_source.errorText());
        RowSet* from = m_source.rowSet(QStringLiteral("rs") + list.command);
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
    QSqlQuery add(m_target.database().connection());
    if (!add.exec("DELETE FROM Izmeneniya"))
        return fail(Database::describe(add.lastError()));
    // A backup of an older layout has no change log.
    if (!m_source.database().connection().tables().contains("Izmeneniya", Qt::CaseInsensitive))
        return true;
    QSqlQuery entries(m_source.database().connection());
    entries.setForwardOnly(true);
    if (!entries.exec(QStringLiteral("SELECT %1 FROM Izmeneniya ORDER BY ID").arg(columns)))
        return fail(Database::describe(entries.lastError()));
    const int count = int(columns.count(',')) + 1;
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    if (!add.prepare(QStringLiteral("INSERT INTO Izmeneniya (%1) VALUES (%2)")
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

bool RegisterCopy::copyRows()
{
    for (const PlainTable& plain : plainTables) {
        const QString columns = plain.columns.join(", ");
        QSqlQuery rows(m_source.database().connection());
        rows.setForwardOnly(true);
        if (!rows.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY ID").arg(columns, plain.table)))
            return fail(Database::describe(rows.lastError()));
        QStringList marks;
        for (int i = 0; i < plain.columns.size(); ++i)
            marks << QStringLiteral("?");
        QSqlQuery add(m_target.database().connection());
        if (!add.exec(QStringLiteral("DELETE FROM %1").arg(plain.table)) ||
            !add.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                             .arg(plain.table, columns, marks.join(", "))))
            return fail(Database::describe(add.lastError()));
        while (rows.next()) {
            for (int i = 0; i < plain.columns.size(); ++i)
                add.bindValue(i, rows.value(i));
            if (!add.exec())
                return fail(Database::describe(add.lastError()));
        }
        if (rows.lastError().isValid())
            return fail(Database::describe(rows.lastError()));
    }
    return true;
}

bool RegisterCopy::compare()
{
    const Outcome<RegisterFigures> there =
        RegisterFigures::read(m_source.database().connection(), m_source.database().dialect());
    if (!there)
        return fail(there.errorText());
    const Outcome<RegisterFigures> here =
        RegisterFigures::read(m_target.database().connection(), m_target.database().dialect());
    if (!here)
        return fail(here.errorText());
    const QString difference = here.value().differenceFrom(there.value());
    if (!difference.isEmpty())
        return fail(QStringLiteral("после копирования %1; ничего не скопировано").arg(difference));
    m_sourceFigures = there.value();
    return true;
}

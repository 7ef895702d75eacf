#include "PostgresCallWriter.h"

#include "PostgresDialect.h"

#include <QSqlError>

PostgresCallWriter::PostgresCallWriter(const PostgresDialect& dialect, const QSqlDatabase& db)
    : m_dialect(dialect), m_db(db), m_batch(db)
{
    m_ready = runAll(m_dialect.bulkStart()) && m_batch.prepare(m_dialect.bulkInsert(batchRows));
    if (!m_ready && m_error.isEmpty())
        m_error = m_batch.lastError().databaseText();
    m_pending.reserve(batchRows);
}

bool PostgresCallWriter::runAll(const QStringList& statements)
{
    QSqlQuery query(m_db);
    for (const QString& statement : statements) {
        if (!query.exec(statement)) {
            m_error = query.lastError().databaseText();
            return false;
        }
    }
    return true;
}

bool PostgresCallWriter::add(const QVariantList& call)
{
    if (!m_ready)
        return false;
    if (call.size() != 5) {
        m_error = QStringLiteral("неверное число значений");
        return false;
    }
    m_pending.append(call);
    return m_pending.size() < batchRows || flush();
}

bool PostgresCallWriter::flush()
{
    if (m_pending.isEmpty())
        return true;
    QSqlQuery rest(m_db);
    QSqlQuery& query = m_pending.size() == batchRows ? m_batch : rest;
    if (&query == &rest && !rest.prepare(m_dialect.bulkInsert(int(m_pending.size())))) {
        m_error = rest.lastError().databaseText();
        return false;
    }
    int index = 0;
    for (const QVariantList& call : std::as_const(m_pending))
        for (const QVariant& value : call)
            query.bindValue(index++, m_dialect.toDb(value));
    m_pending.clear();
    if (!query.exec()) {
        m_error = query.lastError().databaseText();
        return false;
    }
    return true;
}

bool PostgresCallWriter::finish()
{
    return m_ready && flush() && runAll(m_dialect.bulkFinish());
}

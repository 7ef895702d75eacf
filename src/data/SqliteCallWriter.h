#pragma once

#include "CallWriter.h"

#include <QHash>
#include <QSqlDatabase>

class SqliteDialect;
struct sqlite3;
struct sqlite3_stmt;

// Bulk insertion straight through the engine's own interface: the per-row cost of a generic
// query object would be most of an import's time.
class SqliteCallWriter : public CallWriter
{
public:
    SqliteCallWriter(const SqliteDialect& dialect, const QSqlDatabase& db);
    ~SqliteCallWriter() override;
    SqliteCallWriter(const SqliteCallWriter&) = delete;
    SqliteCallWriter& operator=(const SqliteCallWriter&) = delete;

    bool add(const QVariantList& call) override;
    bool finish() override;

private:
    bool prepare(const QString& sql, sqlite3_stmt** statement);
    bool bind(sqlite3_stmt* statement, int index, const QVariant& value);
    bool keyOf(const QVariant& name, qint64* key);
    bool engineError();

    const SqliteDialect& m_dialect;
    QSqlDatabase m_connection;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_insert = nullptr;
    sqlite3_stmt* m_addKey = nullptr;
    sqlite3_stmt* m_keyOf = nullptr;
    bool m_ready = false;
    bool m_triggersOff = false;
    qint64 m_lastId = 0;
    QHash<QString, qint64> m_keys; // name as given -> key of its folded name
};

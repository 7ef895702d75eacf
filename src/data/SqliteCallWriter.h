#pragma once

#include "CallWriter.h"
#include "Outcome.h"

#include <QHash>
#include <QSqlDatabase>

class SqliteDialect;
struct sqlite3;
struct sqlite3_stmt;

// Bulk insertion straight through the engine's own interface: the per-row cost of a generic
// query object would be most of an import's time. The totals of calls as the program makes them
// (a date, two names, a flag, a time or none) are counted here as they go in, rather than by
// sorting all of them again at the end.
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
    // Counts a call in the new totals; false (and the counting given up) for a call of other
    // values, whose totals the engine then counts.
    bool count(const QVariantList& call, qint64 serviceKey, qint64 sourceKey);
    Outcome<void> insertCounted(const QString& table);

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
    sqlite3_stmt* m_internet = nullptr;
    qint64 m_internetKey = -1; // the key of the Internet source; -1 while there is none
    bool m_counting = true;
    // The calls and bookings of each new total, by kind, key and day (see totalKey()).
    QHash<quint64, std::pair<qint64, qint64>> m_counted;
};

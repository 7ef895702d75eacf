#include "PostgresDialect.h"

#include "PostgresCallWriter.h"
#include "PostgresConnectionOptions.h"
#include "PostgresSchema.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {
constexpr int currentVersion = 3;
} // namespace

PostgresDialect::PostgresDialect(const QString& desk) : m_desk(desk) {}

QString PostgresDialect::driverName() const
{
    return QStringLiteral("QPSQL");
}

QString PostgresDialect::connectOptions(const QMap<QString, QString>& parameters) const
{
    return PostgresConnectionOptions::text(parameters);
}

QString PostgresDialect::lockWait(int msecs) const
{
    // An insert waits only for a table lock (an import's last step); by default, for ever.
    return msecs < 0 ? QStringLiteral("SET lock_timeout TO DEFAULT")
                     : QStringLiteral("SET lock_timeout = %1").arg(msecs);
}

bool PostgresDialect::isLockTimeout(const QSqlError& error) const
{
    return error.nativeErrorCode() == QLatin1String("55P03"); // lock_not_available
}

Outcome<void> PostgresDialect::prepareConnection(QSqlDatabase& db) const
{
    QSqlQuery query(db);
    query.prepare("SELECT set_config('kalvent.desk', CAST(? AS text), false), "
                  "set_config('client_min_messages', 'warning', false)");
    query.addBindValue(m_desk);
    if (!query.exec())
        return failed(query);
    return {};
}

int PostgresDialect::schemaVersion() const
{
    return currentVersion;
}

Outcome<int> PostgresDialect::readVersion(QSqlDatabase& db) const
{
    QSqlQuery query(db);
    Outcome<void> read = run(query, "SELECT to_regclass('kalvent') IS NOT NULL");
    if (!read || !query.next())
        return Outcome<int>::failure(read.errorText());
    if (!query.value(0).toBool())
        return foreignFile;
    read = run(query, "SELECT MAX(Versiya) FROM Kalvent");
    if (!read || !query.next())
        return Outcome<int>::failure(read.errorText());
    return query.value(0).toInt();
}

QStringList PostgresDialect::schema() const
{
    return PostgresSchema::statements(currentVersion, changeLogFunction());
}

QStringList PostgresDialect::upgrade(int fromVersion) const
{
    if (fromVersion >= currentVersion)
        return {};
    return PostgresSchema::upgrade(fromVersion, currentVersion, changeLogFunction());
}

QStringList PostgresDialect::requiredTables(int version) const
{
    return PostgresSchema::tableNames(version);
}

Outcome<bool> PostgresDialect::readRights(QSqlDatabase& db) const
{
    QSqlQuery query(db);
    Outcome<void> read = run(
        query, "SELECT has_table_privilege('uslugi', 'UPDATE') AND "
               "has_table_privilege('rashody', 'INSERT') AND "
               "has_table_privilege('base', 'UPDATE'), to_regprocedure('kv_desk()') IS NOT NULL");
    if (!read || !query.next())
        return Outcome<bool>::failure(read.errorText());
    const bool owner = query.value(0).toBool();
    // The desk the owner bound to this role (see ServerRoles), when there is one.
    if (query.value(1).toBool()) {
        read = run(query, "SELECT set_config('kalvent.desk', d, false) FROM (SELECT kv_desk() "
                          "AS d) AS b WHERE d IS NOT NULL");
        if (!read)
            return Outcome<bool>::failure(read.errorText());
    }
    return owner;
}

QString PostgresDialect::changeLogFunction() const
{
    return QStringLiteral("CREATE OR REPLACE FUNCTION kv_base_logged() RETURNS trigger "
                          "LANGUAGE plpgsql AS $f$ BEGIN IF TG_OP = 'DELETE' THEN %1 ELSE %2 "
                          "END IF; RETURN NULL; END $f$")
        .arg(logChange(changeDeleted, "OLD", QString()), logChange(changeEdited, "OLD", "NEW"));
}

Outcome<void> PostgresDialect::copyTo(QSqlDatabase&, const QString&) const
{
    return Outcome<void>::failure(
        QStringLiteral("базу данных на сервере копирует kalvent-cli copy"));
}

QString PostgresDialect::snapshot() const
{
    return QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY");
}

QStringList PostgresDialect::emptyRegister() const
{
    return {QStringLiteral("TRUNCATE Base, ItogDen, ItogMes, Kluchi, Rashody, Izmeneniya")};
}

QString PostgresDialect::insertRow(const QString& table, const QString& column) const
{
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (?) RETURNING ID").arg(table, column);
}

QString PostgresDialect::lastCall() const
{
    // The newest call of this desk: a colleague's newer call is not "the previous" one here.
    return QStringLiteral("SELECT ID, Data, usluga, Istochnik, Zapis, Vrem FROM Base "
                          "WHERE Pult = current_setting('kalvent.desk', true) "
                          "ORDER BY ID DESC LIMIT 1");
}

QString PostgresDialect::keyedCallInsert() const
{
    // The insert's row trigger counts a call before a conflict is seen, so the key is looked
    // for first; ON CONFLICT only keeps a race from failing.
    return QStringLiteral(
        "INSERT INTO Base (Data, usluga, Istochnik, Zapis, Vrem, Kluch) SELECT CAST(? AS text), "
        "CAST(? AS text), CAST(? AS text), CAST(? AS integer), CAST(? AS text), CAST(? AS text) "
        "WHERE NOT EXISTS (SELECT 1 FROM Base WHERE Kluch = CAST(? AS text)) "
        "ON CONFLICT (Kluch) DO NOTHING");
}

QString PostgresDialect::lastInsertedCall() const
{
    return QStringLiteral("SELECT currval(pg_get_serial_sequence('base', 'id'))");
}

QString PostgresDialect::desks() const
{
    // One step of the desk index per desk, not a pass over every call.
    return QStringLiteral("WITH RECURSIVE d AS (SELECT MIN(Pult) AS p FROM Base UNION ALL "
                          "SELECT (SELECT MIN(Pult) FROM Base WHERE Pult > d.p) FROM d "
                          "WHERE d.p IS NOT NULL) SELECT p FROM d WHERE p IS NOT NULL");
}

std::unique_ptr<CallWriter> PostgresDialect::callWriter(QSqlDatabase& db) const
{
    return std::make_unique<PostgresCallWriter>(*this, db);
}

QStringList PostgresDialect::bulkStart() const
{
    return {"DROP TABLE IF EXISTS pg_temp.NovyeZvonki",
            "CREATE TEMP TABLE NovyeZvonki (n BIGSERIAL, Data TEXT NOT NULL, usluga TEXT, "
            "Istochnik TEXT, Zapis INTEGER NOT NULL, Vrem TEXT) ON COMMIT DROP"};
}

QString PostgresDialect::bulkInsert(int rows) const
{
    QStringList values;
    for (int i = 0; i < rows; ++i)
        values << "(?, ?, ?, ?, ?)";
    return "INSERT INTO NovyeZvonki (Data, usluga, Istochnik, Zapis, Vrem) VALUES " +
           values.join(", ");
}

QStringList PostgresDialect::bulkFinish() const
{
    return QStringList{
               "INSERT INTO Kluchi (Kluch) SELECT DISTINCT kv_fold(name) FROM "
               "(SELECT usluga AS name FROM NovyeZvonki UNION SELECT Istochnik FROM NovyeZvonki) "
               "AS n "
               "WHERE name IS NOT NULL ORDER BY 1 ON CONFLICT DO NOTHING",
               "CREATE TEMP TABLE NovyeImena ON COMMIT DROP AS SELECT name, "
               "(SELECT ID FROM Kluchi WHERE Kluch = kv_fold(name)) AS kl FROM "
               "(SELECT usluga AS name FROM NovyeZvonki UNION SELECT Istochnik FROM NovyeZvonki) "
               "AS n "
               "WHERE name IS NOT NULL",
               "CREATE TEMP TABLE NovyeKluchi ON COMMIT DROP AS SELECT z.n, z.Data, z.usluga, "
               "z.Istochnik, z.Zapis, z.Vrem, COALESCE(u.kl, 0) AS KUsluga, "
               "COALESCE(i.kl, 0) AS KIstochnik FROM NovyeZvonki AS z "
               "LEFT JOIN NovyeImena AS u ON u.name = z.usluga "
               "LEFT JOIN NovyeImena AS i ON i.name = z.Istochnik",
               "INSERT INTO Base (Data, usluga, Istochnik, Zapis, Vrem, KUsluga, KIstochnik) "
               "SELECT Data, usluga, Istochnik, Zapis, Vrem, KUsluga, KIstochnik FROM NovyeKluchi "
               "ORDER BY n",
               "CREATE TEMP TABLE ItogNovye ON COMMIT DROP AS SELECT Vid, Kl, substr(Data, 1, 7) "
               "AS Mes, "
               "Data, Vsego, Zapis FROM (" +
                   countedRows("NovyeKluchi", "true") + ") AS c",
           } +
           addToTotals("ItogNovye");
}

QStringList PostgresDialect::rebuildTotals() const
{
    return QStringList{"LOCK TABLE Base, Kluchi, ItogDen, ItogMes IN EXCLUSIVE MODE",
                       "ALTER TABLE Base DISABLE TRIGGER USER"} +
           totalsFromCalls() + QStringList{"ALTER TABLE Base ENABLE TRIGGER USER"};
}

QString PostgresDialect::temporary(const QString& name) const
{
    return "pg_temp." + name;
}

QString PostgresDialect::utcNow() const
{
    return QStringLiteral("to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS')");
}

QString PostgresDialect::thisDesk() const
{
    return QStringLiteral("current_setting('kalvent.desk', true)");
}

QString PostgresDialect::deskColumn() const
{
    return QStringLiteral("Pult");
}

QString PostgresDialect::hourOf(const QString& data, const QString& vrem) const
{
    return QStringLiteral("kv_hour(%1, %2)").arg(data, vrem);
}

QString PostgresDialect::daysBetween(const QString& from, const QString& to) const
{
    return QStringLiteral("(CAST(%2 AS date) - CAST(%1 AS date))").arg(from, to);
}

QString PostgresDialect::listChannel() const
{
    return QStringLiteral("kalvent_lists");
}

QStringList PostgresDialect::claimDispatch() const
{
    return {"INSERT INTO Rassylki (Srok, Poluchatel, Pult) VALUES (CAST(? AS text), "
            "CAST(? AS text), current_setting('kalvent.desk', true)) ON CONFLICT DO NOTHING",
            "SELECT Pult = current_setting('kalvent.desk', true) FROM Rassylki "
            "WHERE Srok = CAST(? AS text) AND Poluchatel = CAST(? AS text)"};
}

#include "SqliteDialect.h"

#include "SqliteCallWriter.h"
#include "SqliteSchema.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>
#include <sqlite3.h>

using namespace SqliteSchema;

namespace {

void foldFunction(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    if (argc != 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int bytes = sqlite3_value_bytes(argv[0]);
    bool ascii = true;
    for (int i = 0; i < bytes && ascii; ++i)
        ascii = static_cast<unsigned char>(text[i]) < 0x80;
    if (ascii) {
        QByteArray lower(text, bytes);
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        sqlite3_result_text(context, lower.constData(), lower.size(), SQLITE_TRANSIENT);
        return;
    }
    const QByteArray folded = QString::fromUtf8(text, bytes).toCaseFolded().toUtf8();
    sqlite3_result_text(context, folded.constData(), folded.size(), SQLITE_TRANSIENT);
}

constexpr int kalventFileId = 0x4B764244; // "KvBD", in the file header
constexpr int currentVersion = 3;

QStringList versionStamp()
{
    return {QStringLiteral("PRAGMA application_id = %1").arg(kalventFileId),
            QStringLiteral("PRAGMA user_version = %1").arg(currentVersion)};
}

} // namespace

QString SqliteDialect::driverName() const
{
    return QStringLiteral("QSQLITE");
}

QString SqliteDialect::connectOptions(const QMap<QString, QString>& /*parameters*/) const
{
    return QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeout);
}

QString SqliteDialect::lockWait(int msecs) const
{
    return QStringLiteral("PRAGMA busy_timeout = %1").arg(msecs < 0 ? m_busyTimeout : msecs);
}

bool SqliteDialect::isLockTimeout(const QSqlError& error) const
{
    // SQLITE_BUSY, or one of its extended codes.
    bool number = false;
    const int code = error.nativeErrorCode().toInt(&number);
    return number && (code & 0xff) == SQLITE_BUSY;
}

Outcome<void> SqliteDialect::prepareConnection(QSqlDatabase& db) const
{
    const QVariant handle = db.driver()->handle();
    auto* sqlite = handle.isValid() ? *static_cast<sqlite3* const*>(handle.data()) : nullptr;
    if (!sqlite)
        return Outcome<void>::failure(QStringLiteral("нет соединения SQLite"));
    const int rc = sqlite3_create_function(sqlite, "kv_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                           nullptr, foldFunction, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return Outcome<void>::failure(QString::fromUtf8(sqlite3_errmsg(sqlite)));
    return {};
}

int SqliteDialect::schemaVersion() const
{
    return currentVersion;
}

Outcome<int> SqliteDialect::readVersion(QSqlDatabase& db) const
{
    QSqlQuery query(db);
    const Outcome<void> read = run(query, "SELECT application_id, user_version FROM "
                                          "pragma_application_id(), pragma_user_version()");
    if (!read)
        return Outcome<int>::failure(read.errorText());
    if (!query.next())
        return Outcome<int>::failure(QStringLiteral("нет заголовка файла"));
    const int owner = query.value(0).toInt();
    return owner == 0 || owner == kalventFileId ? query.value(1).toInt() : foreignFile;
}

QStringList SqliteDialect::schema() const
{
    return firstLayout() + keysAndTotals() + spendTable() + changeLog() + rebuildTotals() +
           QStringList{QStringLiteral("INSERT INTO IName (IName) VALUES ('Интернет')")} +
           versionStamp();
}

QStringList SqliteDialect::upgrade(int fromVersion) const
{
    if (fromVersion >= currentVersion)
        return {};
    QStringList statements;
    if (fromVersion < 1)
        statements << keysAndTotals() << spendTable() << rebuildTotals();
    else if (fromVersion < 2)
        statements << spendTable() << addHourTotals();
    return statements + changeLog() + versionStamp();
}

QStringList SqliteDialect::requiredTables(int version) const
{
    QStringList tables{"Base", "Uslugi", "IName"};
    if (version >= 1)
        tables << "Kluchi"
               << "ItogDen"
               << "ItogMes";
    if (version >= 2)
        tables << "Rashody";
    if (version >= 3)
        tables << "Izmeneniya";
    return tables;
}

Outcome<void> SqliteDialect::copyTo(QSqlDatabase& db, const QString& path) const
{
    QSqlQuery query(db);
    query.prepare("VACUUM INTO ?");
    query.addBindValue(path);
    if (!query.exec())
        return failed(query);
    return {};
}

QString SqliteDialect::probeFile() const
{
    return QStringLiteral("SELECT COUNT(*) FROM sqlite_master");
}

QStringList SqliteDialect::fileSettings() const
{
    // WAL with a full sync on every commit: a committed call survives a crash or power loss,
    // and readers (the command-line tool) never block the operator's inserts.
    return {QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA synchronous=FULL")};
}

QString SqliteDialect::insertRow(const QString& table, const QString& column) const
{
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(table, column);
}

QString SqliteDialect::lastCall() const
{
    return QStringLiteral("SELECT ID, Data, usluga, Istochnik, Zapis, Vrem FROM Base "
                          "ORDER BY ID DESC LIMIT 1");
}

std::unique_ptr<CallWriter> SqliteDialect::callWriter(QSqlDatabase& db) const
{
    return std::make_unique<SqliteCallWriter>(*this, db);
}

QString SqliteDialect::highestCallId() const
{
    return QStringLiteral("SELECT MAX(ID) FROM Base");
}

QString SqliteDialect::addKey() const
{
    return QStringLiteral("INSERT INTO Kluchi (Kluch) SELECT kv_fold(n) FROM (SELECT ? AS n) "
                          "WHERE n IS NOT NULL ON CONFLICT DO NOTHING");
}

QString SqliteDialect::keyOf() const
{
    return "SELECT " + keyOfName("?");
}

QString SqliteDialect::insertKeyedCall() const
{
    return QStringLiteral("INSERT INTO Base (Data, usluga, Istochnik, Zapis, Vrem, KUsluga, "
                          "KIstochnik) VALUES (?, ?, ?, ?, ?, ?, ?)");
}

Outcome<void> SqliteDialect::addTotalsAfter(
    QSqlDatabase& db, qint64 lastId,
    const std::function<Outcome<void>(const QString& table)>& counted) const
{
    QSqlQuery query(db);
    for (const QString& statement :
         {QStringLiteral("DROP TABLE IF EXISTS temp.ItogNovye"),
          QStringLiteral("CREATE TEMP TABLE ItogNovye (Vid INTEGER, Kl INTEGER, Mes TEXT, "
                         "Data TEXT, Vsego INTEGER, Zapis INTEGER)")})
        if (Outcome<void> done = run(query, statement); !done)
            return done;
    if (counted) {
        if (Outcome<void> done = counted(QStringLiteral("temp.ItogNovye")); !done)
            return done;
    } else {
        query.prepare("WITH p AS (SELECT ? AS last) INSERT INTO temp.ItogNovye "
                      "SELECT Vid, Kl, substr(Data, 1, 7), Data, Vsego, Zapis FROM (" +
                      countedRows("Base", "ID > (SELECT last FROM p)") + ")");
        query.addBindValue(lastId);
        if (!query.exec())
            return failed(query);
    }
    for (const QString& statement : addToTotals("temp.ItogNovye"))
        if (Outcome<void> done = run(query, statement); !done)
            return done;
    return run(query, "DROP TABLE temp.ItogNovye");
}

QStringList SqliteDialect::rebuildTotals() const
{
    return dropTriggers() + totalsFromCalls() + triggers();
}

QStringList SqliteDialect::addHourTotals() const
{
    return dropTriggers() +
           QStringList{QStringLiteral("DELETE FROM ItogDen WHERE Vid = %1").arg(TotalsKind::ByHour),
                       QStringLiteral("DELETE FROM ItogMes WHERE Vid = %1").arg(TotalsKind::ByHour),
                       "INSERT INTO ItogDen (Vid, Kl, Mes, Data, Vsego, Zapis) "
                       "SELECT Vid, Kl, substr(Data, 1, 7), Data, Vsego, Zapis FROM (" +
                           hourRows("Base", "true") + ")",
                       QStringLiteral("INSERT INTO ItogMes (Vid, Kl, Mes, Vsego, Zapis) "
                                      "SELECT Vid, Kl, Mes, SUM(Vsego), SUM(Zapis) FROM "
                                      "ItogDen WHERE Vid = %1 GROUP BY Vid, Kl, Mes")
                           .arg(TotalsKind::ByHour)} +
           triggers();
}

QStringList SqliteDialect::changeLog() const
{
    return {
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS Izmeneniya (ID INTEGER PRIMARY KEY, Kogda TEXT NOT NULL, "
            "Pult TEXT, Zvonok INTEGER NOT NULL, Vid INTEGER NOT NULL, StData TEXT, "
            "StUsluga TEXT, StIstochnik TEXT, StZapis INTEGER, StVrem TEXT, "
            "NovData TEXT, NovUsluga TEXT, NovIstochnik TEXT, NovZapis INTEGER, "
            "NovVrem TEXT)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS Izmeneniya_Zvonok ON Izmeneniya (Zvonok, ID)"),
        QStringLiteral(
            "CREATE TRIGGER IF NOT EXISTS Base_Zhurnal AFTER UPDATE OF Data, usluga, Istochnik, "
            "Zapis, Vrem ON Base WHEN %1 BEGIN %2 END")
            .arg(callValuesDiffer(), logChange(changeEdited, "OLD", "NEW")),
        QStringLiteral(
            "CREATE TRIGGER IF NOT EXISTS Base_ZhurnalUdalenie AFTER DELETE ON Base BEGIN %1 END")
            .arg(logChange(changeDeleted, "OLD", QString())),
    };
}

QString SqliteDialect::lastInsertedCall() const
{
    return QStringLiteral("SELECT last_insert_rowid()");
}

QString SqliteDialect::utcNow() const
{
    return QStringLiteral("strftime('%Y-%m-%d %H:%M:%S', 'now')");
}

QString SqliteDialect::temporary(const QString& name) const
{
    return "temp." + name;
}

QString SqliteDialect::keyedTableEnd() const
{
    return QStringLiteral(") WITHOUT ROWID");
}

QString SqliteDialect::hourOf(const QString& data, const QString& vrem) const
{
    return hourKey(data, vrem);
}

QString SqliteDialect::daysBetween(const QString& from, const QString& to) const
{
    return QStringLiteral("CAST(julianday(%2) - julianday(%1) AS INTEGER)").arg(from, to);
}

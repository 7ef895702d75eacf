#include "SqliteDialect.h"

#include "SqliteCallWriter.h"
#include "SqliteTotals.h"
#include "TotalsCheck.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>
#include <sqlite3.h>

using namespace SqliteTotals;

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
constexpr int currentVersion = 2;

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

bool SqliteDialect::prepareConnection(QSqlDatabase& db, QString* error) const
{
    const QVariant handle = db.driver()->handle();
    auto* sqlite = handle.isValid() ? *static_cast<sqlite3* const*>(handle.data()) : nullptr;
    if (!sqlite) {
        *error = QStringLiteral("no SQLite handle");
        return false;
    }
    const int rc = sqlite3_create_function(sqlite, "kv_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                           nullptr, foldFunction, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(sqlite));
        return false;
    }
    return true;
}

int SqliteDialect::schemaVersion() const
{
    return currentVersion;
}

bool SqliteDialect::readVersion(QSqlDatabase& db, int* version, QString* error) const
{
    QSqlQuery query(db);
    if (!run(query,
             "SELECT application_id, user_version FROM pragma_application_id(), "
             "pragma_user_version()",
             error))
        return false;
    if (!query.next()) {
        *error = QStringLiteral("no file header");
        return false;
    }
    const int owner = query.value(0).toInt();
    *version = owner == 0 || owner == kalventFileId ? query.value(1).toInt() : foreignFile;
    return true;
}

QStringList SqliteDialect::schema() const
{
    return firstLayout() + keysAndTotals() + spendTable() + rebuildTotals() +
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
    else
        statements << spendTable() << addHourTotals();
    return statements + versionStamp();
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
    return tables;
}

bool SqliteDialect::copyTo(QSqlDatabase& db, const QString& path, QString* error) const
{
    QSqlQuery query(db);
    query.prepare("VACUUM INTO ?");
    query.addBindValue(path);
    return query.exec() || failed(query, error);
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

QList<CommandSpec> SqliteDialect::commands() const
{
    using K = CommandSpec::Kind;
    return {
        {"Uslugi", "SELECT ID, Uname FROM Uslugi ORDER BY ID", 0, K::Updatable, "Uslugi"},
        {"AddNew",
         "INSERT INTO Base (Data, usluga, Istochnik, Zapis, Vrem) VALUES (?, ?, ?, ?, ?)",
         5,
         K::Change,
         {}},
        {"Istochnik", "SELECT ID, IName FROM IName ORDER BY ID", 0, K::Updatable, "IName"},
        {"addUslugi", "INSERT INTO Uslugi (Uname) VALUES (?)", 1, K::Change, {}},
        // The calls row set only ever needs the newest call; see lastCall().
        {"Base", lastCall(), 0, K::Updatable, "Base"},
        {"ReportkolVoZv", perNameReport("IName", "IName", bySource), 4, K::ReadOnly, {}},
        {"ReportKolvoUsl", perNameReport("Uslugi", "Uname", byService), 4, K::ReadOnly, {}},
        {"ReportInternet", perNameReport("Uslugi", "Uname", internetByService), 4, K::ReadOnly, {}},
        {"ReportDates",
         QStringLiteral("WITH p AS (SELECT ? AS s, ? AS e) SELECT Data, Vsego, Zapis "
                        "FROM p, ItogDen WHERE Vid = %1 AND Kl = 0 "
                        "AND Mes >= substr(p.s, 1, 7) AND Mes <= substr(p.e, 1, 7) "
                        "AND Data >= p.s AND Data <= p.e AND %2 ORDER BY Data")
             .arg(byDate)
             .arg(callsTableExists),
         2,
         K::ReadOnly,
         {}},
        {"DelUsl", "DELETE FROM Uslugi WHERE ID = ?", 1, K::Change, {}},
        {"DelIst", "DELETE FROM IName WHERE ID = ?", 1, K::Change, {}},
    };
}

QString SqliteDialect::insertRow(const QString& table, const QString& column) const
{
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (?)").arg(table, column);
}

QString SqliteDialect::deleteRow(const QString& table) const
{
    return QStringLiteral("DELETE FROM %1 WHERE ID = ?").arg(table);
}

QString SqliteDialect::callsNamed(const QString& callColumn) const
{
    // From the month totals of the name's key: no scan of the calls.
    const int kind = callColumn.compare("usluga", Qt::CaseInsensitive) == 0 ? byService : bySource;
    return QStringLiteral("SELECT COALESCE(SUM(Vsego), 0) FROM ItogMes WHERE Vid = %1 AND Kl = "
                          "(SELECT ID FROM Kluchi WHERE Kluch = kv_fold(?))")
        .arg(kind);
}

QString SqliteDialect::renameCalls(const QString& callColumn) const
{
    const QString keyColumn =
        callColumn.compare("usluga", Qt::CaseInsensitive) == 0 ? "KUsluga" : "KIstochnik";
    return QStringLiteral("UPDATE Base SET %1 = ? WHERE %2 = "
                          "(SELECT ID FROM Kluchi WHERE Kluch = kv_fold(?))")
        .arg(callColumn, keyColumn);
}

QString SqliteDialect::lastCall() const
{
    return QStringLiteral("SELECT ID, Data, usluga, Istochnik, Zapis, Vrem FROM Base "
                          "ORDER BY ID DESC LIMIT 1");
}

QString SqliteDialect::sourceFigures() const
{
    return QStringLiteral("WITH p AS (SELECT ? AS s, ? AS e, ? AS ps, ? AS pe) "
                          "SELECT l.ord, l.IName, %2, %3, %4, %5 FROM p, %1 AS l WHERE %6 "
                          "ORDER BY l.ord")
        .arg(sourceList, rangeSum("Vsego", bySource, "s", "e"),
             rangeSum("Zapis", bySource, "s", "e"), rangeSum("Vsego", bySource, "ps", "pe"),
             rangeSum("Zapis", bySource, "ps", "pe"), callsTableExists);
}

QString SqliteDialect::sourceSpend() const
{
    // Each stored name folded once, then matched with the folded list names.
    return QStringLiteral("WITH r AS MATERIALIZED (SELECT kv_fold(Istochnik) AS k, Mes, "
                          "SUM(Kopeek) AS kop FROM Rashody WHERE Mes >= ? AND Mes <= ? "
                          "GROUP BY 1, 2), l AS MATERIALIZED (SELECT kv_fold(IName) AS k, "
                          "MIN(ID) AS ord FROM IName GROUP BY 1) "
                          "SELECT l.ord, r.Mes, r.kop FROM l JOIN r ON r.k = l.k");
}

QString SqliteDialect::weeklyCalls(bool ofOneSource) const
{
    const QString totals = ofOneSource ? QStringLiteral("Vid = %1 AND Kl = (SELECT ID FROM "
                                                        "Kluchi WHERE Kluch = kv_fold(p.name))")
                                             .arg(bySource)
                                       : QStringLiteral("Vid = %1 AND Kl = 0").arg(byDate);
    return QStringLiteral("WITH p AS (SELECT ? AS s, ? AS e, julianday(?) AS monday%1) "
                          "SELECT CAST(julianday(Data) - p.monday AS INTEGER) / 7 AS w, "
                          "SUM(Vsego), SUM(Zapis) FROM p, ItogDen WHERE %2 "
                          "AND Mes >= substr(p.s, 1, 7) AND Mes <= substr(p.e, 1, 7) "
                          "AND Data >= p.s AND Data <= p.e AND %3 GROUP BY w ORDER BY w")
        .arg(ofOneSource ? QStringLiteral(", ? AS name") : QString(), totals, callsTableExists);
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

bool SqliteDialect::addTotalsAfter(QSqlDatabase& db, qint64 lastId, QString* error) const
{
    QSqlQuery query(db);
    if (!run(query, "DROP TABLE IF EXISTS temp.ItogNovye", error) ||
        !run(query,
             "CREATE TEMP TABLE ItogNovye (Vid INTEGER, Kl INTEGER, Mes TEXT, Data TEXT, "
             "Vsego INTEGER, Zapis INTEGER)",
             error))
        return false;
    query.prepare("WITH p AS (SELECT ? AS last) INSERT INTO temp.ItogNovye "
                  "SELECT Vid, Kl, substr(Data, 1, 7), Data, Vsego, Zapis FROM (" +
                  countedRows("ID > (SELECT last FROM p)") + ")");
    query.addBindValue(lastId);
    if (!query.exec())
        return failed(query, error);
    return run(query,
               "INSERT INTO ItogDen (Vid, Kl, Mes, Data, Vsego, Zapis) "
               "SELECT Vid, Kl, Mes, Data, Vsego, Zapis FROM temp.ItogNovye WHERE true "
               "ON CONFLICT (Vid, Kl, Mes, Data) DO UPDATE SET Vsego = Vsego + excluded.Vsego, "
               "Zapis = Zapis + excluded.Zapis",
               error) &&
           run(query,
               QStringLiteral(
                   "INSERT INTO ItogMes (Vid, Kl, Mes, Vsego, Zapis) "
                   "SELECT Vid, Kl, Mes, SUM(Vsego), SUM(Zapis) FROM temp.ItogNovye "
                   "WHERE Vid <> %1 GROUP BY Vid, Kl, Mes "
                   "ON CONFLICT (Vid, Kl, Mes) DO UPDATE SET Vsego = Vsego + excluded.Vsego, "
                   "Zapis = Zapis + excluded.Zapis")
                   .arg(byDate),
               error) &&
           run(query, "DROP TABLE temp.ItogNovye", error);
}

QStringList SqliteDialect::rebuildTotals() const
{
    return QStringList{
               "DROP TRIGGER IF EXISTS Base_Kluchi",
               "DROP TRIGGER IF EXISTS Base_Itog",
               "DROP TRIGGER IF EXISTS Base_Udalenie",
               "DROP TRIGGER IF EXISTS Base_Izmenenie",
               "INSERT INTO Kluchi (Kluch) SELECT kv_fold(name) FROM "
               "(SELECT usluga AS name FROM Base UNION SELECT Istochnik FROM Base) "
               "WHERE name IS NOT NULL ON CONFLICT DO NOTHING",
               QStringLiteral("UPDATE Base SET KUsluga = e.ku, KIstochnik = e.ki FROM "
                              "(SELECT ID AS id, %1 AS ku, %2 AS ki FROM Base) AS e "
                              "WHERE Base.ID = e.id AND "
                              "(Base.KUsluga IS NOT e.ku OR Base.KIstochnik IS NOT e.ki)")
                   .arg(keyOfName("usluga"), keyOfName("Istochnik")),
               "DELETE FROM ItogDen",
               "DELETE FROM ItogMes",
               "INSERT INTO ItogDen (Vid, Kl, Mes, Data, Vsego, Zapis) "
               "SELECT Vid, Kl, substr(Data, 1, 7), Data, Vsego, Zapis FROM (" +
                   countedRows("true") + ")",
               QStringLiteral("INSERT INTO ItogMes (Vid, Kl, Mes, Vsego, Zapis) "
                              "SELECT Vid, Kl, Mes, SUM(Vsego), SUM(Zapis) FROM ItogDen "
                              "WHERE Vid <> %1 GROUP BY Vid, Kl, Mes")
                   .arg(byDate),
           } +
           triggers();
}

bool SqliteDialect::findDifferences(QSqlDatabase& db, QList<TotalsDifference>* differences,
                                    QString* error) const
{
    TotalsCheck::Statements statements;
    statements.callKeys =
        QStringLiteral("SELECT ID, Data, usluga, Istochnik, %1, %2, kv_fold(usluga), "
                       "kv_fold(Istochnik) FROM (SELECT *, %3 AS ku, %4 AS ki FROM Base) "
                       "WHERE KUsluga IS NOT ku OR KIstochnik IS NOT ki ORDER BY ID")
            .arg(TotalsCheck::keyName("KUsluga"), TotalsCheck::keyName("KIstochnik"),
                 keyOfName("usluga"), keyOfName("Istochnik"));
    // The totals counted from the calls (a call without keys under key -1).
    statements.counting = {
        "DROP TABLE IF EXISTS temp.ItogSchetDen",
        "DROP TABLE IF EXISTS temp.ItogSchetMes",
        "CREATE TEMP TABLE ItogSchetDen (Vid INTEGER, Kl INTEGER, Mes TEXT, Data TEXT, "
        "Vsego INTEGER, Zapis INTEGER, PRIMARY KEY (Vid, Kl, Mes, Data)) WITHOUT ROWID",
        "CREATE TEMP TABLE ItogSchetMes (Vid INTEGER, Kl INTEGER, Mes TEXT, Vsego INTEGER, "
        "Zapis INTEGER, PRIMARY KEY (Vid, Kl, Mes)) WITHOUT ROWID",
        "INSERT INTO temp.ItogSchetDen SELECT Vid, COALESCE(Kl, -1), substr(Data, 1, 7), Data, "
        "Vsego, Zapis FROM (" +
            countedRows("true") + ")",
        QStringLiteral("INSERT INTO temp.ItogSchetMes SELECT Vid, Kl, Mes, SUM(Vsego), SUM(Zapis) "
                       "FROM temp.ItogSchetDen WHERE Vid <> %1 GROUP BY Vid, Kl, Mes")
            .arg(byDate),
    };
    statements.differs = "IS NOT";
    statements.countedPrefix = "temp.";
    statements.cleanup = {"DROP TABLE temp.ItogSchetDen", "DROP TABLE temp.ItogSchetMes"};
    return TotalsCheck::run(db, statements, differences, error);
}

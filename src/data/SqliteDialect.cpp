#include "SqliteDialect.h"

#include "TotalsCheck.h"

#include "SqliteCallWriter.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>
#include <sqlite3.h>

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
constexpr int currentVersion = 1;

// What the totals are kept by: the row kind Vid and its key Kl.
enum TotalsKind
{
    bySource = 1,          // Kl: the call's source key
    byService = 2,         // Kl: the call's service key
    internetByService = 3, // Kl: the service key of a call from the Internet
    byDate = 4             // Kl: 0
};

// The key of a folded name; 0 for a missing (NULL) name, which no list name matches.
QString keyOfName(const QString& name)
{
    return QStringLiteral("COALESCE((SELECT ID FROM Kluchi WHERE Kluch = kv_fold(%1)), 0)")
        .arg(name);
}

const QString internetKey =
    QStringLiteral("(SELECT ID FROM Kluchi WHERE Kluch = kv_fold('Интернет'))");

// The layout of the first files: three tables and the date index.
QStringList firstLayout()
{
    return {
        "CREATE TABLE Base (ID INTEGER PRIMARY KEY, Data TEXT NOT NULL, usluga TEXT, "
        "Istochnik TEXT, Zapis INTEGER NOT NULL DEFAULT 0, Vrem TEXT)",
        "CREATE INDEX Base_Data ON Base (Data)",
        "CREATE TABLE Uslugi (ID INTEGER PRIMARY KEY, Uname TEXT)",
        "CREATE TABLE IName (ID INTEGER PRIMARY KEY, IName TEXT)",
    };
}

// Version 1: every call keeps the keys of its folded service and source names (Kluchi holds
// the folded names), and the calls and bookings are totalled per day (ItogDen) and per month
// (ItogMes) by source, by service, by service of the Internet calls, and per day in all. Mes
// is the first seven characters of Data, so a range of Data spans whole months of Mes.
QStringList keysAndTotals()
{
    return {
        "ALTER TABLE Base ADD COLUMN KUsluga INTEGER",
        "ALTER TABLE Base ADD COLUMN KIstochnik INTEGER",
        "CREATE TABLE Kluchi (ID INTEGER PRIMARY KEY, Kluch TEXT NOT NULL UNIQUE)",
        "CREATE TABLE ItogDen (Vid INTEGER NOT NULL, Kl INTEGER NOT NULL, Mes TEXT NOT NULL, "
        "Data TEXT NOT NULL, Vsego INTEGER NOT NULL, Zapis INTEGER NOT NULL, "
        "PRIMARY KEY (Vid, Kl, Mes, Data)) WITHOUT ROWID",
        "CREATE TABLE ItogMes (Vid INTEGER NOT NULL, Kl INTEGER NOT NULL, Mes TEXT NOT NULL, "
        "Vsego INTEGER NOT NULL, Zapis INTEGER NOT NULL, PRIMARY KEY (Vid, Kl, Mes)) "
        "WITHOUT ROWID",
    };
}

QStringList versionStamp()
{
    return {QStringLiteral("PRAGMA application_id = %1").arg(kalventFileId),
            QStringLiteral("PRAGMA user_version = %1").arg(currentVersion)};
}

// The totals rows of the calls of Base that meet `condition`, as (Vid, Kl, Data, Vsego, Zapis).
// The per-date total sums the booked flags; the per-name totals count the flags equal to 1
// (the same values for flags of 0 and 1, as the reports have always done).
QString countedRows(const QString& condition)
{
    return QStringLiteral("SELECT %1 AS Vid, KIstochnik AS Kl, Data, COUNT(*) AS Vsego, "
                          "SUM(Zapis = 1) AS Zapis FROM Base WHERE %5 GROUP BY KIstochnik, Data "
                          "UNION ALL SELECT %2, KUsluga, Data, COUNT(*), SUM(Zapis = 1) FROM Base "
                          "WHERE %5 GROUP BY KUsluga, Data "
                          "UNION ALL SELECT %3, KUsluga, Data, COUNT(*), SUM(Zapis = 1) FROM Base "
                          "WHERE %5 AND KIstochnik = %6 GROUP BY KUsluga, Data "
                          "UNION ALL SELECT %4, 0, Data, COUNT(*), SUM(Zapis) FROM Base WHERE %5 "
                          "GROUP BY Data")
        .arg(bySource)
        .arg(byService)
        .arg(internetByService)
        .arg(byDate)
        .arg(condition, internetKey);
}

// The totals rows one call (NEW or OLD in a trigger) counts in, as (Vid, Kl, z), z being its
// part of the bookings.
QString rowsOfCall(const QString& call)
{
    return QStringLiteral("SELECT %1 AS Vid, %5.KIstochnik AS Kl, %5.Zapis = 1 AS z "
                          "UNION ALL SELECT %2, %5.KUsluga, %5.Zapis = 1 "
                          "UNION ALL SELECT %3, %5.KUsluga, %5.Zapis = 1 WHERE %5.KIstochnik = %6 "
                          "UNION ALL SELECT %4, 0, %5.Zapis")
        .arg(bySource)
        .arg(byService)
        .arg(internetByService)
        .arg(byDate)
        .arg(call, internetKey);
}

// Adds one call to its day and month totals (sign 1) or takes it away (sign -1).
QString countCall(const QString& call, int sign)
{
    return QStringLiteral(
               "INSERT INTO ItogDen (Vid, Kl, Mes, Data, Vsego, Zapis) "
               "SELECT Vid, Kl, substr(%1.Data, 1, 7), %1.Data, %2, %2 * z FROM (%3) WHERE true "
               "ON CONFLICT (Vid, Kl, Mes, Data) DO UPDATE SET Vsego = Vsego + excluded.Vsego, "
               "Zapis = Zapis + excluded.Zapis; "
               "INSERT INTO ItogMes (Vid, Kl, Mes, Vsego, Zapis) "
               "SELECT Vid, Kl, substr(%1.Data, 1, 7), %2, %2 * z FROM (%3) WHERE Vid <> %4 "
               "ON CONFLICT (Vid, Kl, Mes) DO UPDATE SET Vsego = Vsego + excluded.Vsego, "
               "Zapis = Zapis + excluded.Zapis;")
        .arg(call)
        .arg(sign)
        .arg(rowsOfCall(call))
        .arg(byDate);
}

// Removes the totals of the old call's rows that have come down to nothing.
QString dropEmptyTotals()
{
    const QString perName =
        QStringLiteral("(Vid = %1 AND Kl = OLD.KIstochnik) OR (Vid = %2 AND Kl = OLD.KUsluga) "
                       "OR (Vid = %3 AND Kl = OLD.KUsluga)")
            .arg(bySource)
            .arg(byService)
            .arg(internetByService);
    return QStringLiteral("DELETE FROM ItogDen WHERE Mes = substr(OLD.Data, 1, 7) AND "
                          "Data = OLD.Data AND Vsego = 0 AND Zapis = 0 AND "
                          "(%1 OR (Vid = %2 AND Kl = 0)); "
                          "DELETE FROM ItogMes WHERE Mes = substr(OLD.Data, 1, 7) AND "
                          "Vsego = 0 AND Zapis = 0 AND (%1);")
        .arg(perName)
        .arg(byDate);
}

// Gives the new call the keys of its names, adding the folded names it brings.
QString keyCall()
{
    return QStringLiteral("INSERT INTO Kluchi (Kluch) SELECT kv_fold(NEW.usluga) "
                          "WHERE NEW.usluga IS NOT NULL ON CONFLICT DO NOTHING; "
                          "INSERT INTO Kluchi (Kluch) SELECT kv_fold(NEW.Istochnik) "
                          "WHERE NEW.Istochnik IS NOT NULL ON CONFLICT DO NOTHING; "
                          "UPDATE Base SET KUsluga = %1, KIstochnik = %2 WHERE ID = NEW.ID;")
        .arg(keyOfName("NEW.usluga"), keyOfName("NEW.Istochnik"));
}

// A call inserted without keys gets them from its names, and getting its keys counts it; a
// call inserted with its keys (the bulk path) is counted by the one who inserted it. A removed
// call is taken away from its totals; a changed one is taken away and keyed and counted anew.
QStringList triggers()
{
    return {
        QStringLiteral("CREATE TRIGGER Base_Kluchi AFTER INSERT ON Base "
                       "WHEN NEW.KUsluga IS NULL OR NEW.KIstochnik IS NULL BEGIN %1 END")
            .arg(keyCall()),
        QStringLiteral("CREATE TRIGGER Base_Itog AFTER UPDATE OF KUsluga, KIstochnik ON Base "
                       "WHEN (OLD.KUsluga IS NULL OR OLD.KIstochnik IS NULL) "
                       "AND NEW.KUsluga IS NOT NULL AND NEW.KIstochnik IS NOT NULL BEGIN %1 END")
            .arg(countCall("NEW", 1)),
        QStringLiteral(
            "CREATE TRIGGER Base_Udalenie AFTER DELETE ON Base "
            "WHEN OLD.KUsluga IS NOT NULL AND OLD.KIstochnik IS NOT NULL BEGIN %1 %2 END")
            .arg(countCall("OLD", -1), dropEmptyTotals()),
        QStringLiteral("CREATE TRIGGER Base_Izmenenie AFTER UPDATE OF Data, usluga, Istochnik, "
                       "Zapis ON Base "
                       "WHEN OLD.KUsluga IS NOT NULL AND OLD.KIstochnik IS NOT NULL BEGIN %1 %2 "
                       "UPDATE Base SET KUsluga = NULL, KIstochnik = NULL WHERE ID = NEW.ID; "
                       "%3 END")
            .arg(countCall("OLD", -1), dropEmptyTotals(), keyCall()),
    };
}

// Sum of one measure of the totals of kind `kind` under the list row's key l.kl, over the days
// from p.`from` to p.`to`: the whole months strictly between the months of the two bounds from
// ItogMes, the days of the bounds' own months from ItogDen.
QString rangeSum(const QString& measure, int kind, const QString& from, const QString& to)
{
    return QStringLiteral("(COALESCE((SELECT SUM(%1) FROM ItogMes WHERE Vid = %2 AND Kl = l.kl "
                          "AND Mes > substr(p.%3, 1, 7) AND Mes < substr(p.%4, 1, 7)), 0) + "
                          "COALESCE((SELECT SUM(%1) FROM ItogDen WHERE Vid = %2 AND Kl = l.kl "
                          "AND Mes IN (substr(p.%3, 1, 7), substr(p.%4, 1, 7)) "
                          "AND Data >= p.%3 AND Data <= p.%4), 0))")
        .arg(measure)
        .arg(kind)
        .arg(from, to);
}

// The reports read the totals, which stand for the calls of Base: like a count over the calls,
// a report fails when that table is gone rather than show the totals of calls that are not
// there. The condition itself reads nothing.
const QString callsTableExists = QStringLiteral("NOT EXISTS (SELECT 1 FROM Base WHERE false)");

// Per-name report: one row per distinct (case-folded) list name, in the order the names were
// added; the first pair of parameters bounds all calls, the second the booked ones. Each
// parameter is named once, in p.
QString perNameReport(const QString& listTable, const QString& nameColumn, int kind)
{
    return QStringLiteral("WITH p AS (SELECT ? AS s1, ? AS e1, ? AS s2, ? AS e2) "
                          "SELECT l.%2 AS %2, %3 AS Zvonkov, %4 AS zapis FROM p, "
                          "(SELECT %2, (SELECT ID FROM Kluchi WHERE Kluch = kv_fold(%2)) AS kl, "
                          "MIN(ID) AS ord FROM %1 GROUP BY kv_fold(%2)) AS l WHERE %5 "
                          "ORDER BY l.ord")
        .arg(listTable, nameColumn, rangeSum("Vsego", kind, "s1", "e1"),
             rangeSum("Zapis", kind, "s2", "e2"), callsTableExists);
}

} // namespace

QString SqliteDialect::driverName() const
{
    return QStringLiteral("QSQLITE");
}

QString SqliteDialect::connectOptions() const
{
    return QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeout);
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
    return firstLayout() + keysAndTotals() + rebuildTotals() +
           QStringList{QStringLiteral("INSERT INTO IName (IName) VALUES ('Интернет')")} +
           versionStamp();
}

QStringList SqliteDialect::upgrade(int fromVersion) const
{
    if (fromVersion >= currentVersion)
        return {};
    return keysAndTotals() + rebuildTotals() + versionStamp();
}

QStringList SqliteDialect::requiredTables(int version) const
{
    QStringList tables{"Base", "Uslugi", "IName"};
    if (version >= 1)
        tables << "Kluchi"
               << "ItogDen"
               << "ItogMes";
    return tables;
}

bool SqliteDialect::copyTo(QSqlDatabase& db, const QString& path, QString* error) const
{
    QSqlQuery query(db);
    query.prepare("VACUUM INTO ?");
    query.addBindValue(path);
    return query.exec() || failed(query, error);
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

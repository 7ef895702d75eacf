#include "SqliteDialect.h"

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

// Per-name report: one row per distinct (case-folded) list name, in the order the names were
// added; the first pair of parameters bounds all calls, the second the booked ones.
QString perNameReport(const QString& listTable, const QString& nameColumn,
                      const QString& callColumn, const QString& extraCondition)
{
    const QString counts = QStringLiteral(
        "SELECT kv_fold(%1) AS k, SUM(n) AS c FROM "
        "(SELECT %1, COUNT(*) AS n FROM Base WHERE %2Data >= ? AND Data <= ? GROUP BY %1) "
        "GROUP BY kv_fold(%1)");
    const QString all = counts.arg(callColumn, extraCondition);
    const QString booked = counts.arg(callColumn, extraCondition + "Zapis = 1 AND ");
    return QStringLiteral(
               "SELECT l.%2 AS %2, COALESCE(a.c, 0) AS Zvonkov, COALESCE(b.c, 0) AS zapis "
               "FROM (SELECT %2, kv_fold(%2) AS k, MIN(ID) AS ord FROM %1 GROUP BY kv_fold(%2)) AS "
               "l "
               "LEFT JOIN (%3) AS a ON a.k = l.k "
               "LEFT JOIN (%4) AS b ON b.k = l.k "
               "ORDER BY l.ord")
        .arg(listTable, nameColumn, all, booked);
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

QStringList SqliteDialect::schema() const
{
    return {
        "CREATE TABLE Base (ID INTEGER PRIMARY KEY, Data TEXT NOT NULL, usluga TEXT, "
        "Istochnik TEXT, Zapis INTEGER NOT NULL DEFAULT 0, Vrem TEXT)",
        "CREATE INDEX Base_Data ON Base (Data)",
        "CREATE TABLE Uslugi (ID INTEGER PRIMARY KEY, Uname TEXT)",
        "CREATE TABLE IName (ID INTEGER PRIMARY KEY, IName TEXT)",
        QStringLiteral("INSERT INTO IName (IName) VALUES ('Интернет')"),
    };
}

QStringList SqliteDialect::requiredTables() const
{
    return {"Base", "Uslugi", "IName"};
}

QList<CommandSpec> SqliteDialect::commands() const
{
    using K = CommandSpec::Kind;
    const QString internet = QStringLiteral("kv_fold(Istochnik) = kv_fold('Интернет') AND ");
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
        {"ReportkolVoZv", perNameReport("IName", "IName", "Istochnik", {}), 4, K::ReadOnly, {}},
        {"ReportKolvoUsl", perNameReport("Uslugi", "Uname", "usluga", {}), 4, K::ReadOnly, {}},
        {"ReportInternet",
         perNameReport("Uslugi", "Uname", "usluga", internet),
         4,
         K::ReadOnly,
         {}},
        {"ReportDates",
         "SELECT Data, COUNT(*) AS Vsego, SUM(Zapis) AS Zapis FROM Base "
         "WHERE Data >= ? AND Data <= ? GROUP BY Data ORDER BY Data",
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

QString SqliteDialect::lastCall() const
{
    return QStringLiteral("SELECT ID, Data, usluga, Istochnik, Zapis, Vrem FROM Base "
                          "ORDER BY ID DESC LIMIT 1");
}

QVariant SqliteDialect::toDb(const QVariant& value) const
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime: {
        const QDateTime moment = value.toDateTime();
        if (moment.time() == QTime(0, 0))
            return moment.date().toString(Qt::ISODate);
        return moment.toString("yyyy-MM-dd HH:mm:ss");
    }
    case QMetaType::QTime:
        return value.toTime().isValid() ? QVariant(value.toTime().toString("HH:mm:ss"))
                                        : QVariant(QMetaType::fromType<QString>());
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    default:
        return value;
    }
}

QVariant SqliteDialect::dateFromDb(const QVariant& value) const
{
    const QDate date = QDate::fromString(value.toString().left(10), Qt::ISODate);
    return date.isValid() ? QVariant(date) : value;
}

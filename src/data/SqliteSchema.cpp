#include "SqliteSchema.h"

#include "SqlDialect.h"
#include "TotalsKind.h"

namespace SqliteSchema {

namespace {
constexpr int bySource = TotalsKind::BySource;
constexpr int byService = TotalsKind::ByService;
constexpr int internetByService = TotalsKind::InternetByService;
constexpr int byDate = TotalsKind::ByDate;
constexpr int byHour = TotalsKind::ByHour;
} // namespace

// Weekday (1 Monday .. 7 Sunday, 0 for a date that is none) times 100 plus the hour of the
// time of day (0-23, 24 for a call without a readable time): the cell of the heat map.
QString hourKey(const QString& data, const QString& vrem)
{
    return QStringLiteral(
               "(COALESCE((CAST(strftime('%w', substr(%1, 1, 10)) AS INTEGER) + 6) % 7 + 1, 0) "
               "* 100 + CASE WHEN %2 GLOB '[01][0-9]:*' OR %2 GLOB '2[0-3]:*' "
               "THEN CAST(substr(%2, 1, 2) AS INTEGER) "
               "WHEN %2 GLOB '[0-9]:*' THEN CAST(substr(%2, 1, 1) AS INTEGER) "
               "WHEN %2 GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9][ T][01][0-9]:*' OR %2 "
               "GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9][ T]2[0-3]:*' "
               "THEN CAST(substr(%2, 12, 2) AS INTEGER) ELSE 24 END)")
        .arg(data, vrem);
}

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

// Version 2: the advertising spend per source and month (Rashody, whole kopecks; names kept
// as written and matched folded), and the calls totalled per weekday and hour (byHour).
QStringList spendTable()
{
    return {"CREATE TABLE Rashody (ID INTEGER PRIMARY KEY, Istochnik TEXT NOT NULL, "
            "Mes TEXT NOT NULL, Kopeek INTEGER NOT NULL CHECK (Kopeek >= 0))",
            "CREATE INDEX Rashody_Mes ON Rashody (Mes)"};
}

// The totals rows one call (NEW or OLD in a trigger) counts in, as (Vid, Kl, z), z being its
// part of the bookings.
QString rowsOfCall(const QString& call)
{
    return QStringLiteral("SELECT %1 AS Vid, %5.KIstochnik AS Kl, %5.Zapis = 1 AS z "
                          "UNION ALL SELECT %2, %5.KUsluga, %5.Zapis = 1 "
                          "UNION ALL SELECT %3, %5.KUsluga, %5.Zapis = 1 WHERE %5.KIstochnik = %6 "
                          "UNION ALL SELECT %4, 0, %5.Zapis "
                          "UNION ALL SELECT %7, %8, %5.Zapis = 1")
        .arg(bySource)
        .arg(byService)
        .arg(internetByService)
        .arg(byDate)
        .arg(call, SqlDialect::internetKey())
        .arg(byHour)
        .arg(hourKey(call + ".Data", call + ".Vrem"));
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
                       "OR (Vid = %3 AND Kl = OLD.KUsluga) OR (Vid = %4 AND Kl = %5)")
            .arg(bySource)
            .arg(byService)
            .arg(internetByService)
            .arg(byHour)
            .arg(hourKey("OLD.Data", "OLD.Vrem"));
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
        .arg(SqlDialect::keyOfName("NEW.usluga"), SqlDialect::keyOfName("NEW.Istochnik"));
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
                       "Zapis, Vrem ON Base "
                       "WHEN OLD.KUsluga IS NOT NULL AND OLD.KIstochnik IS NOT NULL BEGIN %1 %2 "
                       "UPDATE Base SET KUsluga = NULL, KIstochnik = NULL WHERE ID = NEW.ID; "
                       "%3 END")
            .arg(countCall("OLD", -1), dropEmptyTotals(), keyCall()),
    };
}

QStringList dropTriggers()
{
    return {"DROP TRIGGER IF EXISTS Base_Kluchi", "DROP TRIGGER IF EXISTS Base_Itog",
            "DROP TRIGGER IF EXISTS Base_Udalenie", "DROP TRIGGER IF EXISTS Base_Izmenenie"};
}

} // namespace SqliteSchema

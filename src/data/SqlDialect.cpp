#include "SqlDialect.h"

#include "TotalsCheck.h"

#include <QDate>
#include <QDateTime>
#include <QSqlError>
#include <QStringList>
#include <QTime>

namespace {
// Digits written directly: an import formats a date and a time for each of its calls.
void putDigits(QChar* at, int value, int count)
{
    for (int i = count - 1; i >= 0; --i, value /= 10)
        at[i] = QChar(u'0' + value % 10);
}

// YYYY-MM-DD, as Qt::ISODate writes it.
QString isoDate(const QDate& date)
{
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return date.toString(Qt::ISODate);
    QString text(10, u'-');
    putDigits(text.data(), date.year(), 4);
    putDigits(text.data() + 5, date.month(), 2);
    putDigits(text.data() + 8, date.day(), 2);
    return text;
}

// HH:mm:ss of a valid time.
QString timeOfDay(const QTime& time)
{
    QString text(8, u':');
    putDigits(text.data(), time.hour(), 2);
    putDigits(text.data() + 3, time.minute(), 2);
    putDigits(text.data() + 6, time.second(), 2);
    return text;
}
// The bounds of a period as the statements read them: each a text parameter in p, with the
// first day of its month (the name and m) and of the next month (the name and n), so that the
// days of one month are one range of the day totals on either engine's key order.
QString period(const QStringList& bounds)
{
    QStringList parameters;
    QStringList months;
    for (const QString& bound : bounds) {
        parameters << QStringLiteral("CAST(? AS text) AS %1").arg(bound);
        months << QStringLiteral("substr(%1, 1, 7) || '-01' AS %1m").arg(bound)
               << QStringLiteral("CASE WHEN substr(%1, 6, 2) = '12' THEN "
                                 "substr(CAST(CAST(substr(%1, 1, 4) AS integer) + 10001 AS text), "
                                 "2) || '-01-01' ELSE substr(%1, 1, 5) || "
                                 "substr(CAST(CAST(substr(%1, 6, 2) AS integer) + 101 AS text), "
                                 "2) || '-01' END AS %1n")
                      .arg(bound);
    }
    return QStringLiteral("WITH q AS (SELECT %1), p AS MATERIALIZED (SELECT q.*, %2 FROM q) ")
        .arg(parameters.join(", "), months.join(", "));
}

// Sum of one measure of the totals of kind `kind` under the list row's key l.kl, over the days
// from p.`from` to p.`to`: the whole months strictly between the bounds' months from ItogMes,
// the days of the first month and of the last month from ItogDen.
QString rangeSum(const QString& measure, int kind, const QString& from, const QString& to)
{
    return QStringLiteral("(COALESCE((SELECT SUM(%1) FROM ItogMes WHERE Vid = %2 AND Kl = l.kl "
                          "AND Mes > substr(p.%3, 1, 7) AND Mes < substr(p.%4, 1, 7)), 0) + "
                          "COALESCE((SELECT SUM(%1) FROM ItogDen WHERE Vid = %2 AND Kl = l.kl "
                          "AND Mes = substr(p.%3, 1, 7) AND Data >= p.%3 AND Data <= p.%4 "
                          "AND Data < p.%3n), 0) + "
                          "COALESCE((SELECT SUM(%1) FROM ItogDen WHERE Vid = %2 AND Kl = l.kl "
                          "AND Mes = substr(p.%4, 1, 7) AND Data >= p.%4m AND Data >= p.%3n "
                          "AND Data <= p.%4), 0))")
        .arg(measure)
        .arg(kind)
        .arg(from, to);
}

// One row per distinct folded name of a list: the name as first written, its key and its
// place in the list.
QString firstOfEachName(const QString& table, const QString& column)
{
    return QStringLiteral("(SELECT n.%2, (SELECT ID FROM Kluchi WHERE Kluch = g.f) AS kl, "
                          "g.ord FROM (SELECT kv_fold(%2) AS f, MIN(ID) AS ord FROM %1 "
                          "GROUP BY kv_fold(%2)) AS g JOIN %1 AS n ON n.ID = g.ord)")
        .arg(table, column);
}

// The key of a list's name in calls' column (usluga, Istochnik), and the totals it is kept in.
bool isServiceColumn(const QString& callColumn)
{
    return callColumn.compare("usluga", Qt::CaseInsensitive) == 0;
}

const QString matchingKey =
    QStringLiteral("(SELECT ID FROM Kluchi WHERE Kluch = kv_fold(CAST(? AS text)))");

} // namespace

Outcome<void> SqlDialect::failed(const QSqlQuery& query)
{
    return Outcome<void>::failure(query.lastError().databaseText().isEmpty()
                                      ? query.lastError().text()
                                      : query.lastError().databaseText());
}

Outcome<void> SqlDialect::run(QSqlQuery& query, const QString& sql)
{
    if (!query.exec(sql))
        return failed(query);
    return {};
}

QVariant SqlDialect::toDb(const QVariant& value) const
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return isoDate(value.toDate());
    case QMetaType::QDateTime: {
        const QDateTime moment = value.toDateTime();
        if (moment.time() == QTime(0, 0))
            return moment.date().toString(Qt::ISODate);
        return moment.toString("yyyy-MM-dd HH:mm:ss");
    }
    case QMetaType::QTime:
        return value.toTime().isValid() ? QVariant(timeOfDay(value.toTime()))
                                        : QVariant(QMetaType::fromType<QString>());
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    default:
        return value;
    }
}

QVariant SqlDialect::dateFromDb(const QVariant& value) const
{
    const QDate date = QDate::fromString(value.toString().left(10), Qt::ISODate);
    return date.isValid() ? QVariant(date) : value;
}

QList<CommandSpec> SqlDialect::commands() const
{
    using K = CommandSpec::Kind;
    QList<CommandSpec> commands{
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
    };
    for (const ReportQuery& query : ReportQuery::all())
        commands.append({query.command(), report(query), query.parameterCount(), K::ReadOnly, {}});
    commands.append({"DelUsl", "DELETE FROM Uslugi WHERE ID = ?", 1, K::Change, {}});
    commands.append({"DelIst", "DELETE FROM IName WHERE ID = ?", 1, K::Change, {}});
    return commands;
}

QString SqlDialect::deleteRow(const QString& table) const
{
    return QStringLiteral("DELETE FROM %1 WHERE ID = ?").arg(table);
}

QString SqlDialect::callsNamed(const QString& callColumn) const
{
    // From the month totals of the name's key: no scan of the calls.
    const int kind = isServiceColumn(callColumn) ? TotalsKind::ByService : TotalsKind::BySource;
    return QStringLiteral("SELECT COALESCE(SUM(Vsego), 0) FROM ItogMes WHERE Vid = %1 AND Kl = %2")
        .arg(kind)
        .arg(matchingKey);
}

QString SqlDialect::renameCalls(const QString& callColumn) const
{
    const QString keyColumn = isServiceColumn(callColumn) ? "KUsluga" : "KIstochnik";
    return QStringLiteral("UPDATE Base SET %1 = ? WHERE %2 = %3")
        .arg(callColumn, keyColumn, matchingKey);
}

QStringList SqlDialect::emptyRegister() const
{
    return {"DELETE FROM Base", "DELETE FROM ItogDen", "DELETE FROM ItogMes", "DELETE FROM Kluchi",
            "DELETE FROM Rashody", "DELETE FROM Izmeneniya"};
}

QString SqlDialect::report(const ReportQuery& query) const
{
    if (!query.isPerName())
        return QStringLiteral("WITH p AS (SELECT CAST(? AS text) AS s, CAST(? AS text) AS e) "
                              "SELECT Data AS \"Data\", Vsego AS \"Vsego\", Zapis AS \"Zapis\" "
                              "FROM p, ItogDen WHERE Vid = %1 AND Kl = 0 "
                              "AND Mes >= substr(p.s, 1, 7) AND Mes <= substr(p.e, 1, 7) "
                              "AND Data >= p.s AND Data <= p.e AND %2 ORDER BY Data")
            .arg(query.kind())
            .arg(callsTableExists());
    // One row per distinct (case-folded) list name, in the order the names were added; the
    // first pair of parameters bounds all calls, the second the booked ones.
    const QString name = query.nameColumn();
    return period({"s1", "e1", "s2", "e2"}) +
           QStringLiteral("SELECT l.%1 AS \"%1\", %2 AS \"Zvonkov\", %3 AS \"zapis\" "
                          "FROM p, %4 AS l WHERE %5 ORDER BY l.ord")
               .arg(name, rangeSum("Vsego", query.kind(), "s1", "e1"),
                    rangeSum("Zapis", query.kind(), "s2", "e2"),
                    firstOfEachName(query.listTable(), name), callsTableExists());
}

QString SqlDialect::sourceFigures() const
{
    const int kind = TotalsKind::BySource;
    return period({"s", "e", "ps", "pe"}) +
           QStringLiteral("SELECT l.ord, l.IName, %2, %3, %4, %5 FROM p, %1 AS l WHERE %6 "
                          "ORDER BY l.ord")
               .arg(firstOfEachName("IName", "IName"), rangeSum("Vsego", kind, "s", "e"),
                    rangeSum("Zapis", kind, "s", "e"), rangeSum("Vsego", kind, "ps", "pe"),
                    rangeSum("Zapis", kind, "ps", "pe"), callsTableExists());
}

QString SqlDialect::sourceSpend() const
{
    // Each stored name folded once, then matched with the folded list names.
    return QStringLiteral("WITH r AS MATERIALIZED (SELECT kv_fold(Istochnik) AS k, Mes, "
                          "CAST(SUM(Kopeek) AS bigint) AS kop FROM Rashody "
                          "WHERE Mes >= CAST(? AS text) AND Mes <= CAST(? AS text) GROUP BY 1, 2), "
                          "l AS MATERIALIZED (SELECT kv_fold(IName) AS k, MIN(ID) AS ord "
                          "FROM IName GROUP BY 1) "
                          "SELECT l.ord, r.Mes, r.kop FROM l JOIN r ON r.k = l.k");
}

QString SqlDialect::callsByHour() const
{
    // Every cell's key named, so that each is one short range of the totals' keys. Whole months
    // from the month totals, the days of the bounds' months from the day totals.
    QStringList keys;
    for (int weekday = 0; weekday <= 7; ++weekday)
        for (int hour = 0; hour <= 24; ++hour)
            keys << QString::number(weekday * 100 + hour);
    return QStringLiteral(
               "WITH p AS (SELECT CAST(? AS text) AS s, CAST(? AS text) AS e) "
               "SELECT Kl, SUM(Vsego) FROM ("
               "SELECT Kl, Vsego FROM p, ItogMes WHERE Vid = %1 AND Kl IN (%2) "
               "AND Mes > substr(p.s, 1, 7) AND Mes < substr(p.e, 1, 7) "
               "UNION ALL SELECT Kl, Vsego FROM p, ItogDen WHERE Vid = %1 AND Kl IN (%2) "
               "AND Mes IN (substr(p.s, 1, 7), substr(p.e, 1, 7)) "
               "AND Data >= p.s AND Data <= p.e) AS c "
               "WHERE %3 GROUP BY Kl HAVING SUM(Vsego) <> 0 ORDER BY Kl")
        .arg(TotalsKind::ByHour)
        .arg(keys.join(','), callsTableExists());
}

QString SqlDialect::weeklyCalls(bool ofOneSource) const
{
    const QString totals = ofOneSource
                               ? QStringLiteral("Vid = %1 AND Kl = (SELECT ID FROM Kluchi WHERE "
                                                "Kluch = kv_fold(p.name))")
                                     .arg(TotalsKind::BySource)
                               : QStringLiteral("Vid = %1 AND Kl = 0").arg(TotalsKind::ByDate);
    return QStringLiteral("WITH p AS (SELECT CAST(? AS text) AS s, CAST(? AS text) AS e, "
                          "CAST(? AS text) AS monday%1) "
                          "SELECT %4 / 7 AS w, SUM(Vsego), SUM(Zapis) FROM p, ItogDen WHERE %2 "
                          "AND Mes >= substr(p.s, 1, 7) AND Mes <= substr(p.e, 1, 7) "
                          "AND Data >= p.s AND Data <= p.e AND %3 GROUP BY w ORDER BY w")
        .arg(ofOneSource ? QStringLiteral(", CAST(? AS text) AS name") : QString(), totals,
             callsTableExists(), daysBetween("p.monday", "Data"));
}

QString SqlDialect::spendEntries() const
{
    return QStringLiteral("SELECT Istochnik, Mes, Kopeek FROM Rashody ORDER BY Mes, ID");
}

QString SqlDialect::removeSpend() const
{
    return QStringLiteral("DELETE FROM Rashody WHERE kv_fold(Istochnik) = kv_fold(CAST(? AS text)) "
                          "AND Mes = CAST(? AS text)");
}

QString SqlDialect::addSpend() const
{
    return QStringLiteral("INSERT INTO Rashody (Istochnik, Mes, Kopeek) VALUES (?, ?, ?)");
}

QString SqlDialect::renameSpend() const
{
    return QStringLiteral("UPDATE Rashody SET Istochnik = CAST(? AS text) "
                          "WHERE kv_fold(Istochnik) = kv_fold(CAST(? AS text))");
}

QString SqlDialect::renameRow(const QString& table, const QString& column) const
{
    return QStringLiteral("UPDATE %1 SET %2 = ? WHERE ID = ?").arg(table, column);
}

QString SqlDialect::keyOfName(const QString& name)
{
    return QStringLiteral("COALESCE((SELECT ID FROM Kluchi WHERE Kluch = kv_fold(%1)), 0)")
        .arg(name);
}

QString SqlDialect::internetSource()
{
    return QStringLiteral("Интернет");
}

QString SqlDialect::internetKey()
{
    return QStringLiteral("(SELECT ID FROM Kluchi WHERE Kluch = kv_fold('%1'))")
        .arg(internetSource());
}

QString SqlDialect::callsTableExists()
{
    return QStringLiteral("NOT EXISTS (SELECT 1 FROM Base WHERE false)");
}

QString SqlDialect::hourRows(const QString& table, const QString& condition) const
{
    return QStringLiteral("SELECT %1 AS Vid, %2 AS Kl, Data, COUNT(*) AS Vsego, "
                          "SUM(CAST(Zapis = 1 AS integer)) AS Zapis FROM %3 WHERE %4 "
                          "GROUP BY 2, Data")
        .arg(TotalsKind::ByHour)
        .arg(hourOf("Data", "Vrem"), table, condition);
}

// The per-date total sums the booked flags; the per-name totals count the flags equal to 1
// (the same values for flags of 0 and 1, as the reports have always done).
QString SqlDialect::countedRows(const QString& table, const QString& condition) const
{
    const QString booked = QStringLiteral("SUM(CAST(Zapis = 1 AS integer))");
    return QStringLiteral("SELECT %1 AS Vid, KIstochnik AS Kl, Data, COUNT(*) AS Vsego, "
                          "%7 AS Zapis FROM %8 WHERE %5 GROUP BY KIstochnik, Data "
                          "UNION ALL SELECT %2, KUsluga, Data, COUNT(*), %7 FROM %8 "
                          "WHERE %5 GROUP BY KUsluga, Data "
                          "UNION ALL SELECT %3, KUsluga, Data, COUNT(*), %7 FROM %8 "
                          "WHERE %5 AND KIstochnik = %6 GROUP BY KUsluga, Data "
                          "UNION ALL SELECT %4, 0, Data, COUNT(*), SUM(Zapis) FROM %8 WHERE %5 "
                          "GROUP BY Data")
               .arg(TotalsKind::BySource)
               .arg(TotalsKind::ByService)
               .arg(TotalsKind::InternetByService)
               .arg(TotalsKind::ByDate)
               .arg(condition, internetKey(), booked, table) +
           " UNION ALL " + hourRows(table, condition);
}

QStringList SqlDialect::addToTotals(const QString& table)
{
    // In the order of the totals' keys: concurrent writers lock the rows in one order.
    return {QStringLiteral("INSERT INTO ItogDen AS t (Vid, Kl, Mes, Data, Vsego, Zapis) "
                           "SELECT Vid, Kl, Mes, Data, Vsego, Zapis FROM %1 WHERE true "
                           "ORDER BY Vid, Kl, Mes, Data ON CONFLICT (Vid, Kl, Mes, Data) "
                           "DO UPDATE SET Vsego = t.Vsego + excluded.Vsego, "
                           "Zapis = t.Zapis + excluded.Zapis")
                .arg(table),
            QStringLiteral("INSERT INTO ItogMes AS t (Vid, Kl, Mes, Vsego, Zapis) "
                           "SELECT Vid, Kl, Mes, SUM(Vsego), SUM(Zapis) FROM %1 WHERE Vid <> %2 "
                           "GROUP BY Vid, Kl, Mes ORDER BY Vid, Kl, Mes ON CONFLICT (Vid, Kl, Mes) "
                           "DO UPDATE SET Vsego = t.Vsego + excluded.Vsego, "
                           "Zapis = t.Zapis + excluded.Zapis")
                .arg(table)
                .arg(TotalsKind::ByDate)};
}

QStringList SqlDialect::totalsFromCalls() const
{
    return {
        "INSERT INTO Kluchi (Kluch) SELECT DISTINCT kv_fold(name) FROM "
        "(SELECT usluga AS name FROM Base UNION SELECT Istochnik FROM Base) AS n "
        "WHERE name IS NOT NULL ON CONFLICT DO NOTHING",
        QStringLiteral("UPDATE Base SET KUsluga = e.ku, KIstochnik = e.ki FROM "
                       "(SELECT ID AS id, %1 AS ku, %2 AS ki FROM Base) AS e "
                       "WHERE Base.ID = e.id AND (Base.KUsluga IS DISTINCT FROM e.ku OR "
                       "Base.KIstochnik IS DISTINCT FROM e.ki)")
            .arg(keyOfName("usluga"), keyOfName("Istochnik")),
        "DELETE FROM ItogDen",
        "DELETE FROM ItogMes",
        "INSERT INTO ItogDen (Vid, Kl, Mes, Data, Vsego, Zapis) "
        "SELECT Vid, Kl, substr(Data, 1, 7), Data, Vsego, Zapis FROM (" +
            countedRows("Base", "true") + ") AS c",
        QStringLiteral("INSERT INTO ItogMes (Vid, Kl, Mes, Vsego, Zapis) "
                       "SELECT Vid, Kl, Mes, SUM(Vsego), SUM(Zapis) FROM ItogDen "
                       "WHERE Vid <> %1 GROUP BY Vid, Kl, Mes")
            .arg(TotalsKind::ByDate),
    };
}

Outcome<QList<TotalsDifference>> SqlDialect::findDifferences(QSqlDatabase& db) const
{
    return TotalsCheck(*this).run(db);
}

namespace {
const QStringList callValueColumns{"Data", "usluga", "Istochnik", "Zapis", "Vrem"};

// A search text as a LIKE pattern's middle: its wildcards and the escape taken literally.
QString likeLiteral(const QString& text)
{
    QString escaped = text;
    escaped.replace('\\', "\\\\").replace('%', "\\%").replace('_', "\\_");
    return escaped;
}
} // namespace

QString SqlDialect::callColumns() const
{
    return QStringLiteral("ID, Data, usluga, Istochnik, Zapis, Vrem, %1")
        .arg(deskColumn().isEmpty() ? QStringLiteral("NULL") : deskColumn());
}

QString SqlDialect::journalPage(const CallFilter& filter, const JournalKey& after, int limit,
                                QVariantList* arguments) const
{
    QStringList conditions;
    auto condition = [&](const QString& sql, const QVariantList& values) {
        conditions << sql;
        for (const QVariant& value : values)
            *arguments << toDb(value);
    };
    // The bounds and the key of the page before are ranges of the date index (Data, ID).
    if (filter.from.isValid())
        condition("Data >= CAST(? AS text)", {filter.from});
    if (filter.to.isValid())
        condition("Data < CAST(? AS text)", {filter.to.addDays(1)});
    if (!after.isStart())
        condition("Data <= CAST(? AS text) AND (Data < CAST(? AS text) OR ID < ?)",
                  {after.date, after.date, after.id});
    if (!filter.service.isEmpty())
        condition("KUsluga = " + matchingKey, {filter.service});
    if (!filter.source.isEmpty())
        condition("KIstochnik = " + matchingKey, {filter.source});
    if (filter.booked)
        conditions << (*filter.booked ? QStringLiteral("Zapis = 1") : QStringLiteral("Zapis <> 1"));
    if (!filter.desk.isEmpty())
        condition(deskColumn().isEmpty() ? QStringLiteral("CAST(? AS text) IS NULL")
                                         : deskColumn() + " = CAST(? AS text)",
                  {filter.desk});
    if (!filter.search.isEmpty()) {
        const QString pattern = likeLiteral(filter.search);
        // Among the folded names of the keys (a few rows), not the names of every call.
        const QString keys = QStringLiteral("(SELECT ID FROM Kluchi WHERE Kluch LIKE '%' || "
                                            "kv_fold(CAST(? AS text)) || '%' ESCAPE '\\')");
        condition(QStringLiteral("(KUsluga IN %1 OR KIstochnik IN %1)").arg(keys),
                  {pattern, pattern});
    }
    return QStringLiteral("SELECT %1 FROM Base %2 ORDER BY Data DESC, ID DESC LIMIT %3")
        .arg(callColumns(), conditions.isEmpty() ? QString() : "WHERE " + conditions.join(" AND "))
        .arg(limit);
}

QString SqlDialect::callById() const
{
    return QStringLiteral("SELECT %1 FROM Base WHERE ID = ?").arg(callColumns());
}

QString SqlDialect::dayCount() const
{
    return QStringLiteral("SELECT Vsego, Zapis FROM ItogDen WHERE Vid = %1 AND Kl = 0 "
                          "AND Mes = substr(CAST(? AS text), 1, 7) AND Data = CAST(? AS text)")
        .arg(TotalsKind::ByDate);
}

QString SqlDialect::editCall() const
{
    return QStringLiteral("UPDATE Base SET Data = ?, usluga = ?, Istochnik = ?, Zapis = ?, "
                          "Vrem = ? WHERE ID = ?");
}

QString SqlDialect::removeCall() const
{
    return QStringLiteral("DELETE FROM Base WHERE ID = ?");
}

QString SqlDialect::restoreCall() const
{
    return QStringLiteral("INSERT INTO Base (ID, Data, usluga, Istochnik, Zapis, Vrem%1) "
                          "VALUES (?, ?, ?, ?, ?, ?%2)")
        .arg(deskColumn().isEmpty() ? QString() : ", " + deskColumn(),
             deskColumn().isEmpty() ? QString() : QStringLiteral(", ?"));
}

QString SqlDialect::changeColumns()
{
    return QStringLiteral("Kogda, Pult, Zvonok, Vid, StData, StUsluga, StIstochnik, StZapis, "
                          "StVrem, NovData, NovUsluga, NovIstochnik, NovZapis, NovVrem");
}

QString SqlDialect::logChange(int kind, const QString& before, const QString& after) const
{
    QStringList values{utcNow(), thisDesk(), (before.isEmpty() ? after : before) + ".ID",
                       QString::number(kind)};
    for (const QString& row : {before, after})
        for (const QString& column : callValueColumns)
            values << (row.isEmpty() ? QStringLiteral("NULL") : row + '.' + column);
    return QStringLiteral("INSERT INTO Izmeneniya (%1) VALUES (%2);")
        .arg(changeColumns(), values.join(", "));
}

QString SqlDialect::callValuesDiffer()
{
    QStringList differences;
    for (const QString& column : callValueColumns)
        differences << QStringLiteral("OLD.%1 IS DISTINCT FROM NEW.%1").arg(column);
    return differences.join(" OR ");
}

QString SqlDialect::logRestored() const
{
    return QStringLiteral("INSERT INTO Izmeneniya (%1) SELECT %2, %3, ID, %4, NULL, NULL, NULL, "
                          "NULL, NULL, Data, usluga, Istochnik, Zapis, Vrem FROM Base WHERE ID = ?")
        .arg(changeColumns(), utcNow(), thisDesk())
        .arg(changeRestored);
}

QString SqlDialect::changes(bool ofOneCall) const
{
    return QStringLiteral("SELECT ID, %1 FROM Izmeneniya %2 ORDER BY ID DESC LIMIT ?")
        .arg(changeColumns(), ofOneCall ? QStringLiteral("WHERE Zvonok = ?") : QString());
}

QString SqlDialect::lastChange() const
{
    return QStringLiteral("SELECT COALESCE(MAX(ID), 0) FROM Izmeneniya");
}

QString SqlDialect::changesAfter() const
{
    return QStringLiteral("SELECT ID FROM Izmeneniya WHERE Zvonok = ? AND ID > ?");
}

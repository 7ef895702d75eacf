#include "TotalsCheck.h"

#include "SqlDialect.h"

#include <QSqlQuery>

namespace {
TotalsDifference::Kind kindOf(int vid)
{
    switch (vid) {
    case 1:
        return TotalsDifference::Kind::BySource;
    case 2:
        return TotalsDifference::Kind::ByService;
    case 3:
        return TotalsDifference::Kind::InternetByService;
    case SqlDialect::byHourTotals:
        return TotalsDifference::Kind::ByHour;
    default:
        return TotalsDifference::Kind::ByDate;
    }
}
} // namespace

QString TotalsCheck::keyName(const QString& key)
{
    return QStringLiteral("COALESCE((SELECT Kluch FROM Kluchi WHERE ID = %1), "
                          "CASE %1 WHEN 0 THEN '' ELSE '#' || %1 END)")
        .arg(key);
}

bool TotalsCheck::run(QSqlDatabase& db, const Statements& statements,
                      QList<TotalsDifference>* differences, QString* error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!SqlDialect::run(query, statements.callKeys, error))
        return false;
    while (query.next()) {
        TotalsDifference d;
        d.kind = TotalsDifference::Kind::CallKeys;
        d.call = query.value(0).toLongLong();
        d.period = query.value(1).toString();
        d.names = query.value(2).toString() + " / " + query.value(3).toString();
        d.storedKeys = query.value(4).toString() + " / " + query.value(5).toString();
        d.expectedKeys = query.value(6).toString() + " / " + query.value(7).toString();
        differences->append(d);
    }
    for (const QString& statement : statements.counting)
        if (!SqlDialect::run(query, statement, error))
            return false;
    // The day and the month totals compared with the counted ones both ways.
    const QString compare =
        QStringLiteral("SELECT t.Vid, t.%3, %5, t.Vsego, t.Zapis, c.Vsego, c.Zapis FROM %1 AS t "
                       "LEFT JOIN %7%2 AS c ON %4 WHERE t.Vsego %8 c.Vsego OR t.Zapis %8 c.Zapis "
                       "UNION ALL SELECT c.Vid, c.%3, %6, NULL, NULL, c.Vsego, c.Zapis FROM %7%2 "
                       "AS c LEFT JOIN %1 AS t ON %4 WHERE t.Vid IS NULL ORDER BY 1, 3, 2");
    const QString sameMonth = "c.Vid = t.Vid AND c.Kl = t.Kl AND c.Mes = t.Mes";
    // The per-hour totals are kept under their weekday and hour, not under a name.
    const QString totalName = QStringLiteral("CASE WHEN %1.Vid = %3 THEN CAST(%1.Kl AS TEXT) "
                                             "ELSE %2 END");
    const QString stored = totalName.arg("t", keyName("t.Kl")).arg(SqlDialect::byHourTotals);
    const QString counted = totalName.arg("c", keyName("c.Kl")).arg(SqlDialect::byHourTotals);
    for (const bool month : {false, true}) {
        const QString sql =
            month
                ? compare.arg("ItogMes", "ItogSchetMes", "Mes", sameMonth, stored, counted,
                              statements.countedPrefix, statements.differs)
                : compare.arg("ItogDen", "ItogSchetDen", "Data", sameMonth + " AND c.Data = t.Data",
                              stored, counted, statements.countedPrefix, statements.differs);
        if (!SqlDialect::run(query, sql, error))
            return false;
        while (query.next()) {
            TotalsDifference d;
            d.kind = kindOf(query.value(0).toInt());
            d.month = month;
            d.period = query.value(1).toString();
            d.name = query.value(2).toString();
            d.storedCalls = query.value(3).toLongLong();
            d.storedBooked = query.value(4).toLongLong();
            d.countedCalls = query.value(5).toLongLong();
            d.countedBooked = query.value(6).toLongLong();
            differences->append(d);
        }
    }
    query.finish();
    for (const QString& statement : statements.cleanup)
        if (!SqlDialect::run(query, statement, error))
            return false;
    return true;
}

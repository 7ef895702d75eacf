#include "TotalsCheck.h"

#include "SqlDialect.h"

#include <QSqlQuery>

namespace {
// The name a stored key stands for, in the differences: its folded name, '' for no name.
QString keyName(const QString& key)
{
    return QStringLiteral("COALESCE((SELECT Kluch FROM Kluchi WHERE ID = %1), "
                          "CASE %1 WHEN 0 THEN '' ELSE '#' || %1 END)")
        .arg(key);
}

// Calls whose stored keys differ: ID, Data, usluga, Istochnik, the names the stored keys stand
// for, the names the call's names fold to.
QString callKeys()
{
    return QStringLiteral("SELECT ID, Data, usluga, Istochnik, %1, %2, kv_fold(usluga), "
                          "kv_fold(Istochnik) FROM (SELECT *, %3 AS ku, %4 AS ki FROM Base) "
                          "AS b WHERE KUsluga IS DISTINCT FROM ku OR KIstochnik IS DISTINCT "
                          "FROM ki ORDER BY ID")
        .arg(keyName("KUsluga"), keyName("KIstochnik"), SqlDialect::keyOfName("usluga"),
             SqlDialect::keyOfName("Istochnik"));
}
} // namespace

QStringList TotalsCheck::counting() const
{
    // A call without keys is counted under key -1.
    const QString day = m_dialect.temporary("ItogSchetDen");
    const QString month = m_dialect.temporary("ItogSchetMes");
    return {
        "DROP TABLE IF EXISTS " + day,
        "DROP TABLE IF EXISTS " + month,
        "CREATE TEMP TABLE ItogSchetDen (Vid INTEGER, Kl BIGINT, Mes TEXT, Data TEXT, "
        "Vsego BIGINT, Zapis BIGINT, PRIMARY KEY (Vid, Kl, Mes, Data)" +
            m_dialect.keyedTableEnd(),
        "CREATE TEMP TABLE ItogSchetMes (Vid INTEGER, Kl BIGINT, Mes TEXT, Vsego BIGINT, "
        "Zapis BIGINT, PRIMARY KEY (Vid, Kl, Mes)" +
            m_dialect.keyedTableEnd(),
        "INSERT INTO " + day +
            " SELECT Vid, COALESCE(Kl, -1), substr(Data, 1, 7), Data, Vsego, Zapis FROM (" +
            m_dialect.countedRows("Base", "true") + ") AS c",
        QStringLiteral("INSERT INTO %1 SELECT Vid, Kl, Mes, SUM(Vsego), SUM(Zapis) FROM %2 "
                       "WHERE Vid <> %3 GROUP BY Vid, Kl, Mes")
            .arg(month, day)
            .arg(TotalsKind::ByDate),
    };
}

QStringList TotalsCheck::cleanup() const
{
    return {"DROP TABLE " + m_dialect.temporary("ItogSchetDen"),
            "DROP TABLE " + m_dialect.temporary("ItogSchetMes")};
}

Outcome<QList<TotalsDifference>> TotalsCheck::run(QSqlDatabase& db) const
{
    using Result = Outcome<QList<TotalsDifference>>;
    QList<TotalsDifference> differences;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (const Outcome<void> done = SqlDialect::run(query, callKeys()); !done)
        return Result::failure(done.errorText());
    while (query.next()) {
        TotalsDifference d;
        d.callKeys = true;
        d.call = query.value(0).toLongLong();
        d.period = query.value(1).toString();
        d.names = query.value(2).toString() + " / " + query.value(3).toString();
        d.storedKeys = query.value(4).toString() + " / " + query.value(5).toString();
        d.expectedKeys = query.value(6).toString() + " / " + query.value(7).toString();
        differences.append(d);
    }
    for (const QString& statement : counting())
        if (const Outcome<void> done = SqlDialect::run(query, statement); !done)
            return Result::failure(done.errorText());
    // The day and the month totals compared with the counted ones both ways.
    const QString compare =
        QStringLiteral("SELECT t.Vid, t.%3, %5, t.Vsego, t.Zapis, c.Vsego, c.Zapis FROM %1 AS t "
                       "LEFT JOIN %2 AS c ON %4 WHERE t.Vsego IS DISTINCT FROM c.Vsego "
                       "OR t.Zapis IS DISTINCT FROM c.Zapis "
                       "UNION ALL SELECT c.Vid, c.%3, %6, NULL, NULL, c.Vsego, c.Zapis FROM %2 "
                       "AS c LEFT JOIN %1 AS t ON %4 WHERE t.Vid IS NULL ORDER BY 1, 3, 2");
    const QString sameMonth = "c.Vid = t.Vid AND c.Kl = t.Kl AND c.Mes = t.Mes";
    // The per-hour totals are kept under their weekday and hour, not under a name.
    const QString totalName = QStringLiteral("CASE WHEN %1.Vid = %3 THEN CAST(%1.Kl AS TEXT) "
                                             "ELSE %2 END");
    const QString stored = totalName.arg("t", keyName("t.Kl")).arg(TotalsKind::ByHour);
    const QString counted = totalName.arg("c", keyName("c.Kl")).arg(TotalsKind::ByHour);
    for (const bool month : {false, true}) {
        const QString sql =
            month ? compare.arg("ItogMes", m_dialect.temporary("ItogSchetMes"), "Mes", sameMonth,
                                stored, counted)
                  : compare.arg("ItogDen", m_dialect.temporary("ItogSchetDen"), "Data",
                                sameMonth + " AND c.Data = t.Data", stored, counted);
        if (const Outcome<void> done = SqlDialect::run(query, sql); !done)
            return Result::failure(done.errorText());
        while (query.next()) {
            TotalsDifference d;
            d.kind = TotalsKind::Value(query.value(0).toInt());
            d.month = month;
            d.period = query.value(1).toString();
            d.name = query.value(2).toString();
            d.storedCalls = query.value(3).toLongLong();
            d.storedBooked = query.value(4).toLongLong();
            d.countedCalls = query.value(5).toLongLong();
            d.countedBooked = query.value(6).toLongLong();
            differences.append(d);
        }
    }
    query.finish();
    for (const QString& statement : cleanup())
        if (const Outcome<void> done = SqlDialect::run(query, statement); !done)
            return Result::failure(done.errorText());
    return differences;
}

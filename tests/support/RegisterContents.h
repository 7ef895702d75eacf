#pragma once

#include "DataEnv.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

// For the tests that link the data layer: what a register holds, to tell two apart.
namespace RegisterContents {
// Everything a register holds, as text: the lists in order, the calls in order (NULL told
// apart from empty), and the day and month totals under their folded names.
inline QStringList read(const QString& location)
{
    DataEnv env(location);
    if (!env.connect())
        return {env.errorText()};
    QStringList lines;
    const QStringList queries{
        "SELECT 'u', Uname FROM Uslugi ORDER BY ID", "SELECT 'i', IName FROM IName ORDER BY ID",
        "SELECT 'c', Data, usluga, Istochnik, Zapis, Vrem FROM Base ORDER BY ID",
        // Totals by their folded name; the per-hour ones (kind 5) by weekday and hour.
        "SELECT 'd', d.Vid, CASE WHEN d.Vid = 5 THEN CAST(d.Kl AS TEXT) "
        "ELSE COALESCE(k.Kluch, '') END, d.Mes, d.Data, d.Vsego, d.Zapis "
        "FROM ItogDen AS d LEFT JOIN Kluchi AS k ON k.ID = d.Kl ORDER BY 2, 3, 4, 5",
        "SELECT 'm', m.Vid, CASE WHEN m.Vid = 5 THEN CAST(m.Kl AS TEXT) "
        "ELSE COALESCE(k.Kluch, '') END, m.Mes, m.Vsego, m.Zapis "
        "FROM ItogMes AS m LEFT JOIN Kluchi AS k ON k.ID = m.Kl ORDER BY 2, 3, 4",
        // The spend travels with the calls.
        "SELECT 's', Istochnik, Mes, Kopeek FROM Rashody ORDER BY ID"};
    for (const QString& sql : queries) {
        QSqlQuery query(env.database().connection());
        if (!query.exec(sql))
            return {sql};
        while (query.next()) {
            QStringList cells;
            for (int i = 0; i < query.record().count(); ++i)
                cells << (query.value(i).isNull() ? "NULL" : query.value(i).toString());
            lines << cells.join('|');
        }
    }
    return lines;
}

} // namespace RegisterContents

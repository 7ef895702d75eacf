#pragma once

#include "SqlDialect.h"

#include <QString>
#include <QStringList>

// The embedded engine's layout as SQL: the tables of each version, and the totals kept beside
// the calls — the statements that count calls into them, the triggers that keep them in the
// transaction of every change of a call, and the sums the reports and the analysis read.
namespace SqliteTotals {

// What the totals are kept by: the row kind Vid and its key Kl.
enum TotalsKind
{
    bySource = 1,                     // Kl: the call's source key
    byService = 2,                    // Kl: the call's service key
    internetByService = 3,            // Kl: the service key of a call from the Internet
    byDate = 4,                       // Kl: 0
    byHour = SqlDialect::byHourTotals // Kl: the weekday and hour of the call, see hourKey()
};

// Weekday (1 Monday .. 7 Sunday, 0 for a date that is none) times 100 plus the hour of the
// time of day (0-23, 24 for a call without a readable time) of the call's columns given.
QString hourKey(const QString& data, const QString& vrem);
// The key of a folded name; 0 for a missing (NULL) name.
QString keyOfName(const QString& name);
// The key of the source "Интернет".
extern const QString internetKey;

// The tables of the first layout; the keys and totals of version 1; the spend of version 2.
QStringList firstLayout();
QStringList keysAndTotals();
QStringList spendTable();

// The totals rows (Vid, Kl, Data, Vsego, Zapis) of the calls of Base that meet `condition`:
// those per hour, and all of them.
QString hourRows(const QString& condition);
QString countedRows(const QString& condition);
// The totals rows one call (NEW or OLD in a trigger) counts in, as (Vid, Kl, z).
QString rowsOfCall(const QString& call);
// Adds one call to its day and month totals (sign 1) or takes it away (sign -1).
QString countCall(const QString& call, int sign);
// Removes the totals of the old call's rows that have come down to nothing.
QString dropEmptyTotals();
// Gives the new call the keys of its names.
QString keyCall();
// The triggers that keep the keys and totals.
QStringList triggers();
// The per-hour totals of a file whose other totals are in place, with the triggers.
QStringList addHourTotals();

// Sum of one measure of the totals of kind `kind` under the key l.kl over p.`from` .. p.`to`.
QString rangeSum(const QString& measure, int kind, const QString& from, const QString& to);
// A condition that reads nothing but fails when the calls' table is gone.
extern const QString callsTableExists;
// The per-name report over a list table.
QString perNameReport(const QString& listTable, const QString& nameColumn, int kind);
// The sources of the list as the per-source report reads them: IName, kl, ord.
extern const QString sourceList;

} // namespace SqliteTotals

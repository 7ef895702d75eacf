#pragma once

#include <QString>
#include <QStringList>

// The embedded engine's layout as SQL: the tables of each version, and the triggers that keep
// the keys and totals beside the calls in the transaction of every change of a call.
namespace SqliteSchema {

// Weekday (1 Monday .. 7 Sunday, 0 for a date that is none) times 100 plus the hour of the
// time of day (0-23, 24 for a call without a readable time) of the call's columns given.
QString hourKey(const QString& data, const QString& vrem);

// The tables of the first layout; the keys and totals of version 1; the spend of version 2.
QStringList firstLayout();
QStringList keysAndTotals();
QStringList spendTable();

// The totals rows one call (NEW or OLD in a trigger) counts in, as (Vid, Kl, z).
QString rowsOfCall(const QString& call);
// Adds one call to its day and month totals (sign 1) or takes it away (sign -1).
QString countCall(const QString& call, int sign);
// Removes the totals of the old call's rows that have come down to nothing.
QString dropEmptyTotals();
// Gives the new call the keys of its names.
QString keyCall();
// The triggers that keep the keys and totals, and the statements that remove them.
QStringList triggers();
QStringList dropTriggers();

} // namespace SqliteSchema

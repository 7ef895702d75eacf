#pragma once

#include "Outcome.h"
#include "TotalsDifference.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

class SqlDialect;

// The comparison of every call's stored keys and all stored totals with those the calls give,
// the same on every engine.
class TotalsCheck
{
public:
    explicit TotalsCheck(const SqlDialect& dialect) : m_dialect(dialect) {}

    // Every difference found (none when all agree), or the engine's reason for failing.
    Outcome<QList<TotalsDifference>> run(QSqlDatabase& db) const;

private:
    // The totals counted from the calls into the temporary ItogSchetDen and ItogSchetMes.
    QStringList counting() const;
    QStringList cleanup() const;

    const SqlDialect& m_dialect;
};

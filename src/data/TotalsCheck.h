#pragma once

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

    bool run(QSqlDatabase& db, QList<TotalsDifference>* differences, QString* error) const;

private:
    // The totals counted from the calls into the temporary ItogSchetDen and ItogSchetMes.
    QStringList counting() const;
    QStringList cleanup() const;

    const SqlDialect& m_dialect;
};

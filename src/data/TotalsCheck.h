#pragma once

#include "TotalsDifference.h"

#include <QList>
#include <QSqlDatabase>
#include <QStringList>

// The comparison of every call's stored keys and all stored totals with those the calls give,
// the same on every engine; the engine gives the statements of its dialect.
class TotalsCheck
{
public:
    struct Statements
    {
        // Calls whose stored keys differ: ID, Data, usluga, Istochnik, the names the stored
        // keys stand for, the names the call's names fold to.
        QString callKeys;
        // Fill the tables ItogSchetDen and ItogSchetMes with the totals counted from the calls.
        QStringList counting;
        // "IS NOT" in the engine's words, and how the counted tables are named.
        QString differs;
        QString countedPrefix;
        QStringList cleanup;
    };

    // The name a stored key stands for, in the differences: its folded name, '' for no name.
    static QString keyName(const QString& key);

    static bool run(QSqlDatabase& db, const Statements& statements,
                    QList<TotalsDifference>* differences, QString* error);
};

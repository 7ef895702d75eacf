#pragma once

#include "DataStore.h"
#include "TotalsDifference.h"

#include <QList>

// The keys and totals kept beside the calls: compared with the calls, and rebuilt from them.
class TotalsStore : public DataStore
{
public:
    using DataStore::DataStore;

    // Compares every call's keys and all totals with those computed from the calls, as of one
    // moment; fills `differences` (empty when all agree). False when the comparison could not
    // run.
    bool check(QList<TotalsDifference>* differences);
    // Recomputes every call's keys and all totals from the calls, in one transaction.
    bool rebuild();
};

#pragma once

#include "Call.h"
#include "DataStore.h"

#include <QVector>
#include <functional>

class RowSet;

// The calls: one added by the operator, many added at once (an import), the newest taken back.
class CallStore : public DataStore
{
public:
    // insertStatement stores one call (its values in Call::values() order); newest is the row
    // set of the newest call.
    CallStore(DataConnection& connection, const QString& insertStatement, RowSet* newest);

    // Stores one call. Another program's long write (an import) is waited for rather than
    // refused: after a first wait of shortWaitMsecs, waiting() is told what to show meanwhile,
    // and the call waits up to longWaitMsecs more.
    bool add(const Call& call, const std::function<void(const QString& notice)>& waiting = {});
    static constexpr int shortWaitMsecs = 1000;
    static constexpr int longWaitMsecs = 180000;

    // Stores calls in one transaction, totals included; stops at the first failing call and
    // stores none (its index goes to *failedIndex, -1 when the totals failed).
    bool addMany(const QVector<Call>& calls, int* failedIndex = nullptr);
    // The same, pulling calls from next(): it fills one call and returns Row, or returns End,
    // or Abort (then nothing is stored and errorText() is left to the caller).
    enum class Pull
    {
        Row,
        End,
        Abort
    };
    bool addMany(const std::function<Pull(Call&)>& next, int* failedIndex = nullptr);

    enum class Removal
    {
        Removed,
        Cancelled,
        NothingToRemove,
        Failed
    };
    // Removes the most recently added call once confirm() agrees (asked only when there is
    // one; none: no question); the row set of the newest call is open only meanwhile.
    Removal removeLast(const std::function<bool()>& confirm);

private:
    bool insert(const Call& call);

    QString m_insert;
    RowSet* m_newest;
};

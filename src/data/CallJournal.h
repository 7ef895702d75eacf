#pragma once

#include "CallChange.h"
#include "CallFilter.h"
#include "CallRecord.h"
#include "DataStore.h"
#include "JournalKey.h"

#include <QPair>
#include <QSqlQuery>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

class SqlDialect;

// Reads the stored calls a page at a time, newest first (by date, then key), never the whole
// table; the per-day totals give a day's counts, and the change log what was changed.
class CallJournal : public DataStore
{
public:
    explicit CallJournal(DataConnection& connection);

    // Up to `limit` calls that match `filter`, older than `after` (the last call of the page
    // before; a start key: from the newest).
    std::optional<QVector<CallRecord>> page(const CallFilter& filter, const JournalKey& after,
                                            int limit);
    std::optional<CallRecord> find(qint64 id);
    // The calls and bookings of a day.
    std::optional<QPair<int, int>> dayCount(const QDate& day);
    // Whether an operator without the owner's rights may remove these calls: only the desk's
    // own newest call, alone.
    bool operatorMayRemove(const QVector<CallRecord>& records);
    // The desks that entered calls (a server's); empty on a file.
    QStringList desks();
    // The change log, newest first: of one call, or of all (callId 0). A deleted call has no
    // values after, a restored one none before.
    std::optional<QVector<CallChange>> changes(qint64 callId, int limit);

    // The call in the current row of a query of SqlDialect::callColumns().
    static CallRecord recordAt(const QSqlQuery& query, const SqlDialect& dialect);

private:
    // Runs a reading statement and hands each row to row().
    bool read(const QString& sql, const QVariantList& arguments,
              const std::function<void(const QSqlQuery&)>& row);
};

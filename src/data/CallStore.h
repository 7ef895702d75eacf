#pragma once

#include "Call.h"
#include "CallRecord.h"
#include "DataStore.h"

#include <QObject>
#include <QPair>
#include <QSqlError>
#include <QString>
#include <QVector>
#include <functional>
#include <optional>

class QSqlQuery;

class RowSet;

// The calls: one added by the operator, many added at once (an import), the newest taken back,
// any call edited or removed; the changes made through this store can be undone step by step
// while the program runs.
class CallStore : public QObject, public DataStore
{
    Q_OBJECT

public:
    // insertStatement stores one call (its values in Call::values() order); newest is the row
    // set of the newest call.
    CallStore(DataConnection& connection, const QString& insertStatement, RowSet* newest);

    // Stores one call. Another program's long write (an import) is waited for rather than
    // refused: after a first wait of shortWaitMsecs, waiting() is told what to show meanwhile,
    // and the call waits up to longWaitMsecs more.
    // A `key` (a server's) stores the call at most once under it, however often it is sent.
    bool add(const Call& call, const std::function<void(const QString& notice)>& waiting = {},
             const QString& key = {});
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

    // The key of the call the last successful add() stored (0: none yet, or not known).
    qint64 lastAddedId() const { return m_lastAddedId; }
    // Gives the call `id` the values of `changed` (the totals follow in the same transaction);
    // refused when the call no longer exists.
    bool edit(qint64 id, const Call& changed);
    // Removes the calls in one transaction; refused (nothing removed) when one no longer exists.
    bool remove(const QVector<qint64>& ids);

    // The undo history of this program run: every add, edit, remove and removeLast made
    // through this store, the newest undone first. A step whose calls were changed meanwhile
    // elsewhere (another program or desk, as the change log shows) is refused (errorText()),
    // not forced, and leaves the history, since it can never be undone.
    bool canUndo() const { return !m_history.isEmpty(); }
    // Whether undo() would put removed calls back (the owner's part on a server).
    bool undoRestores() const;
    // What undo() would do, for a menu item or a button ("Отменить удаление 3 звонков").
    QString undoText() const;
    bool undo();

Q_SIGNALS:
    // Calls were added, edited, removed or put back through this store.
    void changed();

private:
    struct Step
    {
        enum class Kind
        {
            Added,
            Edited,
            Removed
        };
        Kind kind = Kind::Added;
        // Added: the added call (after); Edited: the call before and after; Removed: the
        // removed ones (before).
        QVector<CallRecord> before;
        QVector<CallRecord> after;
        // The change log's highest key once the step was made: a later entry of its calls
        // that this store did not make means they were changed elsewhere.
        qint64 mark = 0;
    };

    bool insert(const Call& call, const QString& key);
    // The first column of the first row of a statement (0 when none).
    QSqlError value(QSqlQuery& query, const QString& sql, const QVariantList& arguments,
                    qint64* result) const;
    QSqlError read(QSqlQuery& query, qint64 id, std::optional<CallRecord>* record) const;
    // Runs work() in one transaction; the log entries it made are this store's, and *mark is
    // the log's highest key after it. step (if any) joins the undo history before changed().
    bool change(const std::function<QSqlError(QSqlQuery&)>& work, qint64* mark,
                const Step* step = nullptr);
    bool changedElsewhere(QSqlQuery& query, const Step& step, QSqlError* error) const;
    static QSqlError refusal(const QString& reason);
    void remember(Step step);

    qint64 m_lastAddedId = 0;
    std::optional<Step> m_added;
    QVector<Step> m_history;
    // The ranges (after first, up to second) of the change log's keys written by this store.
    QVector<QPair<qint64, qint64>> m_ownChanges;

    QString m_insert;
    RowSet* m_newest;
};

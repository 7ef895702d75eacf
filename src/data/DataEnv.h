#pragma once

#include "CommandSpec.h"
#include "Database.h"

#include <QHash>
#include <QObject>
#include <QSqlDriver>
#include <QVariantList>
#include <functional>
#include <memory>

class RowSet;

// The program's only way to the data: the connection and the ten named commands, each
// row-returning command with its one shared row set "rs" + name.
class DataEnv : public QObject
{
    Q_OBJECT

public:
    explicit DataEnv(const QString& databasePath, std::unique_ptr<SqlDialect> dialect = nullptr,
                     QObject* parent = nullptr);
    ~DataEnv() override;

    // The program-wide instance over AppPaths::databasePath(), created on first use.
    static DataEnv* instance();
    // Replaces the program-wide instance (takes ownership; nullptr drops it).
    static void setInstance(DataEnv* env);

    // Opens the connection on first use; false when the database cannot be opened.
    bool connect();
    Database& database() { return m_db; }

    // Runs a command by name with typed arguments in parameter order. A row-returning command
    // (re)fills its row set; when it fails, its row set is left closed.
    bool execute(const QString& command, const QVariantList& arguments = {});
    // The same for the operator's own change: another program's long write (an import) is
    // waited for rather than refused. After a first wait of shortWaitMsecs, waiting() is told
    // what to show meanwhile, and the command waits up to longWaitMsecs more.
    bool executeWaiting(const QString& command, const QVariantList& arguments,
                        const std::function<void(const QString& notice)>& waiting);
    static constexpr int shortWaitMsecs = 1000;
    static constexpr int longWaitMsecs = 180000;
    // Bulk insert of calls in one transaction, totals included; stops at the first failing row
    // and stores none.
    bool addCalls(const QVector<QVariantList>& calls, int* failedIndex = nullptr);
    // The same, pulling calls from next(): it fills one call and returns Row, or returns End,
    // or Abort (then nothing is stored and errorText() is left to the caller).
    enum class Pull
    {
        Row,
        End,
        Abort
    };
    bool addCalls(const std::function<Pull(QVariantList&)>& next, int* failedIndex = nullptr);
    // Compares every call's keys and all totals with those computed from the calls; fills
    // `differences` (empty when all agree). False when the comparison could not run.
    bool checkTotals(QList<TotalsDifference>* differences);
    // Recomputes every call's keys and all totals from the calls, in one transaction.
    bool rebuildTotals();

    // The shared row set by name ("rsUslugi"), matched without regard to case; nullptr if none.
    RowSet* rowSet(const QString& name);
    // The row set a list, report or chart binds to by command name: opened if closed (a report
    // set with the arguments it last ran with, if any).
    RowSet* bind(const QString& command);

    // Operator-readable reason of the last failure (names the database file where relevant).
    QString errorText() const { return m_error; }
    const CommandSpec* command(const QString& name) const;

    // The reference lists' entries and the calls that use them ("Uslugi" or "Istochnik").
    // The number of recorded calls whose name is `name`, letter case aside; -1 on failure.
    qint64 callsUsing(const QString& listCommand, const QString& name);
    // Renames the entry at `row` of the list's row set, and every call that uses its name, in
    // one transaction; the new name is stored as ListNames gives it, and refused when it cannot
    // be. A new name equal to another entry (letter case aside) merges into that one: the entry
    // goes and its calls take the other's name, given back in *mergedInto.
    bool renameEntry(const QString& listCommand, int row, const QString& newName,
                     QString* mergedInto = nullptr);

    // Claims the dispatch due at `due` to `recipient` for this desk. On a database shared by
    // several desks the claim is a row in the database: *mine is false when another desk holds
    // it. With one desk it is always this one's. False when the database could not be asked.
    bool claimDispatch(const QString& due, const QString& recipient, bool* mine);

Q_SIGNALS:
    // A reference list ("Uslugi" or "Istochnik") was reloaded after another desk changed it.
    void listChanged(const QString& listCommand);

private:
    bool fail(const QString& error);
    bool setLockWait(int msecs);
    // After a failed statement on a server: true when the connection was lost and has been
    // opened again, so that the statement may be run once more.
    bool reconnected();
    void listenToOtherDesks();
    void onNotification(const QString& channel, QSqlDriver::NotificationSource source,
                        const QVariant& payload);
    // Commits; on failure rolls back and keeps the reason.
    bool commitOrRollBack(QSqlDatabase& db);

    Database m_db;
    QList<CommandSpec> m_commands;
    QHash<QString, RowSet*> m_rowSets; // key: lower-case row set name
    QHash<QString, QVariantList> m_lastArguments;
    QString m_error;
    bool m_lockTimedOut = false; // the last command failed on another transaction's write
};

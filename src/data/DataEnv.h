#pragma once

#include "CommandSpec.h"
#include "DataConnection.h"

#include <QHash>
#include <QObject>
#include <QVariantList>
#include <memory>

class CallJournal;
class CallStore;
class DispatchClaims;
class ListStore;
class RowSet;
class TotalsStore;

// The program's way to the data: the connection, the named commands with the one shared row
// set "rs" + name of each row-returning command, and the typed stores over them.
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

    // Opens the connection on first use; false (and errorText()) when it cannot be opened.
    bool connect();
    DataConnection& connection() { return m_connection; }
    Database& database() { return m_connection.database(); }

    CallStore& calls() { return *m_calls; }
    CallJournal& journal() { return *m_journal; }
    ListStore& lists() { return *m_lists; }
    TotalsStore& totals() { return *m_totals; }
    DispatchClaims& claims() { return *m_claims; }

    // Runs a command by name with typed arguments in parameter order. A row-returning command
    // (re)fills its row set; when it fails, its row set is left closed.
    bool execute(const QString& command, const QVariantList& arguments = {});
    // The shared row set by name ("rsUslugi"), matched without regard to case; nullptr if none.
    RowSet* rowSet(const QString& name);
    // The row set a list, report or chart binds to by command name. A command without
    // parameters is run if its set is closed; a report's set is filled only by running the
    // report with its period.
    RowSet* bind(const QString& command);
    const CommandSpec* command(const QString& name) const;

    // Whether this connection may do the owner's part: change the lists and the spend, edit
    // calls and remove others than the desk's own newest (a server's operators may not).
    // Connects first; true when it cannot (the failure shows where the data is read).
    bool ownerRights();

    // Operator-readable reason of the last failure of connect() or execute().
    QString errorText() const { return m_error; }

private:
    bool fail(const QString& error);

    DataConnection m_connection;
    QList<CommandSpec> m_commands;
    QHash<QString, RowSet*> m_rowSets; // key: lower-case row set name
    std::unique_ptr<CallStore> m_calls;
    std::unique_ptr<CallJournal> m_journal;
    std::unique_ptr<ListStore> m_lists;
    std::unique_ptr<TotalsStore> m_totals;
    std::unique_ptr<DispatchClaims> m_claims;
    QString m_error;
};

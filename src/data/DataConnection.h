#pragma once

#include "Database.h"

#include <QObject>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>
#include <functional>
#include <memory>

class QTimer;

// The connection to the data: opened on first use, opened again when a server dropped it, and
// listening for the other desks' announcements of changed tables.
class DataConnection : public QObject
{
    Q_OBJECT

public:
    explicit DataConnection(const QString& databasePath,
                            std::unique_ptr<SqlDialect> dialect = nullptr,
                            QObject* parent = nullptr);

    // Opens the connection on first use; false when the database cannot be opened.
    bool connect();
    Database& database() { return m_db; }
    const SqlDialect& dialect() const { return m_db.dialect(); }
    QSqlDatabase connection() const { return m_db.connection(); }

    // Runs one statement through attempt(), which gives the statement's error (an invalid one
    // when it succeeded). A statement on its own commits or not at all: after a lost
    // connection it is run once more on a new one. False (and errorText()) when it failed.
    bool run(const std::function<QSqlError()>& attempt);
    // The last failure of run() was another transaction's write outlasting the wait.
    bool lockTimedOut() const { return m_lockTimedOut; }
    // After a failed statement on a server: true when the connection was lost and has been
    // opened again, so that the statement may be run once more.
    bool reconnected();
    // The connection's statements wait up to `msecs` for another transaction's write; a
    // negative `msecs` gives back the usual wait.
    bool setLockWait(int msecs);

    // On a file: whether another connection (another program, a second window's connection)
    // committed to it since the last look, by the file's change counter; when it did,
    // changedElsewhere() and callsChanged() are emitted. Once open, the connection looks by
    // itself every pollInterval ms while its thread's event loop runs.
    bool checkChangedElsewhere();
    static constexpr int pollInterval = 500;

    // Operator-readable reason of the last failure (names the database file where relevant).
    QString errorText() const { return m_error; }

Q_SIGNALS:
    // Another desk announced a change of `table`.
    void tableChanged(const QString& table);
    // On a file: another connection committed to it (any table may have changed).
    void changedElsewhere();
    // The calls may have been changed elsewhere: another connection committed to the file, or
    // another desk announced a change of the calls or of a list (a rename reaches its calls).
    void callsChanged();

private:
    bool fail(const QString& error);
    void listenToOtherDesks();
    void watchTheFile();
    void onNotification(const QString& channel, QSqlDriver::NotificationSource source,
                        const QVariant& payload);

    Database m_db;
    QString m_error;
    bool m_lockTimedOut = false;
    QTimer* m_poll = nullptr;
    QVariant m_changeCount; // the change counter at the last look
};

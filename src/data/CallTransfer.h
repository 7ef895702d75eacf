#pragma once

#include <QString>

class DataConnection;
class KeptCalls;

// Sends the calls a desk kept while its server was away, oldest first, each in a transaction
// of its own that inserts it under its key unless the server has it already; the desk forgets
// a call only once the server has committed it. A transfer cut anywhere (a lost connection, a
// killed program) sends on the next run what is left, and nothing twice.
class CallTransfer
{
public:
    CallTransfer(DataConnection& connection, KeptCalls& kept);

    // Sends every waiting call; false when some still wait (errorText(), serverAway()).
    bool run();
    // Calls the server took during the last run().
    int sent() const { return m_sent; }
    // The last run() stopped because the server could not be reached.
    bool serverAway() const { return m_away; }
    QString errorText() const { return m_error; }

    // Whether a failure's text tells of a server that cannot be reached (refused, cut off,
    // not answering, starting or shutting down), rather than of a refusal by a server that is
    // there (a wrong password, a newer layout).
    static bool isServerAway(const QString& errorText);

private:
    bool fail(const QString& error);

    DataConnection& m_connection;
    KeptCalls& m_kept;
    int m_sent = 0;
    bool m_away = false;
    QString m_error;
};

#pragma once

#include <QString>

// Where the calls are kept: a file path (the embedded engine) or a server URL
// postgresql://USER@HOST:PORT/DBNAME. The password never appears here: the server's client
// library takes it from its own sources (~/.pgpass, PGPASSWORD).
class DatabaseLocation
{
public:
    explicit DatabaseLocation(const QString& location);

    static bool isServerUrl(const QString& location);

    bool isServer() const { return m_server; }
    // False for a server URL that lacks a part or carries a password.
    bool isValid() const { return m_valid; }
    QString errorText() const { return m_error; }

    QString text() const { return m_text; }
    QString user() const { return m_user; }
    QString host() const { return m_host; }
    int port() const { return m_port; }
    QString databaseName() const { return m_database; }
    // "HOST:PORT/DBNAME", how a message names the server.
    QString serverName() const;

private:
    QString m_text;
    bool m_server = false;
    bool m_valid = true;
    QString m_error;
    QString m_user;
    QString m_host;
    int m_port = 5432;
    QString m_database;
};

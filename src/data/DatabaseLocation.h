#pragma once

#include <QMap>
#include <QString>

// Where the calls are kept: a file path (the embedded engine) or a server URL
// postgresql://USER@HOST:PORT/DBNAME[?PARAMETER=VALUE&...]. The parameters are those of the
// server's client library that concern the connection's encryption and patience (sslmode,
// sslrootcert, sslcert, sslkey, connect_timeout); any other one is refused rather than left
// out. The password never appears here: the client library takes it from its own sources
// (~/.pgpass, PGPASSWORD).
class DatabaseLocation
{
public:
    explicit DatabaseLocation(const QString& location);

    static bool isServerUrl(const QString& location);

    bool isServer() const { return m_server; }
    // False for a server URL that lacks a part, carries a password or a parameter that is
    // unknown, repeated or of a wrong value.
    bool isValid() const { return m_valid; }
    QString errorText() const { return m_error; }

    QString text() const { return m_text; }
    QString user() const { return m_user; }
    QString host() const { return m_host; }
    int port() const { return m_port; }
    QString databaseName() const { return m_database; }
    // The connection parameters of the query, percent-decoded, by name.
    QMap<QString, QString> parameters() const { return m_parameters; }
    // "HOST:PORT/DBNAME", how a message names the server.
    QString serverName() const;

private:
    bool readParameters(const QString& query);
    bool refuse(const QString& reason);

    QString m_text;
    bool m_server = false;
    bool m_valid = true;
    QString m_error;
    QString m_user;
    QString m_host;
    int m_port = 5432;
    QString m_database;
    QMap<QString, QString> m_parameters;
};

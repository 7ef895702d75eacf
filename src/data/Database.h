#pragma once

#include "SqlDialect.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <memory>

// The one connection to the database: a file, or a database on a server (several desks). A
// file that does not exist, or an empty server database, is created with the empty schema. An
// existing file of an older layout is upgraded on opening, after a copy of it has been written
// beside it (upgradeCopyPath()); any other file that cannot be used (another program's, a newer
// layout's, a damaged one) is refused and left as it is.
class Database
{
public:
    explicit Database(const QString& path, std::unique_ptr<SqlDialect> dialect = nullptr);
    ~Database();
    Database(const Database&) = delete;
    // Binds the program's values to a prepared statement, in order, as the engine takes them.
    bool bindArguments(QSqlQuery& query, const QVariantList& arguments) const;
    // Prepares `sql` on `query`, binds the arguments and runs it: the statement's error, an
    // invalid one when it ran.
    QSqlError run(QSqlQuery& query, const QString& sql, const QVariantList& arguments) const;
    Database& operator=(const Database&) = delete;

    bool open();
    // Closes the connection and opens it again (a server that restarted).
    bool reconnect();
    // The engine a location names: a server URL or a file.
    static std::unique_ptr<SqlDialect> forLocation(const QString& location);
    bool isOpen() const { return m_open; }
    QString path() const { return m_path; }
    // Why the last open failed, in words for the operator (names the file).
    QString errorText() const { return m_error; }

    // The connection may do the owner's part (always on a file); see SqlDialect::readRights().
    bool ownerRights() const { return m_ownerRights; }

    // The layout version of the open file.
    int version() const { return m_version; }
    // Where the file of layout `version` is copied before it is upgraded ("KvBD.db.v0.bak").
    QString upgradeCopyPath(int version) const;

    QSqlDatabase connection() const;
    // Counts the openings of the connection: a statement prepared on an earlier one is gone.
    int generation() const { return m_generation; }
    const SqlDialect& dialect() const { return *m_dialect; }
    SqlDialect& dialect() { return *m_dialect; }

    // Operator-readable reason for a failed statement.
    static QString describe(const QSqlError& error);

private:
    bool fail(const QString& reason);
    bool openServer();
    bool createSchema(QSqlDatabase& db);
    bool checkSchema(QSqlDatabase& db);
    bool upgradeSchema(QSqlDatabase& db);
    bool runInTransaction(QSqlDatabase& db, const QStringList& statements);

    QString m_path;
    QString m_connectionName;
    std::unique_ptr<SqlDialect> m_dialect;
    bool m_open = false;
    int m_version = 0;
    bool m_ownerRights = true;
    int m_generation = 0;
    QString m_error;
};

#pragma once

#include "SqlDialect.h"

#include <QSqlDatabase>
#include <QString>
#include <memory>

// The one connection to the database file. A file that does not exist is created with the
// empty schema; an existing file is never changed by opening it, whatever is wrong with it.
class Database
{
public:
    explicit Database(const QString& path, std::unique_ptr<SqlDialect> dialect = nullptr);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool open();
    bool isOpen() const { return m_open; }
    QString path() const { return m_path; }
    // Why the last open failed, in words for the operator (names the file).
    QString errorText() const { return m_error; }

    QSqlDatabase connection() const;
    const SqlDialect& dialect() const { return *m_dialect; }
    SqlDialect& dialect() { return *m_dialect; }

    // Operator-readable reason for a failed statement.
    static QString describe(const QSqlError& error);

private:
    bool fail(const QString& reason);
    bool createSchema(QSqlDatabase& db);
    bool checkSchema(QSqlDatabase& db);

    QString m_path;
    QString m_connectionName;
    std::unique_ptr<SqlDialect> m_dialect;
    bool m_open = false;
    QString m_error;
};

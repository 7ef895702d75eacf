#pragma once

#include "CommandSpec.h"

#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>

// Everything that depends on the database engine: the schema, the command texts, how typed
// values travel to and from the engine, and the connection set-up.
class SqlDialect
{
public:
    virtual ~SqlDialect() = default;

    virtual QString driverName() const = 0;
    virtual QString connectOptions() const = 0;
    // Runs once on a freshly opened connection (functions, journal, durability).
    virtual bool prepareConnection(QSqlDatabase& db, QString* error) const = 0;
    // Statements that create an empty database with its first entries.
    virtual QStringList schema() const = 0;
    virtual QStringList requiredTables() const = 0;
    virtual QList<CommandSpec> commands() const = 0;
    virtual QString insertRow(const QString& table, const QString& column) const = 0;
    virtual QString deleteRow(const QString& table) const = 0;
    virtual QString lastCall() const = 0;

    // Typed program value -> value bound to a statement, and back for date columns.
    virtual QVariant toDb(const QVariant& value) const = 0;
    virtual QVariant dateFromDb(const QVariant& value) const = 0;
};

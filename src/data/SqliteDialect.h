#pragma once

#include "SqlDialect.h"

// The embedded engine. Names are compared through kv_fold(), a full Unicode case fold
// registered on every connection (SQLite's own NOCASE folds only ASCII). Dates are stored as
// ISO text, which orders like the dates themselves.
class SqliteDialect : public SqlDialect
{
public:
    QString driverName() const override;
    QString connectOptions() const override;
    bool prepareConnection(QSqlDatabase& db, QString* error) const override;
    QStringList schema() const override;
    QStringList requiredTables() const override;
    QList<CommandSpec> commands() const override;
    QString insertRow(const QString& table, const QString& column) const override;
    QString deleteRow(const QString& table) const override;
    QString lastCall() const override;
    QVariant toDb(const QVariant& value) const override;
    QVariant dateFromDb(const QVariant& value) const override;

    void setBusyTimeout(int msecs) { m_busyTimeout = msecs; }

private:
    int m_busyTimeout = 5000;
};

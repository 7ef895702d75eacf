#pragma once

#include "SqlDialect.h"

#include <functional>

// The embedded engine. Names are compared through kv_fold(), a full Unicode case fold
// registered on every connection (SQLite's own NOCASE folds only ASCII). Dates are stored as
// ISO text, which orders like the dates themselves. The file header carries the program's
// application id and the layout version (user_version); triggers on Base keep the totals in
// the transaction of every insert, delete and change of a call.
class SqliteDialect : public SqlDialect
{
public:
    QString driverName() const override;
    QString connectOptions(const QMap<QString, QString>& parameters) const override;
    Outcome<void> prepareConnection(QSqlDatabase& db) const override;
    QString probeFile() const override;
    QStringList fileSettings() const override;
    QString lockWait(int msecs) const override;
    QString changeCounter() const override { return QStringLiteral("PRAGMA data_version"); }
    bool isLockTimeout(const QSqlError& error) const override;
    int schemaVersion() const override;
    Outcome<int> readVersion(QSqlDatabase& db) const override;
    QStringList schema() const override;
    QStringList upgrade(int fromVersion) const override;
    QStringList requiredTables(int version) const override;
    Outcome<void> copyTo(QSqlDatabase& db, const QString& path) const override;
    QString insertRow(const QString& table, const QString& column) const override;
    QString lastCall() const override;
    QString lastInsertedCall() const override;
    std::unique_ptr<CallWriter> callWriter(QSqlDatabase& db) const override;
    QStringList rebuildTotals() const override;
    QString temporary(const QString& name) const override;
    QString keyedTableEnd() const override;

    void setBusyTimeout(int msecs) { m_busyTimeout = msecs; }

    // The bulk path (SqliteCallWriter): the highest call ID, a name's key made sure of, a
    // name's key, a call with its keys, and the totals of the calls after a given ID.
    QString highestCallId() const;
    QString addKey() const;
    QString keyOf() const;
    QString insertKeyedCall() const;
    // `counted`, when given, fills the new totals (the table it is named) itself, in place of
    // a count of the calls after lastId.
    Outcome<void>
    addTotalsAfter(QSqlDatabase& db, qint64 lastId,
                   const std::function<Outcome<void>(const QString& table)>& counted = {}) const;

protected:
    QString utcNow() const override;
    QString hourOf(const QString& data, const QString& vrem) const override;
    QString daysBetween(const QString& from, const QString& to) const override;

private:
    // The per-hour totals of a file whose other totals are in place (version 1), with the
    // triggers that keep them too.
    QStringList addHourTotals() const;
    // Version 3: the change log and the triggers that fill it.
    QStringList changeLog() const;

    int m_busyTimeout = 5000;
};

#pragma once

#include "SqlDialect.h"

// The server engine, for several desks on one database (its layout: PostgresSchema). Names are
// compared through kv_fold(), a SQL function that gives the same full Unicode case fold as the
// embedded engine (ICU's lowering, then the characters whose fold differs from their lower case).
// Dates are ISO text as in the file, so the reports' statements and the totals are the same. A
// table Kalvent holds the layout version and marks the database as the program's. Every call
// records the desk that added it (the session setting kalvent.desk); a change of a reference list
// is announced on the channel kalvent_lists, with the list's table as the payload.
class PostgresDialect : public SqlDialect
{
public:
    explicit PostgresDialect(const QString& desk = QString());

    QString driverName() const override;
    QString connectOptions(const QMap<QString, QString>& parameters) const override;
    Outcome<void> prepareConnection(QSqlDatabase& db) const override;
    QString lockWait(int msecs) const override;
    bool isLockTimeout(const QSqlError& error) const override;
    bool isServer() const override { return true; }
    int schemaVersion() const override;
    Outcome<int> readVersion(QSqlDatabase& db) const override;
    QStringList schema() const override;
    QStringList upgrade(int fromVersion) const override;
    QStringList requiredTables(int version) const override;
    Outcome<bool> readRights(QSqlDatabase& db) const override;
    Outcome<void> copyTo(QSqlDatabase& db, const QString& path) const override;
    QString snapshot() const override;
    QStringList emptyRegister() const override;
    QString insertRow(const QString& table, const QString& column) const override;
    QString lastCall() const override;
    QString lastInsertedCall() const override;
    QString keyedCallInsert() const override;
    QString desks() const override;
    std::unique_ptr<CallWriter> callWriter(QSqlDatabase& db) const override;
    QStringList rebuildTotals() const override;
    QString temporary(const QString& name) const override;
    QString listChannel() const override;
    QStringList claimDispatch() const override;

    QString desk() const { return m_desk; }

    // The bulk path (PostgresCallWriter): the calls go to a session table first, then into
    // Base with their keys and totals in a few statements.
    QStringList bulkStart() const;
    QString bulkInsert(int rows) const;
    QStringList bulkFinish() const;

protected:
    QString utcNow() const override;
    QString thisDesk() const override;
    QString deskColumn() const override;
    QString hourOf(const QString& data, const QString& vrem) const override;
    QString daysBetween(const QString& from, const QString& to) const override;

private:
    // The trigger function that logs an edit or a removal of a call.
    QString changeLogFunction() const;

    QString m_desk;
};

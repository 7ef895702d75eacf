#pragma once

#include "CallWriter.h"
#include "CommandSpec.h"
#include "TotalsDifference.h"

#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <memory>

// Everything that depends on the database engine: the schema and its versions, the command
// texts, the totals kept beside the calls, how typed values travel to and from the engine, and
// the connection set-up.
class SqlDialect
{
public:
    // Runs one statement; on failure the engine's reason goes to *error.
    static bool run(QSqlQuery& query, const QString& sql, QString* error);
    static bool failed(const QSqlQuery& query, QString* error);

    virtual ~SqlDialect() = default;

    virtual QString driverName() const = 0;
    // The driver's connect options, with the location's connection parameters (a server's).
    virtual QString connectOptions(const QMap<QString, QString>& parameters) const = 0;
    // Runs once on a freshly opened connection (functions, journal, durability).
    virtual bool prepareConnection(QSqlDatabase& db, QString* error) const = 0;
    // A statement that reads a file's header, failing on a file that is not a database, a
    // damaged or a locked one; empty where there is no file.
    virtual QString probeFile() const { return {}; }
    // Statements run on a file once its layout is known to be the program's (its journal and
    // durability).
    virtual QStringList fileSettings() const { return {}; }
    // A server reached by URL (several desks) rather than a file of this computer.
    virtual bool isServer() const { return false; }
    // The statement after which the connection's statements wait up to `msecs` for another
    // transaction's write to end; a negative `msecs` gives back the connection's usual wait.
    virtual QString lockWait(int msecs) const = 0;
    // The statement failed because another transaction's write outlasted the wait.
    virtual bool isLockTimeout(const QSqlError& error) const = 0;

    // The layout version this program writes.
    virtual int schemaVersion() const = 0;
    // The layout version a file records; foreignFile for a file marked as another program's.
    static constexpr int foreignFile = -1;
    virtual bool readVersion(QSqlDatabase& db, int* version, QString* error) const = 0;
    // Statements that create an empty database of the current version with its first entries.
    virtual QStringList schema() const = 0;
    // Statements that bring a file of an older version to the current one (one transaction).
    virtual QStringList upgrade(int fromVersion) const = 0;
    // The tables a file of that version must have.
    virtual QStringList requiredTables(int version) const = 0;
    // Writes a consistent copy of the open database to a new file.
    virtual bool copyTo(QSqlDatabase& db, const QString& path, QString* error) const = 0;

    virtual QList<CommandSpec> commands() const = 0;
    virtual QString insertRow(const QString& table, const QString& column) const = 0;
    virtual QString deleteRow(const QString& table) const = 0;
    // Sets the name column of one row (parameters: the name, the row's ID).
    virtual QString renameRow(const QString& table, const QString& column) const;
    virtual QString lastCall() const = 0;
    // The number of calls whose name in `callColumn` (usluga, Istochnik) matches a name (one
    // parameter) without regard to case.
    virtual QString callsNamed(const QString& callColumn) const = 0;
    // Renames those calls: parameters are the new name, then the old one.
    virtual QString renameCalls(const QString& callColumn) const = 0;

    // The advertising analysis. The sources are the distinct (case-folded) names of the list of
    // sources in the order they were added, each row led by its place `ord` in that order.
    // Calls and bookings per source over two periods (s, e, ps, pe): ord, name, calls, booked,
    // previous calls, previous booked.
    virtual QString sourceFigures() const = 0;
    // The spend per source and month in a range of months (first, last; "YYYY-MM"): ord, month,
    // kopecks.
    virtual QString sourceSpend() const = 0;
    // Calls per weekday and hour of the day over a period (s, e): weekday * 100 + hour (24
    // for calls without a time of day), calls.
    virtual QString callsByHour() const;
    // The totals kind of the per-hour totals, the same on every engine.
    static constexpr int byHourTotals = 5;
    // Calls and bookings per week over a period (s, e, the Monday of s), of all calls or, with
    // `ofOneSource`, of the calls of one source (a fourth parameter, its name): the week's
    // number from that Monday, calls, booked.
    virtual QString weeklyCalls(bool ofOneSource) const = 0;
    // The stored spend: every entry as (source, month, kopecks), by month and then source;
    // the entries of one source (matched without regard to case) and month removed
    // (parameters: source, month); one entry added (source, month, kopecks); every entry of a
    // source renamed (new name, old name).
    virtual QString spendEntries() const;
    virtual QString removeSpend() const;
    virtual QString addSpend() const;
    virtual QString renameSpend() const;

    // Bulk insertion of calls on the connection, inside its open transaction.
    virtual std::unique_ptr<CallWriter> callWriter(QSqlDatabase& db) const = 0;
    // Statements that recompute every call's keys and all totals from the calls.
    virtual QStringList rebuildTotals() const = 0;
    // Every place where the stored keys or totals differ from those the calls give.
    virtual bool findDifferences(QSqlDatabase& db, QList<TotalsDifference>* differences,
                                 QString* error) const = 0;

    // Typed program value -> value bound to a statement, and back for date columns. Both
    // engines keep dates and times as ISO text and the booking as 0 or 1.
    virtual QVariant toDb(const QVariant& value) const;
    virtual QVariant dateFromDb(const QVariant& value) const;

    // The channel on which a change of a reference list is announced to the other desks;
    // empty when the engine has one desk only.
    virtual QString listChannel() const { return {}; }
    // The claim of a due dispatch by this desk, for engines shared by several desks: the first
    // statement records the claim (parameters: the due date, the recipient), the second gives
    // true when this desk holds it (same parameters). Empty: one desk, no claim needed.
    virtual QStringList claimDispatch() const { return {}; }
};

#pragma once

#include "CallFilter.h"
#include "CallWriter.h"
#include "CommandSpec.h"
#include "JournalKey.h"
#include "Outcome.h"
#include "ReportQuery.h"
#include "TotalsDifference.h"

#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <memory>

// The statements of the program on a database engine. Those that mean the same on every engine
// (the commands, the reports, the analysis, the totals' rebuild and check) are written once
// here; an engine gives its connection set-up, its schema and versions, its bulk path and the
// few words in which it differs.
class SqlDialect
{
public:
    // Runs one statement; on failure the engine's reason.
    static Outcome<void> run(QSqlQuery& query, const QString& sql);
    // The engine's reason for the failure of the statement last run.
    static Outcome<void> failed(const QSqlQuery& query);

    virtual ~SqlDialect() = default;

    virtual QString driverName() const = 0;
    // The driver's connect options, with the location's connection parameters (a server's).
    virtual QString connectOptions(const QMap<QString, QString>& parameters) const = 0;
    // Runs once on a freshly opened connection (functions, journal, durability).
    virtual Outcome<void> prepareConnection(QSqlDatabase& db) const = 0;
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
    virtual Outcome<int> readVersion(QSqlDatabase& db) const = 0;
    // Statements that create an empty database of the current version with its first entries.
    virtual QStringList schema() const = 0;
    // Statements that bring a file of an older version to the current one (one transaction).
    virtual QStringList upgrade(int fromVersion) const = 0;
    // The tables a file of that version must have.
    virtual QStringList requiredTables(int version) const = 0;
    // Whether the connection may do the owner's part (the lists, the spend, editing calls); a
    // server's operators may not. May adopt the desk the server binds to the connection's role.
    virtual Outcome<bool> readRights(QSqlDatabase&) const { return true; }
    // Writes a consistent copy of the open database to a new file.
    virtual Outcome<void> copyTo(QSqlDatabase& db, const QString& path) const = 0;
    // The first statement of a transaction that reads one moment of a busy database; empty
    // where every transaction does.
    virtual QString snapshot() const { return {}; }
    // Removes every call with its keys and totals, and the spend (in the caller's transaction).
    virtual QStringList emptyRegister() const;

    // The named commands of the data environment: the lists, the calls, the reports.
    QList<CommandSpec> commands() const;
    virtual QString insertRow(const QString& table, const QString& column) const = 0;
    QString deleteRow(const QString& table) const;
    // Sets the name column of one row (parameters: the name, the row's ID).
    virtual QString renameRow(const QString& table, const QString& column) const;
    virtual QString lastCall() const = 0;
    // The number of calls whose name in `callColumn` (usluga, Istochnik) matches a name (one
    // parameter) without regard to case.
    QString callsNamed(const QString& callColumn) const;
    // Renames those calls: parameters are the new name, then the old one.
    QString renameCalls(const QString& callColumn) const;
    // The statement of a report (parameters: ReportQuery::arguments()).
    QString report(const ReportQuery& query) const;

    // The advertising analysis. The sources are the distinct (case-folded) names of the list of
    // sources in the order they were added, each row led by its place `ord` in that order.
    // Calls and bookings per source over two periods (s, e, ps, pe): ord, name, calls, booked,
    // previous calls, previous booked.
    QString sourceFigures() const;
    // The spend per source and month in a range of months (first, last; "YYYY-MM"): ord, month,
    // kopecks.
    QString sourceSpend() const;
    // Calls per weekday and hour of the day over a period (s, e): weekday * 100 + hour (24
    // for calls without a time of day), calls.
    QString callsByHour() const;
    // Calls and bookings per week over a period (s, e, the Monday of s), of all calls or, with
    // `ofOneSource`, of the calls of one source (a fourth parameter, its name): the week's
    // number from that Monday, calls, booked.
    QString weeklyCalls(bool ofOneSource) const;
    // The stored spend: every entry as (source, month, kopecks), by month and then source;
    // the entries of one source (matched without regard to case) and month removed
    // (parameters: source, month); one entry added (source, month, kopecks); every entry of a
    // source renamed (new name, old name).
    QString spendEntries() const;
    QString removeSpend() const;
    QString addSpend() const;
    QString renameSpend() const;

    // The call journal. The columns of a call as the journal reads them: ID, Data, usluga,
    // Istochnik, Zapis, Vrem and the desk (NULL where there are none).
    QString callColumns() const;
    // Up to `limit` calls that meet the filter, newest first by (Data, ID), after the key of
    // the page before (none: from the newest); the values to bind go to *arguments.
    QString journalPage(const CallFilter& filter, const JournalKey& after, int limit,
                        QVariantList* arguments) const;
    // One call by its ID.
    QString callById() const;
    // The calls and bookings of a day (a parameter) from the day totals.
    QString dayCount() const;
    // The desks that entered calls, in order; empty where calls have no desk.
    virtual QString desks() const { return {}; }
    // Sets every value of one call (parameters: Call::values(), then the ID).
    QString editCall() const;
    // Removes one call (parameter: the ID).
    QString removeCall() const;
    // Puts a removed call back with its ID and desk (parameters: the ID, Call::values(), the
    // desk) and logs it as restored (parameter: the ID).
    QString restoreCall() const;
    QString logRestored() const;
    // The key of the newest call this connection inserted.
    virtual QString lastInsertedCall() const = 0;
    // On a server: stores one call under its desk's key unless the server has that key already
    // (parameters: Call::values(), the key twice); empty on a file.
    virtual QString keyedCallInsert() const { return {}; }

    // The change log Izmeneniya: every edit and removal of a call, logged by triggers, and
    // every call put back, logged by the store that puts it back. Vid is the kind.
    static constexpr int changeEdited = 1;
    static constexpr int changeDeleted = 2;
    static constexpr int changeRestored = 3;
    // The log's newest entries (parameter: the limit), or those of one call (parameters: the
    // call's ID, the limit): ID, Kogda, Pult, Zvonok, Vid, then the call's values before and
    // after, each as Data, usluga, Istochnik, Zapis, Vrem.
    QString changes(bool ofOneCall) const;
    // The highest key of the log (0 when empty).
    QString lastChange() const;
    // The keys of the entries of one call after a key (parameters: the call, the key).
    QString changesAfter() const;
    // The columns of the log after its ID; a trigger's statement that logs a change of a call,
    // its values before and after taken from the trigger's rows (OLD, NEW; empty: none); the
    // condition that the call's values differ between OLD and NEW.
    static QString changeColumns();
    QString logChange(int kind, const QString& before, const QString& after) const;
    static QString callValuesDiffer();

    // Bulk insertion of calls on the connection, inside its open transaction.
    virtual std::unique_ptr<CallWriter> callWriter(QSqlDatabase& db) const = 0;
    // Statements that recompute every call's keys and all totals from the calls.
    virtual QStringList rebuildTotals() const = 0;
    // Every place where the stored keys or totals differ from those the calls give.
    Outcome<QList<TotalsDifference>> findDifferences(QSqlDatabase& db) const;

    // Pieces of statements that read and keep the totals, the same on every engine.
    // The key of a folded name; 0 for a missing (NULL) name, which no list name matches.
    static QString keyOfName(const QString& name);
    // The source the Internet report counts, and its key.
    static QString internetSource();
    static QString internetKey();
    // A condition that reads nothing but fails when the calls' table is gone: the reports read
    // the totals, which stand for the calls, and fail like a count over the calls would.
    static QString callsTableExists();
    // The totals rows (Vid, Kl, Data, Vsego, Zapis) of the calls of `table` that meet
    // `condition`: those per hour, and all of them.
    QString hourRows(const QString& table, const QString& condition) const;
    QString countedRows(const QString& table, const QString& condition) const;
    // Adds the rows of `table` (Vid, Kl, Mes, Data, Vsego, Zapis) to the day and month totals.
    static QStringList addToTotals(const QString& table);
    // The names of the calls given keys, every call keyed anew and all totals counted again;
    // the engine surrounds them with what keeps its triggers out of the way.
    QStringList totalsFromCalls() const;
    // The temporary table `name` as it is named in statements of this engine.
    virtual QString temporary(const QString& name) const = 0;
    // The clause that ends the creation of a keyed temporary table.
    virtual QString keyedTableEnd() const { return QStringLiteral(")"); }

    // Typed program value -> value bound to a statement, and back for date columns. Both
    // engines keep dates and times as ISO text and the booking as 0 or 1.
    virtual QVariant toDb(const QVariant& value) const;
    virtual QVariant dateFromDb(const QVariant& value) const;

    // The channel on which a change of a reference list is announced to the other desks;
    // empty when the engine has one desk only.
    virtual QString listChannel() const { return {}; }
    // A statement giving one number that moves whenever another connection commits to the
    // database, read in constant time; empty when the engine has none (a server announces its
    // changes on listChannel() instead).
    virtual QString changeCounter() const { return {}; }
    // The claim of a due dispatch by this desk, for engines shared by several desks: the first
    // statement records the claim (parameters: the due date, the recipient), the second gives
    // true when this desk holds it (same parameters). Empty: one desk, no claim needed.
    virtual QStringList claimDispatch() const { return {}; }

protected:
    // The present moment in UTC as ISO text (YYYY-MM-DD HH:MM:SS), the desk of this connection
    // (NULL where there is none) and the calls' desk column (empty where there is none).
    virtual QString utcNow() const = 0;
    virtual QString thisDesk() const { return QStringLiteral("NULL"); }
    virtual QString deskColumn() const { return {}; }
    // Where the engines differ in their words: the weekday and hour key of a call's date and
    // time (see TotalsKind::ByHour), and the whole days from one ISO date to another.
    virtual QString hourOf(const QString& data, const QString& vrem) const = 0;
    virtual QString daysBetween(const QString& from, const QString& to) const = 0;
};

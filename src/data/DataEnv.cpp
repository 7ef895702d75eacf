#include "DataEnv.h"

#include <optional>

#include "AppPaths.h"
#include "ListNames.h"
#include "RowSet.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace {
std::unique_ptr<DataEnv>& globalInstance()
{
    static std::unique_ptr<DataEnv> env;
    return env;
}
} // namespace

DataEnv::DataEnv(const QString& databasePath, std::unique_ptr<SqlDialect> dialect, QObject* parent)
    : QObject(parent), m_db(databasePath, std::move(dialect))
{
    m_commands = m_db.dialect().commands();
    for (const CommandSpec& spec : std::as_const(m_commands))
        if (spec.kind != CommandSpec::Kind::Change)
            m_rowSets.insert(("rs" + spec.name).toLower(), new RowSet(this, spec));
}

DataEnv::~DataEnv()
{
    qDeleteAll(m_rowSets);
    m_rowSets.clear();
}

DataEnv* DataEnv::instance()
{
    auto& env = globalInstance();
    if (!env)
        env = std::make_unique<DataEnv>(AppPaths::databasePath());
    return env.get();
}

void DataEnv::setInstance(DataEnv* env)
{
    globalInstance().reset(env);
}

bool DataEnv::connect()
{
    if (m_db.isOpen())
        return true;
    if (!m_db.open())
        return fail(m_db.errorText());
    listenToOtherDesks();
    return true;
}

void DataEnv::listenToOtherDesks()
{
    const QString channel = m_db.dialect().listChannel();
    if (channel.isEmpty())
        return;
    QSqlDriver* driver = m_db.connection().driver();
    if (!driver->subscribeToNotification(channel))
        return; // the lists then show other desks' changes at the next start
    // Subscribing again after a reconnection finds the connection already there.
    QObject::connect(driver,
                     qOverload<const QString&, QSqlDriver::NotificationSource, const QVariant&>(
                         &QSqlDriver::notification),
                     this, &DataEnv::onNotification, Qt::UniqueConnection);
}

void DataEnv::onNotification(const QString& channel, QSqlDriver::NotificationSource source,
                             const QVariant& payload)
{
    if (source != QSqlDriver::OtherSource || channel != m_db.dialect().listChannel())
        return;
    const QString table = payload.toString();
    const QString list = table.compare("Uslugi", Qt::CaseInsensitive) == 0  ? "Uslugi"
                         : table.compare("IName", Qt::CaseInsensitive) == 0 ? "Istochnik"
                                                                            : QString();
    RowSet* rows = list.isEmpty() ? nullptr : rowSet("rs" + list);
    if (!rows || !rows->isOpen())
        return;
    rows->open();
    emit listChanged(list);
}

bool DataEnv::reconnected()
{
    if (!m_db.dialect().isServer() || !m_db.isOpen())
        return false;
    if (m_db.connection().isOpen()) {
        QSqlQuery probe(m_db.connection());
        if (probe.exec("SELECT 1"))
            return false; // the connection is sound: the statement itself failed
    }
    if (!m_db.reconnect())
        return false;
    listenToOtherDesks();
    return true;
}

bool DataEnv::claimDispatch(const QString& due, const QString& recipient, bool* mine)
{
    m_error.clear();
    *mine = true;
    const QStringList statements = m_db.dialect().claimDispatch();
    if (statements.isEmpty())
        return true;
    if (!connect())
        return false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        QSqlQuery claim(m_db.connection());
        QSqlQuery holder(m_db.connection());
        if (claim.prepare(statements.at(0)) && m_db.bindArguments(claim, {due, recipient}) &&
            claim.exec() && holder.prepare(statements.at(1)) &&
            m_db.bindArguments(holder, {due, recipient}) && holder.exec() && holder.next()) {
            *mine = holder.value(0).toBool();
            return true;
        }
        const QString reason = Database::describe(claim.lastError().isValid() ? claim.lastError()
                                                                              : holder.lastError());
        claim.finish();
        holder.finish();
        if (attempt > 0 || !reconnected())
            return fail(reason);
    }
    return false;
}

bool DataEnv::fail(const QString& error)
{
    m_error = error;
    return false;
}

const CommandSpec* DataEnv::command(const QString& name) const
{
    for (const CommandSpec& spec : m_commands)
        if (spec.name.compare(name, Qt::CaseInsensitive) == 0)
            return &spec;
    return nullptr;
}

bool DataEnv::execute(const QString& name, const QVariantList& arguments)
{
    m_error.clear();
    m_lockTimedOut = false;
    const CommandSpec* spec = command(name);
    if (!spec)
        return fail(QStringLiteral("нет команды %1").arg(name));
    RowSet* set = spec->kind == CommandSpec::Kind::Change ? nullptr : rowSet("rs" + spec->name);
    if (arguments.size() != spec->parameterCount) {
        if (set)
            set->close();
        return fail(QStringLiteral("команда %1 ждёт %2 параметров, передано %3")
                        .arg(spec->name)
                        .arg(spec->parameterCount)
                        .arg(arguments.size()));
    }
    if (!connect()) {
        if (set)
            set->close();
        return false;
    }
    if (set) {
        m_lastArguments.insert(spec->name.toLower(), arguments);
        if (!set->fill(arguments) && !(reconnected() && set->fill(arguments)))
            return fail(set->errorText());
        return true;
    }
    for (int attempt = 0;; ++attempt) {
        QSqlQuery query(m_db.connection());
        if (query.prepare(spec->sql) && m_db.bindArguments(query, arguments) && query.exec())
            return true;
        // A statement on its own commits or not at all: after a lost connection it is run
        // once more on a new one.
        const QString reason = Database::describe(query.lastError());
        m_lockTimedOut = m_db.dialect().isLockTimeout(query.lastError());
        query.finish();
        if (attempt > 0 || !reconnected())
            return fail(reason);
    }
}

bool DataEnv::executeWaiting(const QString& command, const QVariantList& arguments,
                             const std::function<void(const QString& notice)>& waiting)
{
    m_error.clear();
    if (!connect() || !setLockWait(shortWaitMsecs))
        return false;
    bool done = execute(command, arguments);
    if (!done && m_lockTimedOut) {
        if (waiting)
            waiting(QStringLiteral("Ожидание окончания импорта..."));
        done = setLockWait(longWaitMsecs) && execute(command, arguments);
    }
    const QString error = m_error;
    setLockWait(-1);
    m_error = error;
    return done;
}

bool DataEnv::setLockWait(int msecs)
{
    for (int attempt = 0;; ++attempt) {
        QSqlQuery query(m_db.connection());
        if (query.exec(m_db.dialect().lockWait(msecs)))
            return true;
        const QString reason = Database::describe(query.lastError());
        query.finish();
        if (attempt > 0 || !reconnected())
            return fail(reason);
    }
}

bool DataEnv::addCalls(const QVector<QVariantList>& calls, int* failedIndex)
{
    int index = 0;
    return addCalls(
        [&](QVariantList& call) {
            if (index >= calls.size())
                return Pull::End;
            call = calls.at(index++);
            return Pull::Row;
        },
        failedIndex);
}

bool DataEnv::addCalls(const std::function<Pull(QVariantList&)>& next, int* failedIndex)
{
    m_error.clear();
    if (!connect())
        return false;
    QSqlDatabase db = m_db.connection();
    if (!db.transaction())
        return fail(Database::describe(db.lastError()));
    std::unique_ptr<CallWriter> writer = m_db.dialect().callWriter(db);
    auto abort = [&](int index, const QString& reason) {
        if (failedIndex)
            *failedIndex = index;
        writer.reset();
        db.rollback();
        if (!reason.isEmpty())
            m_error = Database::describe(QSqlError(QString(), reason));
        return false;
    };
    QVariantList call;
    for (int i = 0;; ++i) {
        call.clear();
        const Pull pulled = next(call);
        if (pulled == Pull::End)
            break;
        if (pulled == Pull::Abort)
            return abort(i, QString());
        if (!writer->add(call))
            return abort(i, writer->errorText());
    }
    if (!writer->finish())
        return abort(-1, writer->errorText());
    writer.reset();
    if (!commitOrRollBack(db))
        return false;
    return true;
}

bool DataEnv::commitOrRollBack(QSqlDatabase& db)
{
    if (db.commit())
        return true;
    const QString reason = Database::describe(db.lastError());
    db.rollback();
    return fail(reason);
}

bool DataEnv::checkTotals(QList<TotalsDifference>* differences)
{
    m_error.clear();
    differences->clear();
    if (!connect())
        return false;
    QSqlDatabase db = m_db.connection();
    QString error;
    // One read transaction: the calls and the totals are compared as of one moment.
    if (!db.transaction())
        return fail(Database::describe(db.lastError()));
    const bool ok = m_db.dialect().findDifferences(db, differences, &error);
    db.commit();
    if (!ok)
        return fail(Database::describe(QSqlError(QString(), error)));
    return true;
}

bool DataEnv::rebuildTotals()
{
    m_error.clear();
    if (!connect())
        return false;
    QSqlDatabase db = m_db.connection();
    if (!db.transaction())
        return fail(Database::describe(db.lastError()));
    QSqlQuery query(db);
    for (const QString& statement : m_db.dialect().rebuildTotals()) {
        if (!query.exec(statement)) {
            const QString reason = Database::describe(query.lastError());
            query.finish();
            db.rollback();
            return fail(reason);
        }
    }
    query.finish();
    if (!commitOrRollBack(db))
        return false;
    return true;
}

RowSet* DataEnv::rowSet(const QString& name)
{
    return m_rowSets.value(name.toLower(), nullptr);
}

RowSet* DataEnv::bind(const QString& name)
{
    const CommandSpec* spec = command(name);
    if (!spec)
        return nullptr;
    RowSet* set = rowSet("rs" + spec->name);
    if (set && !set->isOpen()) {
        if (spec->parameterCount == 0)
            execute(spec->name);
        else if (m_lastArguments.contains(spec->name.toLower()))
            execute(spec->name, m_lastArguments.value(spec->name.toLower()));
    }
    return set;
}

namespace {
// The list table, its name column and the calls' column of a reference list.
struct ListColumns
{
    QString table;
    QString column;
    QString callColumn;
};
std::optional<ListColumns> listColumns(const QString& listCommand)
{
    if (listCommand.compare("Uslugi", Qt::CaseInsensitive) == 0)
        return ListColumns{"Uslugi", "Uname", "usluga"};
    if (listCommand.compare("Istochnik", Qt::CaseInsensitive) == 0)
        return ListColumns{"IName", "IName", "Istochnik"};
    return std::nullopt;
}
} // namespace

qint64 DataEnv::callsUsing(const QString& listCommand, const QString& name)
{
    m_error.clear();
    const std::optional<ListColumns> list = listColumns(listCommand);
    if (!list || !connect())
        return -1;
    QSqlQuery query(m_db.connection());
    if (!query.prepare(m_db.dialect().callsNamed(list->callColumn)) ||
        !m_db.bindArguments(query, {name}) || !query.exec() || !query.next()) {
        fail(Database::describe(query.lastError()));
        return -1;
    }
    return query.value(0).toLongLong();
}

bool DataEnv::renameEntry(const QString& listCommand, int row, const QString& newName,
                          QString* mergedInto)
{
    m_error.clear();
    const std::optional<ListColumns> list = listColumns(listCommand);
    RowSet* rows = list ? bind(listCommand) : nullptr;
    if (!rows || !rows->isOpen() || row < 0 || row >= rows->rowCount())
        return fail(QStringLiteral("нет такой записи в списке"));
    QString target = ListNames::normalized(newName);
    const QString fault = ListNames::fault(target);
    if (!fault.isEmpty())
        return fail(fault);
    const QVariant id = rows->value(row, "ID");
    const QString oldName = rows->value(row, list->column).toString();
    const QString key = ListNames::key(target);
    bool merge = false;
    for (int other = 0; other < rows->rowCount(); ++other) {
        const QString name = rows->value(other, list->column).toString();
        if (other != row && ListNames::key(name) == key) {
            target = name;
            merge = true;
            break;
        }
    }
    QSqlDatabase db = m_db.connection();
    if (!db.transaction())
        return fail(Database::describe(db.lastError()));
    QSqlQuery entry(db);
    const bool entryDone = merge ? entry.prepare(m_db.dialect().deleteRow(list->table)) &&
                                       m_db.bindArguments(entry, {id}) && entry.exec()
                                 : entry.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE ID = ?")
                                                     .arg(list->table, list->column)) &&
                                       m_db.bindArguments(entry, {target, id}) && entry.exec();
    QSqlQuery calls(db);
    if (!entryDone || !calls.prepare(m_db.dialect().renameCalls(list->callColumn)) ||
        !m_db.bindArguments(calls, {target, oldName}) || !calls.exec()) {
        const QString reason =
            Database::describe(entryDone ? calls.lastError() : entry.lastError());
        db.rollback();
        return fail(reason);
    }
    // A source's advertising spend follows its name.
    QSqlQuery spend(db);
    if (list->table == "IName" &&
        (!spend.prepare(m_db.dialect().renameSpend()) ||
         !m_db.bindArguments(spend, {target, oldName}) || !spend.exec())) {
        const QString reason = Database::describe(spend.lastError());
        db.rollback();
        return fail(reason);
    }
    if (!commitOrRollBack(db))
        return false;
    if (mergedInto)
        *mergedInto = merge ? target : QString();
    return rows->open(); // every bound list shows the new names
}

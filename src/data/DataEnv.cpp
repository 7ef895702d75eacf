#include "DataEnv.h"

#include "AppPaths.h"
#include "RowSet.h"

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
    return true;
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
        if (!set->fill(arguments))
            return fail(set->errorText());
        return true;
    }
    QSqlQuery query(m_db.connection());
    if (!query.prepare(spec->sql) || !m_db.bindArguments(query, arguments) || !query.exec())
        return fail(Database::describe(query.lastError()));
    return true;
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
    if (!db.commit()) {
        const QString reason = Database::describe(db.lastError());
        db.rollback();
        return fail(reason);
    }
    return true;
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
    if (!db.commit()) {
        const QString reason = Database::describe(db.lastError());
        db.rollback();
        return fail(reason);
    }
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

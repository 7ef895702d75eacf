#include "DataEnv.h"

#include "AppPaths.h"
#include "CallJournal.h"
#include "CallStore.h"
#include "DispatchClaims.h"
#include "ListStore.h"
#include "RowSet.h"
#include "TotalsStore.h"

#include <QSqlQuery>

namespace {
std::unique_ptr<DataEnv>& globalInstance()
{
    static std::unique_ptr<DataEnv> env;
    return env;
}
} // namespace

DataEnv::DataEnv(const QString& databasePath, std::unique_ptr<SqlDialect> dialect, QObject* parent)
    : QObject(parent), m_connection(databasePath, std::move(dialect))
{
    m_commands = m_connection.dialect().commands();
    for (const CommandSpec& spec : std::as_const(m_commands))
        if (spec.kind != CommandSpec::Kind::Change)
            m_rowSets.insert(("rs" + spec.name).toLower(), new RowSet(this, spec));
    const CommandSpec* addCall = command("AddNew");
    m_calls = std::make_unique<CallStore>(m_connection, addCall ? addCall->sql : QString(),
                                          rowSet("rsBase"));
    m_journal = std::make_unique<CallJournal>(m_connection);
    m_lists = std::make_unique<ListStore>(*this);
    m_totals = std::make_unique<TotalsStore>(m_connection);
    m_claims = std::make_unique<DispatchClaims>(m_connection);
}

DataEnv::~DataEnv()
{
    m_lists.reset();
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
    m_error.clear();
    return m_connection.connect() || fail(m_connection.errorText());
}

bool DataEnv::ownerRights()
{
    return !m_connection.connect() || database().ownerRights();
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
        if (!set->fill(arguments) && !(m_connection.reconnected() && set->fill(arguments)))
            return fail(set->errorText());
        return true;
    }
    return m_connection.run([&] {
        QSqlQuery query(m_connection.connection());
        return database().run(query, spec->sql, arguments);
    }) || fail(m_connection.errorText());
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
    if (set && !set->isOpen() && spec->parameterCount == 0)
        execute(spec->name);
    return set;
}

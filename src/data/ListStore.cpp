#include "ListStore.h"

#include "DataEnv.h"
#include "ListNames.h"
#include "RowSet.h"
#include "SqlDialect.h"

#include <QSqlQuery>
#include <optional>

namespace {
// The list table, its name column, the calls' column and the command that deletes an entry.
struct ListColumns
{
    QString command;
    QString table;
    QString column;
    QString callColumn;
    QString deleteCommand;
};
std::optional<ListColumns> listColumns(const QString& listCommand)
{
    if (listCommand.compare("Uslugi", Qt::CaseInsensitive) == 0)
        return ListColumns{"Uslugi", "Uslugi", "Uname", "usluga", "DelUsl"};
    if (listCommand.compare("Istochnik", Qt::CaseInsensitive) == 0)
        return ListColumns{"Istochnik", "IName", "IName", "Istochnik", "DelIst"};
    return std::nullopt;
}

} // namespace

ListStore::ListStore(DataEnv& env) : DataStore(env.connection()), m_env(env)
{
    connect(&env.connection(), &DataConnection::tableChanged, this, &ListStore::onTableChanged);
    connect(&env.connection(), &DataConnection::changedElsewhere, this,
            &ListStore::onChangedElsewhere);
}

void ListStore::onTableChanged(const QString& table)
{
    for (const QString& list : {QStringLiteral("Uslugi"), QStringLiteral("Istochnik")})
        if (table.compare(listColumns(list)->table, Qt::CaseInsensitive) == 0)
            reload(list, false);
}

void ListStore::onChangedElsewhere()
{
    // Any table may have changed: a list is read again only when its rows did.
    for (const QString& list : {QStringLiteral("Uslugi"), QStringLiteral("Istochnik")})
        reload(list, true);
}

void ListStore::reload(const QString& list, bool onlyWhenChanged)
{
    RowSet* rows = m_env.rowSet("rs" + list);
    if (!rows || !rows->isOpen() || (onlyWhenChanged && !differsFromStored(*rows)))
        return;
    rows->open();
    emit listChanged(list);
}

bool ListStore::differsFromStored(const RowSet& rows)
{
    QSqlQuery query(m_connection.connection());
    query.setForwardOnly(true);
    if (m_connection.database().run(query, rows.command().sql, {}).isValid())
        return true; // read again, and fail there where the operator sees it
    int row = 0;
    for (; query.next(); ++row) {
        if (row >= rows.rowCount())
            return true;
        for (int column = 0; column < rows.columnCount(); ++column)
            if (query.value(column).toString() != rows.value(row, column).toString())
                return true;
    }
    return row != rows.rowCount();
}

bool ListStore::add(const QString& listCommand, const QString& name)
{
    m_refused = false;
    const std::optional<ListColumns> list = listColumns(listCommand);
    RowSet* rows = openList(listCommand);
    if (!rows)
        return false;
    const QString refusal = ListNames::refusal(*rows, list->column, name);
    if (!refusal.isEmpty()) {
        m_refused = true;
        return fail(refusal);
    }
    return rows->addRow(list->column, ListNames::normalized(name)) || fail(rows->errorText());
}

bool ListStore::find(const QString& listCommand, const QString& name, QString* entry)
{
    *entry = QString();
    RowSet* rows = openList(listCommand);
    if (!rows)
        return false;
    *entry = ListNames::existing(*rows, listColumns(listCommand)->column, name);
    return true;
}

RowSet* ListStore::openList(const QString& listCommand)
{
    m_error.clear();
    const std::optional<ListColumns> list = listColumns(listCommand);
    RowSet* rows = list ? m_env.rowSet("rs" + list->command) : nullptr;
    if (!rows) {
        fail(QStringLiteral("нет списка %1").arg(listCommand));
        return nullptr;
    }
    if (!rows->isOpen() && !rows->open()) {
        fail(rows->errorText());
        return nullptr;
    }
    return rows;
}

bool ListStore::remove(const QString& listCommand, int row)
{
    m_error.clear();
    const std::optional<ListColumns> list = listColumns(listCommand);
    RowSet* rows = list ? m_env.rowSet("rs" + list->command) : nullptr;
    if (!rows || row < 0 || row >= rows->rowCount())
        return fail(QStringLiteral("нет такой записи в списке"));
    if (!m_env.execute(list->deleteCommand, {rows->value(row, "ID")}))
        return fail(m_env.errorText());
    rows->dropRow(row);
    return true;
}

qint64 ListStore::callsUsing(const QString& listCommand, const QString& name)
{
    const std::optional<ListColumns> list = listColumns(listCommand);
    if (!connected() || !list)
        return -1;
    QSqlQuery query(m_connection.connection());
    if (m_connection.database()
            .run(query, m_connection.dialect().callsNamed(list->callColumn), {name})
            .isValid() ||
        !query.next()) {
        fail(Database::describe(query.lastError()));
        return -1;
    }
    return query.value(0).toLongLong();
}

bool ListStore::isInternet(const QString& name)
{
    return ListNames::key(name) == ListNames::key(SqlDialect::internetSource());
}

bool ListStore::rename(const QString& listCommand, int row, const QString& newName,
                       QString* mergedInto)
{
    m_error.clear();
    m_refused = false;
    const std::optional<ListColumns> list = listColumns(listCommand);
    RowSet* rows = list ? m_env.bind(list->command) : nullptr;
    if (!rows || !rows->isOpen() || row < 0 || row >= rows->rowCount())
        return fail(QStringLiteral("нет такой записи в списке"));
    QString target = ListNames::normalized(newName);
    const QString fault = ListNames::fault(target);
    if (!fault.isEmpty())
        return fail(fault);
    const QVariant id = rows->value(row, "ID");
    const QString oldName = rows->value(row, list->column).toString();
    const QString key = ListNames::key(target);
    if (list->table == "IName" && isInternet(oldName) && key != ListNames::key(oldName)) {
        m_refused = true;
        return fail(QStringLiteral("Источник «%1» нельзя переименовать: отчет по звонкам из "
                                   "интернета считает звонки этого источника по этому названию. "
                                   "Ничего не изменено.")
                        .arg(oldName));
    }
    bool merge = false;
    for (int other = 0; other < rows->rowCount(); ++other) {
        const QString name = rows->value(other, list->column).toString();
        if (other != row && ListNames::key(name) == key) {
            target = name;
            merge = true;
            break;
        }
    }
    const SqlDialect& dialect = m_connection.dialect();
    const Database& db = m_connection.database();
    const bool done = inTransaction([&] {
        QSqlQuery query(m_connection.connection());
        QSqlError error =
            merge ? db.run(query, dialect.deleteRow(list->table), {id})
                  : db.run(query, dialect.renameRow(list->table, list->column), {target, id});
        if (!error.isValid())
            error = db.run(query, dialect.renameCalls(list->callColumn), {target, oldName});
        // A source's advertising spend follows its name.
        if (!error.isValid() && list->table == "IName")
            error = db.run(query, dialect.renameSpend(), {target, oldName});
        return error;
    });
    if (!done)
        return false;
    if (mergedInto)
        *mergedInto = merge ? target : QString();
    return rows->open() || fail(rows->errorText()); // every bound list shows the new names
}

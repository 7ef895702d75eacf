#include "RowSet.h"

#include "DataEnv.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

RowSet::RowSet(DataEnv* env, const CommandSpec& command)
    : QAbstractTableModel(env), m_env(env), m_command(command)
{
}

RowSet::~RowSet() = default;

int RowSet::columnIndex(const QString& column) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns.at(i).compare(column, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant RowSet::value(int row, const QString& column) const
{
    return value(row, columnIndex(column));
}

QVariant RowSet::value(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_columns.size())
        return {};
    return m_rows.at(row).at(column);
}

bool RowSet::open()
{
    return m_env->execute(m_command.name) || setError(m_env->errorText());
}

bool RowSet::fill(const QVariantList& arguments)
{
    m_error.clear();
    beginResetModel();
    m_open = false;
    m_rows.clear();
    m_current = -1;
    Database& db = m_env->database();
    const bool reused = m_command.kind == CommandSpec::Kind::ReadOnly;
    if (!reused || !m_prepared || m_preparedOn != db.generation()) {
        m_prepared = std::make_unique<QSqlQuery>(db.connection());
        m_prepared->setForwardOnly(true);
        m_preparedOn = db.generation();
        if (!m_prepared->prepare(m_command.sql))
            m_preparedOn = 0;
    }
    QSqlQuery& query = *m_prepared;
    bool ok = m_preparedOn != 0 && db.bindArguments(query, arguments) && query.exec();
    if (ok) {
        const QSqlRecord record = query.record();
        m_columns.clear();
        for (int i = 0; i < record.count(); ++i)
            m_columns << record.fieldName(i);
        const int dateColumn = columnIndex("Data");
        const SqlDialect& dialect = m_env->database().dialect();
        while (query.next()) {
            QVector<QVariant> row(m_columns.size());
            for (int i = 0; i < m_columns.size(); ++i)
                row[i] = i == dateColumn ? dialect.dateFromDb(query.value(i)) : query.value(i);
            m_rows.append(row);
        }
        ok = !query.lastError().isValid();
    }
    if (!ok) {
        m_error = Database::describe(query.lastError());
        m_rows.clear();
        m_preparedOn = 0; // prepared again next time
    }
    query.finish(); // a file's readers hold no lock between runs
    if (!reused)
        m_prepared.reset();
    m_open = ok;
    m_current = m_rows.isEmpty() ? -1 : 0;
    endResetModel();
    return ok;
}

void RowSet::close()
{
    if (!m_open && m_rows.isEmpty())
        return;
    beginResetModel();
    m_open = false;
    m_rows.clear();
    m_current = -1;
    endResetModel();
}

bool RowSet::setError(const QString& error)
{
    m_error = error;
    return false;
}

bool RowSet::moveLast()
{
    if (m_rows.isEmpty())
        return false;
    m_current = int(m_rows.size()) - 1;
    return true;
}

bool RowSet::addRow(const QString& column, const QVariant& value)
{
    if (!m_open || !isUpdatable())
        return setError(QStringLiteral("набор строк %1 закрыт или только для чтения").arg(name()));
    const int index = columnIndex(column);
    if (index < 0)
        return setError(QStringLiteral("в наборе строк %1 нет столбца %2").arg(name(), column));
    QSqlQuery query(m_env->database().connection());
    const QString sql = m_env->database().dialect().insertRow(m_command.table, m_columns.at(index));
    if (!query.prepare(sql) ||
        (query.addBindValue(m_env->database().dialect().toDb(value)), false) || !query.exec())
        return setError(Database::describe(query.lastError()));
    QVector<QVariant> row(m_columns.size());
    row[index] = value;
    const int idColumn = columnIndex("ID");
    if (idColumn >= 0) // from the statement's RETURNING where the engine has no rowid
        row[idColumn] = query.next() ? query.value(0) : query.lastInsertId();
    const int at = int(m_rows.size());
    beginInsertRows({}, at, at);
    m_rows.append(row);
    endInsertRows();
    m_current = at;
    return true;
}

bool RowSet::deleteCurrent()
{
    return deleteRow(m_current);
}

bool RowSet::deleteRow(int row)
{
    if (!m_open || !isUpdatable() || row < 0 || row >= m_rows.size())
        return setError(QStringLiteral("в наборе строк %1 нет текущей строки").arg(name()));
    QSqlQuery query(m_env->database().connection());
    if (!query.prepare(m_env->database().dialect().deleteRow(m_command.table)) ||
        (query.addBindValue(value(row, "ID")), false) || !query.exec())
        return setError(Database::describe(query.lastError()));
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
    m_current = qMin(row, int(m_rows.size()) - 1);
    return true;
}

void RowSet::dropRow(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
    m_current = qMin(m_current, int(m_rows.size()) - 1);
}

int RowSet::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RowSet::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant RowSet::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return value(index.row(), index.column());
}

QVariant RowSet::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_columns.size())
        return m_columns.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

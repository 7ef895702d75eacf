#pragma once

#include "CommandSpec.h"

#include <QAbstractTableModel>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

class DataEnv;

// The client-side result of one row-returning command, shared by every view bound to it.
// Column names are matched without regard to case.
class RowSet : public QAbstractTableModel
{
    Q_OBJECT

public:
    RowSet(DataEnv* env, const CommandSpec& command);
    ~RowSet() override;

    QString name() const { return "rs" + m_command.name; }
    const CommandSpec& command() const { return m_command; }
    bool isOpen() const { return m_open; }
    bool isUpdatable() const { return m_command.kind == CommandSpec::Kind::Updatable; }

    int columnIndex(const QString& column) const;
    QStringList columns() const { return m_columns; }
    QVariant value(int row, const QString& column) const;
    QVariant value(int row, int column) const;

    // Runs the command again and fills the copy (an updatable set takes no parameters).
    bool open();
    void close();

    int currentRow() const { return m_current; }
    bool moveLast();
    // Writes a row with one column set, appends it to the copy and makes it current.
    bool addRow(const QString& column, const QVariant& value);
    // Deletes the current row in the database and in the copy.
    bool deleteCurrent();
    bool deleteRow(int row);
    // Removes a row from the copy only (the database row was deleted by a command).
    void dropRow(int row);

    QString errorText() const { return m_error; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    friend class DataEnv;
    bool fill(const QVariantList& arguments);
    bool setError(const QString& error);

    DataEnv* m_env;
    CommandSpec m_command;
    // A report's statement, prepared once per connection: a server plans it only once.
    std::unique_ptr<QSqlQuery> m_prepared;
    int m_preparedOn = 0;
    bool m_open = false;
    QStringList m_columns;
    QVector<QVector<QVariant>> m_rows;
    int m_current = -1;
    QString m_error;
};

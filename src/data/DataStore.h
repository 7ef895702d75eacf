#pragma once

#include <QSqlError>
#include <QString>
#include <functional>

class DataConnection;

// What the typed stores share: the connection, and the reason of their last failure in words
// for the operator.
class DataStore
{
public:
    explicit DataStore(DataConnection& connection) : m_connection(connection) {}

    QString errorText() const { return m_error; }

protected:
    ~DataStore() = default;

    bool fail(const QString& error);
    // Opens the connection on first use; its failure becomes this store's.
    bool connected();
    // One statement, run again once after a lost connection (DataConnection::run).
    bool run(const std::function<QSqlError()>& attempt);
    // Runs work() in one transaction, committed when work() gives an invalid error and rolled
    // back otherwise; the error's reason becomes this store's.
    bool inTransaction(const std::function<QSqlError()>& work);

    DataConnection& m_connection;
    QString m_error;
};

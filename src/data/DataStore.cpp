#include "DataStore.h"

#include "DataConnection.h"

bool DataStore::fail(const QString& error)
{
    m_error = error;
    return false;
}

bool DataStore::connected()
{
    m_error.clear();
    return m_connection.connect() || fail(m_connection.errorText());
}

bool DataStore::run(const std::function<QSqlError()>& attempt)
{
    return m_connection.run(attempt) || fail(m_connection.errorText());
}

bool DataStore::inTransaction(const std::function<QSqlError()>& work)
{
    if (!connected())
        return false;
    QSqlDatabase db = m_connection.connection();
    if (!db.transaction())
        return fail(Database::describe(db.lastError()));
    QSqlError error = work();
    if (!error.isValid()) {
        if (db.commit())
            return true;
        error = db.lastError();
    }
    db.rollback();
    return fail(Database::describe(error));
}

#include "CallStore.h"

#include "DataConnection.h"
#include "RowSet.h"

#include <QSqlQuery>

CallStore::CallStore(DataConnection& connection, const QString& insertStatement, RowSet* newest)
    : DataStore(connection), m_insert(insertStatement), m_newest(newest)
{
}

bool CallStore::insert(const Call& call)
{
    return run([&] {
        QSqlQuery query(m_connection.connection());
        return m_connection.database().run(query, m_insert, call.values());
    });
}

bool CallStore::add(const Call& call, const std::function<void(const QString& notice)>& waiting)
{
    if (!connected())
        return false;
    if (!m_connection.setLockWait(shortWaitMsecs))
        return fail(m_connection.errorText());
    bool done = insert(call);
    if (!done && m_connection.lockTimedOut()) {
        if (waiting)
            waiting(QStringLiteral("Ожидание окончания импорта..."));
        done = (m_connection.setLockWait(longWaitMsecs) || fail(m_connection.errorText())) &&
               insert(call);
    }
    m_connection.setLockWait(-1);
    return done;
}

bool CallStore::addMany(const QVector<Call>& calls, int* failedIndex)
{
    int index = 0;
    return addMany(
        [&](Call& call) {
            if (index >= calls.size())
                return Pull::End;
            call = calls.at(index++);
            return Pull::Row;
        },
        failedIndex);
}

bool CallStore::addMany(const std::function<Pull(Call&)>& next, int* failedIndex)
{
    return inTransaction([&] {
        QSqlDatabase db = m_connection.connection();
        std::unique_ptr<CallWriter> writer = m_connection.dialect().callWriter(db);
        auto abort = [&](int index, const QString& reason) {
            if (failedIndex)
                *failedIndex = index;
            return QSqlError(QString(), reason, QSqlError::UnknownError);
        };
        Call call;
        for (int i = 0;; ++i) {
            call = Call();
            const Pull pulled = next(call);
            if (pulled == Pull::End)
                break;
            if (pulled == Pull::Abort)
                return abort(i, QString());
            if (!writer->add(call))
                return abort(i, writer->errorText());
        }
        return writer->finish() ? QSqlError() : abort(-1, writer->errorText());
    });
}

CallStore::Removal CallStore::removeLast(const std::function<bool()>& confirm)
{
    m_error.clear();
    Removal result = Removal::Failed;
    if (m_newest->open()) {
        if (!m_newest->moveLast())
            result = Removal::NothingToRemove;
        else if (confirm && !confirm())
            result = Removal::Cancelled;
        else if (m_newest->deleteCurrent())
            result = Removal::Removed;
    }
    if (result == Removal::Failed)
        m_error = m_newest->errorText();
    m_newest->close();
    return result;
}

bool CallStore::edit(qint64, const Call&)
{
    return fail(QStringLiteral("Изменение звонков недоступно."));
}

bool CallStore::remove(const QVector<qint64>&)
{
    return fail(QStringLiteral("Удаление звонков недоступно."));
}

QString CallStore::undoText() const
{
    return {};
}

bool CallStore::undo()
{
    return fail(QStringLiteral("Отменить нечего."));
}

void CallStore::remember(Step step)
{
    m_history.append(std::move(step));
}

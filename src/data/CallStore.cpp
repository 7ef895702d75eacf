#include "CallStore.h"

#include "CallJournal.h"
#include "DataConnection.h"
#include "RowSet.h"

#include <QSqlQuery>
#include <algorithm>

namespace {
// The steps of the undo history kept at most.
constexpr int historySteps = 100;

// "звонка" after 1, 21, 31...; "звонков" after the other numbers, as in "удаление 3 звонков".
QString callsOf(int count)
{
    const bool one = count % 10 == 1 && count % 100 != 11;
    return QStringLiteral("%1 %2").arg(count).arg(one ? QStringLiteral("звонка")
                                                      : QStringLiteral("звонков"));
}
} // namespace

CallStore::CallStore(DataConnection& connection, const QString& insertStatement, RowSet* newest)
    : DataStore(connection), m_insert(insertStatement), m_newest(newest)
{
}

bool CallStore::insert(const Call& call, const QString& key)
{
    QVariantList values = call.values();
    if (!key.isEmpty())
        values << key << key;
    const QString statement = key.isEmpty() ? m_insert : m_connection.dialect().keyedCallInsert();
    if (!run([&] {
            QSqlQuery query(m_connection.connection());
            return m_connection.database().run(query, statement, values);
        }))
        return false;
    // The key the call was given and where the change log stood, for undo: the call is stored
    // whether or not they can be read.
    QSqlQuery query(m_connection.connection());
    Step step{Step::Kind::Added, {}, {}, 0};
    CallRecord added{0, call, QString()};
    m_added.reset();
    m_lastAddedId = 0;
    if (!value(query, m_connection.dialect().lastInsertedCall(), {}, &added.id).isValid() &&
        !value(query, m_connection.dialect().lastChange(), {}, &step.mark).isValid() &&
        added.id != 0) {
        m_lastAddedId = added.id;
        step.after << added;
        m_added = step;
    }
    return true;
}

QSqlError CallStore::value(QSqlQuery& query, const QString& sql, const QVariantList& arguments,
                           qint64* result) const
{
    QSqlError error = m_connection.database().run(query, sql, arguments);
    if (!error.isValid())
        *result = query.next() ? query.value(0).toLongLong() : 0;
    return error.isValid() ? error : query.lastError();
}

QSqlError CallStore::read(QSqlQuery& query, qint64 id, std::optional<CallRecord>* record) const
{
    const QSqlError error =
        m_connection.database().run(query, m_connection.dialect().callById(), {id});
    *record = std::nullopt;
    if (!error.isValid() && query.next())
        *record = CallJournal::recordAt(query, m_connection.dialect());
    return error.isValid() ? error : query.lastError();
}

bool CallStore::change(const std::function<QSqlError(QSqlQuery&)>& work, qint64* mark,
                       const Step* step)
{
    qint64 start = 0;
    const bool done = inTransaction([&] {
        QSqlQuery query(m_connection.connection());
        QSqlError error = value(query, m_connection.dialect().lastChange(), {}, &start);
        if (!error.isValid())
            error = work(query);
        if (!error.isValid())
            error = value(query, m_connection.dialect().lastChange(), {}, mark);
        return error;
    });
    if (done) {
        m_ownChanges.append({start, *mark});
        if (step)
            remember(*step); // before the signal, so that undoText() names this step
        Q_EMIT changed();
    }
    return done;
}

QSqlError CallStore::refusal(const QString& reason)
{
    return QSqlError(QString(), reason, QSqlError::UnknownError);
}

void CallStore::remember(Step step)
{
    m_history.append(std::move(step));
    if (m_history.size() > historySteps)
        m_history.removeFirst();
}

bool CallStore::add(const Call& call, const std::function<void(const QString& notice)>& waiting,
                    const QString& key)
{
    if (!connected())
        return false;
    if (!m_connection.setLockWait(shortWaitMsecs))
        return fail(m_connection.errorText());
    bool done = insert(call, key);
    if (!done && m_connection.lockTimedOut()) {
        if (waiting)
            waiting(QStringLiteral("Ожидание окончания импорта..."));
        done = (m_connection.setLockWait(longWaitMsecs) || fail(m_connection.errorText())) &&
               insert(call, key);
    }
    m_connection.setLockWait(-1);
    if (done) {
        if (m_added)
            remember(*m_added);
        Q_EMIT changed();
    }
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
    const bool done = inTransaction([&] {
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
    if (done)
        Q_EMIT changed();
    return done;
}

CallStore::Removal CallStore::removeLast(const std::function<bool()>& confirm)
{
    m_error.clear();
    Removal result = Removal::Failed;
    qint64 id = 0;
    if (m_newest->open()) {
        if (!m_newest->moveLast())
            result = Removal::NothingToRemove;
        else if (confirm && !confirm())
            result = Removal::Cancelled;
        else
            id = m_newest->value(m_newest->currentRow(), QStringLiteral("ID")).toLongLong();
    } else {
        m_error = m_newest->errorText();
    }
    m_newest->close();
    if (id != 0)
        result = remove({id}) ? Removal::Removed : Removal::Failed;
    return result;
}

bool CallStore::edit(qint64 id, const Call& changed)
{
    Step step{Step::Kind::Edited, {}, {}, 0};
    return change(
        [&](QSqlQuery& query) {
            std::optional<CallRecord> before;
            QSqlError error = read(query, id, &before);
            if (error.isValid())
                return error;
            if (!before)
                return refusal(
                    QStringLiteral("Звонок № %1 уже удалён; изменить его нельзя.").arg(id));
            QVariantList arguments = changed.values();
            arguments << id;
            if ((error = m_connection.database().run(query, m_connection.dialect().editCall(),
                                                     arguments))
                    .isValid())
                return error;
            std::optional<CallRecord> after;
            if ((error = read(query, id, &after)).isValid())
                return error;
            step.before << *before;
            step.after << after.value_or(CallRecord{id, changed, before->desk});
            return QSqlError();
        },
        &step.mark, &step);
}

bool CallStore::remove(const QVector<qint64>& ids)
{
    Step step{Step::Kind::Removed, {}, {}, 0};
    return change(
        [&](QSqlQuery& query) {
            for (const qint64 id : ids) {
                std::optional<CallRecord> call;
                QSqlError error = read(query, id, &call);
                if (error.isValid())
                    return error;
                if (!call)
                    return refusal(QStringLiteral("Звонок № %1 уже удалён.").arg(id));
                if ((error = m_connection.database().run(query, m_connection.dialect().removeCall(),
                                                         {id}))
                        .isValid())
                    return error;
                step.before << *call;
            }
            return QSqlError();
        },
        &step.mark, ids.isEmpty() ? nullptr : &step);
}

bool CallStore::undoRestores() const
{
    return !m_history.isEmpty() && m_history.last().kind == Step::Kind::Removed;
}

QString CallStore::undoText() const
{
    if (m_history.isEmpty())
        return {};
    const Step& step = m_history.last();
    switch (step.kind) {
    case Step::Kind::Added:
        return QStringLiteral("Отменить добавление звонка");
    case Step::Kind::Edited:
        return QStringLiteral("Отменить изменение звонка");
    case Step::Kind::Removed:
        break;
    }
    return step.before.size() == 1
               ? QStringLiteral("Отменить удаление звонка")
               : QStringLiteral("Отменить удаление %1").arg(callsOf(int(step.before.size())));
}

bool CallStore::changedElsewhere(QSqlQuery& query, const Step& step, QSqlError* error) const
{
    for (const QVector<CallRecord>* calls : {&step.before, &step.after})
        for (const CallRecord& call : *calls) {
            *error = m_connection.database().run(query, m_connection.dialect().changesAfter(),
                                                 {call.id, step.mark});
            if (error->isValid())
                return true;
            while (query.next()) {
                const qint64 entry = query.value(0).toLongLong();
                const bool own = std::any_of(m_ownChanges.cbegin(), m_ownChanges.cend(),
                                             [entry](const QPair<qint64, qint64>& r) {
                                                 return entry > r.first && entry <= r.second;
                                             });
                if (!own)
                    return true;
            }
        }
    return false;
}

bool CallStore::undo()
{
    if (m_history.isEmpty())
        return fail(QStringLiteral("Отменять нечего."));
    const Step step = m_history.takeLast();
    const SqlDialect& dialect = m_connection.dialect();
    const QString elsewhere = step.kind == Step::Kind::Removed
                                  ? QStringLiteral("Удалённый звонок с тех пор изменён в другом "
                                                   "месте; отмена не выполнена.")
                                  : QStringLiteral("Звонок с тех пор изменён или удалён в другом "
                                                   "месте; отмена не выполнена.");
    qint64 mark = 0;
    bool refused = false;
    auto refuse = [&] {
        refused = true;
        return refusal(elsewhere);
    };
    const bool done = change(
        [&](QSqlQuery& query) {
            QSqlError error;
            if (changedElsewhere(query, step, &error))
                return error.isValid() ? error : refuse();
            if (step.kind == Step::Kind::Removed) {
                for (auto call = step.before.crbegin(); call != step.before.crend(); ++call) {
                    std::optional<CallRecord> present;
                    if ((error = read(query, call->id, &present)).isValid())
                        return error;
                    if (present)
                        return refuse();
                    QVariantList arguments{call->id};
                    arguments << call->call.values();
                    if (dialect.isServer())
                        arguments << call->desk;
                    if ((error =
                             m_connection.database().run(query, dialect.restoreCall(), arguments))
                            .isValid() ||
                        (error =
                             m_connection.database().run(query, dialect.logRestored(), {call->id}))
                            .isValid())
                        return error;
                }
                return QSqlError();
            }
            for (const CallRecord& call : step.after) {
                std::optional<CallRecord> present;
                if ((error = read(query, call.id, &present)).isValid())
                    return error;
                if (!present)
                    return refuse();
                if (step.kind == Step::Kind::Added) {
                    error = m_connection.database().run(query, dialect.removeCall(), {call.id});
                } else {
                    QVariantList arguments = step.before.constFirst().call.values();
                    arguments << call.id;
                    error = m_connection.database().run(query, dialect.editCall(), arguments);
                }
                if (error.isValid())
                    return error;
            }
            return QSqlError();
        },
        &mark);
    if (!done && !refused)
        m_history.append(step); // a failure of the database: the step can be tried again
    return done;
}

#include "CallRegister.h"

#include "AppPaths.h"
#include "CallTransfer.h"
#include "DataEnv.h"
#include "KeptCalls.h"
#include "RowSet.h"
#include "RussianCount.h"

#include <QUuid>

namespace {
// Whether the verb after the count is singular, as after "1 звонок" and "21 звонок".
bool one(int count)
{
    return count % 10 == 1 && count % 100 != 11;
}
} // namespace

CallRegister::CallRegister(DataEnv* env) : m_env(env) {}

CallRegister::~CallRegister() = default;

QString CallRegister::waitingText(int count)
{
    return QStringLiteral("%1 %2 передачи на сервер")
        .arg(RussianCount::calls(count),
             one(count) ? QStringLiteral("ожидает") : QStringLiteral("ожидают"));
}

QString CallRegister::notSentText(int count)
{
    return QStringLiteral("%1 ещё не %2 на сервер")
        .arg(RussianCount::calls(count),
             one(count) ? QStringLiteral("передан") : QStringLiteral("переданы"));
}

KeptCalls* CallRegister::kept()
{
    if (!m_kept && m_env->connection().dialect().isServer())
        m_kept = std::make_unique<KeptCalls>(m_env->database().path(), AppPaths::deskId());
    return m_kept.get();
}

int CallRegister::waitingCount()
{
    if (!m_env->connection().dialect().isServer() ||
        (!m_kept && !KeptCalls::exists(m_env->database().path())))
        return 0;
    return kept()->count();
}

bool CallRegister::transfer()
{
    m_error.clear();
    if (waitingCount() == 0)
        return true;
    CallTransfer transfer(m_env->connection(), *kept());
    const bool done = transfer.run();
    if (transfer.sent() > 0)
        Q_EMIT m_env->calls().changed(); // the journal reads the calls again
    if (!done)
        m_error = transfer.errorText();
    return done;
}

void CallRegister::copyLists()
{
    if (!m_env->connection().dialect().isServer())
        return;
    struct List
    {
        const char* command;
        const char* column;
    };
    for (const List& list : {List{"Uslugi", "Uname"}, List{"Istochnik", "IName"}}) {
        const QString command = QString::fromLatin1(list.command);
        const QString column = QString::fromLatin1(list.column);
        RowSet* rows = m_env->rowSet(QStringLiteral("rs") + command);
        if (!rows || !rows->isOpen())
            continue;
        QStringList names;
        for (int row = 0; row < rows->rowCount(); ++row)
            names << rows->value(row, column).toString();
        kept()->storeList(command, names);
    }
}

QVector<CallRecord> CallRegister::waitingCalls()
{
    QVector<CallRecord> records;
    QVector<KeptCalls::Kept> calls;
    if (waitingCount() <= 0 || !kept()->waiting(&calls))
        return records;
    const QString desk = AppPaths::deskId();
    for (auto call = calls.crbegin(); call != calls.crend(); ++call)
        records << CallRecord{-call->number, call->call, desk};
    return records;
}

bool CallRegister::editKept(qint64 id, const Call& changed)
{
    m_error.clear();
    if (kept() && kept()->edit(-id, changed))
        return true;
    m_error = kept() ? kept()->errorText() : QString();
    return false;
}

bool CallRegister::removeKept(const QVector<qint64>& ids)
{
    m_error.clear();
    for (const qint64 id : ids)
        if (!kept() || !kept()->discard(-id)) {
            m_error = kept() ? kept()->errorText() : QString();
            return false;
        }
    return true;
}

CallRegister::AddResult CallRegister::keep(const Call& call, const QString& key)
{
    if (kept()->keep(call, key))
        return AddResult::Kept;
    m_error = kept()->errorText();
    return AddResult::Failed;
}

CallRegister::AddResult CallRegister::add(const QDate& date, const QString& service,
                                          const QString& source, bool booked, const QTime& time)
{
    m_error.clear();
    if (service.isEmpty() || source.isEmpty())
        return AddResult::MissingChoice;
    const Call call{date, service, source, booked, time};
    if (kept()) {
        if (!m_env->connect()) {
            m_error = m_env->errorText();
            return CallTransfer::isServerAway(m_error) ? keep(call) : AddResult::Failed;
        }
        // The calls kept before go first, so that this desk's newest call is the newest one
        // kept for as long as any wait.
        transfer();
        m_error.clear();
    }
    // On a server the call goes under a key of its own: when the connection is lost after the
    // server committed it, it is kept under that key and the server does not take it twice.
    const QString key = kept() ? AppPaths::deskId() + QLatin1Char(':') +
                                     QUuid::createUuid().toString(QUuid::WithoutBraces)
                               : QString();
    CallStore& calls = m_env->calls();
    if (!calls.add(call, m_notice, key)) {
        m_error = calls.errorText();
        return kept() && CallTransfer::isServerAway(m_error) ? keep(call, key) : AddResult::Failed;
    }
    return AddResult::Added;
}

CallRegister::RemoveResult CallRegister::removePrevious(const std::function<bool()>& confirm)
{
    m_error.clear();
    if (waitingCount() > 0) {
        std::optional<KeptCalls::Kept> newest;
        if (!kept()->newest(&newest)) {
            m_error = kept()->errorText();
            return RemoveResult::Failed;
        }
        if (newest) {
            if (confirm && !confirm())
                return RemoveResult::Cancelled;
            if (kept()->discard(newest->number))
                return RemoveResult::Removed;
            m_error = kept()->errorText();
            return RemoveResult::Failed;
        }
    }
    CallStore& calls = m_env->calls();
    const RemoveResult result = calls.removeLast(confirm);
    m_error = calls.errorText();
    return result;
}

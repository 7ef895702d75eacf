#include "DataConnection.h"

#include <QSqlQuery>
#include <QThread>
#include <QTimer>

DataConnection::DataConnection(const QString& databasePath, std::unique_ptr<SqlDialect> dialect,
                               QObject* parent)
    : QObject(parent), m_db(databasePath, std::move(dialect))
{
}

bool DataConnection::fail(const QString& error)
{
    m_error = error;
    return false;
}

bool DataConnection::connect()
{
    m_error.clear();
    if (m_db.isOpen())
        return true;
    if (!m_db.open())
        return fail(m_db.errorText());
    listenToOtherDesks();
    watchTheFile();
    return true;
}

void DataConnection::watchTheFile()
{
    if (m_db.dialect().changeCounter().isEmpty())
        return;
    checkChangedElsewhere(); // the count to compare with
    if (m_poll || QThread::currentThread() != thread())
        return;
    m_poll = new QTimer(this);
    m_poll->setInterval(pollInterval);
    QObject::connect(m_poll, &QTimer::timeout, this, &DataConnection::checkChangedElsewhere);
    m_poll->start();
}

bool DataConnection::checkChangedElsewhere()
{
    const QString counter = m_db.dialect().changeCounter();
    if (counter.isEmpty() || !m_db.isOpen())
        return false;
    QSqlQuery query(m_db.connection());
    if (!query.exec(counter) || !query.next())
        return false; // looked at again on the next round
    const QVariant count = query.value(0);
    query.finish();
    const bool changed = m_changeCount.isValid() && count != m_changeCount;
    m_changeCount = count;
    if (changed) {
        emit changedElsewhere();
        emit callsChanged();
    }
    return changed;
}

void DataConnection::listenToOtherDesks()
{
    const QString channel = m_db.dialect().listChannel();
    if (channel.isEmpty())
        return;
    QSqlDriver* driver = m_db.connection().driver();
    if (!driver->subscribeToNotification(channel))
        return; // the lists then show other desks' changes at the next start
    // Subscribing again after a reconnection finds the connection already there.
    QObject::connect(driver,
                     qOverload<const QString&, QSqlDriver::NotificationSource, const QVariant&>(
                         &QSqlDriver::notification),
                     this, &DataConnection::onNotification, Qt::UniqueConnection);
}

void DataConnection::onNotification(const QString& channel, QSqlDriver::NotificationSource source,
                                    const QVariant& payload)
{
    if (source == QSqlDriver::OtherSource && channel == m_db.dialect().listChannel()) {
        emit tableChanged(payload.toString());
        emit callsChanged();
    }
}

bool DataConnection::reconnected()
{
    if (!m_db.dialect().isServer() || !m_db.isOpen())
        return false;
    if (m_db.connection().isOpen()) {
        QSqlQuery probe(m_db.connection());
        if (probe.exec("SELECT 1"))
            return false; // the connection is sound: the statement itself failed
    }
    if (!m_db.reconnect())
        return false;
    listenToOtherDesks();
    return true;
}

bool DataConnection::run(const std::function<QSqlError()>& attempt)
{
    m_error.clear();
    m_lockTimedOut = false;
    for (int round = 0;; ++round) {
        const QSqlError error = attempt();
        if (!error.isValid())
            return true;
        m_lockTimedOut = m_db.dialect().isLockTimeout(error);
        if (round > 0 || !reconnected())
            return fail(Database::describe(error));
    }
}

bool DataConnection::setLockWait(int msecs)
{
    return run([&] {
        QSqlQuery query(m_db.connection());
        return query.exec(m_db.dialect().lockWait(msecs)) ? QSqlError() : query.lastError();
    });
}

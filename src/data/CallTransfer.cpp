#include "CallTransfer.h"

#include "CallStore.h"
#include "DataConnection.h"
#include "KeptCalls.h"

#include <QFile>
#include <QSqlQuery>
#include <QThread>

namespace {
// The calls read from the desk's file at a time.
constexpr int batchCalls = 100;

// Several programs of one desk may send at once: the key's lock lets one in at a time, and
// the one after finds the call there.
const QString lockKey =
    QStringLiteral("SELECT pg_advisory_xact_lock(7, hashtext(CAST(? AS text)))");

// For the tests: KALVENT_TEST_TRANSFER_PAUSE="N:FILE" holds the transfer after the server
// committed its N-th call and before the desk forgets it, once FILE is made.
void pauseForTests(int sent)
{
    const QString seam = qEnvironmentVariable("KALVENT_TEST_TRANSFER_PAUSE");
    const qsizetype colon = seam.indexOf(':');
    if (colon < 0 || seam.left(colon).toInt() != sent)
        return;
    QFile flag(seam.mid(colon + 1));
    if (flag.open(QIODevice::WriteOnly))
        flag.close();
    QThread::sleep(600);
}
} // namespace

CallTransfer::CallTransfer(DataConnection& connection, KeptCalls& kept)
    : m_connection(connection), m_kept(kept)
{
}

bool CallTransfer::fail(const QString& error)
{
    m_error = error;
    m_away = isServerAway(error);
    return false;
}

bool CallTransfer::isServerAway(const QString& errorText)
{
    static const char* const signs[] = {
        "connection refused",
        "could not connect",
        "timeout expired",
        "server closed the connection",
        "no connection to the server",
        "could not translate host name",
        "network is unreachable",
        "no route to host",
        "connection timed out",
        "connection reset",
        "broken pipe",
        "the database system is starting up",
        "the database system is shutting down",
        "the database system is in recovery mode",
        "terminating connection",
        "could not receive data from server",
        "could not send data to server",
        "ssl connection has been closed unexpectedly",
        "eof detected",
    };
    const QString text = errorText.toLower();
    for (const char* sign : signs)
        if (text.contains(QLatin1String(sign)))
            return true;
    return false;
}

bool CallTransfer::run()
{
    m_sent = 0;
    m_away = false;
    m_error.clear();
    if (!m_connection.connect())
        return fail(m_connection.errorText());
    // An import's long write is not waited for here: the calls go over on a later run.
    if (!m_connection.setLockWait(CallStore::shortWaitMsecs))
        return fail(m_connection.errorText());
    bool done = true;
    QVector<KeptCalls::Kept> calls;
    while (done && m_kept.waiting(&calls, batchCalls) && !calls.isEmpty()) {
        for (const KeptCalls::Kept& kept : std::as_const(calls)) {
            done = m_connection.run([&] {
                QSqlDatabase db = m_connection.connection();
                if (!db.transaction())
                    return db.lastError();
                QSqlQuery query(db);
                QVariantList values = kept.call.values();
                values << kept.key << kept.key;
                QSqlError error = m_connection.database().run(query, lockKey, {kept.key});
                if (!error.isValid())
                    error = m_connection.database().run(
                        query, m_connection.dialect().keyedCallInsert(), values);
                query.finish();
                if (!error.isValid() && db.commit())
                    return QSqlError();
                if (!error.isValid())
                    error = db.lastError();
                db.rollback();
                return error;
            });
            if (!done) {
                fail(m_connection.errorText());
                break;
            }
            pauseForTests(m_sent + 1);
            if (!m_kept.remove(kept.number)) {
                done = fail(m_kept.errorText());
                break;
            }
            ++m_sent;
        }
    }
    if (done && !m_kept.errorText().isEmpty())
        done = fail(m_kept.errorText());
    m_connection.setLockWait(-1);
    return done;
}

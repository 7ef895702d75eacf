#include "KeychainSecretStore.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace {

const QString kService = QStringLiteral("Kalvent");
// A store that does not answer (a locked keyring nobody unlocks) is given up on.
constexpr int kAnswerMs = 60000;

// Runs a job to its end; false with the reason when it failed or did not answer.
bool finish(QKeychain::Job& job, QString* error)
{
    QEventLoop loop;
    bool done = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    QTimer::singleShot(kAnswerMs, &loop, &QEventLoop::quit);
    job.start();
    if (!done)
        loop.exec();
    if (!done) {
        if (error)
            *error = QStringLiteral("хранилище паролей не ответило");
        return false;
    }
    if (job.error() != QKeychain::NoError) {
        if (error)
            *error = job.errorString();
        return false;
    }
    return true;
}

} // namespace

bool KeychainSecretStore::isAvailable(QString* why)
{
    if (m_state == 0) {
        m_state = -1;
        if (!QCoreApplication::instance()) {
            m_why = QStringLiteral("программа запущена без очереди событий");
        } else if (!QDBusConnection::sessionBus().isConnected()) {
            m_why = QStringLiteral("нет сеанса рабочего стола (шины D-Bus)");
        } else if (!QDBusConnection::sessionBus().interface()->isServiceRegistered(
                       QStringLiteral("org.freedesktop.secrets")) &&
                   !QDBusConnection::sessionBus().interface()->isServiceRegistered(
                       QStringLiteral("org.kde.kwalletd5")) &&
                   !QDBusConnection::sessionBus().interface()->isServiceRegistered(
                       QStringLiteral("org.kde.kwalletd6"))) {
            m_why = QStringLiteral("хранилище паролей рабочего стола не запущено");
        } else {
            m_state = 1;
        }
    }
    if (why)
        *why = m_why;
    return m_state == 1;
}

bool KeychainSecretStore::write(const QString& key, const QString& secret, QString* error)
{
    if (!isAvailable(error))
        return false;
    QKeychain::WritePasswordJob job(kService);
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    job.setKey(key);
    job.setTextData(secret);
    return finish(job, error);
}

bool KeychainSecretStore::read(const QString& key, QString* secret, QString* error)
{
    if (!isAvailable(error))
        return false;
    QKeychain::ReadPasswordJob job(kService);
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    job.setKey(key);
    if (!finish(job, error))
        return false;
    *secret = job.textData();
    return true;
}

bool KeychainSecretStore::remove(const QString& key, QString* error)
{
    if (!isAvailable(error))
        return false;
    QKeychain::DeletePasswordJob job(kService);
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    job.setKey(key);
    QString why;
    if (finish(job, &why) || job.error() == QKeychain::EntryNotFound)
        return true;
    if (error)
        *error = why;
    return false;
}

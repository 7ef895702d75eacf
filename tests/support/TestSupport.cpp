#include "TestSupport.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QWidget>

namespace TestSupport {

void pinEnvironment()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QCoreApplication::setApplicationName("Kalvent");
}

MessageRecorder::MessageRecorder()
{
    Dialogs::setMessageHandler([this](const Dialogs::Message& message) {
        m_shown << message;
        return m_answers.isEmpty() ? QMessageBox::Ok : m_answers.takeFirst();
    });
}

MessageRecorder::~MessageRecorder()
{
    Dialogs::setMessageHandler({});
}

PromptRecorder::PromptRecorder()
{
    Dialogs::setPromptHandler([this](const Dialogs::Prompt& prompt) {
        m_shown << prompt;
        return m_answers.isEmpty() ? Dialogs::PromptAnswer{} : m_answers.takeFirst();
    });
}

PromptRecorder::~PromptRecorder()
{
    Dialogs::setPromptHandler({});
}

bool fire(QTimer* timer)
{
    if (!timer)
        return false;
    if (timer->isSingleShot())
        timer->stop();
    return QMetaObject::invokeMethod(timer, "timeout");
}

} // namespace TestSupport

bool TestSupport::onServer()
{
    return !qEnvironmentVariable("KALVENT_TEST_DATABASE").isEmpty();
}

namespace {
// Runs statements on the test server's maintenance database; false at the first failure (with
// the reason in *error).
bool onMaintenanceDatabase(const QStringList& statements, QString* error = nullptr)
{
    const QUrl url(qEnvironmentVariable("KALVENT_TEST_DATABASE"));
    bool ok = true;
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", "testsupport-admin");
        admin.setHostName(url.host());
        admin.setPort(url.port(5432));
        admin.setUserName(url.userName());
        admin.setDatabaseName("postgres");
        ok = admin.open();
        QSqlQuery query(admin);
        for (int i = 0; ok && i < statements.size(); ++i)
            ok = query.exec(statements.at(i));
        if (!ok && error)
            *error = admin.lastError().text() + ' ' + query.lastError().text();
    }
    QSqlDatabase::removeDatabase("testsupport-admin");
    return ok;
}
} // namespace

QString TestSupport::database(const QString& file)
{
    if (!onServer())
        return file;
    static int counter = 0;
    static QStringList created;
    // The databases of the cases before that are no longer in use go (the server's disk).
    for (const QString& old : QStringList(created))
        if (onMaintenanceDatabase({"DROP DATABASE IF EXISTS " + old}))
            created.removeAll(old);
    const QString name =
        QStringLiteral("kt_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    QString error;
    if (!onMaintenanceDatabase({QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING "
                                               "'UTF8' STRATEGY FILE_COPY")
                                    .arg(name)},
                               &error))
        qFatal("test server: %s", qPrintable(error));
    created << name;
    QUrl url(qEnvironmentVariable("KALVENT_TEST_DATABASE"));
    url.setPath("/" + name);
    return url.toString();
}

bool TestSupport::keepPicture(QWidget& window, const QString& name)
{
    const QString folder = qEnvironmentVariable("KALVENT_SCREENS_DIR");
    if (folder.isEmpty())
        return true;
    window.show();
    QCoreApplication::processEvents();
    return window.grab().save(QDir(folder).filePath(name));
}

bool TestSupport::restartServer()
{
    const QString state = qEnvironmentVariable("KALVENT_TEST_SERVER_STATE");
    if (!onServer() || state.isEmpty())
        return false;
    const QString script =
        qEnvironmentVariable("KALVENT_SOURCE_DIR") + "/tests/support/pg-server.sh";
    return QProcess::execute("sh", {script, "restart", state}) == 0;
}

TestSupport::FakeSystemctl::FakeSystemctl()
{
    qputenv("KALVENT_SYSTEMCTL",
            (qEnvironmentVariable("KALVENT_SOURCE_DIR") + "/tests/support/fake-systemctl.sh")
                .toLocal8Bit());
    qputenv("FAKE_SYSTEMCTL_DIR", m_dir.path().toLocal8Bit());
}

TestSupport::FakeSystemctl::~FakeSystemctl()
{
    qunsetenv("KALVENT_SYSTEMCTL");
    qunsetenv("FAKE_SYSTEMCTL_DIR");
}

QStringList TestSupport::FakeSystemctl::takeCalls()
{
    QFile file(m_dir.filePath("calls"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList calls = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    file.remove();
    return calls;
}

void TestSupport::FakeSystemctl::set(const QString& flag, bool present)
{
    QFile file(m_dir.filePath(flag));
    if (present)
        QVERIFY(file.open(QIODevice::WriteOnly));
    else
        file.remove();
}

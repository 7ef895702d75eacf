#include "TestSupport.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <QCoreApplication>

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

QString TestSupport::database(const QString& file)
{
    if (!onServer())
        return file;
    static int counter = 0;
    const QString name =
        QStringLiteral("kt_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    QUrl url(qEnvironmentVariable("KALVENT_TEST_DATABASE"));
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", "testsupport-admin");
        admin.setHostName(url.host());
        admin.setPort(url.port(5432));
        admin.setUserName(url.userName());
        admin.setDatabaseName("postgres");
        QSqlQuery query(admin);
        if (!admin.open() ||
            !query.exec(
                QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(name)))
            qFatal("test server: %s %s", qPrintable(admin.lastError().text()),
                   qPrintable(query.lastError().text()));
    }
    QSqlDatabase::removeDatabase("testsupport-admin");
    url.setPath("/" + name);
    return url.toString();
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

#pragma once

// A real SMTP server on the loopback address for the mail tests, run as a child process:
// either aiosmtpd's own command line with a Maildir, or smtp_server.py beside this file
// (STARTTLS, implicit TLS, a login, refused recipients). Header only: each test is one file.

#include "MailAccount.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// Skips the current test when Python with aiosmtpd or openssl is missing; under CI (where
// the project's script installs them) a missing tool fails the test instead.
#define KALVENT_REQUIRE_SMTP_TOOLS()                                                               \
    do {                                                                                           \
        const QString missingTool = SmtpTestServer::missingTools();                                \
        if (!missingTool.isEmpty()) {                                                              \
            if (qEnvironmentVariableIsSet("CI"))                                                   \
                QFAIL(qPrintable(missingTool));                                                    \
            QSKIP(qPrintable(missingTool));                                                        \
        }                                                                                          \
    } while (false)

class SmtpTestServer
{
public:
    SmtpTestServer() = default;
    ~SmtpTestServer() { stop(); }
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    // The Python with aiosmtpd: $KALVENT_PYTHON, else the system's, else python3 on the PATH.
    static QString python()
    {
        const QString configured = qEnvironmentVariable("KALVENT_PYTHON");
        if (!configured.isEmpty())
            return configured;
        if (QFileInfo::exists(QStringLiteral("/usr/bin/python3")))
            return QStringLiteral("/usr/bin/python3");
        return QStandardPaths::findExecutable(QStringLiteral("python3"));
    }

    static QString script()
    {
        const QString source = qEnvironmentVariable("KALVENT_SOURCE_DIR");
        const QString fromSource = source + QStringLiteral("/tests/mailing/smtp/smtp_server.py");
        if (!source.isEmpty() && QFileInfo::exists(fromSource))
            return fromSource;
        return QFileInfo(QStringLiteral(__FILE__)).absolutePath() +
               QStringLiteral("/smtp_server.py");
    }

    // Empty when Python with aiosmtpd and the openssl tool are at hand, else what is missing.
    static QString missingTools()
    {
        QProcess probe;
        probe.start(python(), {QStringLiteral("-c"), QStringLiteral("import aiosmtpd")});
        if (!probe.waitForFinished(20000) || probe.exitStatus() != QProcess::NormalExit ||
            probe.exitCode() != 0) {
            return QStringLiteral("python3 with aiosmtpd is not available (%1)").arg(python());
        }
        if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
            return QStringLiteral("the openssl tool is not available");
        if (!QFileInfo::exists(script()))
            return QStringLiteral("smtp_server.py not found");
        return QString();
    }

    // A port nobody listens on right now, picked by the system.
    static quint16 freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return 0;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof(address);
        quint16 port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port = ntohs(address.sin_port);
        }
        ::close(fd);
        return port;
    }

    static bool acceptsConnections(quint16 port)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return false;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        ::close(fd);
        return ok;
    }

    // A self-signed certificate for 127.0.0.1, valid two days.
    static bool makeCertificate(const QString& folder, QString* certificate, QString* key)
    {
        *certificate = folder + QStringLiteral("/cert.pem");
        *key = folder + QStringLiteral("/key.pem");
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                       QStringLiteral("rsa:2048"), QStringLiteral("-nodes"),
                       QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                       QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                       QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-keyout"),
                       *key, QStringLiteral("-out"), *certificate});
        return openssl.waitForFinished(60000) && openssl.exitStatus() == QProcess::NormalExit &&
               openssl.exitCode() == 0 && QFileInfo::exists(*certificate);
    }

    // smtp_server.py with the given options, storing messages in outFolder.
    bool start(const QString& outFolder, const QStringList& options)
    {
        stop();
        m_out = outFolder;
        m_port = freePort();
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(python(),
                        QStringList{script(), QStringLiteral("--port"), QString::number(m_port),
                                    QStringLiteral("--out"), outFolder,
                                    QStringLiteral("--lifetime"), QStringLiteral("240")} +
                            options);
        if (!m_process.waitForStarted(10000))
            return false;
        const QDeadlineTimer deadline(20000);
        QByteArray output;
        while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(200);
            output += m_process.readAllStandardOutput();
            if (output.contains("READY"))
                return acceptsConnections(m_port);
        }
        return false;
    }

    // aiosmtpd's own command line server with a Maildir in mailFolder.
    bool startMailbox(const QString& mailFolder)
    {
        stop();
        m_out = mailFolder;
        for (const char* sub : {"new", "cur", "tmp"})
            QDir().mkpath(mailFolder + QLatin1Char('/') + QLatin1String(sub));
        m_port = freePort();
        m_process.start(python(), {QStringLiteral("-m"), QStringLiteral("aiosmtpd"),
                                   QStringLiteral("-n"), QStringLiteral("-l"),
                                   QStringLiteral("127.0.0.1:%1").arg(m_port), QStringLiteral("-c"),
                                   QStringLiteral("aiosmtpd.handlers.Mailbox"), mailFolder});
        if (!m_process.waitForStarted(10000))
            return false;
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
            if (acceptsConnections(m_port))
                return true;
            QThread::msleep(100);
        }
        return false;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    quint16 port() const { return m_port; }

    // Stores a mail account for a plain (no TLS, no login) server on the loopback port.
    static bool storePlainAccount(quint16 port)
    {
        MailAccount account;
        account.setHost(QStringLiteral("127.0.0.1"));
        account.setPort(port);
        account.setSecurity(MailAccount::Security::None);
        account.setSenderAddress(QStringLiteral("kalvent@example.com"));
        return account.save();
    }

    // A JSON array of strings as a list (the envelope's recipients).
    static QStringList jsonStrings(const QJsonValue& value)
    {
        QStringList list;
        for (const QJsonValue& item : value.toArray())
            list << item.toString();
        return list;
    }
    QString errorOutput() { return QString::fromUtf8(m_process.readAllStandardError()); }

    // What smtp_server.py stored: envelope and parsed message per received mail, in order.
    QList<QJsonObject> received() const
    {
        QList<QJsonObject> result;
        for (int n = 1;; ++n) {
            QFile file(m_out + QStringLiteral("/%1.json").arg(n));
            if (!file.open(QIODevice::ReadOnly))
                break;
            result << QJsonDocument::fromJson(file.readAll()).object();
        }
        return result;
    }

    // The raw message files the aiosmtpd Maildir holds.
    QStringList maildirFiles() const
    {
        QStringList files;
        const QDir dir(m_out + QStringLiteral("/new"));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
            files << dir.filePath(name);
        return files;
    }

    // One message file parsed by Python's email package, as smtp_server.py describes it.
    static QJsonObject parse(const QString& file)
    {
        QProcess parser;
        parser.start(python(), {script(), QStringLiteral("--parse"), file});
        if (!parser.waitForFinished(30000) || parser.exitCode() != 0)
            return QJsonObject();
        return QJsonDocument::fromJson(parser.readAllStandardOutput()).object();
    }

    // Header values by name (case-insensitive) from a parsed message.
    static QStringList headers(const QJsonObject& message, const QString& name)
    {
        QStringList values;
        for (const QJsonValue& pair : message.value(QStringLiteral("headers")).toArray()) {
            const QJsonArray nameValue = pair.toArray();
            if (nameValue.at(0).toString().compare(name, Qt::CaseInsensitive) == 0)
                values << nameValue.at(1).toString();
        }
        return values;
    }

private:
    QProcess m_process;
    QString m_out;
    quint16 m_port = 0;
};

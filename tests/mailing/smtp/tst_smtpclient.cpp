#include "MailMessage.h"
#include "SmtpClient.h"
#include "SmtpTestServer.h"
#include "TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

namespace {

const QString kRecipient = QStringLiteral("director@example.com");
const QString kSender = QStringLiteral("office@example.ru");
const QStringList kReportFiles = {QStringLiteral("poist.htm"), QStringLiteral("pousl.htm"),
                                  QStringLiteral("point.htm"), QStringLiteral("podates.htm")};

} // namespace

class TestSmtpClient : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_certificate;
    QString m_key;
    QStringList m_reports;
    QList<QByteArray> m_reportContents;

    MailAccount account(quint16 port, MailAccount::Security security) const
    {
        MailAccount result;
        result.setHost(QStringLiteral("127.0.0.1"));
        result.setPort(port);
        result.setSecurity(security);
        result.setSenderAddress(kSender);
        if (security != MailAccount::Security::None)
            result.setCaFile(m_certificate);
        return result;
    }

    MailMessage reportMessage(const QString& subject = QStringLiteral("Реклама")) const
    {
        MailMessage message;
        message.setRecipient(kRecipient);
        message.setSubject(subject);
        message.setBody(subject);
        message.setAttachments(m_reports);
        return message;
    }

    // The parsed message carries the four reports in order, byte for byte.
    void verifyReports(const QJsonObject& parsed)
    {
        const QJsonArray attachments = parsed.value("attachments").toArray();
        QCOMPARE(attachments.size(), kReportFiles.size());
        for (int i = 0; i < attachments.size(); ++i) {
            const QJsonObject part = attachments.at(i).toObject();
            QCOMPARE(part.value("filename").toString(), kReportFiles.at(i));
            QCOMPARE(part.value("content_type").toString(), QStringLiteral("text/html"));
            QCOMPARE(QByteArray::fromBase64(part.value("data").toString().toLatin1()),
                     m_reportContents.at(i));
        }
    }

    QString outFolder(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        KALVENT_REQUIRE_SMTP_TOOLS();
        QVERIFY(m_dir.isValid());
        QVERIFY(SmtpTestServer::makeCertificate(m_dir.path(), &m_certificate, &m_key));
        for (const QString& name : kReportFiles) {
            const QString path = m_dir.filePath(name);
            const QByteArray html = "<html><head><meta charset=\"utf-8\"></head><body><p>" +
                                    name.toUtf8() + ": Газета — 12, Радио — 3</p>" +
                                    QByteArray(3000 + m_reports.size() * 700, 'z') +
                                    "</body></html>\r\n";
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(html);
            m_reports << path;
            m_reportContents << html;
        }
    }

    void deliversTheReportsToAPlainServer()
    {
        SmtpTestServer server;
        const QString mail = outFolder("maildir");
        QVERIFY2(server.startMailbox(mail), qPrintable(server.errorOutput()));

        SmtpClient client;
        QVERIFY(client.signOn(account(server.port(), MailAccount::Security::None)));
        QVERIFY(client.isSignedOn());
        QVERIFY2(client.send(reportMessage()), qPrintable(client.errorText()));
        QVERIFY(client.errorText().isEmpty());
        client.signOff();
        QVERIFY(!client.isSignedOn());

        const QStringList files = server.maildirFiles();
        QCOMPARE(files.size(), 1);
        const QJsonObject parsed = SmtpTestServer::parse(files.first());
        QCOMPARE(SmtpTestServer::headers(parsed, "X-RcptTo"), QStringList{kRecipient});
        QCOMPARE(SmtpTestServer::headers(parsed, "X-MailFrom"), QStringList{kSender});
        QCOMPARE(SmtpTestServer::headers(parsed, "To"), QStringList{kRecipient});
        QCOMPARE(parsed.value("subject").toString(), QStringLiteral("Реклама"));
        QCOMPARE(parsed.value("body").toString(), QStringLiteral("Реклама"));
        QCOMPARE(parsed.value("defects").toArray(), QJsonArray());
        verifyReports(parsed);

        // A server without STARTTLS is never used in the clear when TLS was asked for.
        MailAccount secure = account(server.port(), MailAccount::Security::StartTls);
        QVERIFY(client.signOn(secure));
        QVERIFY(!client.send(reportMessage()));
        QVERIFY2(client.errorText().startsWith(
                     QStringLiteral("Сервер 127.0.0.1:%1 не поддерживает защищённое соединение")
                         .arg(server.port())),
                 qPrintable(client.errorText()));
        QCOMPARE(server.maildirFiles().size(), 1);
    }

    void startTlsWithLoginAndItsRefusals()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(outFolder("starttls"),
                              {"--tls-cert", m_certificate, "--tls-key", m_key, "--auth-user",
                               "оператор", "--auth-password", "пароль 1"}),
                 qPrintable(server.errorOutput()));
        MailAccount signIn = account(server.port(), MailAccount::Security::StartTls);
        signIn.setLogin(QStringLiteral("оператор"));
        signIn.setPassword(QStringLiteral("пароль 1"));

        SmtpClient client;
        QVERIFY(client.signOn(signIn));
        QVERIFY2(client.send(reportMessage()), qPrintable(client.errorText()));
        QList<QJsonObject> received = server.received();
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.first().value("tls").toBool(), true);
        QCOMPARE(received.first().value("authenticated").toBool(), true);
        QCOMPARE(SmtpTestServer::jsonStrings(received.first().value("rcpt_tos")),
                 QStringList{kRecipient});
        QCOMPARE(received.first().value("mail_from").toString(), kSender);
        const QJsonObject parsed = received.first().value("message").toObject();
        QCOMPARE(parsed.value("subject").toString(), QStringLiteral("Реклама"));
        QCOMPARE(parsed.value("body").toString(), QStringLiteral("Реклама"));
        verifyReports(parsed);

        MailAccount wrongPassword = signIn;
        wrongPassword.setPassword(QStringLiteral("пароль 2"));
        QVERIFY(client.signOn(wrongPassword));
        QVERIFY(!client.send(reportMessage()));
        QVERIFY2(client.errorText().startsWith(
                     QStringLiteral("Сервер не принял имя пользователя или пароль: 535")),
                 qPrintable(client.errorText()));
        QVERIFY(!client.errorText().contains(QStringLiteral("пароль 2")));

        MailAccount noLogin = signIn;
        noLogin.setLogin(QString());
        QVERIFY(client.signOn(noLogin));
        QVERIFY(!client.send(reportMessage()));
        QVERIFY2(client.errorText().startsWith(
                     QStringLiteral("Сервер требует входа по имени и паролю: 530")),
                 qPrintable(client.errorText()));

        // Without the test authority the self-signed certificate is not trusted.
        MailAccount untrusted = signIn;
        untrusted.setCaFile(QString());
        QVERIFY(client.signOn(untrusted));
        QVERIFY(!client.send(reportMessage()));
        QVERIFY2(client.errorText().startsWith(
                     QStringLiteral("Сертификат почтового сервера 127.0.0.1:%1 не прошёл проверку")
                         .arg(server.port())),
                 qPrintable(client.errorText()));

        // Only a sign-in over TLS is offered; a plain session is turned away.
        MailAccount plain = signIn;
        plain.setSecurity(MailAccount::Security::None);
        plain.setAllowPlaintext(true);
        QVERIFY(client.signOn(plain));
        QVERIFY(!client.send(reportMessage()));
        QVERIFY2(client.errorText().startsWith(
                     QStringLiteral("Сервер требует защищённого соединения: 530")),
                 qPrintable(client.errorText()));

        QCOMPARE(server.received().size(), 1);
    }

    void implicitTls()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(outFolder("smtps"),
                              {"--tls-cert", m_certificate, "--tls-key", m_key, "--implicit-tls"}),
                 qPrintable(server.errorOutput()));
        SmtpClient client;
        QVERIFY(client.signOn(account(server.port(), MailAccount::Security::Ssl)));
        QVERIFY2(client.send(reportMessage(QStringLiteral("Отчёты"))),
                 qPrintable(client.errorText()));
        const QList<QJsonObject> received = server.received();
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.first().value("tls").toBool(), true);
        QCOMPARE(received.first().value("message").toObject().value("subject").toString(),
                 QStringLiteral("Отчёты"));

        MailAccount untrusted = account(server.port(), MailAccount::Security::Ssl);
        untrusted.setCaFile(QString());
        QVERIFY(client.signOn(untrusted));
        QVERIFY(!client.send(reportMessage()));
        QVERIFY2(client.errorText().contains(QStringLiteral("не прошёл проверку")),
                 qPrintable(client.errorText()));
        QCOMPARE(server.received().size(), 1);
    }

    void refusedRecipientIsReportedWithTheServersReply()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(outFolder("refuse"), {"--refuse", "closed@example.com"}),
                 qPrintable(server.errorOutput()));
        SmtpClient client;
        QVERIFY(client.signOn(account(server.port(), MailAccount::Security::None)));
        MailMessage message = reportMessage();
        message.setRecipient(QStringLiteral("closed@example.com"));
        QVERIFY(!client.send(message));
        QVERIFY2(client.errorText().startsWith(QStringLiteral("Сервер отклонил получателя: 550 ")),
                 qPrintable(client.errorText()));
        QVERIFY(client.errorText().contains(QStringLiteral("closed@example.com")));
        QVERIFY(client.lastServerReply().startsWith(QStringLiteral("550")));
        QCOMPARE(server.received().size(), 0);

        // The same session goes on to send to an open mailbox.
        QVERIFY2(client.send(reportMessage()), qPrintable(client.errorText()));
        QCOMPARE(server.received().size(), 1);
    }

    void refusedMessageIsReportedWithTheServersReply()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(outFolder("refuse-data"), {"--refuse-data"}),
                 qPrintable(server.errorOutput()));
        SmtpClient client;
        QVERIFY(client.signOn(account(server.port(), MailAccount::Security::None)));
        QVERIFY(!client.send(reportMessage()));
        QCOMPARE(client.errorText(),
                 QStringLiteral("Сервер не принял письмо: 554 5.6.0 Message content rejected"));
    }

    void subjectCannotInjectAHeaderOrARecipient()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(outFolder("inject"), {}), qPrintable(server.errorOutput()));
        SmtpClient client;
        QVERIFY(client.signOn(account(server.port(), MailAccount::Security::None)));
        QVERIFY2(client.send(reportMessage(QStringLiteral("x\r\nBcc: evil@example.com"))),
                 qPrintable(client.errorText()));
        const QList<QJsonObject> received = server.received();
        QCOMPARE(received.size(), 1);
        QCOMPARE(SmtpTestServer::jsonStrings(received.first().value("rcpt_tos")),
                 QStringList{kRecipient});
        const QJsonObject parsed = received.first().value("message").toObject();
        QCOMPARE(SmtpTestServer::headers(parsed, "Bcc"), QStringList());
        QCOMPARE(parsed.value("subject").toString(), QStringLiteral("x Bcc: evil@example.com"));
        QCOMPARE(parsed.value("body").toString(), QStringLiteral("x\r\nBcc: evil@example.com"));
    }

    void refusedBeforeAnythingIsSent()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(outFolder("early"), {}), qPrintable(server.errorOutput()));
        SmtpClient client;
        MailMessage message = reportMessage();
        QVERIFY(!client.send(message));
        QCOMPARE(client.errorText(), QStringLiteral("Вход на почтовый сервер не выполнен."));

        MailAccount incomplete = account(server.port(), MailAccount::Security::None);
        incomplete.setSenderAddress(QString());
        QVERIFY(!client.signOn(incomplete));
        QVERIFY(!client.isSignedOn());
        QVERIFY2(client.errorText().contains(QStringLiteral("Не указан адрес отправителя")),
                 qPrintable(client.errorText()));

        QVERIFY(client.signOn(account(server.port(), MailAccount::Security::None)));
        message.setRecipient(QStringLiteral("director@example.com, evil@example.com"));
        QVERIFY(!client.send(message));
        QVERIFY2(client.errorText().contains(QStringLiteral("не является одним почтовым адресом")),
                 qPrintable(client.errorText()));

        message = reportMessage();
        const QString missing = m_dir.filePath(QStringLiteral("Send/absent.htm"));
        message.setAttachments({m_reports.first(), missing});
        QVERIFY(!client.send(message));
        QVERIFY2(client.errorText().contains(missing), qPrintable(client.errorText()));
        QCOMPARE(server.received().size(), 0);
    }

    // The server's 250 to the end of the data is the delivery: the hook runs then, before the
    // QUIT goes out, and a connection dropped instead of answering QUIT changes nothing.
    void acceptedAtTheEndOfTheDataWhateverHappensAtQuit()
    {
        SmtpTestServer server;
        const QString out = outFolder("dropAtQuit");
        QVERIFY2(server.start(out, {"--at-quit", "drop"}), qPrintable(server.errorOutput()));
        SmtpClient client;
        QVERIFY(client.signOn(account(server.port(), MailAccount::Security::None)));
        int accepted = 0;
        bool quitSeenFirst = false;
        const auto hook = [&] {
            ++accepted;
            quitSeenFirst = QFileInfo::exists(out + QStringLiteral("/quit"));
        };
        QVERIFY2(client.send(reportMessage(), hook), qPrintable(client.errorText()));
        QCOMPARE(accepted, 1);
        QVERIFY(!quitSeenFirst);
        QVERIFY(QFileInfo::exists(out + QStringLiteral("/quit")));
        QCOMPARE(server.received().size(), 1);

        // Refused data is no delivery: the hook never runs.
        SmtpTestServer refusing;
        QVERIFY2(refusing.start(outFolder("refusedData"), {"--refuse-data"}),
                 qPrintable(refusing.errorOutput()));
        QVERIFY(client.signOn(account(refusing.port(), MailAccount::Security::None)));
        QVERIFY(!client.send(reportMessage(), hook));
        QCOMPARE(accepted, 1);
    }

    // A login over a connection without encryption is never sent unless allowed: the client
    // itself refuses, for good, before connecting.
    void aLoginInClearTextOnlyWhenAllowed()
    {
        SmtpTestServer server;
        const QString out = outFolder("plainLogin");
        QVERIFY2(server.start(out, {"--auth-user", "op", "--auth-password", "секрет"}),
                 qPrintable(server.errorOutput()));
        MailAccount plain = account(server.port(), MailAccount::Security::None);
        plain.setLogin(QStringLiteral("op"));
        plain.setPassword(QStringLiteral("секрет"));

        SmtpClient client;
        QVERIFY(client.signOn(plain));
        QVERIFY(!client.send(reportMessage()));
        QVERIFY(client.failedForGood());
        QCOMPARE(client.errorText(), plain.plaintextRefusal());
        QVERIFY(!QFileInfo::exists(out + QStringLiteral("/auth")));
        QVERIFY(server.received().isEmpty());

        plain.setAllowPlaintext(true);
        QVERIFY(client.signOn(plain));
        QVERIFY2(client.send(reportMessage()), qPrintable(client.errorText()));
        QCOMPARE(server.received().size(), 1);
        QCOMPARE(server.received().first().value("authenticated").toBool(), true);
    }

    // A certificate file that cannot be used is this machine's fault and said so; no try
    // mends it.
    void certificateFileFaultsAreLocalAndForGood()
    {
        SmtpTestServer server;
        QVERIFY2(
            server.start(outFolder("caFile"), {"--tls-cert", m_certificate, "--tls-key", m_key}),
            qPrintable(server.errorOutput()));
        const QString missing = m_dir.filePath(QStringLiteral("no-such-ca.pem"));
        const QString notPem = m_dir.filePath(QStringLiteral("not-a-certificate.pem"));
        QFile garbage(notPem);
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write("this is no certificate\n");
        garbage.close();

        const QList<QPair<QString, QString>> cases = {
            {missing, QStringLiteral("Файл сертификата «%1» не найден.").arg(missing)},
            {m_dir.path(), QStringLiteral("Файл сертификата «%1» не читается").arg(m_dir.path())},
            {notPem, QStringLiteral("Файл сертификата «%1» не читается").arg(notPem)},
        };
        SmtpClient client;
        for (const auto& [file, text] : cases) {
            MailAccount secure = account(server.port(), MailAccount::Security::StartTls);
            secure.setCaFile(file);
            QVERIFY(client.signOn(secure));
            QVERIFY(!client.send(reportMessage()));
            QVERIFY2(client.errorText().startsWith(text), qPrintable(client.errorText()));
            QVERIFY2(client.failedForGood(), qPrintable(file));
        }
        QVERIFY(server.received().isEmpty());
    }

    void serverDownIsAConnectionError()
    {
        const quint16 port = SmtpTestServer::freePort();
        QVERIFY(port != 0);
        SmtpClient client;
        QVERIFY(client.signOn(account(port, MailAccount::Security::None)));
        QVERIFY(!client.send(reportMessage()));
        // Russian words first, the system's text on a line of its own.
        QCOMPARE(client.errorText(),
                 QStringLiteral("Не удалось подключиться к серверу 127.0.0.1:%1: "
                                "сервер не принимает соединения.\n%2")
                     .arg(port)
                     .arg(qt_error_string(ECONNREFUSED)));
    }
};

QTEST_MAIN(TestSmtpClient)
#include "tst_smtpclient.moc"

#include "../mailing/smtp/SmtpTestServer.h"
#include "MailMessage.h"
#include "ReportBundle.h"
#include "ReportMailer.h"
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>

namespace {

const QString kRecipient = QStringLiteral("director@example.com");
const QString kSender = QStringLiteral("office@example.ru");
const QString kText = QStringLiteral("Реклама");
const QStringList kNames = {QStringLiteral("poist.htm"), QStringLiteral("pousl.htm"),
                            QStringLiteral("point.htm"), QStringLiteral("podates.htm")};

// A loopback listener that accepts connections but answers only when told to.
class SilentListener
{
public:
    SilentListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_fd, 4) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        m_port = ntohs(address.sin_port);
    }
    ~SilentListener()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    quint16 port() const { return m_port; }

    // Answers a waiting client with a refusing greeting; false when none is waiting yet.
    bool refuseWaitingClient()
    {
        const int client = ::accept(m_fd, nullptr, nullptr);
        if (client < 0)
            return false;
        const char greeting[] = "554 5.3.2 Service busy\r\n";
        const bool written = ::write(client, greeting, sizeof(greeting) - 1) > 0;
        ::close(client);
        return written;
    }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};

} // namespace

// Sending the exported reports through a real SMTP server on the loopback address.
class TestReportMailer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_sendDir;
    QString m_certificate;
    QString m_key;
    QList<QByteArray> m_contents;

    MailAccount plainAccount(quint16 port) const
    {
        MailAccount account;
        account.setHost(QStringLiteral("127.0.0.1"));
        account.setPort(port);
        account.setSecurity(MailAccount::Security::None);
        account.setSenderAddress(kSender);
        return account;
    }

    QString outFolder(const QString& name) const { return m_dir.filePath(name); }

    static ReportMailer quickMailer()
    {
        ReportMailer mailer;
        mailer.setPauseSeconds(0.05);
        return mailer;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        KALVENT_REQUIRE_SMTP_TOOLS();
        QVERIFY(m_dir.isValid());
        QVERIFY(SmtpTestServer::makeCertificate(m_dir.path(), &m_certificate, &m_key));
        m_sendDir = m_dir.filePath(QStringLiteral("Send"));
        QVERIFY(QDir().mkpath(m_sendDir));
        const QStringList files = ReportBundle::filePaths(m_sendDir);
        for (int i = 0; i < files.size(); ++i) {
            // Each report different in size and content, with bytes of every value.
            QByteArray html = "<html><head><meta charset=\"utf-8\"></head><body><p>" +
                              kNames.at(i).toUtf8() + ": Газета — " + QByteArray::number(i) +
                              "</p>\r\n";
            for (int b = 0; b < 256; ++b)
                html += char(b);
            html += QByteArray(2000 + i * 900, char('a' + i)) + "</body></html>\n";
            QFile file(files.at(i));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(html), html.size());
            m_contents << html;
        }
    }

    void reportFilesAreTheFourReportsInOrder()
    {
        const QStringList files = ReportBundle::filePaths(m_sendDir);
        QCOMPARE(files.size(), kNames.size());
        for (int i = 0; i < kNames.size(); ++i)
            QCOMPARE(files.at(i), QDir(m_sendDir).filePath(kNames.at(i)));
    }

    void deliversOneMessageWithTheReportsInOrder()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(outFolder("delivery"),
                              {"--tls-cert", m_certificate, "--tls-key", m_key, "--auth-user",
                               "оператор", "--auth-password", "пароль"}),
                 qPrintable(server.errorOutput()));
        MailAccount account;
        account.setHost(QStringLiteral("127.0.0.1"));
        account.setPort(server.port());
        account.setSecurity(MailAccount::Security::StartTls);
        account.setLogin(QStringLiteral("оператор"));
        account.setPassword(QStringLiteral("пароль"));
        account.setSenderAddress(kSender);
        account.setCaFile(m_certificate);

        ReportMailer mailer = quickMailer();
        QVERIFY2(mailer.send(kRecipient, kText, ReportBundle::filePaths(m_sendDir), account),
                 qPrintable(mailer.errorText()));
        QVERIFY(mailer.errorText().isEmpty());

        const QList<QJsonObject> received = server.received();
        QCOMPARE(received.size(), 1);
        const QJsonObject envelope = received.first();
        QCOMPARE(SmtpTestServer::jsonStrings(envelope.value("rcpt_tos")), QStringList{kRecipient});
        QCOMPARE(envelope.value("mail_from").toString(), kSender);
        QVERIFY(envelope.value("tls").toBool());
        QVERIFY(envelope.value("authenticated").toBool());
        const QJsonObject message = envelope.value("message").toObject();
        QCOMPARE(SmtpTestServer::headers(message, "To"), QStringList{kRecipient});
        QCOMPARE(SmtpTestServer::headers(message, "Cc"), QStringList());
        QCOMPARE(message.value("subject").toString(), kText);
        QCOMPARE(message.value("body").toString(), kText);
        QCOMPARE(message.value("defects").toArray(), QJsonArray());
        const QJsonArray attachments = message.value("attachments").toArray();
        QCOMPARE(attachments.size(), kNames.size());
        for (int i = 0; i < attachments.size(); ++i) {
            const QJsonObject part = attachments.at(i).toObject();
            QCOMPARE(part.value("filename").toString(), kNames.at(i));
            QCOMPARE(QByteArray::fromBase64(part.value("data").toString().toLatin1()),
                     m_contents.at(i));
        }
    }

    void refusedRecipientsSendNothingAndDoNotWait_data()
    {
        QTest::addColumn<QString>("recipient");
        QTest::newRow("empty") << QString();
        QTest::newRow("blank") << QStringLiteral("   ");
        QTest::newRow("two addresses") << QStringLiteral("director@example.com, evil@example.com");
        QTest::newRow("two by semicolon") << QStringLiteral("a@example.com;b@example.com");
        QTest::newRow("no domain") << QStringLiteral("director");
        QTest::newRow("angle brackets") << QStringLiteral("Директор <director@example.com>");
        QTest::newRow("injected command")
            << QStringLiteral("director@example.com>\r\nRCPT TO:<evil@example.com");
    }

    void refusedRecipientsSendNothingAndDoNotWait()
    {
        QFETCH(QString, recipient);
        SmtpTestServer server;
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-');
        QVERIFY2(server.start(outFolder("refused-" + tag), {}), qPrintable(server.errorOutput()));
        ReportMailer mailer;
        QCOMPARE(mailer.pauseSeconds(), 3.0);
        // Refused before the wait: the wait would have handled this event.
        bool eventHandled = false;
        QTimer::singleShot(0, this, [&eventHandled] { eventHandled = true; });
        QVERIFY(!mailer.send(recipient, kText, ReportBundle::filePaths(m_sendDir),
                             plainAccount(server.port())));
        QVERIFY(!eventHandled);
        const QString why = MailMessage::validateRecipient(recipient).errorText();
        QCOMPARE(mailer.errorText(), why);
        QVERIFY(!why.isEmpty());
        QTRY_VERIFY(eventHandled);
        QCOMPARE(server.received().size(), 0);
    }

    // Every failure is told in the operator's words, and the mailer goes on sending afterwards.
    void failuresAreReportedAndTheNextSendWorks()
    {
        ReportMailer mailer = quickMailer();
        const QStringList files = ReportBundle::filePaths(m_sendDir);

        const quint16 downPort = SmtpTestServer::freePort();
        QVERIFY(downPort != 0);
        QVERIFY(!mailer.send(kRecipient, kText, files, plainAccount(downPort)));
        QCOMPARE(mailer.errorText(), QStringLiteral("Не удалось подключиться к серверу "
                                                    "127.0.0.1:%1: сервер не принимает "
                                                    "соединения.\n%2")
                                         .arg(downPort)
                                         .arg(qt_error_string(ECONNREFUSED)));

        MailAccount incomplete = plainAccount(downPort);
        incomplete.setHost(QString());
        QVERIFY(!mailer.send(kRecipient, kText, files, incomplete));
        QCOMPARE(mailer.errorText(), QStringLiteral("Настройки почтового сервера не заполнены: "
                                                    "Не указан почтовый сервер."));

        SmtpTestServer refusing;
        QVERIFY2(refusing.start(outFolder("refuse-data"), {"--refuse-data"}),
                 qPrintable(refusing.errorOutput()));
        QVERIFY(!mailer.send(kRecipient, kText, files, plainAccount(refusing.port())));
        QCOMPARE(mailer.errorText(),
                 QStringLiteral("Сервер не принял письмо: 554 5.6.0 Message content rejected"));

        SmtpTestServer server;
        QVERIFY2(server.start(outFolder("after-failures"), {"--refuse", "closed@example.com"}),
                 qPrintable(server.errorOutput()));
        QVERIFY(!mailer.send(QStringLiteral("closed@example.com"), kText, files,
                             plainAccount(server.port())));
        QVERIFY2(mailer.errorText().startsWith(QStringLiteral("Сервер отклонил получателя: 550")),
                 qPrintable(mailer.errorText()));

        const QString missing = QDir(m_sendDir).filePath(QStringLiteral("absent.htm"));
        QVERIFY(
            !mailer.send(kRecipient, kText, {files.at(0), missing}, plainAccount(server.port())));
        QVERIFY2(mailer.errorText().contains(missing), qPrintable(mailer.errorText()));
        QCOMPARE(server.received().size(), 0);

        QVERIFY2(
            mailer.send(kRecipient, QStringLiteral("Отчёты"), files, plainAccount(server.port())),
            qPrintable(mailer.errorText()));
        QVERIFY(mailer.errorText().isEmpty());
        const QList<QJsonObject> received = server.received();
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.first().value("message").toObject().value("subject").toString(),
                 QStringLiteral("Отчёты"));
    }

    // Nothing reaches the server before the wait is over; timers tick all along.
    void theWaitComesBeforeTheSignOn()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(outFolder("pause"), {}), qPrintable(server.errorOutput()));
        ReportMailer mailer;
        mailer.setPauseSeconds(1.0);
        QElapsedTimer elapsed;
        int ticks = 0;
        int arrivedBeforeTheWaitEnded = 0;
        QTimer watch;
        watch.setInterval(50);
        connect(&watch, &QTimer::timeout, this, [&] {
            ++ticks;
            if (elapsed.elapsed() < 950 && !server.received().isEmpty())
                ++arrivedBeforeTheWaitEnded;
        });
        watch.start();
        elapsed.start();
        QVERIFY2(mailer.send(kRecipient, kText, ReportBundle::filePaths(m_sendDir),
                             plainAccount(server.port())),
                 qPrintable(mailer.errorText()));
        const qint64 ms = elapsed.elapsed();
        watch.stop();
        QVERIFY2(ms >= 1000, qPrintable(QString::number(ms)));
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
        QCOMPARE(arrivedBeforeTheWaitEnded, 0);
        QCOMPARE(server.received().size(), 1);
    }

    // The transfer blocks a worker thread, not the caller: here the server answers only from
    // a timer tick of the calling thread.
    void eventsAreHandledDuringTheTransfer()
    {
        SilentListener listener;
        QVERIFY(listener.port() != 0);
        ReportMailer mailer;
        mailer.setPauseSeconds(0);
        int ticks = 0;
        bool answered = false;
        QTimer tick;
        tick.setInterval(20);
        connect(&tick, &QTimer::timeout, this, [&] {
            if (++ticks >= 5 && !answered)
                answered = listener.refuseWaitingClient();
        });
        tick.start();
        QVERIFY(!mailer.send(kRecipient, kText, ReportBundle::filePaths(m_sendDir),
                             plainAccount(listener.port())));
        tick.stop();
        QVERIFY(answered);
        QCOMPARE(mailer.errorText(),
                 QStringLiteral("Сервер 127.0.0.1:%1 отказался принять соединение: "
                                "554 5.3.2 Service busy")
                     .arg(listener.port()));
    }

    // A tick that tries to send while a send is under way is turned away; the first goes out.
    void aSecondSendDuringASendIsRefused()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(outFolder("overlap"), {}), qPrintable(server.errorOutput()));
        ReportMailer mailer;
        mailer.setPauseSeconds(0.5);
        const QStringList files = ReportBundle::filePaths(m_sendDir);
        bool innerResult = true;
        QString innerError;
        QTimer::singleShot(100, this, [&] {
            innerResult = mailer.send(kRecipient, kText, files, plainAccount(server.port()));
            innerError = mailer.errorText();
        });
        QVERIFY2(mailer.send(kRecipient, kText, files, plainAccount(server.port())),
                 qPrintable(mailer.errorText()));
        QVERIFY(!innerResult);
        QCOMPARE(innerError, QStringLiteral("Отправка отчетов уже идёт."));
        QCOMPARE(server.received().size(), 1);
    }
};

QTEST_MAIN(TestReportMailer)
#include "tst_reportmailer.moc"

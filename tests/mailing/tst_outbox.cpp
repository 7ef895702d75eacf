#include "../mailing/smtp/SmtpTestServer.h"
#include "Clock.h"
#include "DispatchLock.h"
#include "MailAttachments.h"
#include "MailMessage.h"
#include "MailingRun.h"
#include "Outbox.h"
#include "ReportAttachment.h"
#include "ReportBundle.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Mails that the server did not take are kept and delivered later, at least once and under one
// Message-ID, against a real SMTP server on the loopback address.
class TestOutbox : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_sendDir;
    QList<QByteArray> m_contents;
    int m_round = 0;
    const QDateTime m_now{QDate(2026, 12, 6), QTime(9, 0)};

    static void storeAccount(quint16 port) { QVERIFY(SmtpTestServer::storePlainAccount(port)); }

    // The Message-ID of every message the server received, in order.
    static QStringList receivedIds(const SmtpTestServer& server)
    {
        QStringList ids;
        for (const QJsonObject& mail : server.received())
            ids += SmtpTestServer::headers(mail.value("message").toObject(), "Message-ID");
        return ids;
    }

    // Changes one kept mail's description as a hand or an older version would have left it.
    static void editDescription(const QString& entry,
                                const std::function<void(QJsonObject&)>& change)
    {
        QFile file(QDir(entry).filePath("mail.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QJsonObject description = QJsonDocument::fromJson(file.readAll()).object();
        file.close();
        change(description);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(description).toJson());
    }

    MailingRun quickRun() const
    {
        MailingRun run(nullptr, m_sendDir);
        run.setPauseSeconds(0);
        return run;
    }

    Outbox outbox() const { return Outbox(quickRun().outboxDir()); }

    // The one message the server received carries the four reports as they were exported.
    void checkDelivered(const SmtpTestServer& server, const QString& recipient)
    {
        const QList<QJsonObject> received = server.received();
        QCOMPARE(received.size(), 1);
        QCOMPARE(SmtpTestServer::jsonStrings(received.first().value("rcpt_tos")),
                 QStringList{recipient});
        const QJsonArray parts =
            received.first().value("message").toObject().value("attachments").toArray();
        QCOMPARE(parts.size(), 4);
        for (int i = 0; i < 4; ++i) {
            const QJsonObject part = parts.at(i).toObject();
            QCOMPARE(part.value("filename").toString(), ReportBundle::fileNames().at(i));
            QCOMPARE(QByteArray::fromBase64(part.value("data").toString().toLatin1()),
                     m_contents.at(i));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        KALVENT_REQUIRE_SMTP_TOOLS();
        QVERIFY(m_dir.isValid());
        Clock::setFixed(m_now);
        MailAttachments::set(ReportAttachment::all());
    }

    void init()
    {
        // A fresh data folder each time: reports, outbox and lock.
        const QString data = m_dir.filePath(QString("data%1").arg(++m_round));
        m_sendDir = QDir(data).filePath("Send");
        QVERIFY(QDir().mkpath(m_sendDir));
        DispatchLock::setPath(QDir(data).filePath("dispatch.lock"));
        m_contents.clear();
        const QStringList files = ReportBundle::filePaths(m_sendDir);
        for (int i = 0; i < files.size(); ++i) {
            const QByteArray html = "<html><body>" + QByteArray::number(m_round * 10 + i) +
                                    QByteArray(500 + 100 * i, char('a' + i)) + "</body></html>";
            QFile file(files.at(i));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(html);
            m_contents << html;
        }
    }

    void cleanupTestCase() { Clock::setFixed({}); }

    // Server down: nothing arrives and one mail is kept, with the reports as they were. The
    // reports written later do not change it. Before its retry time nothing is tried; then,
    // with the server up, exactly one mail with the four files goes out and the outbox empties.
    void serverDownKeepsTheMailAndARetryDeliversItOnce()
    {
        storeAccount(SmtpTestServer::freePort());
        MailingRun run = quickRun();
        QCOMPARE(run.send("boss@example.com", QStringLiteral("Реклама")),
                 MailingRun::Result::MailFailed);
        QVERIFY2(run.errorText().contains(QStringLiteral("сохранены")),
                 qPrintable(run.errorText()));
        QList<Outbox::Mail> kept = outbox().mails();
        QCOMPARE(kept.size(), 1);
        QCOMPARE(kept.first().tries, 1);
        QVERIFY(!kept.first().forGood);
        QVERIFY(kept.first().lastError.contains(QStringLiteral("подключиться")));
        for (const QString& file : ReportBundle::filePaths(m_sendDir)) {
            QFile overwrite(file);
            QVERIFY(overwrite.open(QIODevice::WriteOnly));
            overwrite.write("a later export");
        }

        SmtpTestServer server;
        QVERIFY2(server.start(m_dir.filePath(QString("out%1").arg(m_round)), {}),
                 qPrintable(server.errorOutput()));
        // The same account: a passing failure waits for its time.
        MailAccount account;
        QVERIFY(account.load());
        account.setPort(server.port());
        QVERIFY(account.save());
        kept.first().accountKey = MailingRun::accountKey(account);
        QVERIFY(outbox().record(kept.first()));
        MailingRun::Redelivery round = run.deliverKept(m_now.addSecs(4 * 60), false);
        QCOMPARE(round.delivered + round.failed, 0);
        QVERIFY(server.received().isEmpty());

        round = run.deliverKept(m_now.addSecs(5 * 60), false);
        QCOMPARE(round.delivered, 1);
        QCOMPARE(round.failed, 0);
        checkDelivered(server, "boss@example.com");
        QVERIFY(outbox().mails().isEmpty());
        QVERIFY(QDir(run.outboxDir())
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                    .isEmpty());
        round = run.deliverKept(m_now.addSecs(3600), true);
        QCOMPARE(round.delivered, 0);
        QCOMPARE(server.received().size(), 1);
    }

    // A server that answers 451 takes the mail at a later try; the wait grows with the tries.
    // While another mailing holds the lock, nothing is sent.
    void deferredThenAcceptedAndNeverTwiceUnderTheLock()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(m_dir.filePath(QString("out%1").arg(m_round)), {"--defer-data", "2"}),
                 qPrintable(server.errorOutput()));
        storeAccount(server.port());
        MailingRun run = quickRun();
        QCOMPARE(run.send("boss@example.com", "Reklama"), MailingRun::Result::MailFailed);
        QVERIFY(run.errorText().contains("451"));
        QCOMPARE(outbox().mails().size(), 1);

        MailingRun::Redelivery round = run.deliverKept(m_now.addSecs(5 * 60), false);
        QCOMPARE(round.failed, 1);
        const Outbox::Mail second = outbox().mails().first();
        QCOMPARE(second.tries, 2);
        QVERIFY(!second.forGood);
        QCOMPARE(second.nextTry, m_now.addSecs(5 * 60 + 10 * 60));

        {
            QLockFile other(DispatchLock::path());
            QVERIFY(other.tryLock(0));
            round = run.deliverKept(second.nextTry, false);
            QVERIFY(round.busy);
            QCOMPARE(outbox().mails().first().tries, 2);
        }
        round = run.deliverKept(second.nextTry, false);
        QCOMPARE(round.delivered, 1);
        checkDelivered(server, "boss@example.com");
        QVERIFY(outbox().mails().isEmpty());
    }

    // Through real tries against a server that is down, each at its time by the clock: the
    // waits are 5, 10 and 20 minutes, then an hour, counted from the try that was made, late
    // or not. A second before its time a mail is not tried.
    void retriesFollowFiveTenTwentyMinutesThenHourly()
    {
        storeAccount(SmtpTestServer::freePort());
        MailingRun run = quickRun();
        QCOMPARE(run.send("boss@example.com", "Reklama"), MailingRun::Result::MailFailed);
        QDateTime due = outbox().mails().first().nextTry;
        QCOMPARE(due, m_now.addSecs(5 * 60));

        const QList<int> waitMinutes = {10, 20, 60, 60, 60};
        int tries = 1;
        for (int i = 0; i < waitMinutes.size(); ++i) {
            Clock::setFixed(due.addSecs(-1));
            MailingRun::Redelivery round = run.deliverKept(Clock::now(), false);
            QCOMPARE(round.delivered + round.failed, 0);
            QCOMPARE(outbox().mails().first().tries, tries);

            // The fourth try comes late (the computer was off): the wait starts from it.
            Clock::setFixed(i == 2 ? due.addSecs(7 * 60) : due);
            round = run.deliverKept(Clock::now(), false);
            QCOMPARE(round.failed, 1);
            const Outbox::Mail mail = outbox().mails().first();
            QCOMPARE(mail.tries, ++tries);
            QVERIFY(!mail.forGood);
            QCOMPARE(mail.nextTry, Clock::now().addSecs(waitMinutes.at(i) * 60));
            due = mail.nextTry;
        }
        Clock::setFixed(m_now);
    }

    // A server that stored the mail and answered its data, then dropped the connection
    // instead of answering QUIT, has it: the send counts as delivered and nothing stays kept.
    // Each kept mail carries its Message-ID at every try; one kept without any gets one,
    // stored at its next try.
    void theServersAcceptanceIsTheDeliveryUnderOneMessageId()
    {
        storeAccount(SmtpTestServer::freePort());
        MailingRun run = quickRun();
        QCOMPARE(run.send("boss@example.com", "Reklama"), MailingRun::Result::MailFailed);
        QCOMPARE(run.send("boss@example.com", "Reklama"), MailingRun::Result::MailFailed);
        const QList<Outbox::Mail> kept = outbox().mails();
        QCOMPARE(kept.size(), 2);
        const QString first = kept.at(0).messageId;
        QVERIFY2(MailMessage::isValidMessageId(first.toLatin1()), qPrintable(first));
        QVERIFY(first.endsWith("@example.com>"));
        QVERIFY(kept.at(1).messageId != first);
        editDescription(QDir(run.outboxDir()).filePath(kept.at(1).id),
                        [](QJsonObject& d) { d.remove("messageId"); });
        QVERIFY(outbox().find(kept.at(1).id)->messageId.isEmpty());

        // Tried again while the server is still down.
        QCOMPARE(run.deliverKept(m_now.addSecs(3600), true).failed, 2);
        QCOMPARE(outbox().find(kept.at(0).id)->messageId, first);
        const QString given = outbox().find(kept.at(1).id)->messageId;
        QVERIFY2(MailMessage::isValidMessageId(given.toLatin1()), qPrintable(given));

        SmtpTestServer server;
        QVERIFY2(server.start(m_dir.filePath(QString("out%1").arg(m_round)), {"--at-quit", "drop"}),
                 qPrintable(server.errorOutput()));
        storeAccount(server.port());
        QCOMPARE(run.send("boss@example.com", "Reklama"), MailingRun::Result::Sent);
        QCOMPARE(outbox().mails().size(), 2);
        const MailingRun::Redelivery round = run.deliverKept(m_now.addSecs(7200), true);
        QCOMPARE(round.delivered, 2);
        QCOMPARE(round.failed, 0);
        QVERIFY(outbox().mails().isEmpty());
        const QStringList ids = receivedIds(server);
        QCOMPARE(ids.size(), 3);
        QCOMPARE(ids.mid(1), (QStringList{first, given}));
        QVERIFY(!ids.mid(1).contains(ids.first()));
    }

    // The connection breaks after the server stored the mail, before its reply: the mail is
    // kept and sent again, under the Message-ID its first try carried.
    void aLostReplySendsTheMailAgainUnderItsMessageId()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(m_dir.filePath(QString("out%1").arg(m_round)), {"--lose-reply", "1"}),
                 qPrintable(server.errorOutput()));
        storeAccount(server.port());
        MailingRun run = quickRun();
        QCOMPARE(run.send("boss@example.com", "Reklama"), MailingRun::Result::MailFailed);
        const QList<Outbox::Mail> kept = outbox().mails();
        QCOMPARE(kept.size(), 1);
        QVERIFY(!kept.first().forGood);
        QCOMPARE(run.deliverKept(kept.first().nextTry, false).delivered, 1);
        QCOMPARE(receivedIds(server), QStringList(2, kept.first().messageId));
        QVERIFY(outbox().mails().isEmpty());
    }

    // The client dies (SIGKILL) while a kept mail goes out. Killed after the server stored the
    // mail but before its reply to the data arrived, the next retry sends the one kept mail
    // again, under the same Message-ID (given to it, and stored, before the first of these
    // tries); killed once that reply arrived (the server holds back
    // the answer to QUIT), the mail was already recorded as delivered and goes out no more.
    void aClientKilledDuringDeliverySendsOneMailUnderOneMessageId()
    {
        const QString cli = qEnvironmentVariable("KALVENT_CLI");
        QVERIFY2(QFileInfo::exists(cli), "KALVENT_CLI names no program");
        const QString home = m_dir.filePath(QString("desk%1").arg(m_round));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home);
        environment.insert("XDG_CONFIG_HOME", home + "/config");
        environment.insert("XDG_DATA_HOME", home + "/data");
        const Outbox deskOutbox(home + "/data/Kalvent/Outbox");
        QString output;
        auto start = [&](QProcess& process, const QStringList& args) {
            process.setProcessEnvironment(environment);
            process.start(cli, args);
        };
        auto runCli = [&](const QStringList& args) {
            QProcess process;
            start(process, args);
            process.waitForFinished(60000);
            output =
                QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
            return process.exitCode();
        };
        auto useServer = [&](quint16 port) {
            return runCli({"account", "set", "--server", "127.0.0.1", "--port",
                           QString::number(port), "--security", "none", "--from",
                           "kalvent@example.com"});
        };
        // One mail kept after the server was down.
        auto keepOne = [&]() -> QString {
            if (useServer(SmtpTestServer::freePort()) != 0 || runCli({"send-now"}) != 1 ||
                deskOutbox.mails().size() != 1)
                return QString();
            return deskOutbox.mails().first().messageId;
        };
        auto waitFor = [](const std::function<bool()>& condition) {
            QDeadlineTimer deadline(60000);
            while (!condition() && !deadline.hasExpired())
                QThread::msleep(20);
            return condition();
        };
        for (const QStringList& setting :
             {QStringList{"senders", "boss@example.com"}, QStringList{"tems", "Reklama"},
              QStringList{"days", "7"}})
            QCOMPARE(runCli(QStringList{"settings", "set"} + setting), 0);

        // Killed while the server holds back its reply to the data; the mail was kept by an
        // older version, without a Message-ID.
        const QString kept = keepOne();
        QVERIFY2(MailMessage::isValidMessageId(kept.toLatin1()), qPrintable(output));
        editDescription(QDir(deskOutbox.dir()).filePath(deskOutbox.mails().first().id),
                        [](QJsonObject& d) { d.remove("messageId"); });
        SmtpTestServer holding;
        const QString holdingOut = m_dir.filePath(QString("held%1").arg(m_round));
        QVERIFY2(holding.start(holdingOut, {"--hold-data", "1"}),
                 qPrintable(holding.errorOutput()));
        QCOMPARE(useServer(holding.port()), 0);
        QProcess retry;
        start(retry, {"outbox", "retry"});
        QVERIFY(waitFor([&] { return holding.received().size() == 1; }));
        retry.kill();
        QVERIFY(retry.waitForFinished(10000));
        QCOMPARE(deskOutbox.mails().size(), 1);
        QCOMPARE(runCli({"outbox", "retry"}), 0);
        QCOMPARE(output, QStringLiteral("Исходящие: доставлено 1, осталось 0\n"));
        const QStringList copies = receivedIds(holding);
        QCOMPARE(copies.size(), 2);
        QCOMPARE(copies.last(), copies.first());
        QVERIFY(copies.first() != kept);
        QVERIFY(deskOutbox.mails().isEmpty());

        // Killed while the server holds back its answer to QUIT.
        const QString second = keepOne();
        QVERIFY2(MailMessage::isValidMessageId(second.toLatin1()), qPrintable(output));
        QVERIFY(second != kept);
        SmtpTestServer quitting;
        const QString quittingOut = m_dir.filePath(QString("quit%1").arg(m_round));
        QVERIFY2(quitting.start(quittingOut, {"--at-quit", "hold"}),
                 qPrintable(quitting.errorOutput()));
        QCOMPARE(useServer(quitting.port()), 0);
        start(retry, {"outbox", "retry"});
        QVERIFY(waitFor([&] { return QFileInfo::exists(quittingOut + "/quit"); }));
        retry.kill();
        QVERIFY(retry.waitForFinished(10000));
        QVERIFY(deskOutbox.mails().isEmpty());
        QCOMPARE(runCli({"outbox", "retry"}), 0);
        QCOMPARE(output, QStringLiteral("Исходящие: отправлять нечего\n"));
        QCOMPARE(receivedIds(quitting), QStringList{second});

        // A dispatch killed while the server holds back its reply to the data kept nothing and
        // stored no new date: the next dispatch mails the reports again under the same ID.
        for (const QStringList& setting :
             {QStringList{"times", "00:00:00"}, QStringList{"nextdate", "2000-01-01"}})
            QCOMPARE(runCli(QStringList{"settings", "set"} + setting), 0);
        SmtpTestServer slow;
        const QString slowOut = m_dir.filePath(QString("slow%1").arg(m_round));
        QVERIFY2(slow.start(slowOut, {"--hold-data", "1"}), qPrintable(slow.errorOutput()));
        QCOMPARE(useServer(slow.port()), 0);
        QProcess dispatch;
        start(dispatch, {"dispatch"});
        QVERIFY(waitFor([&] { return slow.received().size() == 1; }));
        dispatch.kill();
        QVERIFY(dispatch.waitForFinished(10000));
        QVERIFY(deskOutbox.mails().isEmpty());
        QCOMPARE(runCli({"dispatch"}), 0);
        const QStringList dispatched = receivedIds(slow);
        QCOMPARE(dispatched.size(), 2);
        QCOMPARE(dispatched.last(), dispatched.first());
        QVERIFY(!dispatched.contains(second));
    }

    // A description naming files outside its entry ("../x", an absolute path) attaches
    // nothing from there: the names stay inside the entry's own folder.
    void aDescriptionCannotAttachFilesOutsideItsEntry()
    {
        storeAccount(SmtpTestServer::freePort());
        MailingRun run = quickRun();
        QCOMPARE(run.send("boss@example.com", "Reklama"), MailingRun::Result::MailFailed);
        const Outbox::Mail mail = outbox().mails().first();
        const QString entry = QDir(run.outboxDir()).filePath(mail.id);
        const QByteArray secret = "private data of another folder";
        const QString beside = QDir(run.outboxDir()).filePath("x");
        const QString elsewhere = m_dir.filePath(QString("secret%1.txt").arg(m_round));
        for (const QString& path : {beside, elsewhere}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(secret);
        }
        editDescription(entry, [&](QJsonObject& d) {
            d["files"] = QJsonArray{"poist.htm", "../x", elsewhere, "../../Send/pousl.htm"};
        });
        const QStringList files = outbox().find(mail.id)->files;
        QVERIFY(!files.isEmpty());
        for (const QString& file : files)
            QCOMPARE(QFileInfo(file).absolutePath(), QFileInfo(entry).absoluteFilePath());

        SmtpTestServer server;
        QVERIFY2(server.start(m_dir.filePath(QString("out%1").arg(m_round)), {}),
                 qPrintable(server.errorOutput()));
        storeAccount(server.port());
        run.deliverKept(m_now.addSecs(3600), true);
        for (const QJsonObject& received : server.received()) {
            for (const QJsonValue& part :
                 received.value("message").toObject().value("attachments").toArray())
                QVERIFY(QByteArray::fromBase64(
                            part.toObject().value("data").toString().toLatin1()) != secret);
        }
    }

    // A certificate file that is not there is this machine's fault: the mail is kept for good,
    // not retried every few minutes, and the message says what is wrong.
    void aMissingCertificateFileKeepsTheMailForGood()
    {
        MailAccount account;
        account.setHost("127.0.0.1");
        account.setPort(SmtpTestServer::freePort());
        account.setSecurity(MailAccount::Security::StartTls);
        account.setSenderAddress("kalvent@example.com");
        account.setCaFile(m_dir.filePath("gone/ca.pem"));
        QVERIFY(account.save());
        MailingRun run = quickRun();
        QCOMPARE(run.send("boss@example.com", "Reklama"), MailingRun::Result::MailFailed);
        const Outbox::Mail kept = outbox().mails().first();
        QVERIFY(kept.forGood);
        QVERIFY2(kept.lastError.startsWith(
                     QStringLiteral("Файл сертификата «%1» не найден").arg(account.caFile())),
                 qPrintable(kept.lastError));
        QCOMPARE(run.deliverKept(m_now.addDays(1), false).failed, 0);
    }

    // A 550 for the recipient is for good: no automatic retry until the recipient changes; by
    // hand it is tried at once; `drop` removes a kept mail.
    void refusedRecipientWaitsForAChange()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(m_dir.filePath(QString("out%1").arg(m_round)),
                              {"--refuse", "gone@example.com"}),
                 qPrintable(server.errorOutput()));
        storeAccount(server.port());
        MailingRun run = quickRun();
        QCOMPARE(run.send("gone@example.com", "Reklama"), MailingRun::Result::MailFailed);
        QVERIFY(run.errorText().contains(QStringLiteral("адрес получателя")));
        const Outbox::Mail kept = outbox().mails().first();
        QVERIFY(kept.forGood);

        // Hours later, the same recipient and account: never tried again by itself.
        MailingRun::Redelivery round = run.deliverKept(m_now.addDays(2), false, "gone@example.com");
        QCOMPARE(round.delivered + round.failed, 0);
        // By hand it is tried, and refused again.
        round = run.deliverKept(m_now.addDays(2), true, "gone@example.com");
        QCOMPARE(round.failed, 1);
        QCOMPARE(outbox().mails().first().tries, 2);
        QVERIFY(server.received().isEmpty());

        // The operator corrects the recipient: the kept reports go to the new address.
        round = run.deliverKept(m_now.addDays(2), false, "boss@example.com");
        QCOMPARE(round.delivered, 1);
        checkDelivered(server, "boss@example.com");

        QCOMPARE(run.send("gone@example.com", "Reklama"), MailingRun::Result::MailFailed);
        const QString id = outbox().mails().first().id;
        Outbox box = outbox();
        QVERIFY(!box.drop("../" + id));
        QVERIFY(box.drop(id));
        QVERIFY(outbox().mails().isEmpty());
    }
};

QTEST_MAIN(TestOutbox)
#include "tst_outbox.moc"

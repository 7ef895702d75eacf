#include "../mailing/smtp/SmtpTestServer.h"
#include "Clock.h"
#include "DispatchSchedule.h"
#include "MailingRun.h"
#include "Outbox.h"
#include "ReportBundle.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLockFile>
#include <QTemporaryDir>
#include <QtTest>

// Mails that the server did not take are kept and delivered later, each exactly once, against
// a real SMTP server on the loopback address.
class TestOutbox : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_sendDir;
    QList<QByteArray> m_contents;
    int m_round = 0;
    const QDateTime m_now{QDate(2026, 12, 6), QTime(9, 0)};

    static void storeAccount(quint16 port) { QVERIFY(SmtpTestServer::storePlainAccount(port)); }

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
    }

    void init()
    {
        // A fresh data folder each time: reports, outbox and lock.
        const QString data = m_dir.filePath(QString("data%1").arg(++m_round));
        m_sendDir = QDir(data).filePath("Send");
        QVERIFY(QDir().mkpath(m_sendDir));
        DispatchSchedule::setLockPath(QDir(data).filePath("dispatch.lock"));
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
            QLockFile other(DispatchSchedule::lockPath());
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

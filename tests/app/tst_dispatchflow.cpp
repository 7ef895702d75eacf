#include "../mailing/smtp/SmtpTestServer.h"

#include "AppPaths.h"
#include "Clock.h"
#include "DataEnv.h"
#include "DispatchLock.h"
#include "MailAccount.h"
#include "MailingRun.h"
#include "MainFrm.h"
#include "Outbox.h"
#include "ReportBundle.h"
#include "RowSet.h"
#include "SettingsStore.h"
#include "TestSupport.h"
#include "slFrm.h"

#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

// The whole road of a dispatch: the main window's timer, the export into the reports folder
// and one mail to a real SMTP server on the loopback interface.
class TestDispatchFlow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<MainFrm> m_window;
    int m_round = 0;
    const QDateTime m_now{QDate(2026, 12, 6), QTime(9, 0, 5)};

    void storeSettings(const QString& nextdate)
    {
        SettingsStore store;
        store.write("days", "7");
        store.write("times", "09:00:00");
        store.write("tems", QStringLiteral("Реклама"));
        store.write("senders", "boss@example.com");
        store.write("nextdate", nextdate);
    }

    static void storeAccount(quint16 port) { QVERIFY(SmtpTestServer::storePlainAccount(port)); }

    static QByteArray fileBytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void checkMail(const QJsonObject& envelope, const QString& recipient)
    {
        QCOMPARE(envelope.value("rcpt_tos").toArray().size(), 1);
        QCOMPARE(envelope.value("rcpt_tos").toArray().first().toString(), recipient);
        const QJsonObject message = envelope.value("message").toObject();
        QCOMPARE(message.value("subject").toString(), QStringLiteral("Реклама"));
        QCOMPARE(message.value("body").toString(), QStringLiteral("Реклама"));
        const QJsonArray attachments = message.value("attachments").toArray();
        const QStringList paths = ReportBundle::filePaths(AppPaths::sendDir());
        QCOMPARE(attachments.size(), 4);
        for (int i = 0; i < 4; ++i) {
            const QJsonObject part = attachments.at(i).toObject();
            QCOMPARE(part.value("filename").toString(), ReportBundle::fileNames().at(i));
            QCOMPARE(QByteArray::fromBase64(part.value("data").toString().toLatin1()),
                     fileBytes(paths.at(i)));
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        KALVENT_REQUIRE_SMTP_TOOLS();
        MailingRun::setDefaultPauseSeconds(0.05);
    }

    void init()
    {
        Clock::setFixed(m_now);
        AppPaths::overrideDatabasePath(
            TestSupport::database(m_dir.filePath(QString("run%1/KvBD.db").arg(++m_round))));
        DispatchLock::setPath(m_dir.filePath(QString("run%1/dispatch.lock").arg(m_round)));
        // On a server the reports folder is the data folder's, the same for every round.
        QFile::remove(AppPaths::sendDir());
        QDir(AppPaths::sendDir()).removeRecursively();
        DataEnv* env = DataEnv::instance();
        QVERIFY(env->connect());
        env->bind("Uslugi")->addRow("Uname", QStringLiteral("Стрижка"));
        QVERIFY(env->execute("AddNew", {QDate(2026, 12, 1), QStringLiteral("Стрижка"),
                                        QStringLiteral("<b>Интернет</b>"), true, QTime(9, 0)}));
        QVERIFY(env->execute("AddNew", {QDate(2026, 12, 5), QStringLiteral("Стрижка"),
                                        QStringLiteral("интернет"), true, QTime(9, 0)}));
        storeSettings("2026-12-06");
    }

    void cleanup()
    {
        m_window.reset();
        slFrm::release();
        DataEnv::setInstance(nullptr);
        AppPaths::overrideDatabasePath({});
        Clock::setFixed({});
    }

    void dueTickMailsTheFourReportsAndStoresTheNextDate()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(m_dir.filePath("out-due"), {}), qPrintable(server.errorOutput()));
        storeAccount(server.port());
        TestSupport::MessageRecorder messages;
        m_window = std::make_unique<MainFrm>();
        m_window->showMain();
        auto* timer2 = m_window->findChild<QTimer*>("Timer2");
        QCOMPARE(timer2->interval(), 10000);
        QVERIFY(timer2->isActive());
        QVERIFY(TestSupport::fire(timer2));
        QCOMPARE(messages.shown().size(), 1);

        const Dialogs::Message& box = messages.shown().first();
        QCOMPARE(box.text, QStringLiteral("13.12.2026"));
        QCOMPARE(box.title, QString());
        QCOMPARE(box.icon, QMessageBox::NoIcon);
        QCOMPARE(SettingsStore().read("nextdate"), QString("2026-12-13"));
        QVERIFY(!slFrm::existing());

        const QList<QJsonObject> received = server.received();
        QCOMPARE(received.size(), 1);
        checkMail(received.first(), "boss@example.com");
        const QString poist =
            QString::fromUtf8(fileBytes(ReportBundle::filePaths(AppPaths::sendDir())[0]));
        QVERIFY(poist.contains(QStringLiteral("29.11.2026 - 06.12.2026")));
        QVERIFY(!poist.contains(QStringLiteral("<b>Интернет</b>")));
        for (const char* rs :
             {"rsReportkolVoZv", "rsReportKolvoUsl", "rsReportInternet", "rsReportDates"})
            QVERIFY(!DataEnv::instance()->rowSet(rs)->isOpen());
    }

    // Nobody answers the boxes: the dispatches go on, with one box of each kind on screen
    // holding the newest text.
    void aBoxLeftOpenDoesNotHoldTheSchedule()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(m_dir.filePath("out-unattended"), {}),
                 qPrintable(server.errorOutput()));
        storeAccount(server.port());
        storeSettings("2026-12-06");
        QVERIFY(SettingsStore().write("days", "1"));
        m_window = std::make_unique<MainFrm>();
        m_window->showMain();
        for (int day = 0; day < 3; ++day) {
            Clock::setFixed(m_now.addDays(day));
            m_window->dispatchTick();
            QCOMPARE(server.received().size(), day + 1);
            const QList<QMessageBox*> open = Dialogs::openNotices();
            QCOMPARE(open.size(), 1);
            QCOMPARE(open.first()->text(), QString("%1.12.2026").arg(7 + day, 2, 10, QChar('0')));
        }
        for (QMessageBox* box : Dialogs::openNotices())
            box->close();
    }

    // The background timer's "kalvent-cli dispatch" and the window find the same dispatch due
    // at once: the command line mails while the window ticks, and one mail goes out. Both take
    // the lock where the installed programs take it.
    void theWindowAndTheCommandLineMailOnce()
    {
        const QString cli = qEnvironmentVariable("KALVENT_CLI");
        QVERIFY2(QFileInfo::exists(cli), "KALVENT_CLI names no program");
        DispatchLock::setPath({});
        // The command line runs on the real clock: the window is pinned to the same day.
        Clock::setFixed(QDateTime::currentDateTime());
        SmtpTestServer server;
        const QString out = m_dir.filePath("out-both");
        QVERIFY2(server.start(out, {"--hold-data", "1", "--release-data"}),
                 qPrintable(server.errorOutput()));
        storeAccount(server.port());
        storeSettings("2000-01-01");
        QVERIFY(SettingsStore().write("times", "00:00:00"));
        TestSupport::MessageRecorder messages;
        m_window = std::make_unique<MainFrm>();
        m_window->showMain();

        QProcess dispatch;
        dispatch.start(cli, {"--database", AppPaths::databasePath(), "dispatch"});
        QDeadlineTimer deadline(120000);
        while (server.received().isEmpty() && !deadline.hasExpired())
            QThread::msleep(20);
        // The command line holds its mail open (the server keeps back its answer).
        QCOMPARE(server.received().size(), 1);
        m_window->dispatchTick();
        QVERIFY(messages.shown().isEmpty());
        // It still held the lock when the window ticked.
        QLockFile held(DispatchLock::path());
        QVERIFY(!held.tryLock(0));
        QFile release(out + "/release");
        QVERIFY(release.open(QIODevice::WriteOnly));
        release.close();
        QVERIFY(dispatch.waitForFinished(120000));
        QCOMPARE(dispatch.exitCode(), 0);
        const QByteArray said = dispatch.readAllStandardOutput();
        QVERIFY2(QString::fromUtf8(said).contains(QStringLiteral("\nСледующая отправка: ")),
                 qPrintable(said + dispatch.readAllStandardError()));
        m_window->dispatchTick();
        QCOMPARE(server.received().size(), 1);
        QVERIFY(SettingsStore().read("nextdate") > Clock::today().toString(Qt::ISODate));
        QVERIFY(messages.shown().isEmpty());
    }

    void serverDownShowsTheFailureAndStillAdvances()
    {
        storeAccount(SmtpTestServer::freePort());
        TestSupport::MessageRecorder messages;
        m_window = std::make_unique<MainFrm>();
        m_window->showMain();
        m_window->dispatchTick();
        QCOMPARE(messages.shown().size(), 2);
        QVERIFY2(messages.shown().at(0).text.contains(QStringLiteral("подключиться")),
                 qPrintable(messages.shown().at(0).text));
        // The reports are kept for a later delivery, and the operator is told so.
        QVERIFY(messages.shown().at(0).text.contains(QStringLiteral("сохранены")));
        QCOMPARE(Outbox(MailingRun().outboxDir()).mails().size(), 1);
        QCOMPARE(messages.shown().at(1).text, QStringLiteral("13.12.2026"));
        QCOMPARE(SettingsStore().read("nextdate"), QString("2026-12-13"));
    }

    void failedExportIsToldOnceAndTheDateKept()
    {
        storeAccount(SmtpTestServer::freePort());
        // The reports folder cannot be created: a plain file stands in its way.
        QDir().mkpath(QFileInfo(AppPaths::sendDir()).absolutePath());
        QFile blocker(AppPaths::sendDir());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TestSupport::MessageRecorder messages;
        m_window = std::make_unique<MainFrm>();
        m_window->showMain();
        m_window->dispatchTick();
        m_window->dispatchTick();
        Clock::advance(60 * 1000);
        m_window->dispatchTick();
        QCOMPARE(messages.shown().size(), 1);
        QCOMPARE(messages.shown().first().icon, QMessageBox::Critical);
        QVERIFY(messages.shown().first().text.contains("Send"));
        QCOMPARE(SettingsStore().read("nextdate"), QString("2026-12-06"));
        QVERIFY(!slFrm::existing());
    }

    void sendButtonUsesTheValuesInTheWindow()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(m_dir.filePath("out-button"), {}), qPrintable(server.errorOutput()));
        storeAccount(server.port());
        storeSettings("2031-01-01");
        TestSupport::MessageRecorder messages;
        m_window = std::make_unique<MainFrm>();
        m_window->showMain();
        slFrm* window = slFrm::instance(m_window.get());
        window->findChild<QLineEdit*>("senders")->setText("deputy@example.com");
        QPushButton* send = window->sendButton();
        QVERIFY(send->isEnabled());
        send->click();
        QVERIFY2(messages.shown().isEmpty(), qPrintable(messages.shown().value(0).text));
        QVERIFY(send->isEnabled());
        // The main window's status line tells how it went, as after a dispatch.
        QCOMPARE(m_window->findChild<QLabel*>("Stat")->text(), QStringLiteral("Отчеты отправлены"));
        const QList<QJsonObject> received = server.received();
        QCOMPARE(received.size(), 1);
        checkMail(received.first(), "deputy@example.com");
        QCOMPARE(SettingsStore().read("senders"), QString("boss@example.com"));
        QCOMPARE(SettingsStore().read("nextdate"), QString("2031-01-01"));

        // A refused recipient: the message names it, nothing is sent, the button stays off.
        window->findChild<QLineEdit*>("senders")->setText("a@example.com, b@example.com");
        send->click();
        QCOMPARE(messages.shown().size(), 1);
        QVERIFY(messages.shown().first().text.contains("a@example.com, b@example.com"));
        QVERIFY(!send->isEnabled());
        QCOMPARE(server.received().size(), 1);
    }
};

QTEST_MAIN(TestDispatchFlow)
#include "tst_dispatchflow.moc"

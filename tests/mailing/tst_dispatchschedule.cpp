#include "MailingSettings.h"
#include "ReportDispatch.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QLockFile>
#include <QTemporaryDir>

// The dispatch schedule with recorded steps: no database, no mail.
class TestDispatchSchedule : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_log;
    bool m_exportOk = true;
    ReportDispatch::SendResult m_sendResult = ReportDispatch::SendResult::Sent;
    std::function<void()> m_duringAnnounce;
    QString m_nextdateSeenByAnnounce;
    const QDate m_today{2026, 12, 6};

    ReportDispatch::Steps steps()
    {
        ReportDispatch::Steps s;
        s.status = [this](const QString& text) { m_log << "status:" + text; };
        s.load = [this] { m_log << "load"; };
        s.exportReports = [this](QString* error) {
            m_log << "export";
            *error = m_exportOk ? QString() : QStringLiteral("Отчет «poist.htm» не сохранён: диск");
            return m_exportOk;
        };
        s.send = [this](QString* error) {
            m_log << "send";
            *error = m_sendResult == ReportDispatch::SendResult::Sent ? QString() : "no account";
            return m_sendResult;
        };
        s.unload = [this] { m_log << "unload"; };
        s.announce = [this](const QString& next) {
            m_log << "announce:" + next;
            m_nextdateSeenByAnnounce = SettingsStore().read("nextdate");
            if (m_duringAnnounce)
                m_duringAnnounce();
        };
        s.failed = [this](const QString& message) { m_log << "failed:" + message; };
        return s;
    }

    void store(const QString& days, const QString& times, const QString& nextdate)
    {
        SettingsStore s;
        s.write("days", days);
        s.write("times", times);
        s.write("tems", QStringLiteral("Реклама"));
        s.write("senders", "boss@example.com");
        s.write("nextdate", nextdate);
    }

    QDateTime at(int dayOffset, const QTime& time) const
    {
        return QDateTime(m_today.addDays(dayOffset), time);
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        ReportDispatch::setLockPath(m_dir.filePath("dispatch.lock"));
    }

    void init()
    {
        m_log.clear();
        m_exportOk = true;
        m_sendResult = ReportDispatch::SendResult::Sent;
        m_duringAnnounce = {};
    }

    void dueTest_data()
    {
        QTest::addColumn<QString>("nextdate");
        QTest::addColumn<QString>("times");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("due");
        const QDate d = m_today;
        QTest::newRow("time equal") << "2026-12-06"
                                    << "09:00:00" << QDateTime(d, QTime(9, 0)) << true;
        QTest::newRow("a second early") << "2026-12-06"
                                        << "09:00:00" << QDateTime(d, QTime(8, 59, 59)) << false;
        QTest::newRow("late in the day") << "2026-12-06"
                                         << "09:00:00" << QDateTime(d, QTime(23, 59, 59)) << true;
        QTest::newRow("date tomorrow") << "2026-12-07"
                                       << "09:00:00" << QDateTime(d, QTime(12, 0)) << false;
        QTest::newRow("date past") << "2026-11-20"
                                   << "09:00:00" << QDateTime(d, QTime(9, 30)) << true;
        QTest::newRow("past date, early") << "2026-11-20"
                                          << "09:00:00" << QDateTime(d, QTime(8, 0)) << false;
        QTest::newRow("fraction: not on its day")
            << "2026-12-06T12:00:00"
            << "09:00:00" << QDateTime(d, QTime(13, 0)) << false;
        QTest::newRow("fraction: the day after") << "2026-12-05T12:00:00"
                                                 << "09:00:00" << QDateTime(d, QTime(9, 0)) << true;
        QTest::newRow("empty date") << ""
                                    << "09:00:00" << QDateTime(d, QTime(10, 0)) << false;
        QTest::newRow("empty time") << "2026-12-06"
                                    << "" << QDateTime(d, QTime(10, 0)) << false;
        QTest::newRow("unreadable date") << "06.12.26"
                                         << "09:00:00" << QDateTime(d, QTime(10, 0)) << false;
        QTest::newRow("unreadable time") << "2026-12-06"
                                         << "9 o'clock" << QDateTime(d, QTime(10, 0)) << false;
    }

    void dueTest()
    {
        QFETCH(QString, nextdate);
        QFETCH(QString, times);
        QFETCH(QDateTime, now);
        QFETCH(bool, due);
        QCOMPARE(ReportDispatch::isDue(nextdate, times, now), due);
    }

    void dispatchRunsItsStepsAndStoresTheDateAfterTheAnnouncement()
    {
        store("7", "09:00:00", "2026-12-06");
        SettingsStore settings;
        ReportDispatch dispatch(steps());
        QCOMPARE(dispatch.tick(settings, at(0, QTime(8, 59, 50))), ReportDispatch::Result::NotDue);
        QVERIFY(m_log.isEmpty());
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0, 0))),
                 ReportDispatch::Result::Dispatched);
        QCOMPARE(m_log, QStringList({QStringLiteral("status:Загрузка параметров отправки"), "load",
                                     QStringLiteral("status:Сохранение отчетов"), "export",
                                     QStringLiteral("status:Отправка отчетов"), "send", "unload",
                                     "announce:13.12.2026"}));
        QCOMPARE(m_nextdateSeenByAnnounce, QString("2026-12-06")); // written after the box
        QCOMPARE(settings.read("nextdate"), QString("2026-12-13"));
        m_log.clear();
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0, 10))), ReportDispatch::Result::NotDue);
        QVERIFY(m_log.isEmpty());
    }

    void nextDateCountsFromToday_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("past due date, 7 days") << "7"
                                               << "2026-12-13"
                                               << "13.12.2026";
        QTest::newRow("0 days") << "0"
                                << "2026-12-06"
                                << "06.12.2026";
        QTest::newRow("1,5 days") << "1,5"
                                  << "2026-12-07T12:00:00"
                                  << "07.12.2026 12:00";
    }

    void nextDateCountsFromToday()
    {
        QFETCH(QString, days);
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        store(days, "09:00:00", "2026-11-01");
        SettingsStore settings;
        ReportDispatch dispatch(steps());
        QCOMPARE(dispatch.tick(settings, at(0, QTime(10, 0))), ReportDispatch::Result::Dispatched);
        QCOMPARE(settings.read("nextdate"), stored);
        QCOMPARE(m_log.last(), "announce:" + shown);
        // A zero period is due again at the next tick of the same day.
        QCOMPARE(dispatch.tick(settings, at(0, QTime(10, 0, 10))) ==
                     ReportDispatch::Result::Dispatched,
                 days == "0");
    }

    void failedMailStillAdvancesTheDate()
    {
        store("7", "09:00:00", "2026-12-06");
        m_sendResult = ReportDispatch::SendResult::MailFailed;
        SettingsStore settings;
        ReportDispatch dispatch(steps());
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0))), ReportDispatch::Result::Dispatched);
        QCOMPARE(settings.read("nextdate"), QString("2026-12-13"));
        QCOMPARE(m_log.filter("failed:").size(), 0);
    }

    void failedExportIsToldOnceAndRetriedLater()
    {
        store("7", "09:00:00", "2026-12-06");
        m_exportOk = false;
        SettingsStore settings;
        ReportDispatch dispatch(steps());
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0))), ReportDispatch::Result::Failed);
        QCOMPARE(m_log.filter("failed:").size(), 1);
        QVERIFY(m_log.filter("failed:").first().contains("poist.htm"));
        QVERIFY(m_log.filter("failed:").first().contains("06.12.2026 09:30"));
        QVERIFY(m_log.contains("unload"));
        QVERIFY(!m_log.contains("send"));
        QCOMPARE(settings.read("nextdate"), QString("2026-12-06"));

        // Ticks before the retry time start nothing and say nothing.
        m_log.clear();
        for (int s = 10; s < 30 * 60; s += 10)
            QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0).addSecs(s))),
                     ReportDispatch::Result::Deferred);
        QVERIFY(m_log.isEmpty());

        m_exportOk = true;
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 30))), ReportDispatch::Result::Dispatched);
        QCOMPARE(settings.read("nextdate"), QString("2026-12-13"));
    }

    void missingMailAccountIsHandledLikeAFailedExport()
    {
        store("7", "09:00:00", "2026-12-06");
        m_sendResult = ReportDispatch::SendResult::SignOnFailed;
        SettingsStore settings;
        ReportDispatch dispatch(steps());
        dispatch.setRetryDelay(60);
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0))), ReportDispatch::Result::Failed);
        QCOMPARE(settings.read("nextdate"), QString("2026-12-06"));
        QVERIFY(m_log.filter("failed:").first().contains("no account"));
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0, 50))), ReportDispatch::Result::Deferred);
        m_sendResult = ReportDispatch::SendResult::Sent;
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 1))), ReportDispatch::Result::Dispatched);
    }

    void noSecondDispatchWhileOneRuns()
    {
        store("7", "09:00:00", "2026-12-06");
        SettingsStore settings;
        ReportDispatch dispatch(steps());
        QList<ReportDispatch::Result> inner;
        // A tick that arrives while the closing announcement is on screen.
        m_duringAnnounce = [&] { inner << dispatch.tick(settings, at(0, QTime(9, 0, 10))); };
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0))), ReportDispatch::Result::Dispatched);
        QCOMPARE(inner, QList<ReportDispatch::Result>{ReportDispatch::Result::Busy});
        QCOMPARE(m_log.filter("export").size(), 1);
    }

    void anotherProcessHoldingTheLockBlocksTheDispatch()
    {
        store("7", "09:00:00", "2026-12-06");
        SettingsStore settings;
        ReportDispatch dispatch(steps());
        {
            QLockFile other(ReportDispatch::lockPath());
            QVERIFY(other.tryLock(0));
            QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0))), ReportDispatch::Result::Busy);
            QVERIFY(m_log.isEmpty());
        }
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0, 10))),
                 ReportDispatch::Result::Dispatched);
    }
};

QTEST_MAIN(TestDispatchSchedule)
#include "tst_dispatchschedule.moc"

#include "DispatchLock.h"
#include "DispatchSchedule.h"
#include "MailingRun.h"
#include "MailingSettings.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryDir>

// A mailing run that records its steps: no database, no mail.
class RecordingRun : public MailingRun
{
public:
    explicit RecordingRun(QStringList& log) : m_log(log) {}
    bool exportOk = true;
    Result sendResult = Result::Sent;

    bool exportReports(const QString& days, const QDateTime&) override
    {
        m_log << "export:" + days;
        m_error = exportOk ? QString() : QStringLiteral("Отчет «poist.htm» не сохранён: диск");
        return exportOk;
    }
    Result send(const QString& recipient, const QString& text, const QString&) override
    {
        m_log << "send:" + recipient + ":" + text;
        m_error = sendResult == Result::Sent ? QString() : "no account";
        return sendResult;
    }

private:
    QStringList& m_log;
};

// The dispatch schedule over a recording mailing run.
class TestDispatchSchedule : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_log;
    RecordingRun m_run{m_log};
    std::function<void()> m_duringAnnounce;
    QString m_nextdateSeenByAnnounce;
    const QDate m_today{2026, 12, 6};

    DispatchSchedule::Hooks hooks()
    {
        DispatchSchedule::Hooks h;
        h.status = [this](const QString& text) { m_log << "status:" + text; };
        h.mailFailed = [this](const QString& error) { m_log << "mailFailed:" + error; };
        h.finished = [this] { m_log << "finished"; };
        h.announce = [this](const QString& next) {
            m_log << "announce:" + next;
            m_nextdateSeenByAnnounce = SettingsStore().read("nextdate");
            if (m_duringAnnounce)
                m_duringAnnounce();
        };
        h.failed = [this](const QString& message) { m_log << "failed:" + message; };
        return h;
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
        DispatchLock::setPath(m_dir.filePath("dispatch.lock"));
    }

    void init()
    {
        m_log.clear();
        QFile::remove(QFileInfo(DispatchLock::path()).dir().filePath("dispatch.last"));
        m_run.exportOk = true;
        m_run.sendResult = MailingRun::Result::Sent;
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
        QCOMPARE(DispatchSchedule::isDue(nextdate, times, now), due);
    }

    void dispatchRunsItsStepsAndStoresTheDateAfterTheAnnouncement()
    {
        store("7", "09:00:00", "2026-12-06");
        SettingsStore settings;
        DispatchSchedule dispatch(m_run, hooks());
        QCOMPARE(dispatch.tick(settings, at(0, QTime(8, 59, 50))),
                 DispatchSchedule::Result::NotDue);
        QVERIFY(m_log.isEmpty());
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0, 0))),
                 DispatchSchedule::Result::Dispatched);
        QCOMPARE(m_log, QStringList({QStringLiteral("status:Загрузка параметров отправки"),
                                     QStringLiteral("status:Сохранение отчетов"), "export:7",
                                     QStringLiteral("status:Отправка отчетов"),
                                     QStringLiteral("send:boss@example.com:Реклама"), "finished",
                                     "announce:13.12.2026"}));
        // Stored before the box: closing the program meanwhile does not mail them again.
        QCOMPARE(m_nextdateSeenByAnnounce, QString("2026-12-13"));
        QCOMPARE(settings.read("nextdate"), QString("2026-12-13"));
        m_log.clear();
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0, 10))), DispatchSchedule::Result::NotDue);
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
        QTest::newRow("9 seconds") << "0,0001"
                                   << "2026-12-06T00:00:09"
                                   << "06.12.2026 00:00:09";
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
        DispatchSchedule dispatch(m_run, hooks());
        QCOMPARE(dispatch.tick(settings, at(0, QTime(10, 0))),
                 DispatchSchedule::Result::Dispatched);
        QCOMPARE(settings.read("nextdate"), stored);
        QCOMPARE(m_log.last(), "announce:" + shown);
        // A period of seconds, its date put back by hand, is due again on the same day, but a
        // minute apart at the least, also for a schedule of another copy of the program.
        if (days != "0,0001")
            return;
        QVERIFY(settings.write("nextdate", "2026-12-06"));
        DispatchSchedule other(m_run, hooks());
        QCOMPARE(other.tick(settings, at(0, QTime(10, 0, 50))), DispatchSchedule::Result::TooSoon);
        QCOMPARE(dispatch.tick(settings, at(0, QTime(10, 1))),
                 DispatchSchedule::Result::Dispatched);
    }

    // A period of 0, stored by hand, would mail at every tick: the schedule refuses to run.
    void zeroPeriodIsUnusable()
    {
        store("0", "09:00:00", "2026-11-01");
        SettingsStore settings;
        DispatchSchedule dispatch(m_run, hooks());
        QCOMPARE(dispatch.tick(settings, at(0, QTime(10, 0))), DispatchSchedule::Result::Unusable);
        QVERIFY(m_log.isEmpty());
        QCOMPARE(settings.read("nextdate"), QString("2026-11-01"));
    }

    // With the clock set back, the last dispatch lies ahead: a due dispatch still runs, and
    // the minute between two dispatches counts from it.
    void lastDispatchInTheFutureDoesNotHoldTheDispatch()
    {
        // A period of seconds whose date was put back by hand, and a last dispatch stamped in
        // the future (the clock was set back since): only a real minute holds it.
        store("0,0001", "09:00:00", "2026-12-06");
        QFile last(QFileInfo(DispatchLock::path()).dir().filePath("dispatch.last"));
        QVERIFY(last.open(QIODevice::WriteOnly));
        last.write(at(0, QTime(12, 0)).toString(Qt::ISODate).toLatin1());
        last.close();
        SettingsStore settings;
        DispatchSchedule dispatch(m_run, hooks());
        QCOMPARE(dispatch.tick(settings, at(0, QTime(10, 0))),
                 DispatchSchedule::Result::Dispatched);
        QCOMPARE(m_log.filter("send:").size(), 1);
        QVERIFY(settings.write("nextdate", "2026-12-06"));
        QCOMPARE(dispatch.tick(settings, at(0, QTime(10, 0, 30))),
                 DispatchSchedule::Result::TooSoon);
        QCOMPARE(dispatch.tick(settings, at(0, QTime(10, 1))),
                 DispatchSchedule::Result::Dispatched);
    }

    void failedMailStillAdvancesTheDate()
    {
        store("7", "09:00:00", "2026-12-06");
        m_run.sendResult = MailingRun::Result::MailFailed;
        SettingsStore settings;
        DispatchSchedule dispatch(m_run, hooks());
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0))), DispatchSchedule::Result::Dispatched);
        QCOMPARE(settings.read("nextdate"), QString("2026-12-13"));
        QCOMPARE(m_log.filter("mailFailed:").size(), 1);
        QCOMPARE(m_log.filter(QRegularExpression("^failed:")).size(), 0);
    }

    void failedExportIsToldOnceAndRetriedLater()
    {
        store("7", "09:00:00", "2026-12-06");
        m_run.exportOk = false;
        SettingsStore settings;
        DispatchSchedule dispatch(m_run, hooks());
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0))), DispatchSchedule::Result::Failed);
        QCOMPARE(m_log.filter("failed:").size(), 1);
        QVERIFY(m_log.filter("failed:").first().contains("poist.htm"));
        QVERIFY(m_log.filter("failed:").first().contains("06.12.2026 09:30"));
        QVERIFY(m_log.contains("finished"));
        QVERIFY(m_log.filter("send:").isEmpty());
        QCOMPARE(settings.read("nextdate"), QString("2026-12-06"));

        // Ticks before the retry time start nothing and say nothing.
        m_log.clear();
        for (int s = 10; s < 30 * 60; s += 10)
            QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0).addSecs(s))),
                     DispatchSchedule::Result::Deferred);
        QVERIFY(m_log.isEmpty());

        m_run.exportOk = true;
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 30))),
                 DispatchSchedule::Result::Dispatched);
        QCOMPARE(settings.read("nextdate"), QString("2026-12-13"));
    }

    void missingMailAccountIsHandledLikeAFailedExport()
    {
        store("7", "09:00:00", "2026-12-06");
        m_run.sendResult = MailingRun::Result::NoAccount;
        SettingsStore settings;
        DispatchSchedule dispatch(m_run, hooks());
        dispatch.setRetryDelay(60);
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0))), DispatchSchedule::Result::Failed);
        QCOMPARE(settings.read("nextdate"), QString("2026-12-06"));
        QVERIFY(m_log.filter("failed:").first().contains("no account"));
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0, 50))),
                 DispatchSchedule::Result::Deferred);
        m_run.sendResult = MailingRun::Result::Sent;
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 1))), DispatchSchedule::Result::Dispatched);
    }

    void noSecondDispatchWhileOneRuns()
    {
        store("7", "09:00:00", "2026-12-06");
        SettingsStore settings;
        DispatchSchedule dispatch(m_run, hooks());
        QList<DispatchSchedule::Result> inner;
        // A tick that arrives while the closing announcement is on screen.
        m_duringAnnounce = [&] { inner << dispatch.tick(settings, at(0, QTime(9, 0, 10))); };
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0))), DispatchSchedule::Result::Dispatched);
        QCOMPARE(inner, QList<DispatchSchedule::Result>{DispatchSchedule::Result::Busy});
        QCOMPARE(m_log.filter("export:").size(), 1);
    }

    void anotherProcessHoldingTheLockBlocksTheDispatch()
    {
        store("7", "09:00:00", "2026-12-06");
        SettingsStore settings;
        DispatchSchedule dispatch(m_run, hooks());
        {
            QLockFile other(DispatchLock::path());
            QVERIFY(other.tryLock(0));
            QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0))), DispatchSchedule::Result::Busy);
            QVERIFY(m_log.isEmpty());
        }
        QCOMPARE(dispatch.tick(settings, at(0, QTime(9, 0, 10))),
                 DispatchSchedule::Result::Dispatched);
    }

    // Two copies find the dispatch due at the same moment; the second gets the lock only after
    // the first has mailed and stored the next date, and must then find it no longer due.
    void twoCopiesDueAtOnceMailOnce()
    {
        store("7", "09:00:00", "2026-12-06");
        SettingsStore settings;
        DispatchSchedule first(m_run, hooks());
        DispatchSchedule second(m_run, hooks());
        QList<DispatchSchedule::Result> secondResults;
        // The second copy tested "due" before the first took the lock; it waits for the lock
        // while the first dispatches.
        second.setAfterLock([&] {
            QCOMPARE(first.tick(settings, at(0, QTime(9, 0))), DispatchSchedule::Result::Busy);
        });
        QCOMPARE(second.tick(settings, at(0, QTime(9, 0))), DispatchSchedule::Result::Dispatched);
        first.setAfterLock([&] {
            // Meanwhile the other copy has dispatched: the date moved on.
        });
        QCOMPARE(first.tick(settings, at(0, QTime(9, 0, 1))), DispatchSchedule::Result::NotDue);
        QCOMPARE(m_log.filter("send:").size(), 1);

        // The due test made again after the lock: a copy that saw the old date before the
        // other stored the new one sends nothing.
        store("7", "09:00:00", "2026-12-06");
        m_log.clear();
        DispatchSchedule third(m_run, hooks());
        third.setAfterLock([&] { SettingsStore().write("nextdate", "2026-12-13"); });
        QCOMPARE(third.tick(settings, at(0, QTime(9, 0))), DispatchSchedule::Result::NotDue);
        QVERIFY(m_log.filter("send:").isEmpty());
    }
};

QTEST_MAIN(TestDispatchSchedule)
#include "tst_dispatchschedule.moc"

#include "Backup.h"
#include "BackupDialog.h"
#include "BackupFolder.h"
#include "BackupMonitor.h"
#include "BackupStatus.h"
#include "BackupVerifier.h"
#include "CallWriter.h"
#include "CliSession.h"
#include "RegisterContents.h"
#include "RowSet.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QProcess>
#include <QSqlError>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

#include <csignal>

namespace {
const QDateTime noon(QDate(2026, 3, 2), QTime(12, 0));

// Adds `count` calls in one transaction through the bulk path, over two years of dates.
bool addCalls(const QString& location, int count)
{
    DataEnv env(location);
    if (!env.connect())
        return false;
    QSqlDatabase db = env.database().connection();
    if (!db.transaction())
        return false;
    std::unique_ptr<CallWriter> writer = env.database().dialect().callWriter(db);
    const QStringList services{QStringLiteral("Стрижка"), QStringLiteral("Маникюр")};
    const QStringList sources{QStringLiteral("Интернет"), QStringLiteral("Газета"),
                              QStringLiteral("Радио")};
    for (int i = 0; i < count; ++i) {
        const QVariantList call{env.database().dialect().toDb(QDate(2024, 1, 1).addDays(i % 730)),
                                services.at(i % 2), sources.at(i % 3), i % 4 == 0 ? 1 : 0,
                                env.database().dialect().toDb(QTime(9, 0).addSecs((i % 600) * 60))};
        if (!writer->add(call))
            return false;
    }
    return writer->finish() && db.commit();
}

QByteArray digest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

// The calls of a register in order, one line each.
QStringList callLines(const QString& location)
{
    QStringList lines;
    for (const QString& line : RegisterContents::read(location))
        if (line.startsWith("c|"))
            lines << line;
    return lines;
}

QString cliPath()
{
    return qEnvironmentVariable("KALVENT_CLI");
}
} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

    CliSession m_cli;
    QString m_folder;

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        QVERIFY(!cliPath().isEmpty());
    }
    void init()
    {
        m_cli.begin(noon);
        static int round = 0;
        m_folder = m_cli.dir.filePath(QString("backups%1").arg(++round));
        QCOMPARE(m_cli.run({"service", "add", "Стрижка"}), 0);
        QCOMPARE(m_cli.run({"source", "add", "Газета"}), 0);
    }
    void cleanup() { m_cli.end(); }

    // Copies taken while another process adds calls each hold the calls of one moment: the
    // first calls of the register in their order, totals that agree with them.
    void copyOfABusyRegisterIsOfOneMoment()
    {
        QVERIFY(addCalls(m_cli.database(), 20000));
        QProcess adder;
        adder.setProgram("sh");
        adder.setArguments({"-c",
                            "i=0; while [ $i -lt 150 ]; do \"$0\" --database \"$1\" add --service "
                            "Стрижка --source Газета --booked || exit 1; i=$((i+1)); done",
                            cliPath(), m_cli.database()});
        adder.setProcessChannelMode(QProcess::ForwardedChannels);
        adder.start();
        QVERIFY(adder.waitForStarted());
        QTest::qWait(300);
        QStringList copies;
        for (int i = 0; i < 3 && adder.state() == QProcess::Running; ++i) {
            Backup backup(m_cli.database());
            QVERIFY2(backup.take(m_folder), qPrintable(backup.errorText()));
            copies << backup.path();
            Clock::advance(61 * 1000);
        }
        const bool addsRanMeanwhile = adder.state() == QProcess::Running;
        QVERIFY(adder.waitForFinished(120000));
        QCOMPARE(adder.exitCode(), 0);
        QVERIFY2(addsRanMeanwhile && copies.size() == 3, "the adds ended before the copies");
        const QStringList all = callLines(m_cli.database());
        QCOMPARE(all.size(), 20150);
        QList<qint64> counts;
        for (const QString& copy : copies) {
            BackupVerifier verifier(copy);
            QVERIFY2(verifier.check(), qPrintable(verifier.errorText()));
            const QStringList calls = callLines(copy);
            QCOMPARE(calls, all.mid(0, calls.size()));
            counts << calls.size();
        }
        QVERIFY(counts.first() >= 20000 && counts.last() < 20150);
        QCOMPARE(BackupFolder(m_folder).entries().size(), 3);
    }

    // kill -9 at any point of a copy leaves no file that counts as a copy unless it is a whole
    // one, and the copies before it as they were; the next run clears what was left.
    void killedCopyCountsForNothing()
    {
        QVERIFY(addCalls(m_cli.database(), 30000));
        QCOMPARE(m_cli.run({"backup", "--to", m_folder}), 0);
        const QList<BackupEntry> before = BackupFolder(m_folder).entries();
        QCOMPARE(before.size(), 1);
        const QByteArray first = digest(before.first().path);
        const QByteArray firstMark = digest(BackupFolder::markPath(before.first().path));
        int cutShort = 0;
        for (const int delay : {0, 40, 80, 120, 160, 220, 300, 400, 550, 750}) {
            QProcess backup;
            backup.start(cliPath(), {"--database", m_cli.database(), "backup", "--to", m_folder});
            QVERIFY(backup.waitForStarted());
            QTest::qWait(delay);
            // A copy that has ended has no process left to kill (and pid 0 is the group).
            if (const qint64 pid = backup.processId(); pid > 0)
                ::kill(pid_t(pid), SIGKILL);
            QVERIFY(backup.waitForFinished() || backup.state() == QProcess::NotRunning);
            const bool killed = backup.exitStatus() == QProcess::CrashExit;
            for (const BackupEntry& entry : BackupFolder(m_folder).entries()) {
                if (!entry.verified)
                    continue;
                BackupVerifier verifier(entry.path);
                QVERIFY2(verifier.check(), qPrintable(verifier.errorText()));
                QCOMPARE(entry.calls, 30000);
            }
            cutShort += killed;
            QCOMPARE(digest(before.first().path), first);
            QCOMPARE(digest(BackupFolder::markPath(before.first().path)), firstMark);
        }
        QVERIFY2(cutShort >= 3, "no copy was killed on its way");
        QCOMPARE(m_cli.run({"backup", "--to", m_folder}), 0);
        const QStringList hidden =
            QDir(m_folder).entryList(QDir::Files | QDir::Hidden).filter(QRegularExpression("^\\."));
        QVERIFY2(hidden.size() <= 1 && (hidden.isEmpty() || hidden.first().endsWith(".lock")),
                 qPrintable(hidden.join(' ')));
    }

    // A year of daily copies keeps the promised ones: the last 7 days, the newest of the last 4
    // weeks and of the last 12 months. A second run on a day takes none; two days without a
    // copy are told.
    void retentionOverAYear()
    {
        if (TestSupport::onServer())
            QSKIP("the retention is the folder's, the same for both engines");
        QVERIFY(addCalls(m_cli.database(), 50));
        for (QDate day(2026, 1, 1); day <= QDate(2026, 12, 31); day = day.addDays(1)) {
            Clock::setFixed(QDateTime(day, QTime(10, 0)));
            QCOMPARE(m_cli.run({"backup", "--auto", "--to", m_folder}), 0);
            if (day.day() == 15) {
                Clock::setFixed(QDateTime(day, QTime(18, 0)));
                QCOMPARE(m_cli.run({"backup", "--auto", "--to", m_folder}), 0);
                QVERIFY2(m_cli.out.contains("уже есть"), qPrintable(m_cli.out));
            }
        }
        QList<QDate> kept;
        for (const BackupEntry& entry : BackupFolder(m_folder).entries()) {
            QVERIFY(entry.verified);
            kept << entry.taken.date();
        }
        QList<QDate> expected;
        for (int day = 31; day >= 25; --day)
            expected << QDate(2026, 12, day);
        expected << QDate(2026, 12, 20) << QDate(2026, 12, 13);
        for (int month = 11; month >= 1; --month)
            expected << QDate(2026, month, 1).addMonths(1).addDays(-1);
        QCOMPARE(kept, expected);
        QCOMPARE(QDir(m_folder).entryList({"KvBD-*"}, QDir::Files).size(), 2 * expected.size());

        QCOMPARE(m_cli.run({"backup", "status", "--folder", m_folder}), 0);
        Clock::setFixed(QDateTime(QDate(2027, 1, 2), QTime(11, 0)));
        QCOMPARE(m_cli.run({"backup", "status", "--folder", m_folder}), 1);
        QVERIFY2(m_cli.err.contains("больше двух дней"), qPrintable(m_cli.err));
    }

    // A register restored from its copy is the register copied, on either engine; the register
    // it replaced is kept; a copy of a newer layout is refused.
    void restoreBringsBackTheRegister()
    {
        QVERIFY(addCalls(m_cli.database(), 3000));
        QCOMPARE(m_cli.run({"spend", "set", "--source", "Газета", "--month", "2024-02", "--amount",
                            "1500.50"}),
                 0);
        const QStringList original = RegisterContents::read(m_cli.database());
        QCOMPARE(m_cli.run({"backup", "--to", m_folder}), 0);
        const QString copy = BackupFolder(m_folder).newestVerified().path;
        QVERIFY(!copy.isEmpty());
        QCOMPARE(m_cli.run({"service", "add", "Педикюр"}), 0);
        QCOMPARE(m_cli.run({"add", "--service", "Педикюр", "--source", "Газета"}), 0);
        QCOMPARE(m_cli.run(
                     {"spend", "set", "--source", "Газета", "--month", "2024-02", "--amount", "9"}),
                 0);
        const QStringList changed = RegisterContents::read(m_cli.database());
        QVERIFY(changed != original);

        // A newer layout than this program's is refused, the register left as it is.
        const QString newer = m_cli.dir.filePath("newer.db");
        QVERIFY(QFile::copy(copy, newer));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
            db.setDatabaseName(newer);
            QVERIFY(db.open());
            QSqlQuery(db).exec("PRAGMA user_version = 99");
        }
        QSqlDatabase::removeDatabase("newer");
        QCOMPARE(m_cli.run({"restore", newer}), 1);
        QVERIFY2(m_cli.err.contains("более новой версией"), qPrintable(m_cli.err));
        QCOMPARE(RegisterContents::read(m_cli.database()), changed);

        if (TestSupport::onServer()) {
            QCOMPARE(m_cli.run({"restore", copy}), 2);
            QVERIFY2(m_cli.err.contains("уже есть звонки"), qPrintable(m_cli.err));
            QCOMPARE(m_cli.run({"restore", copy, "--replace"}, "wrong\n"), 2);
            QCOMPARE(RegisterContents::read(m_cli.database()), changed);
            const QString name = QUrl(m_cli.database()).path().mid(1);
            QCOMPARE(m_cli.run({"restore", copy, "--replace"}, name.toUtf8() + "\n"), 0);
        } else {
            QCOMPARE(m_cli.run({"restore", copy}), 0);
        }
        DataEnv::setInstance(nullptr);
        QCOMPARE(RegisterContents::read(m_cli.database()), original);
        const QString kept = m_cli.out.section(": ", -1).trimmed();
        QVERIFY2(QFileInfo::exists(kept), qPrintable(m_cli.out));
        if (!TestSupport::onServer())
            QCOMPARE(RegisterContents::read(kept), changed);
        QCOMPARE(m_cli.run({"check"}), 0);
    }

    // The window: the warning beside the status line comes and goes with the copies; the
    // dialog lists the copies with their state and restores the chosen one after its
    // confirmation.
    void windowTellsAndRestores()
    {
        QVERIFY(addCalls(m_cli.database(), 500));
        QVERIFY(BackupFolder::choose(m_folder));
        QFile::remove(QDir(AppPaths::dataDir()).filePath("backup.last")); // no attempt yet
        AppPaths::overrideDatabasePath(m_cli.database());
        QStatusBar bar;
        BackupMonitor monitor(&bar, nullptr, nullptr);
        monitor.refresh();
        auto* warning = bar.findChild<QLabel*>("backupWarning");
        QVERIFY(warning && warning->isHidden()); // nothing is overdue before a first attempt
        Backup backup(m_cli.database());
        QVERIFY2(backup.take(m_folder), qPrintable(backup.errorText()));
        monitor.refresh();
        QVERIFY(warning->isHidden() && bar.isHidden()); // the window keeps its size
        Clock::advance(49 * 3600 * 1000LL);
        monitor.refresh();
        QVERIFY(!warning->isHidden() && !bar.isHidden());
        QCOMPARE(warning->text(), QStringLiteral("Нет свежей резервной копии"));
        const QStringList original = RegisterContents::read(m_cli.database());
        // A file that looks like a copy but has no mark is shown as no backup.
        QVERIFY(QFile::copy(backup.path(), m_folder + "/KvBD-2026-03-01-0900.db"));
        QCOMPARE(m_cli.run({"add", "--service", "Стрижка", "--source", "Газета"}), 0);

        BackupDialog dialog(&monitor, nullptr);
        QCOMPARE(dialog.list()->topLevelItemCount(), 2);
        QCOMPARE(dialog.list()->topLevelItem(0)->text(3), QStringLiteral("проверена"));
        QCOMPARE(dialog.list()->topLevelItem(0)->text(1), QStringLiteral("500"));
        QVERIFY(dialog.list()->topLevelItem(1)->text(3).startsWith("не проверена"));
        dialog.list()->setCurrentItem(dialog.list()->topLevelItem(0));
        TestSupport::MessageRecorder messages;
        TestSupport::PromptRecorder prompts;
        messages.answer(QMessageBox::No);
        if (!TestSupport::onServer()) {
            dialog.restoreSelected();
            QVERIFY(RegisterContents::read(m_cli.database()) != original);
            messages.answer(QMessageBox::Yes);
        } else {
            prompts.answer(QUrl(m_cli.database()).path().mid(1));
        }
        dialog.restoreSelected();
        QCOMPARE(RegisterContents::read(m_cli.database()), original);
        QVERIFY(messages.shown().last().text.startsWith(QStringLiteral("База восстановлена")));

        Clock::advance(3600 * 1000);
        BackupStatus::record(Clock::now(), QStringLiteral("на диске нет места"));
        monitor.refresh();
        QCOMPARE(warning->text(), QStringLiteral("Резервная копия не создана"));
        QVERIFY(monitor.warning().contains("на диске нет места"));
    }
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"

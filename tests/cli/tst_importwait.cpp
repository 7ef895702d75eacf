// The operator's add during a long import by another process: it waits for the import rather
// than fail, and both the import and the add are stored.
#include "CliRunner.h"
#include "DataEnv.h"
#include "RowSet.h"
#include "TestSupport.h"
#include "TotalsStore.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QtTest>

namespace {

qint64 scalar(DataEnv& env, const QString& sql)
{
    QSqlQuery query(env.database().connection());
    return query.exec(sql) && query.next() ? query.value(0).toLongLong() : -1;
}

// `count` calls over ten years, the names of both lists, written straight as bytes.
bool writeCalls(const QString& path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray services[] = {QStringLiteral("Стрижка").toUtf8(),
                                   QStringLiteral("Маникюр").toUtf8()};
    const QByteArray sources[] = {QStringLiteral("Интернет").toUtf8(),
                                  QStringLiteral("Газета").toUtf8()};
    QList<QByteArray> dates;
    for (QDate day(2016, 1, 1); dates.size() < 3650; day = day.addDays(1))
        dates << day.toString(Qt::ISODate).toLatin1();
    QList<QByteArray> times;
    for (int minute = 0; minute < 600; ++minute)
        times << QTime(9, 0).addSecs(minute * 60).toString("HH:mm:ss").toLatin1();
    QByteArray text = "Data;usluga;Istochnik;Zapis;Vrem\n";
    text.reserve(64 * count);
    for (int i = 0; i < count; ++i) {
        text += dates[i % dates.size()];
        text += ';' + services[i % 2] + ';' + sources[(i / 2) % 2] + ';' + (i % 3 ? '0' : '1');
        text += ';' + times[i % times.size()] + '\n';
    }
    return file.write(text) == text.size() && file.flush();
}

// The import holds its write transaction.
bool importWriting(DataEnv& env)
{
    if (TestSupport::onServer())
        return scalar(env, "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = "
                           "current_database() AND pid <> pg_backend_pid() AND xact_start IS "
                           "NOT NULL AND query LIKE '%NovyeZvonki%'") > 0;
    QSqlQuery probe(env.database().connection());
    if (!probe.exec("PRAGMA busy_timeout = 0"))
        return false;
    if (probe.exec("BEGIN IMMEDIATE")) {
        probe.exec("ROLLBACK");
        return false;
    }
    return true;
}
} // namespace

class TestImportWait : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void addDuringAMillionRowImportWaitsAndBothAreStored()
    {
        // A million calls into a file; on a server, where the import is slower and an insert
        // waits at most for its last step, fewer.
        const int importedCalls = TestSupport::onServer() ? 200000 : 1000000;
        const QString cli = qEnvironmentVariable("KALVENT_CLI");
        QVERIFY2(QFile::exists(cli), "KALVENT_CLI names the command-line tool");
        const QString location = TestSupport::database(m_dir.filePath("KvBD.db"));
        const QString csv = m_dir.filePath("calls.csv");
        QVERIFY(writeCalls(csv, importedCalls));
        DataEnv env(location);
        QVERIFY2(env.connect(), qPrintable(env.errorText()));
        for (const char* name : {"Стрижка", "Маникюр"})
            QVERIFY(env.bind("Uslugi")->addRow("Uname", QString::fromUtf8(name)));
        QVERIFY(env.bind("Istochnik")->addRow("IName", QStringLiteral("Газета")));

        QProcess import;
        import.start(cli, {"--database", location, "import", csv});
        QVERIFY(import.waitForStarted());
        QDeadlineTimer deadline(120000);
        bool seen = false;
        while (!(seen = importWriting(env)) && import.state() == QProcess::Running &&
               !deadline.hasExpired())
            QThread::msleep(20);
        QVERIFY2(seen, qPrintable("the import was not seen writing: " +
                                  QString::fromUtf8(import.readAllStandardError())));

        QString out;
        QString err;
        {
            QTextStream outStream(&out);
            QTextStream errStream(&err);
            QBuffer in;
            in.open(QIODevice::ReadOnly);
            const int status =
                CliRunner(outStream, errStream, &in)
                    .run({"--database", location, "add", "--service", QStringLiteral("Маникюр"),
                          "--source", QStringLiteral("Газета"), "--booked", "--date", "2026-12-06",
                          "--time", "12:34:56"});
            errStream.flush();
            QVERIFY2(status == 0, qPrintable(err));
        }
        DataEnv::setInstance(nullptr);
        // The file's import holds its one write transaction throughout: the add waited. A
        // server's lets other inserts through.
        if (!TestSupport::onServer())
            QVERIFY2(err.contains(QStringLiteral("Ожидание окончания импорта...")),
                     qPrintable(err));

        QVERIFY(import.waitForFinished(240000));
        QVERIFY2(import.exitStatus() == QProcess::NormalExit && import.exitCode() == 0,
                 import.readAllStandardError().constData());
        QVERIFY(import.readAllStandardOutput().contains(
            QStringLiteral("Импортировано звонков: %1").arg(importedCalls).toUtf8()));
        QCOMPARE(scalar(env, "SELECT COUNT(*) FROM Base"), importedCalls + 1);
        QCOMPARE(scalar(env, "SELECT COUNT(*) FROM Base WHERE Data = '2026-12-06' AND "
                             "Vrem = '12:34:56' AND Zapis = 1"),
                 1);
        QList<TotalsDifference> differences;
        QVERIFY2(env.totals().check(&differences), qPrintable(env.totals().errorText()));
        QCOMPARE(differences.size(), 0);
    }
};

QTEST_MAIN(TestImportWait)
#include "tst_importwait.moc"

// Several desks on one PostgreSQL database (the test server; skipped without it).
#include "../mailing/smtp/SmtpTestServer.h"

#include "CallStore.h"
#include "DataConnection.h"
#include "DataEnv.h"
#include "ListStore.h"
#include "PostgresDialect.h"
#include "RowSet.h"
#include "TestSupport.h"
#include "TotalsStore.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

namespace {
constexpr int callsPerWriter = 1000;

std::unique_ptr<DataEnv> desk(const QString& location, const QString& name)
{
    return std::make_unique<DataEnv>(location, std::make_unique<PostgresDialect>(name));
}

qint64 scalar(DataEnv& env, const QString& sql)
{
    QSqlQuery query(env.database().connection());
    return query.exec(sql) && query.next() ? query.value(0).toLongLong() : -1;
}

QString serverName(const QString& location)
{
    const QUrl url(location);
    return QStringLiteral("%1:%2%3").arg(url.host()).arg(url.port()).arg(url.path());
}

// A writer process: adds its calls one by one, as the operator's "Добавить" does.
int writeCalls(const QString& location, const QString& name)
{
    DataEnv env(location, std::make_unique<PostgresDialect>(name));
    for (int i = 0; i < callsPerWriter; ++i) {
        const Call call{QDate(2026, 1, 1).addDays(i % 365), QStringLiteral("Стрижка"),
                        i % 3 ? QStringLiteral("Интернет") : QStringLiteral("Газета"), i % 2 == 0,
                        QTime(0, 0).addSecs(i)};
        if (!env.calls().add(call)) {
            QTextStream(stderr) << env.calls().errorText() << Qt::endl;
            return 1;
        }
    }
    return 0;
}
} // namespace

class TestDesks : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        if (!TestSupport::onServer())
            QSKIP("runs on the test server only (KALVENT_TEST_DATABASE)");
    }

    void firstUseCreatesTheSchemaAndAForeignDatabaseIsRefused()
    {
        const QString location = TestSupport::database({});
        {
            auto a = desk(location, "a");
            QVERIFY2(a->connect(), qPrintable(a->errorText()));
            QCOMPARE(a->bind("Istochnik")->rowCount(), 1);
            QCOMPARE(scalar(*a, "SELECT Versiya FROM Kalvent"), 3);
        }
        {
            auto b = desk(location, "b"); // a second desk finds it made
            QVERIFY2(b->connect(), qPrintable(b->errorText()));
            QCOMPARE(b->bind("Istochnik")->rowCount(), 1);
        }

        const QString foreign = TestSupport::database({});
        {
            const QUrl url(foreign);
            QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "foreign");
            db.setHostName(url.host());
            db.setPort(url.port());
            db.setUserName(url.userName());
            db.setDatabaseName(url.path().mid(1));
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("CREATE TABLE Notes (text TEXT)"));
            QVERIFY(query.exec("INSERT INTO Notes VALUES ('keep me')"));
            auto a = desk(foreign, "a");
            QVERIFY(!a->connect());
            QVERIFY2(a->errorText().contains(serverName(foreign)), qPrintable(a->errorText()));
            QVERIFY2(a->errorText().contains(QStringLiteral("другой программе")),
                     qPrintable(a->errorText()));
            QCOMPARE(db.tables(), QStringList{"notes"});
            QVERIFY(query.exec("SELECT COUNT(*) FROM Notes") && query.next());
            QCOMPARE(query.value(0).toInt(), 1);
        }
        QSqlDatabase::removeDatabase("foreign");
    }

    void refusedSignOnAndUnreachableServerAreNamed()
    {
        QUrl url(TestSupport::database({}));
        url.setUserName("kalvent_password"); // a role that must give its password
        auto expect = [&](const QString& reason) {
            auto env = desk(url.toString(), "a");
            QVERIFY(!env->connect());
            QVERIFY2(env->errorText().contains(serverName(url.toString())),
                     qPrintable(env->errorText()));
            QVERIFY2(env->errorText().contains(reason), qPrintable(env->errorText()));
        };
        qunsetenv("PGPASSWORD");
        qputenv("PGPASSFILE", m_dir.filePath("no-pgpass").toUtf8());
        expect(QStringLiteral("сервер требует пароль"));
        qputenv("PGPASSWORD", "wrong-password");
        expect(QStringLiteral("сервер отклонил пароль"));
        qputenv("PGPASSWORD", "right-password");
        auto signedOn = desk(url.toString(), "a");
        const bool opened = signedOn->connect();
        qunsetenv("PGPASSWORD");
        // The role may not create tables in the database; signing on is what counts here.
        QVERIFY2(opened || !signedOn->errorText().contains(QStringLiteral("пароль")),
                 qPrintable(signedOn->errorText()));
        url.setPort(1);
        expect(QStringLiteral("сервер не принимает соединения"));
    }

    void listChangesReachTheOtherDesk()
    {
        const QString location = TestSupport::database({});
        auto a = desk(location, "a");
        auto b = desk(location, "b");
        QVERIFY(a->connect() && b->connect());
        RowSet* atB = b->bind("Uslugi");
        QCOMPARE(atB->rowCount(), 0);
        QSignalSpy changed(&b->lists(), &ListStore::listChanged);
        QVERIFY(a->bind("Uslugi")->addRow("Uname", QStringLiteral("Стрижка")));
        QTRY_COMPARE_WITH_TIMEOUT(atB->rowCount(), 1, 5000);
        QCOMPARE(atB->value(0, "Uname").toString(), QStringLiteral("Стрижка"));
        QCOMPARE(changed.first().first().toString(), QString("Uslugi"));

        QVERIFY(a->bind("Istochnik")->addRow("IName", QStringLiteral("Газета")));
        QTRY_COMPARE_WITH_TIMEOUT(b->bind("Istochnik")->rowCount(), 2, 5000);
        // The editor's "-" at one desk removes the name at the other.
        QVERIFY(a->bind("Uslugi")->deleteRow(0));
        QTRY_COMPARE_WITH_TIMEOUT(atB->rowCount(), 0, 5000);
        // A desk's own change is not read back again.
        changed.clear();
        QVERIFY(b->bind("Uslugi")->addRow("Uname", QStringLiteral("Маникюр")));
        QTest::qWait(300);
        QVERIFY(changed.isEmpty());
        QCOMPARE(atB->rowCount(), 1);

        // A call stored at one desk tells the other's open journal to read again.
        QSignalSpy calls(&b->connection(), &DataConnection::callsChanged);
        QVERIFY(a->execute("AddNew", {QDate(2026, 12, 1), QStringLiteral("Маникюр"),
                                      QStringLiteral("Газета"), false, QTime(9, 0)}));
        QTRY_VERIFY_WITH_TIMEOUT(!calls.isEmpty(), 5000);
    }

    void previousCallIsThisDesksOwn()
    {
        const QString location = TestSupport::database({});
        auto a = desk(location, "a");
        auto b = desk(location, "b");
        const QDate day(2026, 12, 1);
        QVERIFY(a->execute("AddNew", {day, "mine", QStringLiteral("Интернет"), true, QTime(9, 0)}));
        QVERIFY(b->execute("AddNew", {day, "theirs", "x", false, QTime(9, 1)}));
        RowSet* last = a->rowSet("rsBase");
        QVERIFY(last->open() && last->moveLast());
        QCOMPARE(last->value(last->currentRow(), "usluga").toString(), QString("mine"));
        QVERIFY(last->deleteCurrent());
        QVERIFY(last->open());
        QVERIFY(!last->moveLast()); // nothing more of this desk's to remove
        QCOMPARE(scalar(*a, "SELECT COUNT(*) FROM Base WHERE usluga = 'theirs'"), 1);
        QCOMPARE(scalar(*a, "SELECT COUNT(*) FROM Base"), 1);
        QList<TotalsDifference> differences;
        QVERIFY(a->totals().check(&differences));
        QVERIFY(differences.isEmpty());
    }

    void serverRestartBetweenTwoAdds()
    {
        const QString location = TestSupport::database({});
        auto a = desk(location, "a");
        auto b = desk(location, "b");
        const QDate day(2026, 12, 1);
        QVERIFY(a->execute("AddNew", {day, "A", "x", true, QTime(9, 0)}));
        QVERIFY(b->connect());
        QVERIFY(b->bind("Uslugi"));
        QVERIFY(TestSupport::restartServer());
        QVERIFY2(a->execute("AddNew", {day, "A", "x", false, QTime(9, 5)}),
                 qPrintable(a->errorText()));
        QCOMPARE(scalar(*a, "SELECT COUNT(*) FROM Base"), 2);
        QList<TotalsDifference> differences;
        QVERIFY(a->totals().check(&differences));
        QVERIFY(differences.isEmpty());
        QVERIFY(a->execute("ReportDates", {day, day}));
        QCOMPARE(a->rowSet("rsReportDates")->value(0, "Vsego").toInt(), 2);
        // Both desks listen again once they have reconnected.
        QVERIFY(b->execute("Uslugi"));
        QVERIFY(a->bind("Uslugi")->addRow("Uname", QStringLiteral("После перезапуска")));
        QTRY_COMPARE_WITH_TIMEOUT(b->rowSet("rsUslugi")->rowCount(), 1, 5000);
    }

    void fourDesksAddingAtOnceLoseNothing()
    {
        const QString location = TestSupport::database({});
        {
            auto first = desk(location, "setup");
            QVERIFY(first->connect());
        }
        QList<QProcess*> writers;
        for (int i = 0; i < 4; ++i) {
            auto* writer = new QProcess(this);
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("KALVENT_WRITER", location);
            environment.insert("KALVENT_WRITER_DESK", QString("desk%1").arg(i));
            writer->setProcessEnvironment(environment);
            writer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            writer->start(QCoreApplication::applicationFilePath(), {});
            writers << writer;
        }
        for (QProcess* writer : std::as_const(writers)) {
            QVERIFY(writer->waitForFinished(240000));
            QCOMPARE(writer->exitCode(), 0);
        }
        auto env = desk(location, "check");
        QVERIFY(env->connect());
        QCOMPARE(scalar(*env, "SELECT COUNT(*) FROM Base"), 4 * callsPerWriter);
        QCOMPARE(scalar(*env, "SELECT COUNT(DISTINCT (Pult, Vrem)) FROM Base"), 4 * callsPerWriter);
        QList<TotalsDifference> differences;
        QVERIFY(env->totals().check(&differences));
        QVERIFY(differences.isEmpty());
        QVERIFY(env->execute("ReportDates", {QDate(2026, 1, 1), QDate(2026, 12, 31)}));
        RowSet* dates = env->rowSet("rsReportDates");
        int total = 0;
        for (int i = 0; i < dates->rowCount(); ++i)
            total += dates->value(i, "Vsego").toInt();
        QCOMPARE(total, 4 * callsPerWriter);
    }

    // Three desks with the same mailing settings run the dispatch at once: one mail.
    void oneMailPerDueDispatchAcrossDesks()
    {
        KALVENT_REQUIRE_SMTP_TOOLS();
        SmtpTestServer server;
        QVERIFY2(server.start(m_dir.filePath("out"), {}), qPrintable(server.errorOutput()));
        const QString location = TestSupport::database({});
        const QString cli = qEnvironmentVariable("KALVENT_CLI");
        QVERIFY(QFileInfo::exists(cli));
        auto deskEnvironment = [&](int i) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            const QString home = m_dir.filePath(QString("desk%1").arg(i));
            environment.insert("HOME", home);
            environment.insert("XDG_CONFIG_HOME", home + "/config");
            environment.insert("XDG_DATA_HOME", home + "/data");
            return environment;
        };
        auto runCli = [&](int i, const QStringList& args) {
            QProcess process;
            process.setProcessEnvironment(deskEnvironment(i));
            process.start(cli, QStringList{"--database", location} + args);
            return process.waitForFinished(60000) && process.exitCode() == 0;
        };
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(runCli(i, {"account", "set", "--server", "127.0.0.1", "--port",
                               QString::number(server.port()), "--security", "none", "--from",
                               "kalvent@example.com"}));
            const QList<QStringList> settings{{"days", "7"},
                                              {"times", "00:00:00"},
                                              {"tems", QStringLiteral("Реклама")},
                                              {"senders", "boss@example.com"},
                                              {"nextdate", today}};
            for (const QStringList& setting : settings)
                QVERIFY(runCli(i, QStringList{"settings", "set"} + setting));
        }
        QList<QProcess*> dispatches;
        for (int i = 0; i < 3; ++i) {
            auto* process = new QProcess(this);
            process->setProcessEnvironment(deskEnvironment(i));
            process->start(cli, {"--database", location, "dispatch"});
            dispatches << process;
        }
        int mailed = 0;
        int elsewhere = 0;
        for (QProcess* process : std::as_const(dispatches)) {
            QVERIFY(process->waitForFinished(120000));
            const QString out = QString::fromUtf8(process->readAllStandardOutput());
            QVERIFY2(process->exitCode() == 0,
                     qPrintable(out + QString::fromUtf8(process->readAllStandardError())));
            mailed += out.contains(QRegularExpression(QStringLiteral("^Следующая отправка: "),
                                                      QRegularExpression::MultilineOption));
            elsewhere += out.contains(QStringLiteral("Отправлено с другого рабочего места"));
        }
        QCOMPARE(mailed, 1);
        QCOMPARE(elsewhere, 2);
        QTest::qWait(500);
        QCOMPARE(server.received().size(), 1);
        // Every desk has moved on to the same next date: nothing is due again.
        for (int i = 0; i < 3; ++i) {
            QProcess process;
            process.setProcessEnvironment(deskEnvironment(i));
            process.start(cli, {"--database", location, "dispatch"});
            QVERIFY(process.waitForFinished(60000));
            QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()),
                     QStringLiteral("Срок отправки не настал\n"));
        }
        QCOMPARE(server.received().size(), 1);
    }
};

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet("KALVENT_WRITER")) {
        QCoreApplication app(argc, argv);
        return writeCalls(qEnvironmentVariable("KALVENT_WRITER"),
                          qEnvironmentVariable("KALVENT_WRITER_DESK"));
    }
    QApplication app(argc, argv);
    TestDesks test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desks.moc"

// The owner's and the operators' rights on a server database, with real roles on the test
// server (skipped without it): through the command line as a process of its own, and through
// plain statements as the operator.
#include "CallJournal.h"
#include "CallStore.h"
#include "DataEnv.h"
#include "DispatchClaims.h"
#include "PostgresDialect.h"
#include "ReportKind.h"
#include "TestSupport.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

namespace {
struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// The roles of one test case: roles belong to the whole server, where tests run in parallel.
struct Roles
{
    QString owner;
    QString operators;
    QString deskA;
    QString deskB;

    explicit Roles(const QString& tag)
    {
        const QString suffix =
            QStringLiteral("%1_%2").arg(tag).arg(QCoreApplication::applicationPid());
        owner = "kv_owner_" + suffix;
        operators = "kv_ops_" + suffix;
        deskA = "kv_a_" + suffix;
        deskB = "kv_b_" + suffix;
    }
    QStringList all() const { return {deskA, deskB, operators, owner}; }
};
} // namespace

class TestServerRoles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_database; // the test case's database, as the server's superuser
    QString m_admin;    // the server's superuser
    QStringList m_connections;
    QStringList m_roles; // the case's roles, dropped after it
    int m_case = 0;

    QString as(const QString& role) const
    {
        QUrl url(m_database);
        url.setUserName(role);
        return url.toString();
    }

    // The command line as a process; each desk keeps its settings (its desk's name) apart.
    Run cli(const QString& role, const QString& desk, const QStringList& args)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", m_dir.filePath(desk + "/config"));
        environment.insert("XDG_DATA_HOME", m_dir.filePath(desk + "/data"));
        process.setProcessEnvironment(environment);
        process.start(qEnvironmentVariable("KALVENT_CLI"),
                      QStringList{"--database", as(role)} + args);
        Run run;
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
            return run;
        run.status = process.exitCode();
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    QSqlDatabase sql(const QString& role)
    {
        const QUrl url(m_database);
        const QString name =
            QStringLiteral("roles_%1_%2_%3").arg(m_case).arg(role).arg(m_connections.size());
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", name);
        db.setHostName(url.host());
        db.setPort(url.port());
        db.setUserName(role);
        db.setDatabaseName(url.path().mid(1));
        m_connections << name;
        return db;
    }

    // Runs a statement; empty when it ran, else the server's SQLSTATE.
    static QString state(QSqlDatabase& db, const QString& statement)
    {
        QSqlQuery query(db);
        return query.exec(statement) ? QString() : query.lastError().nativeErrorCode();
    }

    static QVariant scalar(QSqlDatabase& db, const QString& statement)
    {
        QSqlQuery query(db);
        return query.exec(statement) && query.next() ? query.value(0) : QVariant();
    }

    // The calls by number, oldest first, with their desks.
    QList<QPair<qint64, QString>> calls()
    {
        QSqlDatabase db = sql(m_admin);
        QList<QPair<qint64, QString>> rows;
        if (!db.open())
            return rows;
        QSqlQuery query(db);
        query.exec("SELECT ID, Pult FROM Base ORDER BY ID");
        while (query.next())
            rows << qMakePair(query.value(0).toLongLong(), query.value(1).toString());
        return rows;
    }

    // A database with the rights set, the lists filled by the owner, and operator A bound to
    // the desk "Пульт А"; operator B keeps the desk its settings name.
    void prepare(const Roles& roles)
    {
        m_roles = roles.all();
        QSqlDatabase admin = sql(m_admin);
        QVERIFY(admin.open());
        QCOMPARE(state(admin, QStringLiteral("CREATE ROLE %1 LOGIN").arg(roles.owner)), QString());
        // The superuser sets the rights; the owner's run again changes nothing.
        for (const QString& role : {m_admin, roles.owner}) {
            const Run init =
                cli(role, role,
                    {"server", "init", "--owner", roles.owner, "--operators", roles.operators});
            QVERIFY2(init.status == 0, qPrintable(init.err));
            QVERIFY2(init.out.contains(QStringLiteral("Права настроены")), qPrintable(init.out));
        }
        for (const QString& desk : {roles.deskA, roles.deskB})
            QCOMPARE(
                state(admin,
                      QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE %2").arg(desk, roles.operators)),
                QString());
        QCOMPARE(
            scalar(admin, "SELECT tableowner FROM pg_tables WHERE tablename = 'base'").toString(),
            roles.owner);
        QCOMPARE(
            state(admin,
                  QStringLiteral("INSERT INTO Pulty VALUES ('%1', 'Пульт А')").arg(roles.deskA)),
            QString());
        for (const QStringList& args :
             {QStringList{"service", "add", "Стрижка"}, QStringList{"source", "add", "Газета"},
              QStringList{"spend", "set", "--source", "Газета", "--month", "2026-03", "--amount",
                          "1500"}}) {
            const Run run = cli(roles.owner, "owner", args);
            QVERIFY2(run.status == 0, qPrintable(run.err));
        }
    }

    Run addCall(const QString& role, const QString& desk, const QString& time)
    {
        return cli(role, desk,
                   {"add", "--service", "Стрижка", "--source", "Газета", "--date", "2026-03-02",
                    "--time", time});
    }

    static bool refused(const Run& run)
    {
        return run.status == 1 && run.err.contains(QStringLiteral("нет прав"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        if (!TestSupport::onServer())
            QSKIP("runs on the test server only (KALVENT_TEST_DATABASE)");
        QVERIFY2(QFileInfo::exists(qEnvironmentVariable("KALVENT_CLI")), "KALVENT_CLI is unset");
    }

    void init()
    {
        ++m_case;
        m_database = TestSupport::database({});
        m_admin = QUrl(m_database).userName();
    }

    // Drops the case's roles, with what they own and were granted in its database.
    void cleanup()
    {
        for (const QString& name : std::as_const(m_connections))
            QSqlDatabase::removeDatabase(name);
        m_connections.clear();
        if (m_roles.isEmpty())
            return;
        {
            QSqlDatabase admin = sql(m_admin);
            QVERIFY(admin.open());
            for (const QString& role : std::as_const(m_roles))
                if (scalar(admin,
                           QStringLiteral("SELECT 1 FROM pg_roles WHERE rolname = '%1'").arg(role))
                        .isValid())
                    QCOMPARE(state(admin, "DROP OWNED BY " + role), QString());
            for (const QString& role : std::as_const(m_roles))
                QCOMPARE(state(admin, "DROP ROLE IF EXISTS " + role), QString());
        }
        m_roles.clear();
        for (const QString& name : std::as_const(m_connections))
            QSqlDatabase::removeDatabase(name);
        m_connections.clear();
    }

    void operatorAddsAndRemovesOnlyItsOwnNewestCall()
    {
        const Roles roles("calls");
        prepare(roles);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(addCall(roles.deskA, "a", "09:00:00").status == 0);
        QVERIFY(addCall(roles.deskB, "b", "09:30:00").status == 0);
        const Run added = addCall(roles.deskA, "a", "10:00:00");
        QVERIFY2(added.status == 0, qPrintable(added.err));
        const auto rows = calls();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].second, QStringLiteral("Пульт А")); // the bound desk, not the settings'
        QVERIFY(rows[1].second != QStringLiteral("Пульт А"));
        const QString id = QString::number(rows[2].first);

        // Another desk's call, and its own older one: refused; its newest: removed.
        QVERIFY(
            refused(cli(roles.deskA, "a", {"calls", "delete", QString::number(rows[1].first)})));
        QVERIFY(
            refused(cli(roles.deskA, "a", {"calls", "delete", QString::number(rows[0].first)})));
        QVERIFY(refused(cli(roles.deskA, "a", {"calls", "edit", id, "--time", "11:00:00"})));
        const Run removed = cli(roles.deskA, "a", {"calls", "delete", id});
        QVERIFY2(removed.status == 0, qPrintable(removed.err));
        QCOMPARE(calls().size(), 2);

        // The lists and the spend are the owner's.
        for (const QStringList& args : {QStringList{"service", "add", "Маникюр"},
                                        QStringList{"service", "rename", "Стрижка", "Бритьё"},
                                        QStringList{"source", "rename", "Газета", "Радио"},
                                        QStringList{"spend", "set", "--source", "Газета", "--month",
                                                    "2026-03", "--amount", "1"},
                                        QStringList{"check", "--repair"}}) {
            const Run run = cli(roles.deskB, "b", args);
            QVERIFY2(refused(run), qPrintable(args.join(' ') + ": " + run.err));
        }
        // The owner may all of it.
        QVERIFY(cli(roles.owner, "owner",
                    {"calls", "edit", QString::number(rows[1].first), "--time", "11:00:00"})
                    .status == 0);
        QVERIFY(cli(roles.owner, "owner", {"service", "rename", "Стрижка", "Бритьё"}).status == 0);
        QVERIFY(
            cli(roles.owner, "owner", {"calls", "delete", QString::number(rows[0].first)}).status ==
            0);
        QCOMPARE(calls().size(), 1);

        // A later version's upgrade replaces a function and adds a column: the operators are
        // refused until the rights are set again, and then write the new column too.
        QSqlDatabase owner = sql(roles.owner);
        QVERIFY(owner.open());
        QCOMPARE(state(owner, "ALTER FUNCTION kv_base_added() SECURITY INVOKER RESET ALL"),
                 QString());
        QCOMPARE(state(owner, "ALTER TABLE Base ADD COLUMN Primechanie TEXT"), QString());
        QVERIFY(cli(roles.owner, "owner", {"service", "add", "Стрижка"}).status == 0);
        const Run stale = addCall(roles.deskB, "b", "12:00:00");
        QVERIFY2(refused(stale), qPrintable(stale.err));
        const Run again =
            cli(roles.owner, "owner",
                {"server", "init", "--owner", roles.owner, "--operators", roles.operators});
        QVERIFY2(again.status == 0, qPrintable(again.err));
        QVERIFY(addCall(roles.deskB, "b", "12:00:00").status == 0);
        QSqlDatabase b = sql(roles.deskB);
        QVERIFY(b.open());
        const QString insert(
            "INSERT INTO Base (Data, Zapis, Primechanie) VALUES ('2026-03-04', 0, 'k')");
        QCOMPARE(state(b, insert), QStringLiteral("42501")); // with no desk's name
        QCOMPARE(state(b, "SELECT set_config('kalvent.desk', 'Пульт Б', false)"), QString());
        QCOMPARE(state(b, insert), QString());
        QCOMPARE(calls().size(), 3);
    }

    void plainStatementsOfAnOperatorAreRefused()
    {
        const Roles roles("sql");
        prepare(roles);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(addCall(roles.deskB, "b", "09:30:00").status == 0);
        QVERIFY(addCall(roles.deskA, "a", "10:00:00").status == 0);
        const auto rows = calls();
        QCOMPARE(rows.size(), 2);
        const QString deskOfB = rows[0].second;

        QSqlDatabase a = sql(roles.deskA);
        QVERIFY(a.open());
        // Naming itself after B does not make it B: the owner bound it to its desk.
        QCOMPARE(
            state(a, QStringLiteral("SELECT set_config('kalvent.desk', '%1', false)").arg(deskOfB)),
            QString());
        const QString denied = QStringLiteral("42501");
        for (const QString& statement : {
                 QStringLiteral("DELETE FROM Base WHERE ID = %1").arg(rows[0].first),
                 QStringLiteral("UPDATE Base SET Zapis = 1 WHERE ID = %1").arg(rows[1].first),
                 QStringLiteral("INSERT INTO Base (Data, usluga, Istochnik, Zapis) "
                                "VALUES ('2026-03-03', 'Стрижка', 'Газета', 0)"),
                 QStringLiteral(
                     "INSERT INTO Base (Data, Zapis, Pult) VALUES ('2026-03-03', 0, 'x')"),
                 QStringLiteral("INSERT INTO Base (Data, Zapis, KUsluga, KIstochnik) "
                                "VALUES ('2026-03-03', 0, 1, 1)"),
                 QStringLiteral("UPDATE Uslugi SET Uname = 'Бритьё'"),
                 QStringLiteral("DELETE FROM Uslugi"),
                 QStringLiteral("INSERT INTO IName (IName) VALUES ('Радио')"),
                 QStringLiteral("INSERT INTO Rashody (Istochnik, Mes, Kopeek) VALUES ('Газета', "
                                "'2026-04', 5)"),
                 QStringLiteral("UPDATE Rashody SET Kopeek = 0"),
                 QStringLiteral("UPDATE ItogDen SET Vsego = Vsego + 1"),
                 QStringLiteral("INSERT INTO ItogMes VALUES (1, 1, '2026-03', 5, 5)"),
                 QStringLiteral("SELECT kv_count('2026-03-02', '10:00:00', 1, 1, 0, 1)"),
                 QStringLiteral("DELETE FROM Izmeneniya"),
                 QStringLiteral("INSERT INTO Kluchi (Kluch) VALUES ('x')"),
                 QStringLiteral("INSERT INTO Pulty VALUES ('%1', 'x')").arg(roles.deskB),
                 QStringLiteral("DELETE FROM Pulty"),
                 QStringLiteral("TRUNCATE Base"),
                 QStringLiteral("INSERT INTO Rassylki VALUES ('2026-03-02', 'x@example.org', 'x')"),
             })
            QVERIFY2(state(a, statement) == denied, qPrintable(statement));
        // As itself, it adds a call and a claim, reads everything, and removes its newest call.
        QCOMPARE(state(a, "SELECT set_config('kalvent.desk', 'Пульт А', false)"), QString());
        QCOMPARE(state(a, "INSERT INTO Base (Data, usluga, Istochnik, Zapis) "
                          "VALUES ('2026-03-03', 'Стрижка', 'Газета', 1)"),
                 QString());
        QCOMPARE(state(a, "INSERT INTO Rassylki VALUES ('2026-03-02', 'x@example.org', 'Пульт А')"),
                 QString());
        QCOMPARE(scalar(a, "SELECT SUM(Vsego) FROM ItogMes WHERE Vid = 1").toInt(), 3);
        for (const char* table : {"Uslugi", "IName", "Kluchi", "ItogDen", "Rashody", "Izmeneniya",
                                  "Kalvent", "Rassylki"})
            QVERIFY2(scalar(a, QStringLiteral("SELECT COUNT(*) FROM ") + table).isValid(), table);
        QCOMPARE(scalar(a, "SELECT COUNT(*) FROM Base").toInt(), 3);
        QCOMPARE(state(a, "DELETE FROM Base WHERE ID = (SELECT MAX(ID) FROM Base)"), QString());
        QCOMPARE(scalar(a, "SELECT COUNT(*) FROM Base").toInt(), 2);
        QCOMPARE(scalar(a, "SELECT SUM(Vsego) FROM ItogMes WHERE Vid = 1").toInt(), 2);
        QCOMPARE(scalar(a, "SELECT COUNT(*) FROM Izmeneniya WHERE NovData IS NULL").toInt(), 1);

        // The owner may all of it.
        QSqlDatabase owner = sql(roles.owner);
        QVERIFY(owner.open());
        for (const QString& statement :
             {QStringLiteral("UPDATE Uslugi SET Uname = 'Бритьё'"),
              QStringLiteral("UPDATE Rashody SET Kopeek = 0"),
              QStringLiteral("UPDATE Base SET Zapis = 1 WHERE ID = %1").arg(rows[1].first),
              QStringLiteral("DELETE FROM Base WHERE ID = %1").arg(rows[0].first)})
            QVERIFY2(state(owner, statement).isEmpty(), qPrintable(statement));
    }

    void operatorsReadTheSameReportsAndSeeTheirRights()
    {
        const Roles roles("reports");
        prepare(roles);
        if (QTest::currentTestFailed())
            return;
        for (const char* time : {"08:15:00", "12:40:00", "17:05:00"}) {
            QVERIFY(addCall(roles.deskA, "a", time).status == 0);
            QVERIFY(addCall(roles.deskB, "b", time).status == 0);
        }
        for (const QString& kind : ReportKind::cliNames()) {
            const QStringList args{"report", kind,         "--from",   "2026-03-01",
                                   "--to",   "2026-03-31", "--format", "json"};
            const Run asOwner = cli(roles.owner, "owner", args);
            const Run asOperator = cli(roles.deskB, "b", args);
            QVERIFY2(asOwner.status == 0 && asOperator.status == 0,
                     qPrintable(asOwner.err + asOperator.err));
            QVERIFY2(asOwner.out.contains("\"total\""), qPrintable(asOwner.out));
            QCOMPARE(asOperator.out, asOwner.out);
        }
        for (const QStringList& args :
             {QStringList{"calls", "list", "--format", "csv"}, QStringList{"calls", "log"},
              QStringList{"spend", "list"}, QStringList{"check"}}) {
            const Run asOwner = cli(roles.owner, "owner", args);
            const Run asOperator = cli(roles.deskA, "a", args);
            QVERIFY2(asOwner.status == 0 && asOperator.status == 0,
                     qPrintable(args.join(' ') + asOwner.err + asOperator.err));
            QCOMPARE(asOperator.out, asOwner.out);
        }

        // The program learns its rights at connection; an operator's desk removes only its
        // own newest call, and claims dispatches under its name.
        DataEnv owner(as(roles.owner), std::make_unique<PostgresDialect>("owner"));
        DataEnv operatorA(as(roles.deskA), std::make_unique<PostgresDialect>("settings' name"));
        QVERIFY2(owner.connect(), qPrintable(owner.errorText()));
        QVERIFY2(operatorA.connect(), qPrintable(operatorA.errorText()));
        QVERIFY(owner.ownerRights());
        QVERIFY(!operatorA.ownerRights());
        const auto page = operatorA.journal().page({}, JournalKey{}, 10);
        QVERIFY(page && page->size() == 6);
        QVector<CallRecord> newestOfA;
        QVector<CallRecord> others;
        for (const CallRecord& record : *page)
            (newestOfA.isEmpty() && record.desk == QStringLiteral("Пульт А") ? newestOfA : others)
                << record;
        QCOMPARE(newestOfA.size(), 1);
        QVERIFY(operatorA.journal().operatorMayRemove(newestOfA));
        for (const CallRecord& record : std::as_const(others))
            QVERIFY(!operatorA.journal().operatorMayRemove({record}));
        QVERIFY(!operatorA.journal().operatorMayRemove(*page));
        bool mine = false;
        QVERIFY2(operatorA.claims().claim("2026-03-02 09:00", "x@example.org", &mine),
                 qPrintable(operatorA.claims().errorText()));
        QVERIFY(mine);
        QVERIFY(operatorA.calls().remove({newestOfA.first().id}));
        QVERIFY(!operatorA.calls().remove({others.first().id}));
        QVERIFY2(operatorA.calls().errorText().contains(QStringLiteral("нет прав")),
                 qPrintable(operatorA.calls().errorText()));
    }
};

QTEST_MAIN(TestServerRoles)
#include "tst_serverroles.moc"

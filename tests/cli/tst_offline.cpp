// Calls a desk keeps while its server is away, and their transfer when it is back, on a
// PostgreSQL server of the test's own that it stops as a crash would and starts again.
#include "AppPaths.h"
#include "CallRegister.h"
#include "DataEnv.h"
#include "KeptCalls.h"
#include "ListStore.h"
#include "RowSet.h"
#include "TestSupport.h"
#include "TotalsStore.h"

#include <QPointer>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {
const QDate firstDay(2026, 11, 2);

// The n-th call of a test: a date and a time of its own, so each is found on the server.
Call nthCall(int n)
{
    return Call{firstDay.addDays(n % 20), QStringLiteral("Маникюр"),
                n % 2 ? QStringLiteral("Интернет") : QStringLiteral("Газета"), n % 3 == 0,
                QTime(8, 0).addSecs(n * 61)};
}

// Forwards connections to the server; when armed, cuts every connection at the server's
// n-th reply with a given tag (the server has committed, the desk never hears it) and stops
// listening until told to listen again.
class CuttingProxy : public QObject
{
public:
    explicit CuttingProxy(quint16 target) : m_target(target) {}

    // Run in the proxy's own thread.
    bool listen(quint16 port)
    {
        if (!m_server) {
            m_server = new QTcpServer(this);
            connect(m_server, &QTcpServer::newConnection, this, &CuttingProxy::accept);
        }
        return m_server->listen(QHostAddress::LocalHost, port);
    }
    quint16 port() const { return m_port; }
    void setPort(quint16 port) { m_port = port; }
    // Cuts at the n-th reply that holds `tag` (a finished command's tag).
    void armAt(const QByteArray& tag, int n)
    {
        m_tag = tag;
        m_seen = 0;
        m_cutAt = n;
    }
    int cuts() const { return m_cuts; }
    // The network goes: every connection is cut and none is taken.
    void goDown() { cutAll(); }

private:
    void accept()
    {
        while (QTcpSocket* desk = m_server->nextPendingConnection()) {
            auto* server = new QTcpSocket(this);
            server->connectToHost(QHostAddress::LocalHost, m_target);
            connect(desk, &QTcpSocket::readyRead, server,
                    [desk, server] { server->write(desk->readAll()); });
            connect(server, &QTcpSocket::readyRead, desk, [this, desk, server] {
                const QByteArray reply = server->readAll();
                if (m_cutAt > 0 && reply.contains(m_tag) && ++m_seen == m_cutAt) {
                    cutAll();
                    return;
                }
                desk->write(reply);
            });
            for (QTcpSocket* end : {desk, server})
                connect(end, &QTcpSocket::disconnected, this, [desk, server] {
                    desk->disconnectFromHost();
                    server->disconnectFromHost();
                });
            m_open << desk << server;
        }
    }
    void cutAll()
    {
        m_cutAt = 0;
        ++m_cuts;
        m_server->close();
        for (QTcpSocket* socket : std::as_const(m_open))
            if (socket)
                socket->abort();
        m_open.clear();
    }

    quint16 m_target;
    quint16 m_port = 0;
    QTcpServer* m_server = nullptr;
    QList<QPointer<QTcpSocket>> m_open;
    QByteArray m_tag;
    int m_seen = 0;
    int m_cutAt = 0;
    int m_cuts = 0;
};

// The proxy in a thread of its own, so that the desk's blocking calls in the test's thread go
// through it; back in the test's thread, with its connections closed, when this ends.
class ProxyThread
{
public:
    explicit ProxyThread(quint16 target) : m_proxy(target)
    {
        m_proxy.moveToThread(&m_thread);
        m_thread.start();
    }
    ~ProxyThread()
    {
        QThread* here = QThread::currentThread();
        run([&] { m_proxy.moveToThread(here); });
        m_thread.quit();
        m_thread.wait();
    }
    ProxyThread(const ProxyThread&) = delete;
    ProxyThread& operator=(const ProxyThread&) = delete;

    template <typename Work> void run(Work work)
    {
        QMetaObject::invokeMethod(&m_proxy, work, Qt::BlockingQueuedConnection);
    }
    // Listens on its port (any free one the first time).
    bool listen()
    {
        bool listening = false;
        run([&] {
            listening = m_proxy.listen(m_proxy.port());
            if (listening && m_proxy.port() == 0)
                m_proxy.setPort(m_proxy.findChild<QTcpServer*>()->serverPort());
        });
        return listening;
    }
    // `location` on the server, reached through the proxy.
    QString through(const QString& location, quint16 target)
    {
        QString proxied = location;
        quint16 port = 0;
        run([&] { port = m_proxy.port(); });
        proxied.replace(QStringLiteral(":%1/").arg(target), QStringLiteral(":%1/").arg(port));
        return proxied;
    }
    CuttingProxy& proxy() { return m_proxy; }

private:
    QThread m_thread;
    CuttingProxy m_proxy;
};
} // namespace

class TestOffline : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_state;
    QString m_server; // postgresql://USER@127.0.0.1:PORT/
    int m_databases = 0;

    bool server(const QString& action)
    {
        const QString script =
            qEnvironmentVariable("KALVENT_SOURCE_DIR") + "/tests/support/pg-server.sh";
        return QProcess::execute("sh", {script, action, m_state}) == 0;
    }

    // A new empty database on the test's server, by its location.
    QString newDatabase()
    {
        const QUrl url(m_server);
        const QString name = QStringLiteral("offline%1").arg(++m_databases);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "admin");
            db.setHostName(url.host());
            db.setPort(url.port());
            db.setUserName(url.userName());
            db.setDatabaseName("postgres");
            if (!db.open() || !QSqlQuery(db).exec("CREATE DATABASE " + name))
                return {};
            db.close();
        }
        QSqlDatabase::removeDatabase("admin");
        return m_server + name;
    }

    // Makes `location` the program's database, with the lists the calls name, read once while
    // the server is there (so that the desk keeps a copy of them).
    CallRegister* useDatabase(const QString& location)
    {
        AppPaths::overrideDatabasePath(location);
        auto* env = new DataEnv(location);
        DataEnv::setInstance(env);
        if (!env->connect() || !env->lists().add("Uslugi", QStringLiteral("Маникюр")) ||
            !env->lists().add("Istochnik", QStringLiteral("Газета")) || !env->bind("Uslugi") ||
            !env->bind("Istochnik"))
            return nullptr;
        m_register = std::make_unique<CallRegister>(env);
        m_register->copyLists();
        return m_register.get();
    }

    // A new database, reached through `proxy`, made the program's: *direct is its location,
    // *location the one through the proxy.
    CallRegister* useThroughProxy(ProxyThread& proxy, QString* direct, QString* location)
    {
        *direct = newDatabase();
        if (!proxy.listen() || direct->isEmpty())
            return nullptr;
        *location = proxy.through(*direct, quint16(QUrl(m_server).port()));
        return useDatabase(*location);
    }

    // Adds calls `from` up to `to` through the window's code while the server is away: each
    // is kept at the desk.
    static bool addKept(CallRegister* calls, int from, int to)
    {
        for (int n = from; n < to; ++n) {
            const Call call = nthCall(n);
            if (calls->add(call.date, call.service, call.source, call.booked, call.time) !=
                CallRegister::AddResult::Kept)
                return false;
        }
        return true;
    }

    static QString cli() { return qEnvironmentVariable("KALVENT_CLI"); }

    static int runCli(const QString& location, const QStringList& args, QString* out = nullptr,
                      QString* err = nullptr)
    {
        QProcess process;
        process.start(cli(), QStringList{"--database", location} + args);
        if (!process.waitForFinished(120000))
            return -1;
        if (out)
            *out = QString::fromUtf8(process.readAllStandardOutput());
        if (err)
            *err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // The calls on the server: how many, how many distinct keys, and whether every expected
    // call (by date, time and names) is there exactly once.
    static bool serverHas(const QString& location, int expected, QString* problem)
    {
        DataEnv env(location);
        if (!env.connect()) {
            *problem = env.errorText();
            return false;
        }
        QSqlQuery query(env.database().connection());
        if (!query.exec("SELECT COUNT(*), COUNT(DISTINCT Kluch), COUNT(DISTINCT (Data, Vrem)) "
                        "FROM Base") ||
            !query.next()) {
            *problem = query.lastError().text();
            return false;
        }
        const QString counts = QStringLiteral("%1 %2 %3")
                                   .arg(query.value(0).toInt())
                                   .arg(query.value(1).toInt())
                                   .arg(query.value(2).toInt());
        if (counts != QStringLiteral("%1 %1 %1").arg(expected)) {
            *problem = "calls, keys, distinct moments: " + counts;
            return false;
        }
        QList<TotalsDifference> differences;
        if (!env.totals().check(&differences) || !differences.isEmpty()) {
            *problem = QStringLiteral("totals differ from the calls");
            return false;
        }
        for (int n = 0; n < expected; ++n) {
            const Call call = nthCall(n);
            QSqlQuery one(env.database().connection());
            one.prepare("SELECT COUNT(*) FROM Base WHERE Data = ? AND Vrem = ? AND usluga = ? "
                        "AND Istochnik = ? AND Zapis = ?");
            for (const QVariant& value :
                 {QVariant(call.date.toString(Qt::ISODate)),
                  QVariant(call.time.toString("HH:mm:ss")), QVariant(call.service),
                  QVariant(call.source), QVariant(call.booked ? 1 : 0)})
                one.addBindValue(value);
            if (!one.exec() || !one.next() || one.value(0).toInt() != 1) {
                *problem = QStringLiteral("call %1 is not there once").arg(n);
                return false;
            }
        }
        return true;
    }

    std::unique_ptr<CallRegister> m_register;

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        QVERIFY(!cli().isEmpty());
        m_state = m_dir.filePath("server");
        QVERIFY(server("start"));
        QFile url(m_state + "/url");
        QVERIFY(url.open(QIODevice::ReadOnly));
        m_server = QString::fromUtf8(url.readAll()).trimmed();
        QVERIFY(m_server.startsWith("postgresql://"));
    }

    void cleanupTestCase()
    {
        m_register.reset();
        DataEnv::setInstance(nullptr);
        server("stop");
    }

    // The server stops as in a crash: 50 calls from the window's code and 50 from the command
    // line are kept at the desk; once it is back, each of the 100 arrives once, with its date
    // and time. Meanwhile "Удалить предыдущий" takes back the newest kept call.
    void callsKeptWhileAwayArriveOnceEach()
    {
        const QString location = newDatabase();
        QVERIFY(!location.isEmpty());
        CallRegister* calls = useDatabase(location);
        QVERIFY(calls);
        QVERIFY(server("halt"));
        QVERIFY(addKept(calls, 0, 50));
        for (int n = 50; n < 100; ++n) {
            const Call call = nthCall(n);
            QStringList args{"add",      "--service",
                             "маникюр", // as the copy of the list writes it once stored
                             "--source", call.source,
                             "--date",   call.date.toString(Qt::ISODate),
                             "--time",   call.time.toString("HH:mm:ss")};
            if (call.booked)
                args << "--booked";
            QString err;
            QCOMPARE(runCli(location, args, nullptr, &err), 0);
            QVERIFY2(err.contains(QString::fromUtf8(CallRegister::keptText)), qPrintable(err));
        }
        // A name the lists never had is refused while the server is away.
        QCOMPARE(runCli(location, {"add", "--service", "Педикюр", "--source", "Газета"}), 1);

        // The newest call of the desk is a kept one: it is the one taken back.
        QCOMPARE(calls->add(firstDay, "Маникюр", "Газета", true, QTime(23, 59, 59)),
                 CallRegister::AddResult::Kept);
        QCOMPARE(calls->waitingCount(), 101);
        QCOMPARE(calls->removePrevious([] { return true; }), CallRegister::RemoveResult::Removed);
        QCOMPARE(calls->waitingCount(), 100);

        QString out;
        QCOMPARE(runCli(location, {"sync", "--status"}, &out), 0);
        QVERIFY2(out.contains("Ожидают передачи на сервер: 100") &&
                     out.contains("Дата самого раннего: " + firstDay.toString(Qt::ISODate)),
                 qPrintable(out));
        QString err;
        QCOMPARE(runCli(location, {"sync"}, nullptr, &err), 1);
        QVERIFY2(err.contains(CallRegister::waitingText(100)), qPrintable(err));

        QVERIFY(server("resume"));
        QVERIFY2(calls->transfer(), qPrintable(calls->errorText()));
        QCOMPARE(calls->waitingCount(), 0);
        QString problem;
        QVERIFY2(serverHas(location, 100, &problem), qPrintable(problem));
        // Sent again (a second program of the desk, a retry), nothing arrives twice.
        QVERIFY(calls->transfer());
        QCOMPARE(runCli(location, {"sync"}), 0);
        QVERIFY2(serverHas(location, 100, &problem), qPrintable(problem));
    }

    // A transfer killed after the server committed a call and before the desk forgot it: the
    // next one finds that call there, and sends the rest; none is lost or doubled.
    void killedTransferLosesNothingAndDoublesNothing()
    {
        const QString location = newDatabase();
        QVERIFY(!location.isEmpty());
        CallRegister* calls = useDatabase(location);
        QVERIFY(calls);
        QVERIFY(server("halt"));
        QVERIFY(addKept(calls, 0, 20));
        QVERIFY(server("resume"));

        const QString flag = m_dir.filePath("paused");
        QProcess sync;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("KALVENT_TEST_TRANSFER_PAUSE", "7:" + flag);
        sync.setProcessEnvironment(environment);
        sync.start(cli(), {"--database", location, "sync"});
        QVERIFY(sync.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(flag), 120000);
        sync.kill(); // SIGKILL
        QVERIFY(sync.waitForFinished());
        QCOMPARE(sync.exitStatus(), QProcess::CrashExit);

        QString problem;
        QVERIFY2(serverHas(location, 7, &problem), qPrintable(problem));
        QCOMPARE(calls->waitingCount(), 14); // the seventh is on the server and still here

        QString out;
        QCOMPARE(runCli(location, {"sync"}, &out), 0);
        QVERIFY2(out.contains("Передано на сервер: 14"), qPrintable(out));
        QCOMPARE(calls->waitingCount(), 0);
        QVERIFY2(serverHas(location, 20, &problem), qPrintable(problem));
    }

    // The network drops every connection just as the server commits the fifth call, and stays
    // down: the transfer stops with the calls left waiting; the retry sends the rest, the
    // fifth one included only once.
    void connectionCutMidTransferThenRetryCompletes()
    {
        const quint16 target = quint16(QUrl(m_server).port());
        ProxyThread proxy(target);
        const auto closeFirst = qScopeGuard([&] {
            m_register.reset();
            DataEnv::setInstance(nullptr);
        });
        QString direct;
        QString location;
        CallRegister* calls = useThroughProxy(proxy, &direct, &location);
        QVERIFY(calls);
        proxy.run([&] { proxy.proxy().goDown(); });
        QVERIFY(addKept(calls, 0, 30));
        QVERIFY(proxy.listen());
        proxy.run([&] { proxy.proxy().armAt(QByteArrayLiteral("COMMIT\0"), 5); });

        QString err;
        QCOMPARE(runCli(location, {"sync"}, nullptr, &err), 1);
        int cuts = 0;
        proxy.run([&] { cuts = proxy.proxy().cuts(); });
        QCOMPARE(cuts, 2);
        QString problem;
        QVERIFY2(serverHas(direct, 5, &problem), qPrintable(problem));
        QCOMPARE(calls->waitingCount(), 26); // the fifth is on the server and still here

        QVERIFY(proxy.listen());
        QCOMPARE(runCli(location, {"sync"}), 0);
        QCOMPARE(calls->waitingCount(), 0);
        QVERIFY2(serverHas(direct, 30, &problem), qPrintable(problem));
    }

    // An add from the window whose connection drops once the server has committed it: the
    // desk never hears so and keeps the call, but the server, which has it, does not take it
    // a second time.
    void addCutAfterTheServerCommittedIsStoredOnce()
    {
        const quint16 target = quint16(QUrl(m_server).port());
        ProxyThread proxy(target);
        const auto closeFirst = qScopeGuard([&] {
            m_register.reset();
            DataEnv::setInstance(nullptr);
        });
        QString direct;
        QString location;
        CallRegister* calls = useThroughProxy(proxy, &direct, &location);
        QVERIFY(calls);
        proxy.run([&] { proxy.proxy().armAt(QByteArrayLiteral("INSERT 0 1\0"), 1); });

        const Call call = nthCall(0);
        QCOMPARE(calls->add(call.date, call.service, call.source, call.booked, call.time),
                 CallRegister::AddResult::Kept);
        QString problem;
        QVERIFY2(serverHas(direct, 1, &problem), qPrintable(problem));
        QCOMPARE(calls->waitingCount(), 1);

        QVERIFY(proxy.listen());
        QVERIFY2(calls->transfer(), qPrintable(calls->errorText()));
        QCOMPARE(calls->waitingCount(), 0);
        QVERIFY2(serverHas(direct, 1, &problem), qPrintable(problem));
    }
};

QTEST_MAIN(TestOffline)
#include "tst_offline.moc"

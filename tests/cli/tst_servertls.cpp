// Encrypted connections to a server: the connection parameters of a postgresql:// location
// reach the server's client library. A server with TLS only (its certificate signed by an
// authority that the fixture made) and the plain test server.
#include "CliRunner.h"
#include "DataEnv.h"
#include "DatabaseLocation.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>
#include <QtTest>

class TestServerTls : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_tlsServer; // postgresql://USER@HOST:PORT/ of the server with TLS
    QString m_rootCertificate;
    QString m_otherRootCertificate;

    static QString encoded(const QString& path)
    {
        return QString::fromLatin1(QUrl::toPercentEncoding(path));
    }

    // The TLS server's database `name`, verified against `root`.
    QString verified(const QString& name, const QString& root) const
    {
        return m_tlsServer + name + "?sslmode=verify-full&sslrootcert=" + encoded(root);
    }

    static bool encrypted(DataEnv& env)
    {
        QSqlQuery query(env.database().connection());
        return query.exec("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()") &&
               query.next() && query.value(0).toBool();
    }

    int cli(const QStringList& args, QString* err)
    {
        QString out;
        QTextStream outStream(&out);
        QTextStream errStream(err);
        QBuffer in;
        in.open(QIODevice::ReadOnly);
        const int status = CliRunner(outStream, errStream, &in).run(args);
        errStream.flush();
        DataEnv::setInstance(nullptr);
        return status;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        const QString state = qEnvironmentVariable("KALVENT_TEST_TLS_STATE");
        if (state.isEmpty() || !TestSupport::onServer()) {
            if (qEnvironmentVariableIsSet("CI"))
                QFAIL("the servers of this test are missing (ctest starts them)");
            QSKIP("needs the test servers (KALVENT_TEST_TLS_STATE, KALVENT_TEST_DATABASE)");
        }
        QFile url(state + "/url");
        QVERIFY(url.open(QIODevice::ReadOnly));
        m_tlsServer = QString::fromUtf8(url.readAll()).trimmed();
        // The authority's certificate at a path with a blank, a quote and Cyrillic letters:
        // the parameter is percent-decoded and passed whole.
        const QString folder = m_dir.filePath(QStringLiteral("корни o'доверия"));
        QVERIFY(QDir().mkpath(folder));
        m_rootCertificate = folder + "/root.crt";
        m_otherRootCertificate = folder + "/other-root.crt";
        QVERIFY(QFile::copy(state + "/root.crt", m_rootCertificate));
        QVERIFY(QFile::copy(state + "/other-root.crt", m_otherRootCertificate));
    }

    void verifiedServerGivesAnEncryptedConnection()
    {
        DataEnv env(verified("postgres", m_rootCertificate));
        QVERIFY2(env.connect(), qPrintable(env.errorText()));
        QVERIFY(encrypted(env));
        QVERIFY(env.execute("AddNew", {QDate(2026, 12, 1), QStringLiteral("Стрижка"),
                                       QStringLiteral("Интернет"), true, QTime(9, 0)}));
    }

    void wrongRootCertificateIsRefused()
    {
        const QString location = verified("postgres", m_otherRootCertificate);
        DataEnv env(location);
        QVERIFY(!env.connect());
        const QString error = env.errorText();
        QVERIFY2(error.contains(DatabaseLocation(location).serverName()), qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("сертификат сервера не прошёл проверку")),
                 qPrintable(error));
        QVERIFY2(!error.contains("sslrootcert="), qPrintable(error));
    }

    void cleartextServerIsRefusedWhenTlsIsRequired()
    {
        const QString plain = TestSupport::database({});
        DataEnv env(plain + "?sslmode=require&connect_timeout=5");
        QVERIFY(!env.connect());
        QVERIFY2(env.errorText().contains(QStringLiteral("не принимает шифрованных соединений")),
                 qPrintable(env.errorText()));
        DataEnv unencrypted(plain + "?sslmode=disable");
        QVERIFY2(unencrypted.connect(), qPrintable(unencrypted.errorText()));
        QVERIFY(!encrypted(unencrypted));
    }

    // The server of the README: cleartext over the network is turned away there too.
    void tlsServerTurnsAwayCleartext()
    {
        DataEnv env(m_tlsServer + "postgres?sslmode=disable");
        QVERIFY(!env.connect());
        QVERIFY2(env.errorText().contains("pg_hba.conf"), qPrintable(env.errorText()));
    }

    void unknownOrWrongParametersAreRefusedByName()
    {
        const QString server = m_tlsServer + "postgres";
        const QList<std::pair<QString, QString>> refused{
            {"?sslmode=verify-full&application_name=x", "application_name"},
            {"?sslmode=require&password=secret", QStringLiteral("пароль")},
            {"?sslmode=verify-fully", "verify-fully"},
            {"?sslmode=require&sslmode=disable", QStringLiteral("дважды")},
            {"?connect_timeout=soon", "connect_timeout"},
            {"?sslrootcert=", "sslrootcert"},
        };
        for (const auto& [query, named] : refused) {
            DataEnv env(server + query);
            QVERIFY2(!env.connect(), qPrintable(query));
            QVERIFY2(env.errorText().contains(named), qPrintable(env.errorText()));
            QVERIFY2(env.errorText().contains(DatabaseLocation(server).serverName()),
                     qPrintable(env.errorText()));
            QVERIFY2(!env.errorText().contains("secret"), qPrintable(env.errorText()));
        }
    }

    // The command line keeps the parameters of --database and of copy's locations.
    void commandLineKeepsTheParameters()
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", "tls-admin");
        {
            const QUrl url(m_tlsServer);
            admin.setHostName(url.host());
            admin.setPort(url.port());
            admin.setUserName(url.userName());
            admin.setDatabaseName("postgres");
            admin.setConnectOptions("sslmode=require");
            QVERIFY(admin.open());
            QSqlQuery query(admin);
            QVERIFY(query.exec("DROP DATABASE IF EXISTS kalvent_copy"));
            QVERIFY(query.exec("CREATE DATABASE kalvent_copy"));
        }
        admin.close();
        admin = QSqlDatabase();
        QSqlDatabase::removeDatabase("tls-admin");

        const QString file = m_dir.filePath("KvBD.db");
        QString err;
        QCOMPARE(cli({"--database", file, "add", "--service", QStringLiteral("Стрижка"), "--source",
                      QStringLiteral("Интернет"), "--add-missing"},
                     &err),
                 0);
        err.clear();
        QCOMPARE(
            cli({"copy", "--from", file, "--to", verified("kalvent_copy", m_otherRootCertificate)},
                &err),
            1);
        QVERIFY2(err.contains(QStringLiteral("сертификат сервера")), qPrintable(err));
        err.clear();
        const QString target = verified("kalvent_copy", m_rootCertificate);
        QCOMPARE(cli({"copy", "--from", file, "--to", target}, &err), 0);
        err.clear();
        QCOMPARE(cli({"--database", target, "add", "--service", QStringLiteral("Стрижка"),
                      "--source", QStringLiteral("Интернет")},
                     &err),
                 0);
        DataEnv env(target);
        QVERIFY2(env.connect(), qPrintable(env.errorText()));
        QVERIFY(encrypted(env));
        QSqlQuery count(env.database().connection());
        QVERIFY(count.exec("SELECT COUNT(*) FROM Base") && count.next());
        QCOMPARE(count.value(0).toInt(), 2);
    }
};

QTEST_MAIN(TestServerTls)
#include "tst_servertls.moc"

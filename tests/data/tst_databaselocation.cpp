#include "DatabaseLocation.h"

#include <QtTest>

// A file path or a server URL, read as the connection will use it; what cannot be used is
// refused with the reason.
class TestDatabaseLocation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filePathIsNoServer()
    {
        const DatabaseLocation file(QStringLiteral("/home/оператор/Kalvent data/KvBD.db"));
        QVERIFY(!file.isServer());
        QVERIFY(file.isValid());
        QCOMPARE(file.text(), QStringLiteral("/home/оператор/Kalvent data/KvBD.db"));
    }

    void serverUrlWithParameters()
    {
        const DatabaseLocation server(
            "postgresql://kal%20vent@db.example.com:6543/calls?sslmode=verify-full&"
            "sslrootcert=/etc/ssl/my%20root.crt&connect_timeout=10");
        QVERIFY2(server.isValid(), qPrintable(server.errorText()));
        QVERIFY(server.isServer());
        QCOMPARE(server.user(), QString("kal vent"));
        QCOMPARE(server.host(), QString("db.example.com"));
        QCOMPARE(server.port(), 6543);
        QCOMPARE(server.databaseName(), QString("calls"));
        const QMap<QString, QString> expected{{"sslmode", "verify-full"},
                                              {"sslrootcert", "/etc/ssl/my root.crt"},
                                              {"connect_timeout", "10"}};
        QCOMPARE(server.parameters(), expected);
        QCOMPARE(server.serverName(), QString("db.example.com:6543/calls"));
        QCOMPARE(DatabaseLocation("postgres://u@h/d").serverName(), QString("h:5432/d"));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("reason");
        const QString password = QStringLiteral("пароль не пишется в адрес");
        QTest::newRow("password") << "postgresql://kalvent:p%40ss%3Aw%2Frd@h/d" << password;
        QTest::newRow("password parameter") << "postgresql://u@h/d?password=x" << password;
        QTest::newRow("no database") << "postgresql://u@h/" << QStringLiteral("должен иметь вид");
        QTest::newRow("path") << "postgresql://u@h/d/e" << QStringLiteral("должен иметь вид");
        QTest::newRow("unknown") << "postgresql://u@h/d?application_name=x"
                                 << QStringLiteral("«application_name» не поддерживается");
        QTest::newRow("twice") << "postgresql://u@h/d?sslmode=require&sslmode=disable"
                               << QStringLiteral("указан дважды");
        QTest::newRow("empty") << "postgresql://u@h/d?sslmode=" << QStringLiteral("нет значения");
        QTest::newRow("mode") << "postgresql://u@h/d?sslmode=always"
                              << QStringLiteral("недопустимое значение sslmode «always»");
        QTest::newRow("timeout") << "postgresql://u@h/d?connect_timeout=5s"
                                 << QStringLiteral("числом секунд");
        QTest::newRow("semicolon") << "postgresql://u@h/d?sslkey=a%3Bhost%3Devil"
                                   << QStringLiteral("не может содержать «;»");
    }
    void refused()
    {
        QFETCH(QString, location);
        QFETCH(QString, reason);
        const DatabaseLocation server(location);
        QVERIFY(server.isServer());
        QVERIFY(!server.isValid());
        QVERIFY2(server.errorText().contains(reason), qPrintable(server.errorText()));
        QVERIFY(server.parameters().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDatabaseLocation)
#include "tst_databaselocation.moc"

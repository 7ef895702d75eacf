#include "FailureText.h"

#include <QtTest>
#include <cerrno>
#include <cstring>

// A system's failure told in Russian, with the technical text kept beside it.
class TestFailureText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void systemTextsInRussian_data()
    {
        QTest::addColumn<QString>("technical");
        QTest::addColumn<QString>("words");
        QTest::newRow("ENOSPC") << QString::fromLocal8Bit(strerror(ENOSPC))
                                << QStringLiteral("на диске нет места");
        QTest::newRow("SQLite full")
            << "database or disk is full" << QStringLiteral("на диске нет места");
        QTest::newRow("EACCES") << QString::fromLocal8Bit(strerror(EACCES))
                                << QStringLiteral("нет прав доступа");
        QTest::newRow("SQLite locked")
            << "database is locked" << QStringLiteral("база данных занята другой программой");
        // The failed check of a certificate before any other certificate trouble.
        QTest::newRow("certificate")
            << "SSL error: certificate verify failed"
            << QStringLiteral("сертификат сервера не прошёл проверку: он не подписан корневым "
                              "сертификатом, которому доверяет этот компьютер (sslrootcert)");
        QTest::newRow("unknown") << "something odd" << QString();
    }
    void systemTextsInRussian()
    {
        QFETCH(QString, technical);
        QFETCH(QString, words);
        QCOMPARE(FailureText::russian(technical), words);
    }

    void composed()
    {
        const QString full = QString::fromLocal8Bit(strerror(ENOSPC));
        QCOMPARE(FailureText::compose(QStringLiteral("Отчёт не записан"), full),
                 QStringLiteral("Отчёт не записан: на диске нет места.\n") + full);
        QCOMPARE(FailureText::compose(QStringLiteral("Отчёт не записан"), "odd", "сбой"),
                 QStringLiteral("Отчёт не записан: сбой.\nodd"));
        QCOMPARE(FailureText::compose(QStringLiteral("Отчёт не записан"), QString()),
                 QStringLiteral("Отчёт не записан: ошибка."));
    }
};

QTEST_GUILESS_MAIN(TestFailureText)
#include "tst_failuretext.moc"

#include "AppPaths.h"
#include "CliRunner.h"
#include "DataEnv.h"
#include "TestSupport.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

class TestCliCheck : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_db;
    QString m_out;
    QString m_err;

    int run(const QStringList& args)
    {
        m_out.clear();
        m_err.clear();
        QTextStream out(&m_out);
        QTextStream err(&m_err);
        CliRunner runner(out, err);
        const int status = runner.run(QStringList{"--database", m_db} + args);
        out.flush();
        err.flush();
        return status;
    }

    void sql(const QString& statement)
    {
        QVERIFY(DataEnv::instance()->connect());
        QSqlQuery q(DataEnv::instance()->database().connection());
        QVERIFY2(q.exec(statement), qPrintable(q.lastError().text()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        m_db = TestSupport::database(m_dir.filePath("check.db"));
    }

    void cleanup()
    {
        DataEnv::setInstance(nullptr);
        AppPaths::overrideDatabasePath({});
    }

    // Totals changed behind the program's back are found, named, and rebuilt by --repair.
    void findsAndRepairsWhatDiffers()
    {
        const QString csv = m_dir.filePath("calls.csv");
        QFile file(csv);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("Data;usluga;Istochnik;Zapis\n"
                                  "2026-11-30;Маникюр;интернет;1\n"
                                  "2026-12-01;маникюр;Газета;0\n"
                                  "2026-12-01;Стрижка;Газета;1\n")
                       .toUtf8());
        file.close();
        QCOMPARE(run({"service", "add", QStringLiteral("Маникюр")}), 0);
        QCOMPARE(run({"import", csv, "--add-missing"}), 0);
        QCOMPARE(run({"add", "--service", QStringLiteral("МАНИКЮР"), "--source",
                      QStringLiteral("Интернет"), "--booked", "--date", "2026-12-01"}),
                 0);
        QCOMPARE(run({"check"}), 0);
        QCOMPARE(m_out, QStringLiteral("Итоги сходятся со звонками.\n"));
        QCOMPARE(run({"report", "by-date", "--from", "2026-11-01", "--to", "2026-12-31"}), 0);
        const QString byDate = m_out;

        sql("UPDATE ItogDen SET Vsego = Vsego + 1 WHERE Vid = 4 AND Data = '2026-12-01'");
        sql("DELETE FROM ItogMes WHERE Vid = 3");
        sql("UPDATE Base SET KIstochnik = KUsluga WHERE Istochnik = 'Газета' AND usluga = "
            "'Стрижка'");
        QCOMPARE(run({"check"}), 1);
        const QStringList lines = m_out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.contains(QStringLiteral(
                     "by-date 2026-12-01: хранится звонков 4 / записей 2, подсчитано 3 / 2")),
                 qPrintable(m_out));
        QVERIFY2(lines.contains(QStringLiteral("internet «маникюр» месяц 2026-11: хранится "
                                               "звонков 0 / записей 0, подсчитано 1 / 1")),
                 qPrintable(m_out));
        QVERIFY2(lines.contains(QStringLiteral("звонок 3 от 2026-12-01 (Стрижка / Газета): его "
                                               "ключи означают стрижка / стрижка, а названия "
                                               "дают стрижка / газета")),
                 qPrintable(m_out));
        QVERIFY(m_err.contains("check --repair"));

        QCOMPARE(run({"check", "--repair"}), 0);
        QVERIFY(
            m_out.endsWith(QStringLiteral("Итоги перестроены по звонкам и сходятся с ними.\n")));
        QCOMPARE(run({"check"}), 0);
        QCOMPARE(run({"report", "by-date", "--from", "2026-11-01", "--to", "2026-12-31"}), 0);
        QCOMPARE(m_out, byDate);
        QCOMPARE(run({"report", "internet", "--from", "2026-11-01", "--to", "2026-12-31",
                      "--format", "csv"}),
                 0);
        QVERIFY2(m_out.contains(QStringLiteral("Маникюр;2;2")), qPrintable(m_out));

        // Bookings that differ where the calls agree, in a day's and in a month's total.
        sql("UPDATE ItogDen SET Zapis = 0 WHERE Vid = 1 AND Data = '2026-12-01' AND Kl = "
            "(SELECT ID FROM Kluchi WHERE Kluch = 'газета')");
        sql("UPDATE ItogMes SET Zapis = Zapis + 5 WHERE Vid = 2 AND Mes = '2026-11' AND Kl = "
            "(SELECT ID FROM Kluchi WHERE Kluch = 'маникюр')");
        QCOMPARE(run({"check"}), 1);
        QCOMPARE(m_out.split('\n', Qt::SkipEmptyParts),
                 QStringList({QStringLiteral("by-source «газета» 2026-12-01: хранится звонков 2 / "
                                             "записей 0, подсчитано 2 / 1"),
                              QStringLiteral("by-service «маникюр» месяц 2026-11: хранится звонков "
                                             "1 / записей 6, подсчитано 1 / 1")}));
        QCOMPARE(run({"check", "--repair"}), 0);
        QCOMPARE(run({"check"}), 0);

        QCOMPARE(run({"check", "extra"}), 2);
        QCOMPARE(run({"check", "--help"}), 0);
        QVERIFY(m_out.startsWith(QStringLiteral("использование: kalvent-cli check")));
    }
};

QTEST_MAIN(TestCliCheck)
#include "tst_clicheck.moc"

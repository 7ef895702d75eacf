#include "CliRunner.h"
#include "DataEnv.h"
#include "RegisterContents.h"
#include "RowSet.h"
#include "TestSupport.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>
#include <tuple>

class TestCliCopy : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_out;
    QString m_err;

    int run(const QStringList& args)
    {
        m_out.clear();
        m_err.clear();
        QTextStream out(&m_out);
        QTextStream err(&m_err);
        CliRunner runner(out, err);
        const int status = runner.run(args);
        out.flush();
        err.flush();
        DataEnv::setInstance(nullptr);
        return status;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    // A file to the test engine's database and back to a new file: the same register exactly.
    void roundTripKeepsTheRegisterExactly()
    {
        const QString source = m_dir.filePath("source.db");
        {
            DataEnv env(source);
            QVERIFY(env.connect());
            for (const QString& name :
                 {QStringLiteral("Стрижка"), QStringLiteral("Маникюр"), QStringLiteral("маникюр")})
                QVERIFY(env.bind("Uslugi")->addRow("Uname", name));
            for (const QString& name : {QStringLiteral("Газета"), QStringLiteral("Ёлка")})
                QVERIFY(env.bind("Istochnik")->addRow("IName", name));
            const QStringList services{QStringLiteral("Стрижка"), QStringLiteral("МАНИКЮР"),
                                       QStringLiteral("Педикюр")};
            const QStringList sources{QStringLiteral("ИНТЕРНЕТ"), QStringLiteral("газета"),
                                      QStringLiteral("ёлка"), QStringLiteral("Радио")};
            for (int i = 0; i < 600; ++i)
                QVERIFY(env.execute("AddNew", {QDate(2024, 1, 1).addDays(i * 2),
                                               services.at(i % services.size()),
                                               sources.at(i % sources.size()), i % 3 == 0,
                                               i % 7 ? QTime(8, 0).addSecs(i * 61) : QTime()}));
            QSqlQuery spend(env.database().connection());
            QVERIFY(spend.prepare(env.database().dialect().addSpend()));
            for (const auto& [name, month, kopecks] :
                 {std::tuple{"Газета", "2024-01", 1500050LL}, std::tuple{"ЁЛКА", "2024-02", 1LL}}) {
                spend.addBindValue(QString::fromUtf8(name));
                spend.addBindValue(QString::fromLatin1(month));
                spend.addBindValue(kopecks);
                QVERIFY2(spend.exec(), qPrintable(spend.lastError().text()));
            }
            RowSet* last = env.rowSet("rsBase");
            QVERIFY(last->open() && last->moveLast() && last->deleteCurrent());
        }
        const QString middle = TestSupport::database(m_dir.filePath("middle.db"));
        const QString back = m_dir.filePath("back.db");
        QCOMPARE(run({"copy", "--from", source, "--to", middle}), 0);
        QCOMPARE(m_out, QStringLiteral("Скопировано звонков: 599\n"));
        QCOMPARE(run({"copy", "--from", middle, "--to", back}), 0);
        const QStringList before = RegisterContents::read(source);
        QVERIFY(before.size() > 1000);
        QCOMPARE(RegisterContents::read(middle), before);
        QCOMPARE(RegisterContents::read(back), before);
        QCOMPARE(run({"--database", middle, "check"}), 0);

        // A target that holds calls is refused and left as it was.
        QCOMPARE(run({"copy", "--from", back, "--to", middle}), 2);
        QVERIFY2(m_err.contains(QStringLiteral("уже есть звонки")), qPrintable(m_err));
        QCOMPARE(RegisterContents::read(middle), before);
        QCOMPARE(run({"copy", "--from", back}), 2);
    }
};

QTEST_MAIN(TestCliCopy)
#include "tst_clicopy.moc"

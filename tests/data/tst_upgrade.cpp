#include "DataEnv.h"
#include "RowSet.h"
#include "TestSupport.h"
#include "TotalsStore.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs statements on a file through a connection of its own, which stays open until
// close() so that a test can keep a file's last changes in its write-ahead log.
class RawFile
{
public:
    explicit RawFile(const QString& path) : m_name("raw-" + path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawFile() { close(); }

    bool exec(const QString& sql)
    {
        QSqlQuery q(QSqlDatabase::database(m_name));
        if (!q.exec(sql))
            qWarning() << sql << q.lastError().text();
        return !q.lastError().isValid();
    }
    QVariant value(const QString& sql)
    {
        QSqlQuery q(QSqlDatabase::database(m_name));
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }
    void close()
    {
        if (!QSqlDatabase::contains(m_name))
            return;
        QSqlDatabase::database(m_name).close();
        QSqlDatabase::removeDatabase(m_name);
    }

private:
    QString m_name;
};

// A file as the program's first version left it: three tables, the date index, no keys.
void writeFirstLayout(RawFile& file)
{
    for (const char* sql : {
             "PRAGMA journal_mode=WAL",
             "CREATE TABLE Base (ID INTEGER PRIMARY KEY, Data TEXT NOT NULL, usluga TEXT, "
             "Istochnik TEXT, Zapis INTEGER NOT NULL DEFAULT 0, Vrem TEXT)",
             "CREATE INDEX Base_Data ON Base (Data)",
             "CREATE TABLE Uslugi (ID INTEGER PRIMARY KEY, Uname TEXT)",
             "CREATE TABLE IName (ID INTEGER PRIMARY KEY, IName TEXT)",
             "INSERT INTO IName (IName) VALUES ('Интернет'), ('Газета')",
             "INSERT INTO Uslugi (Uname) VALUES ('Маникюр'), ('Стрижка'), ('маникюр')",
             "INSERT INTO Base (Data, usluga, Istochnik, Zapis, Vrem) VALUES "
             "('2026-11-30', 'маникюр', 'ИНТЕРНЕТ', 1, '10:00:00'), "
             "('2026-12-01', 'Маникюр', 'газета', 0, '10:05:00'), "
             "('2026-12-01', 'Стрижка', 'Интернет', 1, '11:00:00'), "
             "('2027-01-02', 'СТРИЖКА', 'Радио', 0, '12:00:00')",
         })
        QVERIFY(file.exec(QString::fromUtf8(sql)));
}

struct Row
{
    QString key;
    int calls;
    int booked;
    bool operator==(const Row& o) const
    {
        return key == o.key && calls == o.calls && booked == o.booked;
    }
};

QList<Row> report(DataEnv& env, const QString& command, const QVariantList& period)
{
    QList<Row> rows;
    if (!env.execute(command, period))
        return {{env.errorText(), -1, -1}};
    RowSet* set = env.rowSet("rs" + command);
    const bool byDate = command == "ReportDates";
    for (int i = 0; i < set->rowCount(); ++i)
        rows << Row{byDate ? set->value(i, "Data").toDate().toString(Qt::ISODate)
                           : set->value(i, 0).toString(),
                    set->value(i, byDate ? "Vsego" : "Zvonkov").toInt(),
                    set->value(i, "Zapis").toInt()};
    set->close();
    return rows;
}

} // namespace

class TestUpgrade : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_round = 0;
    QString m_path;

    void expectRefused(const QString& reasonPart)
    {
        const QByteArray before = readAll(m_path);
        DataEnv env(m_path);
        QVERIFY(!env.connect());
        QVERIFY2(env.errorText().contains(m_path), qPrintable(env.errorText()));
        QVERIFY2(env.errorText().contains(reasonPart), qPrintable(env.errorText()));
        QCOMPARE(readAll(m_path), before);
        QVERIFY(QDir(m_dir.path()).entryList({"*.bak"}).isEmpty());
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void init()
    {
        m_path = QDir(m_dir.path()).filePath(QString("round%1/KvBD.db").arg(++m_round));
        QDir().mkpath(QFileInfo(m_path).absolutePath());
    }

    void firstLayoutIsUpgradedInPlaceAfterACopy()
    {
        RawFile old(m_path);
        writeFirstLayout(old); // left in the write-ahead log: the old program still has it open
        {
            DataEnv env(m_path);
            QVERIFY2(env.connect(), qPrintable(env.errorText()));
            QCOMPARE(env.database().version(), env.database().dialect().schemaVersion());
            const QVariantList winter{QDate(2026, 11, 1), QDate(2027, 1, 31), QDate(2026, 11, 1),
                                      QDate(2027, 1, 31)};
            QCOMPARE(
                report(env, "ReportkolVoZv", winter),
                QList<Row>({{QStringLiteral("Интернет"), 2, 2}, {QStringLiteral("Газета"), 1, 0}}));
            QCOMPARE(
                report(env, "ReportKolvoUsl", winter),
                QList<Row>({{QStringLiteral("Маникюр"), 2, 1}, {QStringLiteral("Стрижка"), 2, 1}}));
            QCOMPARE(
                report(env, "ReportInternet", winter),
                QList<Row>({{QStringLiteral("Маникюр"), 1, 1}, {QStringLiteral("Стрижка"), 1, 1}}));
            QCOMPARE(report(env, "ReportDates", {QDate(2026, 12, 1), QDate(2027, 1, 2)}),
                     QList<Row>({{"2026-12-01", 2, 1}, {"2027-01-02", 1, 0}}));
            QList<TotalsDifference> differences;
            QVERIFY(env.totals().check(&differences));
            QCOMPARE(differences.size(), 0);

            // The upgraded file takes calls as before.
            QVERIFY(env.execute("AddNew", {QDate(2027, 1, 2), QStringLiteral("стрижка"),
                                           QStringLiteral("интернет"), true, QTime(13, 0)}));
            QCOMPARE(report(env, "ReportInternet", winter).last(),
                     Row({QStringLiteral("Стрижка"), 2, 2}));
            RowSet* base = env.rowSet("rsBase");
            QVERIFY(base->open() && base->moveLast() && base->deleteCurrent());
            base->close();
            QCOMPARE(report(env, "ReportInternet", winter).last(),
                     Row({QStringLiteral("Стрижка"), 1, 1}));
        }
        old.close();

        // The copy beside it is the file as it was, write-ahead log included.
        const QString copy = m_path + ".v0.bak";
        QVERIFY(QFile::exists(copy));
        {
            RawFile before(copy);
            QCOMPARE(before.value("PRAGMA user_version").toInt(), 0);
            QCOMPARE(before.value("SELECT COUNT(*) FROM Base").toInt(), 4);
            QCOMPARE(
                before.value("SELECT group_concat(name) FROM pragma_table_info('Base')").toString(),
                QString("ID,Data,usluga,Istochnik,Zapis,Vrem"));
            QCOMPARE(
                before.value("SELECT COUNT(*) FROM sqlite_master WHERE name = 'ItogDen'").toInt(),
                0);
        }

        // Opening the upgraded file again copies nothing.
        QVERIFY(QFile::remove(copy));
        DataEnv again(m_path);
        QVERIFY(again.connect());
        QVERIFY(!QFile::exists(copy));
    }

    void fileOfANewerVersionIsRefusedUntouched()
    {
        {
            DataEnv env(m_path);
            QVERIFY(env.connect());
        }
        {
            RawFile file(m_path);
            QVERIFY(file.exec("PRAGMA user_version = 4"));
        }
        expectRefused(QStringLiteral("более новой версией Kalvent"));
    }

    void fileMarkedAsAnotherProgramsIsRefusedUntouched()
    {
        {
            RawFile file(m_path);
            writeFirstLayout(file);
            QVERIFY(file.exec("PRAGMA application_id = 1"));
        }
        expectRefused(QStringLiteral("другой программе"));
    }

    void copyThatCannotBeWrittenStopsTheUpgrade()
    {
        {
            RawFile file(m_path);
            writeFirstLayout(file);
        }
        const QString copy = m_path + ".v0.bak";
        QVERIFY(QDir().mkpath(copy + "/in-the-way"));
        const QByteArray before = readAll(m_path);
        DataEnv env(m_path);
        QVERIFY(!env.connect());
        QVERIFY2(env.errorText().contains(copy), qPrintable(env.errorText()));
        QCOMPARE(readAll(m_path), before);
        QVERIFY(!QFile::exists(copy + ".part"));
    }
};

QTEST_MAIN(TestUpgrade)
#include "tst_upgrade.moc"

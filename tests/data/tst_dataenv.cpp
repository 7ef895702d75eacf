#include "CallStore.h"
#include "DataEnv.h"
#include "ListStore.h"
#include "RowSet.h"
#include "SqliteDialect.h"
#include "TestSupport.h"

#include <QComboBox>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {
struct Row
{
    QString name;
    int calls;
    int booked;
    bool operator==(const Row& o) const
    {
        return name == o.name && calls == o.calls && booked == o.booked;
    }
};

QList<Row> rows(RowSet* set, const QString& nameColumn, const QString& bookedColumn = "zapis")
{
    QList<Row> result;
    for (int i = 0; i < set->rowCount(); ++i)
        result << Row{set->value(i, nameColumn).toString(), set->value(i, "Zvonkov").toInt(),
                      set->value(i, bookedColumn).toInt()};
    return result;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class TestDataEnv : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<DataEnv> m_env;
    const QDate d1{2026, 11, 30};
    const QDate d2{2026, 12, 1};
    const QDate d3{2026, 12, 6};

    QString m_location;

    QString path() const { return m_dir.filePath("KvBD.db"); }
    void call(const QDate& date, const QString& service, const QString& source, bool booked)
    {
        QVERIFY2(m_env->calls().add(Call{date, service, source, booked, QTime(10, 15, 30)}),
                 qPrintable(m_env->calls().errorText()));
    }
    void addService(const QString& name) { QVERIFY(m_env->bind("Uslugi")->addRow("Uname", name)); }
    void addSource(const QString& name)
    {
        QVERIFY(m_env->bind("Istochnik")->addRow("IName", name));
    }
    int scalar(const QString& sql)
    {
        QSqlQuery q(m_env->database().connection());
        return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void init()
    {
        QFile::remove(path());
        QFile::remove(path() + "-wal");
        QFile::remove(path() + "-shm");
        m_location = TestSupport::database(path());
        m_env = std::make_unique<DataEnv>(m_location);
        QVERIFY2(m_env->connect(), qPrintable(m_env->errorText()));
    }

    void cleanup() { m_env.reset(); }

    void newDatabaseHasTablesAndOnlyTheInternetSource()
    {
        RowSet* sources = m_env->bind("Istochnik");
        QCOMPARE(sources->rowCount(), 1);
        QCOMPARE(sources->value(0, "iname").toString(), QStringLiteral("Интернет"));
        QCOMPARE(m_env->bind("Uslugi")->rowCount(), 0);
        QCOMPARE(scalar("SELECT COUNT(*) FROM Base"), 0);

        // Reopening an existing file adds nothing.
        m_env.reset();
        m_env = std::make_unique<DataEnv>(m_location);
        QCOMPARE(m_env->bind("Istochnik")->rowCount(), 1);
    }

    // Names match letter case aside through the engine's kv_fold(): the same full Unicode fold
    // as the program's own (QString::toCaseFolded) for every character, on every engine.
    void namesFoldTheSameOnEveryEngine()
    {
        QSqlQuery fold(m_env->database().connection());
        QVERIFY(fold.prepare("SELECT kv_fold(?)"));
        auto check = [&fold](const QString& text) {
            fold.addBindValue(text);
            QVERIFY2(fold.exec() && fold.next(), qPrintable(fold.lastError().text()));
            const QString folded = fold.value(0).toString();
            if (folded == text.toCaseFolded())
                return;
            const QList<uint> got = folded.toUcs4();
            const QList<uint> expected = text.toCaseFolded().toUcs4();
            qsizetype at = 0;
            while (at < got.size() && at < expected.size() && got.at(at) == expected.at(at))
                ++at;
            QFAIL(qPrintable(QStringLiteral("fold differs at U+%1: got U+%2, expected U+%3")
                                 .arg(text.toUcs4().value(at), 4, 16, QChar('0'))
                                 .arg(got.value(at), 4, 16, QChar('0'))
                                 .arg(expected.value(at), 4, 16, QChar('0'))));
        };
        for (const QString& words :
             {QStringLiteral("ЁЛКА Ёлка ёлка ИНТЕРНЕТ Интернет"), QStringLiteral("ΟΔΟΣ ΣΟΦΟΣ"),
              QStringLiteral("İstanbul DİYARBAKIR"), QStringLiteral("STRASSE Straße ẞ ſ µ K")})
            check(words);
        QString chunk;
        for (char32_t code = 1; code < 0x110000; ++code) {
            // Surrogates and noncharacters are not text (the file engine's UTF-8 path
            // replaces noncharacters).
            if ((code >= 0xD800 && code < 0xE000) || (code >= 0xFDD0 && code <= 0xFDEF) ||
                (code & 0xFFFE) == 0xFFFE)
                continue;
            chunk += QString::fromUcs4(&code, 1);
            if (chunk.size() >= 4096 || code == 0x10FFFF) {
                check(chunk);
                chunk.clear();
            }
        }

        addSource(QStringLiteral("ёлка"));
        call(d2, "A", QStringLiteral("ЁЛКА"), true);
        call(d2, "A", QStringLiteral("ИНТЕРНЕТ"), false);
        QCOMPARE(m_env->lists().callsUsing("Istochnik", QStringLiteral("Ёлка")), 1);
        QCOMPARE(m_env->lists().callsUsing("Istochnik", QStringLiteral("интернет")), 1);
    }

    void addNewStoresTypedValues()
    {
        call(d2, QStringLiteral(" Стрижка "), QStringLiteral("Газета"), true);
        call(d2, QStringLiteral("Стрижка"), QStringLiteral("Газета"), false);
        QSqlQuery q(m_env->database().connection());
        QVERIFY(q.exec("SELECT Data, usluga, Istochnik, Zapis, Vrem FROM Base ORDER BY ID"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("2026-12-01"));
        QCOMPARE(q.value(1).toString(), QStringLiteral(" Стрижка ")); // names are not trimmed
        QCOMPARE(q.value(3).toInt(), 1);
        QCOMPARE(q.value(4).toString(), QStringLiteral("10:15:30"));
        QVERIFY(q.next());
        QCOMPARE(q.value(3).toInt(), 0);
    }

    void perSourceReportCountsCaseInsensitivelyWithInclusiveBounds()
    {
        addSource(QStringLiteral("Газета"));
        addSource(QStringLiteral("Радио"));
        call(d1, "A", QStringLiteral("ИНТЕРНЕТ"), true);  // start bound
        call(d3, "A", QStringLiteral("интернет"), false); // end bound
        call(d2, "A", QStringLiteral("гАЗЕТА"), true);
        call(d1.addDays(-1), "A", QStringLiteral("Газета"), true); // before the period
        call(d3.addDays(1), "A", QStringLiteral("Газета"), true);  // after the period
        call(d2, "A", QStringLiteral("Телевизор"), true);          // in no list

        QVERIFY(m_env->execute("ReportkolVoZv", {d1, d3, d1, d3}));
        RowSet* report = m_env->rowSet("rsReportkolVoZv");
        QVERIFY(report->isOpen());
        QCOMPARE(report->columns(), QStringList({"IName", "Zvonkov", "zapis"}));
        const QList<Row> expected{{QStringLiteral("Интернет"), 2, 1},
                                  {QStringLiteral("Газета"), 1, 1},
                                  {QStringLiteral("Радио"), 0, 0}};
        QCOMPARE(rows(report, "IName"), expected);

        // The per-date report counts the call whose source is in no list.
        QVERIFY(m_env->execute("ReportDates", {d1, d3}));
        RowSet* dates = m_env->rowSet("rsReportDates");
        int total = 0;
        for (int i = 0; i < dates->rowCount(); ++i)
            total += dates->value(i, "Vsego").toInt();
        QCOMPARE(total, 4);
    }

    void duplicateNamesGiveOneRowCountingAllCalls()
    {
        addService(QStringLiteral("Маникюр"));
        addService(QStringLiteral("Педикюр"));
        addService(QStringLiteral("маникюр"));
        addService(QStringLiteral("Маникюр"));
        call(d2, QStringLiteral("МАНИКЮР"), "x", true);
        call(d2, QStringLiteral("Маникюр"), "x", false);
        QVERIFY(m_env->execute("ReportKolvoUsl", {d1, d3, d1, d3}));
        const QList<Row> expected{{QStringLiteral("Маникюр"), 2, 1},
                                  {QStringLiteral("Педикюр"), 0, 0}};
        QCOMPARE(rows(m_env->rowSet("rsReportKolvoUsl"), "Uname"), expected);
    }

    void internetReportCountsOnlyInternetCalls()
    {
        addService(QStringLiteral("Маникюр"));
        addService(QStringLiteral("Педикюр"));
        call(d2, QStringLiteral("Маникюр"), QStringLiteral("интернет"), true);
        call(d2, QStringLiteral("Маникюр"), QStringLiteral("Интернет"), false);
        call(d2, QStringLiteral("Маникюр"), QStringLiteral("Газета"), true);
        call(d2, QStringLiteral("Маникюр"), QStringLiteral("Интернет "), true); // other name
        QVERIFY(m_env->execute("ReportInternet", {d2, d2, d2, d2}));
        const QList<Row> expected{{QStringLiteral("Маникюр"), 2, 1},
                                  {QStringLiteral("Педикюр"), 0, 0}};
        QCOMPARE(rows(m_env->rowSet("rsReportInternet"), "Uname"), expected);
    }

    // The Internet report counts its source by that name: renaming it is refused unless only the
    // letter case changes, and nothing changes; another source may still merge into it.
    void internetSourceKeepsItsName()
    {
        addService(QStringLiteral("Маникюр"));
        addSource(QStringLiteral("Сайт"));
        call(d2, QStringLiteral("Маникюр"), QStringLiteral("Интернет"), true);
        call(d2, QStringLiteral("Маникюр"), QStringLiteral("сайт"), false);
        ListStore& lists = m_env->lists();
        RowSet* sources = m_env->bind("Istochnik");
        for (const QString& other : {QStringLiteral("Сайт 2"), QStringLiteral("сайт")}) {
            QVERIFY(!lists.rename("Istochnik", 0, other));
            QVERIFY(lists.refused());
            QVERIFY2(lists.errorText().contains(QStringLiteral("отчет по звонкам из интернета")),
                     qPrintable(lists.errorText()));
        }
        QCOMPARE(sources->value(0, "IName").toString(), QStringLiteral("Интернет"));
        QCOMPARE(scalar("SELECT COUNT(*) FROM Base WHERE Istochnik = 'Интернет'"), 1);
        QCOMPARE(scalar("SELECT COUNT(*) FROM IName"), 2);

        QVERIFY2(lists.rename("Istochnik", 0, QStringLiteral("ИНТЕРНЕТ")),
                 qPrintable(lists.errorText()));
        QString mergedInto;
        QVERIFY2(lists.rename("Istochnik", 1, QStringLiteral(" интернет"), &mergedInto),
                 qPrintable(lists.errorText()));
        QCOMPARE(mergedInto, QStringLiteral("ИНТЕРНЕТ"));
        QVERIFY(m_env->execute("ReportInternet", {d2, d2, d2, d2}));
        const QList<Row> expected{{QStringLiteral("Маникюр"), 2, 1}};
        QCOMPARE(rows(m_env->rowSet("rsReportInternet"), "Uname"), expected);
    }

    void separatePairsBoundAllAndBookedCalls()
    {
        call(d1, "A", QStringLiteral("Интернет"), true);
        call(d3, "A", QStringLiteral("Интернет"), true);
        // Calls over d1..d3, bookings over d3 only.
        QVERIFY(m_env->execute("ReportkolVoZv", {d1, d3, d3, d3}));
        QCOMPARE(rows(m_env->rowSet("rsReportkolVoZv"), "IName"),
                 QList<Row>({{QStringLiteral("Интернет"), 2, 1}}));
    }

    void reversedPeriodGivesZeroRowsAndNoDates()
    {
        addService("A");
        call(d2, "A", QStringLiteral("Интернет"), true);
        QVERIFY(m_env->execute("ReportkolVoZv", {d3, d1, d3, d1}));
        QCOMPARE(rows(m_env->rowSet("rsReportkolVoZv"), "IName"),
                 QList<Row>({{QStringLiteral("Интернет"), 0, 0}}));
        QVERIFY(m_env->execute("ReportKolvoUsl", {d3, d1, d3, d1}));
        QCOMPARE(rows(m_env->rowSet("rsReportKolvoUsl"), "Uname"), QList<Row>({{"A", 0, 0}}));
        QVERIFY(m_env->execute("ReportDates", {d3, d1}));
        QCOMPARE(m_env->rowSet("rsReportDates")->rowCount(), 0);
        QVERIFY(m_env->rowSet("rsReportDates")->isOpen());
    }

    void emptySourceListGivesNoRows()
    {
        call(d2, "A", QStringLiteral("Интернет"), true);
        RowSet* sources = m_env->bind("Istochnik");
        QVERIFY(m_env->execute("DelIst", {sources->value(0, "ID")}));
        QVERIFY(m_env->execute("ReportkolVoZv", {d1, d3, d1, d3}));
        QCOMPARE(m_env->rowSet("rsReportkolVoZv")->rowCount(), 0);
    }

    void datesReportGroupsByDateInOrder()
    {
        call(d3, "A", "x", false);
        call(d2, "A", "x", true);
        call(d2, "B", "y", false);
        call(d1.addDays(-1), "B", "y", false);
        QVERIFY(m_env->execute("ReportDates", {d1, d3}));
        RowSet* dates = m_env->rowSet("rsReportDates");
        QCOMPARE(dates->rowCount(), 2);
        QCOMPARE(dates->value(0, "data").toDate(), d2); // a QDate, not text
        QCOMPARE(dates->value(0, "Vsego").toInt(), 2);
        QCOMPARE(dates->value(0, "Zapis").toInt(), 1);
        QCOMPARE(dates->value(1, "Data").toDate(), d3);
        QCOMPARE(dates->value(1, "Zapis").toInt(), 0);

        // One day: exactly the calls of that day.
        QVERIFY(m_env->execute("ReportDates", {d3, d3}));
        QCOMPARE(dates->rowCount(), 1);
        QCOMPARE(dates->value(0, "Vsego").toInt(), 1);
    }

    void fractionalStartExcludesItsDay()
    {
        call(d1, "A", QStringLiteral("Интернет"), true);
        call(d2, "A", QStringLiteral("Интернет"), true);
        const QDateTime from(d1, QTime(12, 0));
        QVERIFY(m_env->execute("ReportDates", {from, d3}));
        QCOMPARE(m_env->rowSet("rsReportDates")->rowCount(), 1);
        QCOMPARE(m_env->rowSet("rsReportDates")->value(0, "Data").toDate(), d2);
        QVERIFY(m_env->execute("ReportkolVoZv", {QDateTime(d1, QTime(0, 0)), d3, from, d3}));
        QCOMPARE(rows(m_env->rowSet("rsReportkolVoZv"), "IName"),
                 QList<Row>({{QStringLiteral("Интернет"), 2, 1}}));
    }

    void failedCommandLeavesRowSetClosed()
    {
        QVERIFY(m_env->execute("ReportDates", {d1, d3}));
        QVERIFY(!m_env->execute("ReportDates", {d1}));
        QVERIFY(!m_env->rowSet("rsReportDates")->isOpen());
        QVERIFY(!m_env->errorText().isEmpty());

        QSqlQuery drop(m_env->database().connection());
        QVERIFY(drop.exec("DROP TABLE Base"));
        QVERIFY(!m_env->execute("ReportDates", {d1, d3}));
        QVERIFY(!m_env->rowSet("rsReportDates")->isOpen());
        QVERIFY(!m_env->execute("AddNew", {d1, "A", "B", false, QTime(1, 2, 3)}));
        QVERIFY(m_env->errorText().contains("Base"));
        QVERIFY(!m_env->execute("NoSuchCommand"));
    }

    void removeLastTakesTheNewestAddedWhateverItsDate()
    {
        CallStore& calls = m_env->calls();
        bool asked = false;
        const auto agree = [&asked] {
            asked = true;
            return true;
        };
        QCOMPARE(calls.removeLast(agree), CallStore::Removal::NothingToRemove);
        QVERIFY(!asked);

        call(d3, "first", "x", false);
        call(d1, "second", "x", false); // earlier date, added later
        call(d2, "third", "x", false);
        QCOMPARE(calls.removeLast([] { return false; }), CallStore::Removal::Cancelled);
        QCOMPARE(scalar("SELECT COUNT(*) FROM Base"), 3);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(calls.removeLast(agree), CallStore::Removal::Removed);
            QVERIFY(!m_env->rowSet("rsBase")->isOpen());
        }
        QCOMPARE(scalar("SELECT COUNT(*) FROM Base"), 1);
        QCOMPARE(scalar("SELECT COUNT(*) FROM Base WHERE usluga = 'first'"), 1);
        // A call added after a removal is again the newest.
        call(d1, "fourth", "x", false);
        QCOMPARE(calls.removeLast(agree), CallStore::Removal::Removed);
        QCOMPARE(scalar("SELECT COUNT(*) FROM Base WHERE usluga = 'first'"), 1);
    }

    void rowSetsAreSharedAndAppendAtTheEnd()
    {
        RowSet* services = m_env->bind("Uslugi");
        QCOMPARE(m_env->rowSet("RSUSLUGI"), services);
        QCOMPARE(m_env->bind("uslugi"), services);
        QComboBox first, second;
        for (QComboBox* combo : {&first, &second}) {
            combo->setModel(services);
            combo->setModelColumn(services->columnIndex("Uname"));
        }
        addService(QStringLiteral("Маникюр"));
        addService(QStringLiteral("Маникюр")); // duplicates are kept
        addService(QStringLiteral("Стрижка"));
        QCOMPARE(first.count(), 3);
        QCOMPARE(second.itemText(2), QStringLiteral("Стрижка"));
        QVERIFY(services->value(2, "ID").toInt() > services->value(1, "ID").toInt());
        QCOMPARE(scalar("SELECT COUNT(*) FROM Uslugi"), 3);

        // A report set cannot take rows.
        QVERIFY(m_env->execute("ReportDates", {d1, d3}));
        QVERIFY(!m_env->rowSet("rsReportDates")->addRow("Data", d1));
    }

    void bindingAReportRunsNothing()
    {
        RowSet* dates = m_env->bind("ReportDates");
        QVERIFY(!dates->isOpen()); // never given a period
        call(d2, "A", "x", true);
        QVERIFY(m_env->execute("ReportDates", {d1, d3}));
        dates->close();
        // Its period is given by whoever runs it, never taken over from an earlier run.
        QCOMPARE(m_env->bind("ReportDates"), dates);
        QVERIFY(!dates->isOpen());
        QVERIFY(m_env->execute("ReportDates", {d3, d3}));
        QCOMPARE(dates->rowCount(), 0);
    }

    void addManyIsAllOrNothing()
    {
        QVector<Call> batch;
        for (int i = 0; i < 10; ++i)
            batch << Call{d2, "A", "x", i % 2 == 0, QTime(9, 0)};
        QVERIFY(m_env->calls().addMany(batch));
        QCOMPARE(scalar("SELECT COUNT(*) FROM Base"), 10);
        // A call the database refuses (a call needs its date): a file finds it at once, a
        // server with its batch at the end.
        batch.insert(5, Call{QDate(), "A", "x", false, QTime()});
        int failed = 0;
        QVERIFY(!m_env->calls().addMany(batch, &failed));
        QCOMPARE(failed, TestSupport::onServer() ? -1 : 5);
        QCOMPARE(scalar("SELECT COUNT(*) FROM Base"), 10);
        // A caller that stops (a bad row of an import) is told which call it stopped at.
        batch.removeAt(5);
        int index = 0;
        const auto stopAtSeven = [&](Call& call) {
            if (index == 7)
                return CallStore::Pull::Abort;
            call = batch.at(index++);
            return CallStore::Pull::Row;
        };
        QVERIFY(!m_env->calls().addMany(stopAtSeven, &failed));
        QCOMPARE(failed, 7);
        QCOMPARE(scalar("SELECT COUNT(*) FROM Base"), 10);
    }
};

class TestDatabaseFailures : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    static std::unique_ptr<SqlDialect> quickDialect()
    {
        auto dialect = std::make_unique<SqliteDialect>();
        dialect->setBusyTimeout(100);
        return dialect;
    }

    // Opening fails with a message naming the file, and the file is left byte for byte.
    void expectRefused(const QString& path, const QString& reasonPart)
    {
        const QByteArray before = readAll(path);
        DataEnv env(path, quickDialect());
        QVERIFY(!env.connect());
        QVERIFY2(env.errorText().contains(path), qPrintable(env.errorText()));
        QVERIFY2(env.errorText().contains(reasonPart), qPrintable(env.errorText()));
        // Bound lists stay empty and usable; commands fail with the reason.
        QCOMPARE(env.bind("Uslugi")->rowCount(), 0);
        QVERIFY(!env.execute("AddNew", {QDate(2026, 1, 1), "a", "b", true, QTime(1, 0)}));
        QVERIFY(!env.execute("ReportDates", {QDate(2026, 1, 1), QDate(2026, 2, 1)}));
        QVERIFY(!env.rowSet("rsReportDates")->isOpen());
        QCOMPARE(readAll(path), before);
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void fileThatIsNotADatabase()
    {
        const QString path = m_dir.filePath("text.db");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("Это не база данных, а просто текст.\n").repeated(200));
        file.close();
        expectRefused(path, QStringLiteral("не является базой данных"));
    }

    void damagedHeader()
    {
        const QString path = m_dir.filePath("damaged.db");
        {
            DataEnv env(path);
            QVERIFY(env.connect());
            QVERIFY(env.execute("AddNew", {QDate(2026, 1, 1), "a", "b", true, QTime(1, 0)}));
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.write(QByteArray(16, 'X'));
        file.close();
        QFile::remove(path + "-wal");
        QFile::remove(path + "-shm");
        expectRefused(path, QStringLiteral("не является базой данных"));
    }

    void foreignDatabaseIsNotTouched()
    {
        const QString path = m_dir.filePath("foreign.db");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "foreign");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery(db).exec("CREATE TABLE Notes (text TEXT)");
            db.close();
        }
        QSqlDatabase::removeDatabase("foreign");
        expectRefused(path, QStringLiteral("нет таблицы"));
    }

    void databaseLockedByAnotherProcess()
    {
        const QString path = m_dir.filePath("locked.db");
        {
            DataEnv env(path);
            QVERIFY(env.connect());
        }
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
        other.setDatabaseName(path);
        QVERIFY(other.open());
        QSqlQuery lock(other);
        QVERIFY(lock.exec("PRAGMA journal_mode=DELETE"));
        QVERIFY(lock.exec("PRAGMA locking_mode=EXCLUSIVE"));
        QVERIFY(lock.exec("BEGIN EXCLUSIVE"));
        {
            DataEnv env(path, quickDialect());
            QVERIFY(!env.connect());
            QVERIFY2(env.errorText().contains(QStringLiteral("занята")),
                     qPrintable(env.errorText()));
            QVERIFY(env.errorText().contains(path));
        }
        QVERIFY(lock.exec("ROLLBACK"));
        lock.finish();
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase("other");
        DataEnv env(path);
        QVERIFY2(env.connect(), qPrintable(env.errorText()));
    }

    void folderThatCannotBeCreated()
    {
        const QString blocker = m_dir.filePath("plainfile");
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString path = blocker + "/sub/KvBD.db";
        DataEnv env(path);
        QVERIFY(!env.connect());
        QVERIFY(env.errorText().contains(path));
        QVERIFY(env.errorText().contains(QStringLiteral("папку")));
    }

    void directoryInsteadOfFile()
    {
        DataEnv env(m_dir.path());
        QVERIFY(!env.connect());
        QVERIFY(env.errorText().contains(QStringLiteral("папка")));
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int status = 0;
    {
        TestDataEnv test;
        status |= QTest::qExec(&test, argc, argv);
    }
    if (!TestSupport::onServer()) { // the failures of files; a server's are in tst_desks
        TestDatabaseFailures test;
        status |= QTest::qExec(&test, argc, argv);
    }
    return status;
}

#include "tst_dataenv.moc"

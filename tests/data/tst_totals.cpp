#include "CallImporter.h"
#include "CallJournal.h"
#include "CallStore.h"
#include "DataEnv.h"
#include "RowSet.h"
#include "TestSupport.h"
#include "TotalsStore.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct TestCall
{
    QDate date;
    QString service;
    QString source;
    bool booked;
};

// One report row as the row sets give it: a name or a date, calls, bookings.
struct Line
{
    QString key;
    qint64 calls;
    qint64 booked;
    bool operator==(const Line& o) const
    {
        return key == o.key && calls == o.calls && booked == o.booked;
    }
};

QString toString(const QList<Line>& lines)
{
    QStringList parts;
    for (const Line& l : lines)
        parts << QStringLiteral("%1=%2/%3").arg(l.key).arg(l.calls).arg(l.booked);
    return parts.join(", ");
}

// A report's period bound: a date, or the noon of a date (which leaves that day out of a
// period starting there).
struct Bound
{
    QDate date;
    bool noon = false;
    QVariant value() const
    {
        return noon ? QVariant(QDateTime(date, QTime(12, 0))) : QVariant(date);
    }
    bool admitsFrom(const QDate& d) const { return noon ? d > date : d >= date; }
};

// Names that differ only in letter case, Ё/ё or a leading space; one list entry is written
// by hand, the calls take any of them.
const QStringList serviceNames{QStringLiteral("Маникюр"), QStringLiteral("маникюр"),
                               QStringLiteral("МАНИКЮР"), QStringLiteral(" Маникюр"),
                               QStringLiteral("Ёлка"),    QStringLiteral("ёлка"),
                               QStringLiteral("Елка"),    QStringLiteral("Spa"),
                               QStringLiteral("SPA"),     QStringLiteral("Стрижка")};
const QStringList sourceNames{QStringLiteral("Интернет"), QStringLiteral("интернет"),
                              QStringLiteral("ИНТЕРНЕТ"), QStringLiteral(" Интернет"),
                              QStringLiteral("Газета"),   QStringLiteral("газета"),
                              QStringLiteral("Ёж"),       QStringLiteral("ЁЖ"),
                              QStringLiteral("Еж"),       QStringLiteral("Radio")};

bool sameCall(const Call& a, const Call& b)
{
    return a.date == b.date && a.service == b.service && a.source == b.source &&
           a.booked == b.booked && a.time == b.time;
}

QString describe(const Call& c)
{
    return QStringLiteral("%1 %2 %3/%4 %5")
        .arg(c.date.toString(Qt::ISODate), c.time.toString(Qt::ISODate), c.service, c.source)
        .arg(c.booked);
}

bool totalsClean(DataEnv& env)
{
    QList<TotalsDifference> differences;
    return env.totals().check(&differences) && differences.isEmpty();
}

// Runs statements on the environment's own connection, each of which must succeed.
bool runAll(DataEnv& env, const QStringList& statements)
{
    QSqlQuery query(env.database().connection());
    for (const QString& statement : statements)
        if (!query.exec(statement)) {
            qWarning() << statement << query.lastError().text();
            return false;
        }
    return true;
}

} // namespace

// The totals the reports read follow every change of the calls: a seeded random sequence of
// adds, removals of the previous call, imports (some refused), edits made outside the program
// and list additions, each followed by every report over random periods, compared with a
// count over the calls.
class TestTotals : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<DataEnv> m_env;
    QRandomGenerator m_random{20261206};
    QList<TestCall> m_calls;
    QStringList m_services;
    QStringList m_sources{QStringLiteral("Интернет")};
    const QDate m_first{2026, 10, 27}; // calls over four months and a new year
    const QDate m_last{2027, 1, 8};

    template <typename T> const T& pick(const QList<T>& list)
    {
        return list.at(int(m_random.bounded(int(list.size()))));
    }

    QDate anyDate(int margin = 0)
    {
        return m_first.addDays(m_random.bounded(-margin, int(m_first.daysTo(m_last)) + margin + 1));
    }

    TestCall anyCall()
    {
        return {anyDate(), pick(serviceNames), pick(sourceNames), m_random.bounded(2) == 0};
    }

    Bound anyBound() { return {anyDate(40), m_random.bounded(6) == 0}; }

    // One row per case-folded list name, named and ordered by its first entry.
    QList<Line> expectedPerName(const QStringList& list, bool internetOnly, bool bySource,
                                const Bound& from, const QDate& to, const Bound& bookedFrom,
                                const QDate& bookedTo) const
    {
        QList<Line> lines;
        QStringList folded;
        for (const QString& name : list) {
            if (folded.contains(name.toCaseFolded()))
                continue;
            folded << name.toCaseFolded();
            Line line{name, 0, 0};
            for (const TestCall& c : m_calls) {
                const QString callName = bySource ? c.source : c.service;
                if (callName.toCaseFolded() != name.toCaseFolded() ||
                    (internetOnly &&
                     c.source.toCaseFolded() != QStringLiteral("Интернет").toCaseFolded()))
                    continue;
                line.calls += from.admitsFrom(c.date) && c.date <= to;
                line.booked += c.booked && bookedFrom.admitsFrom(c.date) && c.date <= bookedTo;
            }
            lines << line;
        }
        return lines;
    }

    QList<Line> expectedDates(const Bound& from, const QDate& to) const
    {
        QMap<QDate, Line> byDate;
        for (const TestCall& c : m_calls) {
            if (!from.admitsFrom(c.date) || c.date > to)
                continue;
            Line& line = byDate[c.date];
            line.key = c.date.toString(Qt::ISODate);
            ++line.calls;
            line.booked += c.booked;
        }
        return byDate.values();
    }

    QList<Line> actual(const QString& command, const QVariantList& period)
    {
        QList<Line> lines;
        if (!m_env->execute(command, period)) {
            lines << Line{"failed: " + m_env->errorText(), -1, -1};
            return lines;
        }
        RowSet* set = m_env->rowSet("rs" + command);
        const bool byDate = command == "ReportDates";
        for (int i = 0; i < set->rowCount(); ++i)
            lines << Line{byDate ? set->value(i, "Data").toDate().toString(Qt::ISODate)
                                 : set->value(i, 0).toString(),
                          set->value(i, byDate ? "Vsego" : "Zvonkov").toLongLong(),
                          set->value(i, "Zapis").toLongLong()};
        set->close();
        return lines;
    }

    void compareReports(int step)
    {
        for (int round = 0; round < 3; ++round) {
            const Bound from = anyBound();
            const Bound bookedFrom = m_random.bounded(3) == 0 ? anyBound() : from;
            const QDate to = anyDate(40);
            const QDate bookedTo = bookedFrom.date == from.date ? to : anyDate(40);
            const QVariantList pairs{from.value(), to, bookedFrom.value(), bookedTo};
            const QString where =
                QStringLiteral("step %1, period %2 - %3 / %4 - %5")
                    .arg(step)
                    .arg(from.value().toString(), to.toString(Qt::ISODate),
                         bookedFrom.value().toString(), bookedTo.toString(Qt::ISODate));
            struct PerName
            {
                const char* command;
                const QStringList& list;
                bool internetOnly;
                bool bySource;
            };
            for (const PerName& r : {PerName{"ReportkolVoZv", m_sources, false, true},
                                     PerName{"ReportKolvoUsl", m_services, false, false},
                                     PerName{"ReportInternet", m_services, true, false}}) {
                const QList<Line> got = actual(r.command, pairs);
                const QList<Line> want = expectedPerName(r.list, r.internetOnly, r.bySource, from,
                                                         to, bookedFrom, bookedTo);
                QVERIFY2(got == want,
                         qPrintable(QStringLiteral("%1, %2:\n got  %3\n want %4")
                                        .arg(r.command, where, toString(got), toString(want))));
            }
            const QList<Line> got = actual("ReportDates", {from.value(), to});
            const QList<Line> want = expectedDates(from, to);
            QVERIFY2(got == want, qPrintable(QStringLiteral("ReportDates, %1:\n got  %2\n want %3")
                                                 .arg(where, toString(got), toString(want))));
        }
    }

    QString csvOf(const QList<TestCall>& calls, int badRow) const
    {
        QString text = "Data;usluga;Istochnik;Zapis\n";
        for (int i = 0; i < calls.size(); ++i) {
            const TestCall& c = calls.at(i);
            text += QStringLiteral("%1;%2;%3;%4\n")
                        .arg(i == badRow ? "31.02.2026" : c.date.toString("dd.MM.yyyy"), c.service,
                             c.source, c.booked ? "true" : "0");
        }
        return text;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        m_env = std::make_unique<DataEnv>(TestSupport::database(m_dir.filePath("KvBD.db")));
        QVERIFY2(m_env->connect(), qPrintable(m_env->errorText()));
    }

    void randomChangesKeepEveryReportEqualToACountOverTheCalls()
    {
        for (int step = 0; step < 400; ++step) {
            const int what = int(m_random.bounded(100));
            if (what < 40) {
                const TestCall c = anyCall();
                QVERIFY2(
                    m_env->execute("AddNew", {c.date, c.service, c.source, c.booked, QTime(10, 0)}),
                    qPrintable(m_env->errorText()));
                m_calls << c;
            } else if (what < 60) {
                const bool hadCalls = !m_calls.isEmpty();
                RowSet* base = m_env->rowSet("rsBase");
                QVERIFY(base->open());
                QCOMPARE(base->moveLast(), hadCalls);
                if (hadCalls) {
                    QVERIFY2(base->deleteCurrent(), qPrintable(base->errorText()));
                    m_calls.removeLast();
                }
                base->close();
            } else if (what < 80) {
                QList<TestCall> batch;
                for (int i = int(m_random.bounded(1, 9)); i > 0; --i)
                    batch << anyCall();
                const int badRow =
                    m_random.bounded(4) == 0 ? int(m_random.bounded(int(batch.size()))) : -1;
                CallImporter importer(m_env.get());
                QCOMPARE(importer.importText(csvOf(batch, badRow)), badRow < 0);
                // An import stores the names without the blanks around them.
                for (TestCall& c : batch) {
                    c.service = c.service.trimmed();
                    c.source = c.source.trimmed();
                }
                if (badRow < 0)
                    m_calls << batch;
            } else if (what < 85) {
                // Changed behind the program's back: the program never edits a call.
                if (m_calls.isEmpty())
                    continue;
                const int index = int(m_random.bounded(int(m_calls.size())));
                const TestCall c = anyCall();
                QSqlQuery q(m_env->database().connection());
                QVERIFY(q.prepare("UPDATE Base SET Data = ?, usluga = ?, Istochnik = ?, Zapis = ? "
                                  "WHERE ID = (SELECT ID FROM Base ORDER BY ID LIMIT 1 OFFSET ?)"));
                for (const QVariant& v : QVariantList{c.date.toString(Qt::ISODate), c.service,
                                                      c.source, int(c.booked), index})
                    q.addBindValue(v);
                QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
                m_calls[index] = c;
            } else if (what < 92) {
                const QString name = pick(serviceNames);
                QVERIFY(m_env->bind("Uslugi")->addRow("Uname", name));
                m_services << name;
            } else {
                const QString name = pick(sourceNames);
                QVERIFY(m_env->bind("Istochnik")->addRow("IName", name));
                m_sources << name;
            }
            compareReports(step);
            if (QTest::currentTestFailed())
                return;
        }
        QList<TotalsDifference> differences;
        QVERIFY(m_env->totals().check(&differences));
        QCOMPARE(differences.size(), 0);

        // Removing every call leaves no totals behind.
        while (!m_calls.isEmpty()) {
            RowSet* base = m_env->rowSet("rsBase");
            QVERIFY(base->open() && base->moveLast() && base->deleteCurrent());
            base->close();
            m_calls.removeLast();
        }
        QSqlQuery q(m_env->database().connection());
        QVERIFY(q.exec("SELECT (SELECT COUNT(*) FROM ItogDen) + (SELECT COUNT(*) FROM ItogMes)"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        compareReports(-1);
    }

    // Edits, removals and their undoing keep every total equal to a count over the calls, and
    // the change log tells each of them with the values before and after.
    void journalEditsRemovalsAndUndoKeepTotalsAndTheLog()
    {
        const QString location = TestSupport::database(m_dir.filePath("journal.db"));
        DataEnv env(location);
        QVERIFY2(env.connect(), qPrintable(env.errorText()));
        CallStore& calls = env.calls();
        CallJournal& journal = env.journal();
        const Call first{QDate(2026, 11, 30), "Маникюр", "Интернет", false, QTime(9, 0)};
        const Call second{QDate(2026, 12, 1), "Стрижка", "Газета", true, QTime(10, 30)};
        const Call third{QDate(2026, 12, 1), "маникюр", "интернет", true, QTime()};
        QVector<qint64> ids;
        for (const Call& c : {first, second, third}) {
            QVERIFY2(calls.add(c), qPrintable(calls.errorText()));
            ids << calls.lastAddedId();
        }
        QVERIFY(ids[0] > 0 && ids[1] > ids[0] && ids[2] > ids[1]);

        // Another day, source, service, booking and time: out of the Internet report too.
        const Call moved{QDate(2027, 1, 2), "Стрижка", "Радио", true, QTime(23, 59, 59)};
        QVERIFY2(calls.edit(ids[0], moved), qPrintable(calls.errorText()));
        QVERIFY(totalsClean(env));
        QCOMPARE(*journal.dayCount(QDate(2027, 1, 2)), qMakePair(1, 1));
        QCOMPARE(*journal.dayCount(QDate(2026, 11, 30)), qMakePair(0, 0));
        QCOMPARE(*journal.dayCount(QDate(2026, 12, 1)), qMakePair(2, 2));
        std::optional<QVector<CallChange>> log = journal.changes(ids[0], 10);
        QVERIFY2(log && log->size() == 1, qPrintable(journal.errorText()));
        QCOMPARE(log->at(0).kind, CallChange::Kind::Edited);
        QCOMPARE(log->at(0).callId, ids[0]);
        QVERIFY2(sameCall(log->at(0).before.call, first),
                 qPrintable(describe(log->at(0).before.call)));
        QVERIFY2(sameCall(log->at(0).after.call, moved),
                 qPrintable(describe(log->at(0).after.call)));
        QVERIFY(log->at(0).when.isValid());
        QVERIFY(qAbs(log->at(0).when.secsTo(QDateTime::currentDateTimeUtc())) < 3600);

        // A selection removed and put back with its keys; the log tells both.
        QVERIFY2(calls.remove({ids[1], ids[2]}), qPrintable(calls.errorText()));
        QVERIFY(totalsClean(env));
        QVERIFY(!journal.find(ids[1]) && !journal.find(ids[2]));
        QCOMPARE(*journal.dayCount(QDate(2026, 12, 1)), qMakePair(0, 0));
        QCOMPARE(calls.undoText(), QStringLiteral("Отменить удаление 2 звонков"));
        QVERIFY2(calls.undo(), qPrintable(calls.errorText()));
        QVERIFY(totalsClean(env));
        for (int i : {1, 2}) {
            const std::optional<CallRecord> back = journal.find(ids[i]);
            QVERIFY(back);
            QVERIFY2(sameCall(back->call, i == 1 ? second : third),
                     qPrintable(describe(back->call)));
            log = journal.changes(ids[i], 10);
            QVERIFY(log && log->size() == 2);
            QCOMPARE(log->at(0).kind, CallChange::Kind::Restored);
            QCOMPARE(log->at(1).kind, CallChange::Kind::Deleted);
            QVERIFY(sameCall(log->at(0).after.call, log->at(1).before.call));
        }
        QCOMPARE(*journal.dayCount(QDate(2026, 12, 1)), qMakePair(2, 2));

        // The edit undone, then the third call's adding (its removal and return were this
        // store's own).
        QCOMPARE(calls.undoText(), QStringLiteral("Отменить изменение звонка"));
        QVERIFY2(calls.undo(), qPrintable(calls.errorText()));
        QVERIFY(sameCall(journal.find(ids[0])->call, first));
        QCOMPARE(calls.undoText(), QStringLiteral("Отменить добавление звонка"));
        QVERIFY2(calls.undo(), qPrintable(calls.errorText()));
        QVERIFY(!journal.find(ids[2]));
        QVERIFY(totalsClean(env));

        // "Удалить предыдущий" is undone like any removal.
        QCOMPARE(calls.removeLast({}), CallStore::Removal::Removed);
        QVERIFY(!journal.find(ids[1]));
        QVERIFY2(calls.undo(), qPrintable(calls.errorText()));
        QVERIFY(sameCall(journal.find(ids[1])->call, second));
        QVERIFY(totalsClean(env));

        // A call edited meanwhile on another connection: its undo is refused, not forced.
        const Call mine{QDate(2026, 12, 2), "Стрижка", "Газета", false, QTime(12, 0)};
        const Call theirs{QDate(2026, 12, 3), "Маникюр", "Газета", true, QTime(13, 0)};
        QVERIFY(calls.edit(ids[1], mine));
        {
            DataEnv other(location);
            QVERIFY2(other.connect(), qPrintable(other.errorText()));
            QVERIFY2(other.calls().edit(ids[1], theirs), qPrintable(other.calls().errorText()));
        }
        QVERIFY(calls.canUndo());
        QVERIFY(!calls.undo());
        QVERIFY2(calls.errorText().contains(QStringLiteral("изменён")),
                 qPrintable(calls.errorText()));
        QVERIFY(sameCall(journal.find(ids[1])->call, theirs));
        QVERIFY(totalsClean(env));
        // A call that is gone can be neither edited nor removed.
        QVERIFY(!calls.edit(ids[2], mine));
        QVERIFY(!calls.remove({ids[1], ids[2]}));
        QVERIFY(journal.find(ids[1]));
        log = journal.changes(0, 3);
        QVERIFY(log && log->size() == 3);
        QVERIFY(log->at(0).id > log->at(1).id && log->at(1).id > log->at(2).id);
    }

    // Pages read by key give every matching call once, newest first, across calls of one
    // date split between pages; names match without regard to letter case.
    void journalPagesGiveEveryMatchingCallOnce()
    {
        DataEnv env(TestSupport::database(m_dir.filePath("pages.db")));
        QVERIFY2(env.connect(), qPrintable(env.errorText()));
        const QStringList services{"Маникюр", "МАНИКЮР", "Стрижка", "Spa"};
        const QStringList sources{"Интернет", "интернет", "Ёж", "Газета"};
        QList<CallRecord> stored;
        for (int i = 0; i < 45; ++i) {
            const Call c{QDate(2026, 12, 1).addDays(int(m_random.bounded(4))), pick(services),
                         pick(sources), m_random.bounded(2) == 0,
                         QTime(10, int(m_random.bounded(60)))};
            QVERIFY2(env.calls().add(c), qPrintable(env.calls().errorText()));
            stored << CallRecord{env.calls().lastAddedId(), c, QString()};
        }
        std::sort(stored.begin(), stored.end(), [](const CallRecord& a, const CallRecord& b) {
            return a.call.date != b.call.date ? a.call.date > b.call.date : a.id > b.id;
        });
        auto filter = [](auto change) {
            CallFilter f;
            change(f);
            return f;
        };
        const QList<CallFilter> filters{
            CallFilter(),
            filter([](CallFilter& f) { f.service = "маникюр"; }),
            filter([](CallFilter& f) {
                f.source = "ИНТЕРНЕТ";
                f.booked = true;
            }),
            filter([](CallFilter& f) {
                f.from = QDate(2026, 12, 2);
                f.to = QDate(2026, 12, 3);
                f.booked = false;
            }),
            filter([](CallFilter& f) { f.search = "ёЖ"; }),
            filter([](CallFilter& f) { f.search = "ТРИЖ"; }),
            filter([](CallFilter& f) { f.search = "%"; }),
        };
        for (const CallFilter& f : filters) {
            QVector<qint64> want;
            for (const CallRecord& r : std::as_const(stored)) {
                const Call& c = r.call;
                const QString search = f.search.toCaseFolded();
                if ((f.from.isValid() && c.date < f.from) || (f.to.isValid() && c.date > f.to) ||
                    (!f.service.isEmpty() &&
                     c.service.toCaseFolded() != f.service.toCaseFolded()) ||
                    (!f.source.isEmpty() && c.source.toCaseFolded() != f.source.toCaseFolded()) ||
                    (f.booked && c.booked != *f.booked) ||
                    (!search.isEmpty() && !c.service.toCaseFolded().contains(search) &&
                     !c.source.toCaseFolded().contains(search)))
                    continue;
                want << r.id;
            }
            for (int limit : {4, 100}) {
                QVector<qint64> got;
                JournalKey after;
                for (int pages = 0; pages < 50; ++pages) {
                    const std::optional<QVector<CallRecord>> page =
                        env.journal().page(f, after, limit);
                    QVERIFY2(page, qPrintable(env.journal().errorText()));
                    QVERIFY(page->size() <= limit);
                    for (const CallRecord& r : *page)
                        got << r.id;
                    if (page->size() < limit)
                        break;
                    after = {page->last().call.date, page->last().id};
                }
                QCOMPARE(got, want);
            }
            QVERIFY(!want.isEmpty() || f.search == "%");
        }
        const std::optional<CallRecord> newest = env.journal().find(stored.first().id);
        QVERIFY(newest && sameCall(newest->call, stored.first().call));
    }

    // A database of the layout before the change log takes it on opening and keeps its calls.
    void olderLayoutIsUpgradedAndKeepsItsCalls()
    {
        const QString location = TestSupport::database(m_dir.filePath("older.db"));
        const Call call{QDate(2026, 12, 1), "Маникюр", "Интернет", true, QTime(11, 0)};
        {
            DataEnv env(location);
            QVERIFY2(env.connect(), qPrintable(env.errorText()));
            QVERIFY(env.calls().add(call) && env.calls().add(call));
            QVERIFY(
                runAll(env, TestSupport::onServer()
                                ? QStringList{"DROP TRIGGER Base_Zhurnal ON Base",
                                              "DROP TRIGGER Base_ZhurnalUdalenie ON Base",
                                              "DROP FUNCTION kv_base_logged()",
                                              "DROP TABLE Izmeneniya", "DROP INDEX Base_Data_ID",
                                              "CREATE INDEX Base_Data ON Base (Data)",
                                              "DROP INDEX Base_Kluch",
                                              "ALTER TABLE Base DROP COLUMN Kluch",
                                              "UPDATE Kalvent SET Versiya = 1"}
                                : QStringList{"DROP TRIGGER Base_Zhurnal",
                                              "DROP TRIGGER Base_ZhurnalUdalenie",
                                              "DROP TABLE Izmeneniya", "PRAGMA user_version = 2"}));
        }
        DataEnv env(location);
        QVERIFY2(env.connect(), qPrintable(env.errorText()));
        QCOMPARE(env.database().version(), env.database().dialect().schemaVersion());
        if (TestSupport::onServer())
            // The key of a kept call, unique (a division by zero when the index is missing).
            QVERIFY(runAll(env, {"SELECT 1 / COUNT(*) FROM pg_indexes WHERE indexname = "
                                 "'base_kluch' AND indexdef LIKE 'CREATE UNIQUE INDEX%(kluch)'"}));
        const std::optional<QVector<CallRecord>> page = env.journal().page({}, {}, 10);
        QVERIFY2(page && page->size() == 2, qPrintable(env.journal().errorText()));
        QVERIFY(sameCall(page->at(0).call, call) && page->at(0).id > page->at(1).id);
        QVERIFY(env.calls().remove({page->at(0).id}));
        const std::optional<QVector<CallChange>> log = env.journal().changes(0, 10);
        QVERIFY(log && log->size() == 1 && log->at(0).kind == CallChange::Kind::Deleted);
        QVERIFY(totalsClean(env));
    }
};

QTEST_MAIN(TestTotals)
#include "tst_totals.moc"

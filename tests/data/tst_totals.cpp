#include "CallImporter.h"
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
};

QTEST_MAIN(TestTotals)
#include "tst_totals.moc"

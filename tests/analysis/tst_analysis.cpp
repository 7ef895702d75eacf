#include "AdAnalysis.h"
#include "AnalysisPeriod.h"
#include "DataEnv.h"
#include "Money.h"
#include "RowSet.h"
#include "SpendStore.h"
#include "TestSupport.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <numeric>

namespace {

struct Call
{
    QDate date;
    QString source;
    bool booked;
    QTime time; // invalid: no time of day
};

// Names that differ in letter case (Ё/ё too) or by a leading blank (another name, as in the
// reports): the list holds one spelling of each, the calls and the spend take any of them.
const QStringList sourceNames{QStringLiteral("Интернет"),  QStringLiteral("ИНТЕРНЕТ"),
                              QStringLiteral(" интернет"), QStringLiteral("Газета"),
                              QStringLiteral("газета"),    QStringLiteral("Ёж"),
                              QStringLiteral("ёж"),        QStringLiteral("Radio"),
                              QStringLiteral("Улица")}; // not in the list: counts nowhere

// An exact fraction, reduced, for the spend computed day by day.
struct Fraction
{
    __int128 n = 0;
    __int128 d = 1;
    void add(__int128 num, __int128 den)
    {
        n = n * den + num * d;
        d *= den;
        __int128 a = n < 0 ? -n : n, b = d;
        while (b != 0) {
            const __int128 t = a % b;
            a = b;
            b = t;
        }
        if (a > 1) {
            n /= a;
            d /= a;
        }
    }
    // Half away from zero, for a non-negative fraction.
    qint64 rounded() const { return qint64((n * 2 + d) / (d * 2)); }
};

qint64 roundedDivision(qint64 a, qint64 b)
{
    qint64 q = a / b;
    if (2 * (a % b) >= b)
        ++q;
    return q;
}

} // namespace

// The analysis against direct counts over the calls that were stored, on seeded random data.
class TestAnalysis : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QRandomGenerator m_random{20261207};
    int m_round = 0;

    QString newPath()
    {
        return TestSupport::database(m_dir.filePath(QString("a%1/KvBD.db").arg(++m_round)));
    }

    QDate anyDate(const QDate& first, const QDate& last)
    {
        return first.addDays(m_random.bounded(int(first.daysTo(last)) + 1));
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void figuresMatchDirectCountsOnRandomData()
    {
        DataEnv env(newPath());
        QVERIFY(env.connect());
        for (const QString& name : {QStringLiteral("Газета"), QStringLiteral("Ёж"),
                                    QStringLiteral("Radio"), QStringLiteral("RADIO")})
            env.bind("Istochnik")->addRow("IName", name); // the last one is a case twin
        const QStringList listed{QStringLiteral("Интернет"), QStringLiteral("Газета"),
                                 QStringLiteral("Ёж"), QStringLiteral("Radio")};

        // Calls over fourteen months and a new year: most in one import, some one by one, the
        // newest removed again, and one's time changed outside the program.
        const QDate first(2025, 12, 20), last(2027, 2, 10);
        QList<Call> calls;
        QVector<QVariantList> rows;
        auto anyCall = [&] {
            const int hour = int(m_random.bounded(26)); // 24 and 25: no time
            return Call{
                anyDate(first, last), sourceNames.at(m_random.bounded(int(sourceNames.size()))),
                m_random.bounded(3) == 0,
                hour < 24 ? QTime(hour, m_random.bounded(60), m_random.bounded(60)) : QTime()};
        };
        for (int i = 0; i < 3000; ++i) {
            calls << anyCall();
            rows << QVariantList{calls.last().date, "A", calls.last().source, calls.last().booked,
                                 calls.last().time};
        }
        QVERIFY2(env.addCalls(rows), qPrintable(env.errorText()));
        for (int i = 0; i < 40; ++i) {
            calls << anyCall();
            QVERIFY(env.execute("AddNew", {calls.last().date, "B", calls.last().source,
                                           calls.last().booked, calls.last().time}));
        }
        RowSet* base = env.rowSet("rsBase");
        QVERIFY(base->open() && base->moveLast() && base->deleteCurrent());
        base->close();
        calls.removeLast();
        {
            QSqlQuery edit(env.database().connection());
            QVERIFY(edit.exec("UPDATE Base SET Vrem = '07:30:00' WHERE ID = 5"));
            calls[4].time = QTime(7, 30);
        }

        // Spend: random amounts (odd kopecks included) for random months, some stored twice
        // (the second replaces the first), under any spelling.
        SpendStore spend(&env);
        QMap<QPair<QString, QDate>, qint64> months; // folded name, month -> kopecks
        for (int i = 0; i < 60; ++i) {
            const QDate day = anyDate(first, last);
            const QDate month(day.year(), day.month(), 1);
            const QString name = sourceNames.at(m_random.bounded(int(sourceNames.size()) - 1));
            const qint64 kopecks = m_random.bounded(0, 5000000) + (i % 7 == 0 ? 1 : 0);
            QVERIFY2(spend.set(name, month, kopecks), qPrintable(spend.errorText()));
            months[{name.toCaseFolded(), month}] = kopecks;
        }

        QList<TotalsDifference> differences;
        QVERIFY(env.checkTotals(&differences));
        QCOMPARE(differences.size(), 0);

        // Periods: random ones, single days, whole and split months, and one without calls.
        QList<AnalysisPeriod> periods{
            {QDate(2026, 2, 1), QDate(2026, 2, 28)},  {QDate(2026, 1, 31), QDate(2026, 3, 1)},
            {QDate(2026, 12, 29), QDate(2027, 1, 4)}, {QDate(2026, 7, 14), QDate(2026, 7, 14)},
            {QDate(2030, 1, 1), QDate(2030, 3, 31)},  {first, last}};
        for (int i = 0; i < 20; ++i) {
            const QDate a = anyDate(first.addDays(-30), last.addDays(30));
            const QDate b = anyDate(first.addDays(-30), last.addDays(30));
            periods << AnalysisPeriod(std::min(a, b), std::max(a, b));
        }

        AdAnalysis analysis(&env);
        for (const AnalysisPeriod& period : periods) {
            const QString where = period.text();
            QVERIFY2(analysis.load(period), qPrintable(analysis.errorText()));
            const AnalysisPeriod before = analysis.previous();
            QCOMPARE(before.days(), period.days());
            QCOMPARE(before.to().addDays(1), period.from());

            QCOMPARE(analysis.rows().size(), listed.size());
            SourceFigures total;
            for (int r = 0; r < listed.size(); ++r) {
                const SourceFigures& row = analysis.rows().at(r);
                const QString folded = listed.at(r).toCaseFolded();
                SourceFigures expected;
                for (const Call& c : calls) {
                    if (c.source.toCaseFolded() != folded)
                        continue;
                    if (c.date >= period.from() && c.date <= period.to()) {
                        ++expected.calls;
                        expected.booked += c.booked;
                    }
                    if (c.date >= before.from() && c.date <= before.to()) {
                        ++expected.previousCalls;
                        expected.previousBooked += c.booked;
                    }
                }
                Fraction money;
                for (QDate d = period.from(); d <= period.to(); d = d.addDays(1)) {
                    const qint64 amount = months.value({folded, QDate(d.year(), d.month(), 1)}, 0);
                    money.add(amount, d.daysInMonth());
                }
                QVERIFY2(row.name == listed.at(r), qPrintable(where));
                QVERIFY2(row.calls == expected.calls && row.booked == expected.booked,
                         qPrintable(QString("%1 %2: %3/%4, counted %5/%6")
                                        .arg(where, row.name)
                                        .arg(row.calls)
                                        .arg(row.booked)
                                        .arg(expected.calls)
                                        .arg(expected.booked)));
                QVERIFY2(row.previousCalls == expected.previousCalls &&
                             row.previousBooked == expected.previousBooked,
                         qPrintable(where + " previous " + row.name));
                QVERIFY2(row.spend == money.rounded(),
                         qPrintable(QString("%1 %2: spend %3, exact %4")
                                        .arg(where, row.name)
                                        .arg(row.spend)
                                        .arg(money.rounded())));
                if (row.calls == 0)
                    QVERIFY(!row.rate() && !row.costPerCall());
                else
                    QCOMPARE(*row.costPerCall(), roundedDivision(row.spend, row.calls));
                if (row.booked == 0)
                    QVERIFY(!row.costPerBooking());
                else
                    QCOMPARE(*row.costPerBooking(), roundedDivision(row.spend, row.booked));
                total.calls += row.calls;
                total.booked += row.booked;
                total.spend += row.spend;
            }
            QCOMPARE(analysis.total().calls, total.calls);
            QCOMPARE(analysis.total().booked, total.booked);
            QCOMPARE(analysis.total().spend, total.spend);

            // The heat map counts every call of the period, listed source or not.
            qint64 untimed = 0;
            QMap<int, qint64> cells;
            for (const Call& c : calls) {
                if (c.date < period.from() || c.date > period.to())
                    continue;
                if (c.time.isValid())
                    ++cells[c.date.dayOfWeek() * 100 + c.time.hour()];
                else
                    ++untimed;
            }
            QCOMPARE(analysis.heatMap().untimed(), untimed);
            for (int day = 1; day <= 7; ++day)
                for (int hour = 0; hour < 24; ++hour)
                    QVERIFY2(
                        analysis.heatMap().calls(day, hour) == cells.value(day * 100 + hour),
                        qPrintable(QString("%1 day %2 hour %3").arg(where).arg(day).arg(hour)));

            // Weeks from Monday: every listed call of the period in the week of its date.
            const QVector<AdAnalysis::Week> weeks = analysis.weeks({1, 3});
            QCOMPARE(weeks.first().monday, AnalysisPeriod::monday(period.from()));
            QCOMPARE(weeks.last().monday, AnalysisPeriod::monday(period.to()));
            for (const AdAnalysis::Week& week : weeks) {
                qint64 n = 0, b = 0;
                for (const Call& c : calls) {
                    const QString folded = c.source.toCaseFolded();
                    if ((folded == listed.at(1).toCaseFolded() ||
                         folded == listed.at(3).toCaseFolded()) &&
                        c.date >= period.from() && c.date <= period.to() &&
                        AnalysisPeriod::monday(c.date) == week.monday) {
                        ++n;
                        b += c.booked;
                    }
                }
                QVERIFY2(week.calls == n && week.booked == b,
                         qPrintable(where + " week " + week.monday.toString(Qt::ISODate)));
            }
            // Without a choice, the weeks of all calls, listed source or not.
            const QVector<AdAnalysis::Week> all = analysis.weeks();
            QCOMPARE(
                std::accumulate(all.begin(), all.end(), qint64(0),
                                [](qint64 s, const AdAnalysis::Week& w) { return s + w.calls; }),
                qint64(std::count_if(calls.begin(), calls.end(), [&](const Call& c) {
                    return c.date >= period.from() && c.date <= period.to();
                })));
        }
    }

    // Pinned cases of the rounding: spend prorated by days, once per source, half away from
    // zero; costs per call and booking likewise.
    void moneyIsProratedAndRoundedOnIntegers()
    {
        const QDate december(2026, 12, 1);
        // 1 000,00 for one day of 31: 32,258... -> 32,26.
        QCOMPARE(Money::prorate({{december, 100000}}, QDate(2026, 12, 5), QDate(2026, 12, 5)),
                 qint64(3226));
        // 0,01 for 15 days of 30: exactly half a kopeck -> up; for 14 days -> down.
        const QDate november(2026, 11, 1);
        QCOMPARE(Money::prorate({{november, 1}}, QDate(2026, 11, 1), QDate(2026, 11, 15)),
                 qint64(1));
        QCOMPARE(Money::prorate({{november, 1}}, QDate(2026, 11, 1), QDate(2026, 11, 14)),
                 qint64(0));
        // Two halves of different months add before rounding: 0,01 * 14/28 + 0,01 * 0,5...
        // February 2027 has 28 days; 14 of them and 15 of 30 in November: 0,5 + 0,5 = 1.
        QCOMPARE(Money::prorate({{QDate(2027, 2, 1), 1}, {november, 1}}, QDate(2026, 11, 16),
                                QDate(2027, 2, 14)),
                 qint64(1));
        // Whole months give their amounts exactly; months outside the period give nothing.
        QCOMPARE(Money::prorate({{november, 1500050}, {december, 7}, {QDate(2027, 1, 1), 99}},
                                november, QDate(2026, 12, 31)),
                 qint64(1500057));
        QCOMPARE(Money::prorate({{november, 100}}, QDate(2026, 12, 1), QDate(2026, 12, 31)),
                 qint64(0));
        QCOMPARE(Money::divide(375025, 100), std::optional<qint64>(3750));
        QCOMPARE(Money::divide(750025, 2), std::optional<qint64>(375013));
        QCOMPARE(Money::divide(5, 0), std::nullopt);
        QCOMPARE(Money::divide(-5, 2), std::optional<qint64>(-3));
    }

    void amountsAreReadOrRefusedWithAReason_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("kopecks"); // -1: refused
        QTest::addColumn<QString>("reason");
        QTest::newRow("grouped comma") << QStringLiteral("15 000,50") << qint64(1500050) << "";
        QTest::newRow("point") << "15000.50" << qint64(1500050) << "";
        QTest::newRow("whole") << "15000" << qint64(1500000) << "";
        QTest::newRow("non-breaking") << QStringLiteral("15\u00A0000,5") << qint64(1500050) << "";
        QTest::newRow("millions") << QStringLiteral(" 1 234 567,89 ") << qint64(123456789) << "";
        QTest::newRow("zero") << "0" << qint64(0) << "";
        QTest::newRow("largest") << QStringLiteral("9 999 999 999 999,99") << Money::maxKopecks
                                 << "";
        QTest::newRow("negative") << "-5" << qint64(-1) << QStringLiteral("отрицательн");
        QTest::newRow("negative grouped")
            << QStringLiteral("-15 000,50") << qint64(-1) << QStringLiteral("отрицательн");
        QTest::newRow("letters") << "abc" << qint64(-1) << QStringLiteral("не сумма");
        QTest::newRow("empty") << "  " << qint64(-1) << QStringLiteral("не указана");
        QTest::newRow("three decimals") << "1,234" << qint64(-1) << QStringLiteral("двух знаков");
        QTest::newRow("two separators") << "1.000,50" << qint64(-1) << QStringLiteral("не сумма");
        QTest::newRow("bad groups") << "15 00" << qint64(-1) << QStringLiteral("не сумма");
        QTest::newRow("exponent") << "1e5" << qint64(-1) << QStringLiteral("не сумма");
        QTest::newRow("no fraction") << "12," << qint64(-1) << QStringLiteral("не сумма");
        QTest::newRow("too large") << "10000000000000" << qint64(-1) << QStringLiteral("больше");
        QTest::newRow("overflow") << "99999999999999999999999" << qint64(-1)
                                  << QStringLiteral("больше");
    }

    void amountsAreReadOrRefusedWithAReason()
    {
        QFETCH(QString, text);
        QFETCH(qint64, kopecks);
        QFETCH(QString, reason);
        QString error;
        const std::optional<qint64> read = Money::parse(text, &error);
        if (kopecks < 0) {
            QVERIFY(!read);
            QVERIFY2(error.contains(reason), qPrintable(error));
        } else {
            QVERIFY2(read, qPrintable(error));
            QCOMPARE(*read, kopecks);
            QCOMPARE(Money::parse(Money::display(kopecks)), read);
            QCOMPARE(Money::parse(Money::plain(kopecks)), read);
        }
    }

    // A file of the version before the spend and the per-hour totals gets both on opening.
    void previousVersionIsUpgraded()
    {
        if (TestSupport::onServer())
            QSKIP("the layout versions of a file");
        const QString path = newPath();
        {
            DataEnv env(path);
            QVERIFY(env.connect());
            QVERIFY(env.addCalls(
                {{QDate(2026, 12, 7), "A", QStringLiteral("Интернет"), true, QTime(9, 15)},
                 {QDate(2026, 12, 13), "A", QStringLiteral("Интернет"), false, QTime()}}));
            QSqlQuery q(env.database().connection());
            for (const char* sql : {"DROP TABLE Rashody", "DELETE FROM ItogDen WHERE Vid = 5",
                                    "DELETE FROM ItogMes WHERE Vid = 5", "PRAGMA user_version = 1"})
                QVERIFY2(q.exec(sql), sql);
        }
        DataEnv env(path);
        QVERIFY2(env.connect(), qPrintable(env.errorText()));
        QCOMPARE(env.database().version(), 2);
        QVERIFY(QFile::exists(path + ".v1.bak"));
        QList<TotalsDifference> differences;
        QVERIFY(env.checkTotals(&differences));
        QCOMPARE(differences.size(), 0);
        QVERIFY(SpendStore(&env).set(QStringLiteral("интернет"), QDate(2026, 12, 1), 310000));
        AdAnalysis analysis(&env);
        QVERIFY(analysis.load({QDate(2026, 12, 7), QDate(2026, 12, 13)}));
        QCOMPARE(analysis.heatMap().calls(1, 9), qint64(1));
        QCOMPARE(analysis.heatMap().untimed(), qint64(1));
        QCOMPARE(analysis.rows().first().spend, qint64(70000));
        QCOMPARE(*analysis.rows().first().costPerBooking(), qint64(70000));
    }

    // Each preset's first and last day around a Monday, a Sunday, the last day of a year, the
    // first day of one, 29 February and the 1st of March after a 28-day February.
    void presetsCoverTheirCalendarDays_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("bounds");
        // This week, last week, this month, last month, the last 30 days, this year, any dates.
        QTest::newRow("Monday") << QDate(2026, 12, 7)
                                << QStringList{"2026-12-07 2026-12-13", "2026-11-30 2026-12-06",
                                               "2026-12-01 2026-12-31", "2026-11-01 2026-11-30",
                                               "2026-11-08 2026-12-07", "2026-01-01 2026-12-31",
                                               "2026-12-07 2026-12-07"};
        QTest::newRow("Sunday") << QDate(2026, 12, 6)
                                << QStringList{"2026-11-30 2026-12-06", "2026-11-23 2026-11-29",
                                               "2026-12-01 2026-12-31", "2026-11-01 2026-11-30",
                                               "2026-11-07 2026-12-06", "2026-01-01 2026-12-31",
                                               "2026-12-06 2026-12-06"};
        QTest::newRow("31 December")
            << QDate(2026, 12, 31) << QStringList{"2026-12-28 2027-01-03", "2026-12-21 2026-12-27",
                                                  "2026-12-01 2026-12-31", "2026-11-01 2026-11-30",
                                                  "2026-12-02 2026-12-31", "2026-01-01 2026-12-31",
                                                  "2026-12-31 2026-12-31"};
        QTest::newRow("1 January")
            << QDate(2027, 1, 1) << QStringList{"2026-12-28 2027-01-03", "2026-12-21 2026-12-27",
                                                "2027-01-01 2027-01-31", "2026-12-01 2026-12-31",
                                                "2026-12-03 2027-01-01", "2027-01-01 2027-12-31",
                                                "2027-01-01 2027-01-01"};
        QTest::newRow("29 February")
            << QDate(2028, 2, 29) << QStringList{"2028-02-28 2028-03-05", "2028-02-21 2028-02-27",
                                                 "2028-02-01 2028-02-29", "2028-01-01 2028-01-31",
                                                 "2028-01-31 2028-02-29", "2028-01-01 2028-12-31",
                                                 "2028-02-29 2028-02-29"};
        QTest::newRow("1 March, Sunday")
            << QDate(2026, 3, 1) << QStringList{"2026-02-23 2026-03-01", "2026-02-16 2026-02-22",
                                                "2026-03-01 2026-03-31", "2026-02-01 2026-02-28",
                                                "2026-01-31 2026-03-01", "2026-01-01 2026-12-31",
                                                "2026-03-01 2026-03-01"};
    }

    void presetsCoverTheirCalendarDays()
    {
        QFETCH(QDate, today);
        QFETCH(QStringList, bounds);
        using P = AnalysisPeriod::Preset;
        QStringList given;
        for (const P preset : {P::ThisWeek, P::LastWeek, P::ThisMonth, P::LastMonth, P::Last30Days,
                               P::ThisYear, P::AnyDates}) {
            const AnalysisPeriod period = AnalysisPeriod::preset(preset, today);
            given << period.from().toString(Qt::ISODate) + " " + period.to().toString(Qt::ISODate);
        }
        QCOMPARE(given, bounds);
    }

    // Renaming a source takes its spend along; a rename into a case twin merges it.
    void spendFollowsARenamedSource()
    {
        DataEnv env(newPath());
        QVERIFY(env.connect());
        env.bind("Istochnik")->addRow("IName", QStringLiteral("Газета"));
        SpendStore spend(&env);
        QVERIFY(spend.set(QStringLiteral("газета"), QDate(2026, 11, 1), 100));
        QVERIFY(env.renameEntry("Istochnik", 1, QStringLiteral("Пресса")));
        QList<SpendStore::Entry> entries;
        QVERIFY(spend.entries(&entries));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().source, QStringLiteral("Пресса"));
        QCOMPARE(entries.first().kopecks, qint64(100));
    }
};

QTEST_MAIN(TestAnalysis)
#include "tst_analysis.moc"

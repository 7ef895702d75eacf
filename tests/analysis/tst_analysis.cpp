#include "AdAnalysis.h"
#include "AnalysisExport.h"
#include "AnalysisPeriod.h"
#include "CallStore.h"
#include "DataEnv.h"
#include "FiguresModel.h"
#include "FiguresSortModel.h"
#include "ListStore.h"
#include "Money.h"
#include "RowSet.h"
#include "SpendStore.h"
#include "TestSupport.h"
#include "TotalsStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <numeric>

__extension__ typedef __int128 Wide; // exact sums of kopecks

namespace {

struct SourceCall
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
    Wide n = 0;
    Wide d = 1;
    void add(Wide num, Wide den)
    {
        n = n * den + num * d;
        d *= den;
        Wide a = n < 0 ? -n : n, b = d;
        while (b != 0) {
            const Wide t = a % b;
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

using Preset = AnalysisPeriod::Preset;
using Comparison = AnalysisPeriod::Comparison;

QDate lastOfMonth(const QDate& date)
{
    return QDate(date.year(), date.month(), date.daysInMonth());
}

// The day of the same number `months` months earlier, or the last day of that month when it
// is shorter: counted out by hand.
QDate sameDayMonthsBefore(const QDate& date, int months)
{
    int year = date.year();
    int month = date.month() - months;
    while (month < 1) {
        month += 12;
        --year;
    }
    const QDate first(year, month, 1);
    return QDate(year, month, std::min(date.day(), first.daysInMonth()));
}

// A CSV line of fields separated by ';', with the usual quoting.
QStringList csvFields(const QString& line)
{
    QStringList fields{QString()};
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted && c == u'"' && i + 1 < line.size() && line.at(i + 1) == u'"')
            fields.last() += line.at(++i);
        else if (c == u'"')
            quoted = !quoted;
        else if (!quoted && c == u';')
            fields << QString();
        else
            fields.last() += c;
    }
    return fields;
}

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

    // Интернет (in the list from the start), Газета and Радио with November's calls; October's
    // calls of Интернет; 3 000,00 for Интернет and 0 for Газета in November, and an amount for
    // Радио in January only.
    void fillThreeSources(DataEnv& env)
    {
        for (const QString& name : {QStringLiteral("Газета"), QStringLiteral("Радио")})
            env.bind("Istochnik")->addRow("IName", name);
        QVector<Call> rows;
        auto add = [&](const QDate& date, const QString& source, int calls, int booked) {
            for (int i = 0; i < calls; ++i)
                rows << Call{date.addDays(i), "A", source, i < booked, QTime(10, 0)};
        };
        add(QDate(2026, 11, 2), QStringLiteral("Интернет"), 10, 4);
        add(QDate(2026, 10, 2), QStringLiteral("Интернет"), 12, 6);
        add(QDate(2026, 11, 3), QStringLiteral("Газета"), 5, 2);
        add(QDate(2026, 11, 4), QStringLiteral("Радио"), 6, 3);
        QVERIFY2(env.calls().addMany(rows), qPrintable(env.calls().errorText()));
        SpendStore spend(&env);
        QVERIFY(spend.set(QStringLiteral("Интернет"), QDate(2026, 11, 1), 300000));
        QVERIFY(spend.set(QStringLiteral("Газета"), QDate(2026, 11, 1), 0));
        QVERIFY(spend.set(QStringLiteral("Радио"), QDate(2027, 1, 1), 500000));
    }

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
        QList<SourceCall> calls;
        QVector<Call> rows;
        auto anyCall = [&] {
            const int hour = int(m_random.bounded(26)); // 24 and 25: no time
            return SourceCall{
                anyDate(first, last), sourceNames.at(m_random.bounded(int(sourceNames.size()))),
                m_random.bounded(3) == 0,
                hour < 24 ? QTime(hour, m_random.bounded(60), m_random.bounded(60)) : QTime()};
        };
        for (int i = 0; i < 3000; ++i) {
            calls << anyCall();
            rows << Call{calls.last().date, "A", calls.last().source, calls.last().booked,
                         calls.last().time};
        }
        QVERIFY2(env.calls().addMany(rows), qPrintable(env.calls().errorText()));
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
        QVERIFY(env.totals().check(&differences));
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
            std::optional<qint64> totalSpend;
            qint64 pricedCalls = 0;
            for (int r = 0; r < listed.size(); ++r) {
                const SourceFigures& row = analysis.rows().at(r);
                const QString folded = listed.at(r).toCaseFolded();
                SourceFigures expected;
                for (const SourceCall& c : calls) {
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
                // No amount for any day of the period: no spend at all, not 0.
                Fraction money;
                bool entered = false;
                for (QDate d = period.from(); d <= period.to(); d = d.addDays(1)) {
                    const QPair<QString, QDate> key{folded, QDate(d.year(), d.month(), 1)};
                    entered = entered || months.contains(key);
                    money.add(months.value(key, 0), d.daysInMonth());
                }
                // -1: no amount entered (the optional's ternary misleads GCC 12's flow analysis)
                const qint64 exact = entered ? money.rounded() : -1;
                const std::optional<qint64> spent =
                    exact >= 0 ? std::make_optional(exact) : std::nullopt;
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
                QVERIFY2(row.spend == spent, qPrintable(QString("%1 %2: spend %3, exact %4")
                                                            .arg(where, row.name)
                                                            .arg(row.spend.value_or(-1))
                                                            .arg(spent.value_or(-1))));
                QVERIFY(row.calls != 0 || !row.rate());
                if (row.calls == 0 || !spent)
                    QVERIFY(!row.costPerCall());
                else
                    QCOMPARE(*row.costPerCall(), roundedDivision(*spent, row.calls));
                if (row.booked == 0 || !spent)
                    QVERIFY(!row.costPerBooking());
                else
                    QCOMPARE(*row.costPerBooking(), roundedDivision(*spent, row.booked));
                total.calls += row.calls;
                total.booked += row.booked;
                if (spent) {
                    totalSpend = totalSpend.value_or(0) + *spent;
                    pricedCalls += row.calls;
                }
            }
            QCOMPARE(analysis.total().calls, total.calls);
            QCOMPARE(analysis.total().booked, total.booked);
            QCOMPARE(analysis.total().spend, totalSpend);
            // The totals' cost per call: over the calls of the sources with a spend only.
            if (totalSpend && pricedCalls > 0)
                QCOMPARE(analysis.total().costPerCall(),
                         std::optional<qint64>(roundedDivision(*totalSpend, pricedCalls)));
            else
                QVERIFY(!analysis.total().costPerCall());

            // The heat map counts every call of the period, listed source or not.
            qint64 untimed = 0;
            QMap<int, qint64> cells;
            for (const SourceCall& c : calls) {
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
                for (const SourceCall& c : calls) {
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
                qint64(std::count_if(calls.begin(), calls.end(), [&](const SourceCall& c) {
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
        const Outcome<qint64> read = Money::parse(text);
        if (kopecks < 0) {
            QVERIFY(!read);
            QVERIFY2(read.errorText().contains(reason), qPrintable(read.errorText()));
        } else {
            QVERIFY2(read, qPrintable(read.errorText()));
            QCOMPARE(read.value(), kopecks);
            QCOMPARE(Money::parse(Money::display(kopecks)).value(), kopecks);
            QCOMPARE(Money::parse(Money::plain(kopecks)).value(), kopecks);
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
            QVERIFY(env.calls().addMany(QVector<Call>{
                {QDate(2026, 12, 7), "A", QStringLiteral("Интернет"), true, QTime(9, 15)},
                {QDate(2026, 12, 13), "A", QStringLiteral("Интернет"), false, QTime()}}));
            QSqlQuery q(env.database().connection());
            for (const char* sql : {"DROP TABLE Rashody", "DELETE FROM ItogDen WHERE Vid = 5",
                                    "DELETE FROM ItogMes WHERE Vid = 5", "PRAGMA user_version = 1"})
                QVERIFY2(q.exec(sql), sql);
        }
        DataEnv env(path);
        QVERIFY2(env.connect(), qPrintable(env.errorText()));
        QCOMPARE(env.database().version(), env.database().dialect().schemaVersion());
        QVERIFY(QFile::exists(path + ".v1.bak"));
        QList<TotalsDifference> differences;
        QVERIFY(env.totals().check(&differences));
        QCOMPARE(differences.size(), 0);
        QVERIFY(SpendStore(&env).set(QStringLiteral("интернет"), QDate(2026, 12, 1), 310000));
        AdAnalysis analysis(&env);
        QVERIFY(analysis.load({QDate(2026, 12, 7), QDate(2026, 12, 13)}));
        QCOMPARE(analysis.heatMap().calls(1, 9), qint64(1));
        QCOMPARE(analysis.heatMap().untimed(), qint64(1));
        QCOMPARE(analysis.rows().first().spend, std::optional<qint64>(70000));
        QCOMPARE(*analysis.rows().first().costPerBooking(), qint64(70000));
    }

    // Each preset's first and last day around a Monday, a Sunday, the last day of a year, the
    // first day of one, 29 February and the 1st of March after a 28-day February; the presets
    // that hold today run to today.
    void presetsCoverTheirCalendarDays_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("bounds");
        // This week, last week, this month, last month, the last 30 days, this year, any dates.
        QTest::newRow("Monday") << QDate(2026, 12, 7)
                                << QStringList{"2026-12-07 2026-12-07", "2026-11-30 2026-12-06",
                                               "2026-12-01 2026-12-07", "2026-11-01 2026-11-30",
                                               "2026-11-08 2026-12-07", "2026-01-01 2026-12-07",
                                               "2026-12-07 2026-12-07"};
        QTest::newRow("Sunday") << QDate(2026, 12, 6)
                                << QStringList{"2026-11-30 2026-12-06", "2026-11-23 2026-11-29",
                                               "2026-12-01 2026-12-06", "2026-11-01 2026-11-30",
                                               "2026-11-07 2026-12-06", "2026-01-01 2026-12-06",
                                               "2026-12-06 2026-12-06"};
        QTest::newRow("31 December")
            << QDate(2026, 12, 31) << QStringList{"2026-12-28 2026-12-31", "2026-12-21 2026-12-27",
                                                  "2026-12-01 2026-12-31", "2026-11-01 2026-11-30",
                                                  "2026-12-02 2026-12-31", "2026-01-01 2026-12-31",
                                                  "2026-12-31 2026-12-31"};
        QTest::newRow("1 January")
            << QDate(2027, 1, 1) << QStringList{"2026-12-28 2027-01-01", "2026-12-21 2026-12-27",
                                                "2027-01-01 2027-01-01", "2026-12-01 2026-12-31",
                                                "2026-12-03 2027-01-01", "2027-01-01 2027-01-01",
                                                "2027-01-01 2027-01-01"};
        QTest::newRow("29 February")
            << QDate(2028, 2, 29) << QStringList{"2028-02-28 2028-02-29", "2028-02-21 2028-02-27",
                                                 "2028-02-01 2028-02-29", "2028-01-01 2028-01-31",
                                                 "2028-01-31 2028-02-29", "2028-01-01 2028-02-29",
                                                 "2028-02-29 2028-02-29"};
        QTest::newRow("1 March, Sunday")
            << QDate(2026, 3, 1) << QStringList{"2026-02-23 2026-03-01", "2026-02-16 2026-02-22",
                                                "2026-03-01 2026-03-01", "2026-02-01 2026-02-28",
                                                "2026-01-31 2026-03-01", "2026-01-01 2026-03-01",
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

    // The presets around pinned days: each one's first and last day, and the period it is
    // compared with by default and when asked for another comparison.
    void presetsRunToTodayAndCompareLikeForLike_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("preset");
        QTest::addColumn<int>("comparison"); // -1: the preset's own
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QDate>("previousFrom");
        QTest::addColumn<QDate>("previousTo");
        QTest::addColumn<QString>("applied");
        auto row = [](const char* name, QDate today, Preset preset, int comparison, QDate from,
                      QDate to, QDate previousFrom, QDate previousTo, const char* applied) {
            QTest::newRow(name) << today << int(preset) << comparison << from << to << previousFrom
                                << previousTo << QString(applied);
        };
        const int own = -1;
        const int span = int(Comparison::PreviousSpan);
        const int year = int(Comparison::PreviousYear);
        const int unit = int(Comparison::PreviousUnit);
        const QDate monday(2026, 12, 7), sunday(2026, 12, 13), newYearsEve(2026, 12, 31);
        const QDate leapDay(2024, 2, 29), march31(2025, 3, 31), march30(2025, 3, 30);
        using D = QDate;
        // A Monday: the open week is one day, the open month seven.
        row("Mon this week", monday, Preset::ThisWeek, own, monday, monday, D(2026, 11, 30),
            D(2026, 11, 30), "previous-unit");
        row("Mon last week", monday, Preset::LastWeek, own, D(2026, 11, 30), D(2026, 12, 6),
            D(2026, 11, 23), D(2026, 11, 29), "previous-unit");
        row("Mon this month", monday, Preset::ThisMonth, own, D(2026, 12, 1), monday,
            D(2026, 11, 1), D(2026, 11, 7), "previous-unit");
        row("Mon this month, span", monday, Preset::ThisMonth, span, D(2026, 12, 1), monday,
            D(2026, 11, 24), D(2026, 11, 30), "previous-span");
        row("Mon this month, year", monday, Preset::ThisMonth, year, D(2026, 12, 1), monday,
            D(2025, 12, 1), D(2025, 12, 7), "previous-year");
        row("Mon last month", monday, Preset::LastMonth, own, D(2026, 11, 1), D(2026, 11, 30),
            D(2026, 10, 1), D(2026, 10, 31), "previous-unit");
        row("Mon last 30 days", monday, Preset::Last30Days, own, D(2026, 11, 8), monday,
            D(2026, 10, 9), D(2026, 11, 7), "previous-span");
        row("Mon last 30 days, unit", monday, Preset::Last30Days, unit, D(2026, 11, 8), monday,
            D(2026, 10, 9), D(2026, 11, 7), "previous-span");
        row("Mon this year", monday, Preset::ThisYear, own, D(2026, 1, 1), monday, D(2025, 1, 1),
            D(2025, 12, 7), "previous-unit");
        row("Mon last week, year", monday, Preset::LastWeek, year, D(2026, 11, 30), D(2026, 12, 6),
            D(2025, 12, 1), D(2025, 12, 7), "previous-year"); // Mon - Sun
        // A Sunday closes its week.
        row("Sun this week", sunday, Preset::ThisWeek, own, monday, sunday, D(2026, 11, 30),
            D(2026, 12, 6), "previous-unit");
        row("Sun last week", sunday, Preset::LastWeek, own, D(2026, 11, 30), D(2026, 12, 6),
            D(2026, 11, 23), D(2026, 11, 29), "previous-unit");
        row("Sun this month", sunday, Preset::ThisMonth, own, D(2026, 12, 1), sunday,
            D(2026, 11, 1), D(2026, 11, 13), "previous-unit");
        // The last day of a year: whole month, whole year.
        row("Dec 31 this week", newYearsEve, Preset::ThisWeek, own, D(2026, 12, 28), newYearsEve,
            D(2026, 12, 21), D(2026, 12, 24), "previous-unit");
        row("Dec 31 this month", newYearsEve, Preset::ThisMonth, own, D(2026, 12, 1), newYearsEve,
            D(2026, 11, 1), D(2026, 11, 30), "previous-unit");
        row("Dec 31 this year", newYearsEve, Preset::ThisYear, own, D(2026, 1, 1), newYearsEve,
            D(2025, 1, 1), D(2025, 12, 31), "previous-unit");
        row("Dec 31 last 30 days", newYearsEve, Preset::Last30Days, own, D(2026, 12, 2),
            newYearsEve, D(2026, 11, 2), D(2026, 12, 1), "previous-span");
        // 29 February: a whole February against a whole January; the year to date against
        // the same days of a year without 29 February.
        row("Feb 29 this week", leapDay, Preset::ThisWeek, own, D(2024, 2, 26), leapDay,
            D(2024, 2, 19), D(2024, 2, 22), "previous-unit");
        row("Feb 29 this month", leapDay, Preset::ThisMonth, own, D(2024, 2, 1), leapDay,
            D(2024, 1, 1), D(2024, 1, 31), "previous-unit");
        row("Feb 29 last month", leapDay, Preset::LastMonth, own, D(2024, 1, 1), D(2024, 1, 31),
            D(2023, 12, 1), D(2023, 12, 31), "previous-unit");
        row("Feb 29 this year", leapDay, Preset::ThisYear, own, D(2024, 1, 1), leapDay,
            D(2023, 1, 1), D(2023, 2, 28), "previous-unit");
        row("Feb 28 2025 this year", D(2025, 2, 28), Preset::ThisYear, own, D(2025, 1, 1),
            D(2025, 2, 28), D(2024, 1, 1), D(2024, 2, 29), "previous-unit"); // whole months
        row("Feb 29 this month, year", leapDay, Preset::ThisMonth, year, D(2024, 2, 1), leapDay,
            D(2023, 2, 1), D(2023, 2, 28), "previous-year");
        // The end of March: February is shorter.
        row("Mar 31 this week", march31, Preset::ThisWeek, own, march31, march31, D(2025, 3, 24),
            D(2025, 3, 24), "previous-unit");
        row("Mar 31 this month", march31, Preset::ThisMonth, own, D(2025, 3, 1), march31,
            D(2025, 2, 1), D(2025, 2, 28), "previous-unit");
        row("Mar 30 this month", march30, Preset::ThisMonth, own, D(2025, 3, 1), march30,
            D(2025, 2, 1), D(2025, 2, 28), "previous-unit"); // clamped to February's end
        row("Mar 31 last month", march31, Preset::LastMonth, own, D(2025, 2, 1), D(2025, 2, 28),
            D(2025, 1, 1), D(2025, 1, 31), "previous-unit");
        row("Mar 31 this year", march31, Preset::ThisYear, own, D(2025, 1, 1), march31,
            D(2024, 1, 1), D(2024, 3, 31), "previous-unit");
    }

    void presetsRunToTodayAndCompareLikeForLike()
    {
        QFETCH(QDate, today);
        QFETCH(int, preset);
        QFETCH(int, comparison);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QDate, previousFrom);
        QFETCH(QDate, previousTo);
        QFETCH(QString, applied);
        AnalysisPeriod period = AnalysisPeriod::preset(Preset(preset), today);
        if (comparison >= 0)
            period = period.comparedWith(Comparison(comparison));
        QCOMPARE(period.from(), from);
        QCOMPARE(period.to(), to);
        QCOMPARE(period.previous().from(), previousFrom);
        QCOMPARE(period.previous().to(), previousTo);
        QCOMPARE(AnalysisPeriod::name(period.comparison()), applied);
    }

    // Every day of three years (a leap year among them): the open presets end today and are
    // compared with the same days one unit before, counted out day by day.
    void everyDayComparesWithTheSameDaysBefore()
    {
        for (QDate today(2023, 1, 1); today <= QDate(2025, 12, 31); today = today.addDays(1)) {
            const QString where = today.toString(Qt::ISODate);
            const AnalysisPeriod week = AnalysisPeriod::preset(Preset::ThisWeek, today);
            QVERIFY2(week.to() == today && week.from().dayOfWeek() == 1 && week.days() <= 7,
                     qPrintable(where));
            QVERIFY2(week.previous().days() == week.days() &&
                         week.previous().from().daysTo(week.from()) == 7,
                     qPrintable(where));

            const AnalysisPeriod month = AnalysisPeriod::preset(Preset::ThisMonth, today);
            QVERIFY2(month.from() == QDate(today.year(), today.month(), 1) && month.to() == today,
                     qPrintable(where));
            const QDate monthBefore = sameDayMonthsBefore(month.from(), 1);
            const QDate expectedTo = today == lastOfMonth(today) ? lastOfMonth(monthBefore)
                                                                 : sameDayMonthsBefore(today, 1);
            QVERIFY2(month.previous().from() == monthBefore && month.previous().to() == expectedTo,
                     qPrintable(where + " " + month.previous().text()));

            const AnalysisPeriod year = AnalysisPeriod::preset(Preset::ThisYear, today);
            QVERIFY2(year.from() == QDate(today.year(), 1, 1) && year.to() == today,
                     qPrintable(where));
            QCOMPARE(year.previous().from(), QDate(today.year() - 1, 1, 1));
            QVERIFY2(year.previous().to() == (today == lastOfMonth(today)
                                                  ? lastOfMonth(sameDayMonthsBefore(today, 12))
                                                  : sameDayMonthsBefore(today, 12)),
                     qPrintable(where + " " + year.previous().text()));

            // The closed ones: the whole unit before, never overlapping.
            const AnalysisPeriod lastMonth = AnalysisPeriod::preset(Preset::LastMonth, today);
            QVERIFY2(lastMonth.previous().to().addDays(1) == lastMonth.from() &&
                         lastMonth.previous().from().day() == 1,
                     qPrintable(where));
            const AnalysisPeriod lastWeek = AnalysisPeriod::preset(Preset::LastWeek, today);
            QVERIFY2(lastWeek.to().addDays(1) == week.from() && lastWeek.days() == 7 &&
                         lastWeek.previous().to().addDays(1) == lastWeek.from() &&
                         lastWeek.previous().days() == 7,
                     qPrintable(where));
            const AnalysisPeriod days = AnalysisPeriod::preset(Preset::Last30Days, today);
            QVERIFY2(days.days() == 30 && days.to() == today &&
                         days.previous().to().addDays(1) == days.from() &&
                         days.previous().days() == 30,
                     qPrintable(where));
        }
    }

    // Three sources over November: one with a spend, one with 0 entered on purpose, one with
    // nothing entered for November (only for January): "—" there, never 0,00.
    void noSpendIsNotZero()
    {
        DataEnv env(newPath());
        QVERIFY(env.connect());
        fillThreeSources(env);
        AdAnalysis analysis(&env);
        QVERIFY2(analysis.load({QDate(2026, 11, 1), QDate(2026, 11, 30)}),
                 qPrintable(analysis.errorText()));
        const QVector<SourceFigures>& rows = analysis.rows();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0).name, QStringLiteral("Интернет"));
        QCOMPARE(rows.at(0).spend, std::optional<qint64>(300000));
        QCOMPARE(rows.at(1).spend, std::optional<qint64>(0));
        QCOMPARE(rows.at(1).costPerBooking(), std::optional<qint64>(0));
        QCOMPARE(rows.at(2).spend, std::nullopt);
        QCOMPARE(rows.at(2).costPerCall(), std::nullopt);
        QCOMPARE(rows.at(2).costPerBooking(), std::nullopt);

        const QStringList free = AnalysisExport::cells(rows.at(1));
        const QStringList none = AnalysisExport::cells(rows.at(2));
        QCOMPARE(free.mid(8), QStringList({"0,00", "0,00", "0,00"}));
        QCOMPARE(none.mid(8), QStringList({"—", "—", "—"}));

        // The totals: the amounts entered, and the costs over the calls and bookings of the
        // sources with a spend only (15 calls, 6 bookings), not over the 21 calls.
        QCOMPARE(analysis.total().spend, std::optional<qint64>(300000));
        QCOMPARE(analysis.total().costPerCall(), std::optional<qint64>(20000));
        QCOMPARE(analysis.total().costPerBooking(), std::optional<qint64>(50000));

        const QJsonObject json =
            QJsonDocument::fromJson(AnalysisExport::conversionJson(analysis).toUtf8()).object();
        const QJsonObject radio = json.value("rows").toArray().at(2).toObject();
        for (const char* key : {"spend", "cost_per_call", "cost_per_booking"}) {
            QVERIFY2(radio.value(key).isNull(), key);
            QCOMPARE(json.value("rows").toArray().at(1).toObject().value(key).toString(),
                     QString("0.00"));
        }
        QCOMPARE(json.value("total").toObject().value("cost_per_call").toString(),
                 QString("200.00"));

        // Sorted by spend or by a cost, either way: the sources without a spend come after
        // every figure, the totals last.
        FiguresModel model;
        model.setAnalysis(analysis);
        FiguresSortModel sorted;
        sorted.setSourceModel(&model);
        auto names = [&] {
            QStringList list;
            for (int r = 0; r < sorted.rowCount(); ++r)
                list << sorted.index(r, 0).data().toString();
            return list;
        };
        const QString internet = QStringLiteral("Интернет"), paper = QStringLiteral("Газета"),
                      radioName = QStringLiteral("Радио"), total = QStringLiteral("Итого");
        for (const int column : {8, 9, 10}) {
            sorted.sort(column, Qt::AscendingOrder);
            QCOMPARE(names(), QStringList({paper, internet, radioName, total}));
            sorted.sort(column, Qt::DescendingOrder);
            QCOMPARE(names(), QStringList({internet, paper, radioName, total}));
        }
    }

    // The CSV in a spreadsheet set to Russian: every figure a number (decimal comma, ASCII
    // minus, no group blanks, shares and changes in percent as the headings say), and the
    // same read back by a spreadsheet program.
    void csvFiguresAreNumbersInASpreadsheet()
    {
        DataEnv env(newPath());
        QVERIFY(env.connect());
        fillThreeSources(env);
        AdAnalysis analysis(&env);
        QVERIFY(analysis.load({QDate(2026, 11, 1), QDate(2026, 11, 30)}));
        const QString file = m_dir.filePath("analysis.csv");
        AnalysisExport exporter;
        QVERIFY2(exporter.write(AnalysisExport::Format::Csv, analysis, file),
                 qPrintable(exporter.errorText()));
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QByteArray bytes = csv.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        QStringList lines = QString::fromUtf8(bytes.mid(3)).split("\r\n");
        QCOMPARE(lines.takeLast(), QString());
        QCOMPARE(lines.size(), 5);
        QList<QStringList> table;
        for (const QString& line : std::as_const(lines))
            table << csvFields(line);
        const QStringList headings = table.first();
        for (const int column : {3, 6, 7})
            QVERIFY2(headings.at(column).endsWith(QStringLiteral(", %")),
                     qPrintable(headings.at(column)));
        const QRegularExpression number("^-?[0-9]+(,[0-9]+)?$");
        for (const QStringList& row : table.mid(1)) {
            QCOMPARE(row.size(), headings.size());
            for (int c = 1; c < row.size(); ++c)
                QVERIFY2(row.at(c).isEmpty() || number.match(row.at(c)).hasMatch(),
                         qPrintable(row.join(u'|')));
        }
        // Интернет: 10 calls, 4 booked, 12 calls and 6 bookings before, 3 000,00 spent.
        QCOMPARE(table.at(1), QStringList({QStringLiteral("Интернет"), "10", "4", "40,0", "12", "6",
                                           "-16,7", "-33,3", "3000,00", "300,00", "750,00"}));
        QCOMPARE(table.at(2).mid(8), QStringList({"0,00", "0,00", "0,00"}));
        QCOMPARE(table.at(3).mid(8), QStringList({"", "", ""})); // no spend: no figure

        // A spreadsheet program reads it back. Its text import takes tabs, so the fields are
        // handed over as read above.
        const QString convert = QStandardPaths::findExecutable("ssconvert");
        if (convert.isEmpty()) {
            if (qEnvironmentVariableIsSet("CI"))
                QFAIL("ssconvert (gnumeric) is missing");
            QSKIP("ssconvert (gnumeric) is missing: ./kalvent.sh test installs it");
        }
        QFile tabs(m_dir.filePath("analysis.txt"));
        QVERIFY(tabs.open(QIODevice::WriteOnly));
        for (const QStringList& row : std::as_const(table))
            tabs.write(row.join(u'\t').toUtf8() + "\n");
        tabs.close();
        const QString sheet = m_dir.filePath("analysis.xml");
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LC_ALL", "C.UTF-8");
        process.setProcessEnvironment(environment);
        process.start(convert, {"-I", "Gnumeric_stf:stf_csvtab", "-T", "Gnumeric_XmlIO:sax:0",
                                tabs.fileName(), sheet});
        QVERIFY(process.waitForFinished(120000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
        QFile xml(sheet);
        QVERIFY(xml.open(QIODevice::ReadOnly));
        const QString cells = QString::fromUtf8(xml.readAll());
        const QRegularExpression cell(
            "<gnm:Cell Row=\"(\\d+)\" Col=\"(\\d+)\" ValueType=\"(\\d+)\"[^>]*>([^<]*)</gnm:Cell>");
        int numbers = 0;
        for (auto it = cell.globalMatch(cells); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            const int r = m.captured(1).toInt();
            const int c = m.captured(2).toInt();
            if (r == 0 || c == 0)
                continue;
            const QString written = table.at(r).at(c);
            // 40: a number; its value is the one written.
            QVERIFY2(m.captured(3) == "40", qPrintable(written + " read as " + m.captured(3)));
            QVERIFY2(qAbs(m.captured(4).toDouble() -
                          QString(written).replace(u',', u'.').toDouble()) < 1e-9,
                     qPrintable(written + " read as " + m.captured(4)));
            ++numbers;
        }
        int written = 0;
        for (const QStringList& row : table.mid(1))
            for (int c = 1; c < row.size(); ++c)
                written += !row.at(c).isEmpty();
        QCOMPARE(numbers, written);
    }

    // Renaming a source takes its spend along; a rename into a case twin merges it.
    void spendFollowsARenamedSource()
    {
        DataEnv env(newPath());
        QVERIFY(env.connect());
        env.bind("Istochnik")->addRow("IName", QStringLiteral("Газета"));
        SpendStore spend(&env);
        QVERIFY(spend.set(QStringLiteral("газета"), QDate(2026, 11, 1), 100));
        QVERIFY(env.lists().rename("Istochnik", 1, QStringLiteral("Пресса")));
        QList<SpendStore::Entry> entries;
        QVERIFY(spend.entries(&entries));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().source, QStringLiteral("Пресса"));
        QCOMPARE(entries.first().kopecks, qint64(100));
    }
};

QTEST_MAIN(TestAnalysis)
#include "tst_analysis.moc"

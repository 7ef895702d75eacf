#include "WeeklySeries.h"

#include <QtTest>

namespace {

// The weeks of a period as the analysis reads them: every day up to `today` has the given
// calls and bookings, the days after it none.
QVector<AdAnalysis::Week> steadyWeeks(const AnalysisPeriod& period, const QDate& today, int calls,
                                      int booked)
{
    QVector<AdAnalysis::Week> weeks;
    for (QDate monday = AnalysisPeriod::monday(period.from()); monday <= period.to();
         monday = monday.addDays(7)) {
        AdAnalysis::Week week;
        week.monday = monday;
        for (QDate day = monday; day < monday.addDays(7); day = day.addDays(1))
            if (day >= period.from() && day <= period.to() && day <= today) {
                week.calls += calls;
                week.booked += booked;
            }
        weeks << week;
    }
    return weeks;
}

} // namespace

// The weekly chart's series: what each point stands for, at the period's ends and at today.
class TestWeeklySeries : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void aSteadyFlowDrawsFlatUpToToday()
    {
        // From a Wednesday to the end of a month that today (a Wednesday) is in the middle of.
        const AnalysisPeriod period(QDate(2026, 11, 4), QDate(2026, 12, 31));
        const QDate today(2026, 12, 9);
        const QVector<AdAnalysis::Week> weeks = steadyWeeks(period, today, 10, 3);
        for (const auto measure : {WeeklySeries::Measure::Calls, WeeklySeries::Measure::Booked}) {
            WeeklySeries weekly(period, today, measure);
            QVERIFY(weekly.add(QStringLiteral("Газета"), weeks));
            QCOMPARE(weekly.lastDay(), today);
            const QVector<WeeklySeries::Point> points = weekly.series().first().points;
            // 2 Nov .. 7 Dec: the weeks after today have no point.
            QCOMPARE(points.size(), 6);
            QCOMPARE(points.first().first, QDate(2026, 11, 4));
            QCOMPARE(points.first().days(), 5);
            QCOMPARE(points.last().first, QDate(2026, 12, 7));
            QCOMPARE(points.last().last, today);
            QVERIFY(points.first().isPartial() && points.last().isPartial());
            QVERIFY(!points.at(2).isPartial());
            qint64 counted = 0;
            for (const WeeklySeries::Point& point : points) {
                QCOMPARE(point.perDay(), measure == WeeklySeries::Measure::Calls ? 10.0 : 3.0);
                counted += point.count;
            }
            QCOMPARE(counted, qint64(36 * (measure == WeeklySeries::Measure::Calls ? 10 : 3)));
            QVERIFY(weekly.unit().contains(measure == WeeklySeries::Measure::Calls
                                               ? QStringLiteral("Звонков в день")
                                               : QStringLiteral("Записей в день")));
        }
    }

    void aSingleWeekIsOnePoint()
    {
        const QDate today(2026, 12, 9);
        const AnalysisPeriod thisWeek(QDate(2026, 12, 7), QDate(2026, 12, 13));
        WeeklySeries current(thisWeek, today, WeeklySeries::Measure::Calls);
        current.add(QStringLiteral("Радио"), steadyWeeks(thisWeek, today, 4, 1));
        QCOMPARE(current.series().first().points.size(), 1);
        QCOMPARE(current.series().first().points.first().days(), 3);
        QCOMPARE(current.series().first().points.first().perDay(), 4.0);

        const AnalysisPeriod lastWeek(QDate(2026, 11, 30), QDate(2026, 12, 6));
        WeeklySeries closed(lastWeek, today, WeeklySeries::Measure::Calls);
        closed.add(QStringLiteral("Радио"), steadyWeeks(lastWeek, today, 4, 1));
        QCOMPARE(closed.series().first().points.size(), 1);
        QCOMPARE(closed.series().first().points.first().days(), 7);

        // A period still to come has nothing to draw.
        const AnalysisPeriod nextWeek(QDate(2026, 12, 14), QDate(2026, 12, 20));
        WeeklySeries future(nextWeek, today, WeeklySeries::Measure::Calls);
        future.add(QStringLiteral("Радио"), steadyWeeks(nextWeek, today, 4, 1));
        QVERIFY(!future.lastDay().isValid());
        QVERIFY(future.series().first().points.isEmpty());
    }

    void eachSourceIsItsOwnSeriesUpToSix()
    {
        const AnalysisPeriod period(QDate(2026, 11, 1), QDate(2026, 11, 30));
        const QDate today(2026, 12, 9);
        WeeklySeries weekly(period, today, WeeklySeries::Measure::Calls);
        for (int i = 0; i < WeeklySeries::maxSeries; ++i)
            QVERIFY(weekly.add(QStringLiteral("Источник %1").arg(i),
                               steadyWeeks(period, today, i + 1, 0)));
        QVERIFY(!weekly.add(QStringLiteral("Седьмой"), steadyWeeks(period, today, 9, 0)));
        QCOMPARE(weekly.series().size(), WeeklySeries::maxSeries);
        QSet<QRgb> colours;
        for (int i = 0; i < weekly.series().size(); ++i) {
            const WeeklySeries::Series& series = weekly.series().at(i);
            QCOMPARE(series.name, QStringLiteral("Источник %1").arg(i));
            QCOMPARE(series.points.first().perDay(), double(i + 1));
            colours.insert(series.colour.rgb());
        }
        QCOMPARE(colours.size(), WeeklySeries::maxSeries);
    }
};

QTEST_GUILESS_MAIN(TestWeeklySeries)
#include "tst_weeklyseries.moc"

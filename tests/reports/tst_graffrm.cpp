#include "CallStore.h"
#include "DataEnv.h"
#include "GrafFrm.h"
#include "ReportKind.h"
#include "ReportPeriod.h"
#include "ReportPreview.h"
#include "ReportRunner.h"
#include "RowSet.h"
#include "TestSupport.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QLegend>

namespace {

const QDate today(2026, 12, 6);

QBarSeries* barSeries(const GrafFrm& window)
{
    const QList<QAbstractSeries*> series = window.chartView()->chart()->series();
    return series.size() == 1 ? qobject_cast<QBarSeries*>(series.first()) : nullptr;
}

} // namespace

class TestGrafFrm : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        QVERIFY(m_dir.isValid());
    }

    void beforeAnyByDateReportTheChartSaysNoPeriod()
    {
        DataEnv env(TestSupport::database(m_dir.filePath("empty.db")));
        QVERIFY(env.connect());
        GrafFrm window(&env, std::nullopt);
        QVERIFY(!window.chartData().hasPeriod());
        QVERIFY(window.chartView()->chart()->title().contains(QStringLiteral("Период не выбран")));
        QBarSeries* series = barSeries(window);
        QVERIFY(series);
        QCOMPARE(series->barSets().size(), 2);
        QCOMPARE(series->barSets().at(0)->count(), 0);
        QVERIFY(!env.rowSet("rsReportDates")->isOpen());
        QVERIFY(TestSupport::keepPicture(window, "graffrm-no-period.png"));
    }

    void drawsTheDatesOfTheLastByDatePeriod()
    {
        DataEnv env(TestSupport::database(m_dir.filePath("calls.db")));
        QVERIFY(env.connect());
        const QString net = QStringLiteral("Интернет");
        const QString cut = QStringLiteral("Стрижка");
        const QTime noon(12, 0);
        QVector<Call> calls;
        for (int day = 0; day < 8; ++day)
            for (int n = 0; n <= day % 4; ++n)
                calls << Call{today.addDays(-day), cut, net, n % 2 == 0, noon};
        calls << Call{today.addDays(-30), cut, net, true, noon}; // outside the period
        QVERIFY(env.calls().addMany(calls));

        // Two by-date reports ran and closed their row set, as the period dialog does: the
        // diagram is given the later one's period.
        const ReportKind& byDate = *ReportKind::find(ReportKind::ByDate);
        ReportPreview::setHandler(
            [](QDialog&, const QAbstractItemModel&, const QString&) { return QString(); });
        QVERIFY(ReportPreview::showReport(byDate, ReportPeriod(today.addDays(-1), today), &env,
                                          nullptr));
        QVERIFY(ReportPreview::showReport(byDate, ReportPeriod(today.addDays(-6), today), &env,
                                          nullptr));
        ReportPreview::setHandler({});
        QVERIFY(!env.rowSet("rsReportDates")->isOpen());
        const std::optional<ReportPeriod> last = ReportRunner::lastPeriod(byDate);
        QVERIFY(last);
        QCOMPARE(last->text(), ReportPeriod(today.addDays(-6), today).text());

        GrafFrm window(&env, last);
        const DateChartData& data = window.chartData();
        QVERIFY(data.hasPeriod());
        QVERIFY(data.notice().isEmpty());
        QCOMPARE(data.categories().size(), 7); // days without calls have no category
        QCOMPARE(data.categories().first(), QString("30.11.2026"));
        QCOMPARE(data.categories().last(), QString("06.12.2026"));
        QCOMPARE(data.allCalls(), QList<int>({3, 2, 1, 4, 3, 2, 1}));
        QCOMPARE(data.bookedCalls(), QList<int>({2, 1, 1, 2, 2, 1, 1}));

        QBarSeries* series = barSeries(window);
        QVERIFY(series);
        QCOMPARE(series->barSets().at(0)->label(), QStringLiteral("Всего звонков"));
        QCOMPARE(series->barSets().at(1)->label(), QStringLiteral("Записались"));
        QCOMPARE(series->barSets().at(0)->at(3), 4.0);
        QCOMPARE(series->barSets().at(1)->at(3), 2.0);
        auto axes = window.chartView()->chart()->axes(Qt::Horizontal);
        QCOMPARE(axes.size(), 1);
        QCOMPARE(qobject_cast<QBarCategoryAxis*>(axes.first())->categories(), data.categories());
        QVERIFY(window.chartView()->chart()->legend()->isVisible());
        QVERIFY(window.chartView()->chart()->title().isEmpty());
        // The window ran the command for its picture and closed the row set again.
        QVERIFY(!env.rowSet("rsReportDates")->isOpen());
        QVERIFY(TestSupport::keepPicture(window, "graffrm.png"));

        // A period without calls.
        GrafFrm quiet(&env, ReportPeriod(today.addDays(10), today.addDays(11)));
        QVERIFY(quiet.chartData().hasPeriod());
        QVERIFY(quiet.chartView()->chart()->title().contains(QStringLiteral("звонков нет")));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestGrafFrm)
#include "tst_graffrm.moc"

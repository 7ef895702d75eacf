#include "DataEnv.h"
#include "GrafFrm.h"
#include "ReportKind.h"
#include "ReportPeriod.h"
#include "ReportPreview.h"
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

// Saves a picture of the window when a folder for pictures is given.
void keepPicture(QWidget& window, const QString& name)
{
    const QString folder = qEnvironmentVariable("KALVENT_SCREENS_DIR");
    if (folder.isEmpty())
        return;
    window.show();
    QCoreApplication::processEvents();
    QVERIFY(window.grab().save(QDir(folder).filePath(name)));
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
        GrafFrm window(&env);
        QVERIFY(!window.chartData().hasPeriod());
        QVERIFY(window.chartView()->chart()->title().contains(QStringLiteral("Период не выбран")));
        QBarSeries* series = barSeries(window);
        QVERIFY(series);
        QCOMPARE(series->barSets().size(), 2);
        QCOMPARE(series->barSets().at(0)->count(), 0);
        QVERIFY(!env.rowSet("rsReportDates")->isOpen());
        keepPicture(window, "graffrm-no-period.png");
    }

    void drawsTheDatesOfTheLastByDatePeriod()
    {
        DataEnv env(TestSupport::database(m_dir.filePath("calls.db")));
        QVERIFY(env.connect());
        const QString net = QStringLiteral("Интернет");
        const QString cut = QStringLiteral("Стрижка");
        const QTime noon(12, 0);
        QVector<QVariantList> calls;
        for (int day = 0; day < 8; ++day)
            for (int n = 0; n <= day % 4; ++n)
                calls << QVariantList{today.addDays(-day), cut, net, n % 2 == 0, noon};
        calls << QVariantList{today.addDays(-30), cut, net, true, noon}; // outside the period
        QVERIFY(env.addCalls(calls));

        // A by-date report ran and closed its row set, as the period dialog does.
        ReportPreview::setHandler(
            [](QDialog&, const QAbstractItemModel&, const QString&) { return QString(); });
        QVERIFY(ReportPreview::showReport(*ReportKind::find(ReportKind::ByDate),
                                          ReportPeriod(today.addDays(-6), today), &env, nullptr));
        ReportPreview::setHandler({});
        QVERIFY(!env.rowSet("rsReportDates")->isOpen());

        GrafFrm window(&env);
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
        // The window re-ran the command for its picture and closed the row set again.
        QVERIFY(!env.rowSet("rsReportDates")->isOpen());
        keepPicture(window, "graffrm.png");

        // A row set left open (an export under way) is drawn as it is and left open.
        QVERIFY(env.execute("ReportDates", {today.addDays(-1), today}));
        GrafFrm during(&env);
        QCOMPARE(during.chartData().categories().size(), 2);
        QVERIFY(env.rowSet("rsReportDates")->isOpen());
        env.rowSet("rsReportDates")->close();

        // A period without calls.
        QVERIFY(env.execute("ReportDates", {today.addDays(10), today.addDays(11)}));
        env.rowSet("rsReportDates")->close();
        GrafFrm quiet(&env);
        QVERIFY(quiet.chartData().hasPeriod());
        QVERIFY(quiet.chartView()->chart()->title().contains(QStringLiteral("звонков нет")));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestGrafFrm)
#include "tst_graffrm.moc"

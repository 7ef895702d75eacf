#include "MailDigest.h"
#include "TestSupport.h"

#include <QtTest>

namespace {

SourceFigures source(const QString& name, qint64 calls, qint64 booked, std::optional<qint64> spend)
{
    SourceFigures f;
    f.name = name;
    f.calls = calls;
    f.booked = booked;
    f.spend = spend;
    return f;
}

QStringList names(const QVector<SourceFigures>& rows)
{
    QStringList result;
    for (const SourceFigures& f : rows)
        result << f.name;
    return result;
}

} // namespace

class TestMailDigest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    // The cheapest three, then the dearest of the rest (never a source twice); sources without
    // spend or without bookings are only named, and a source with neither calls nor spend is
    // not named at all.
    void sourcesAreRankedByCostPerBooking()
    {
        const QVector<SourceFigures> sources{
            source("D", 5, 1, 90000),   // 900,00
            source("A", 9, 4, 60000),   // 150,00
            source("Free", 7, 3, {}),   // no spend entered
            source("B", 3, 2, 60000),   // 300,00
            source("Idle", 0, 0, {}),   // nothing at all
            source("Lost", 4, 0, 5000), // spend without bookings
            source("C", 2, 1, 30000),   // 300,00: equal to B, after it in the list
        };
        const MailDigest::Ranking four = MailDigest::rank(sources);
        QCOMPARE(names(four.best), QStringList({"A", "B", "C"}));
        QCOMPARE(names(four.worst), QStringList({"D"}));
        QCOMPARE(four.withoutSpend, QStringList({"Free"}));
        QCOMPARE(four.withoutBookings, QStringList({"Lost"}));

        QVector<SourceFigures> more = sources;
        more << source("E", 1, 1, 100000) << source("F", 3, 3, 240000) << source("G", 1, 1, 5000);
        const MailDigest::Ranking seven = MailDigest::rank(more);
        QCOMPARE(names(seven.best), QStringList({"G", "A", "B"}));
        QCOMPARE(names(seven.worst), QStringList({"E", "D", "F"}));

        const MailDigest::Ranking two = MailDigest::rank({sources.at(1), sources.at(3)});
        QCOMPARE(names(two.best), QStringList({"A", "B"}));
        QVERIFY(two.worst.isEmpty());

        // An amount of 0 entered on purpose is a spend: that source costs nothing a booking.
        const MailDigest::Ranking free =
            MailDigest::rank({sources.at(1), source("Word of mouth", 5, 1, 0)});
        QCOMPARE(names(free.best), QStringList({"Word of mouth", "A"}));
        QVERIFY(free.withoutSpend.isEmpty());
    }

    // One bar a day of the period, in order, as tall as its calls against the busiest day,
    // with the bookings drawn inside; days without a row are empty, rows outside are ignored.
    void theChartDrawsTheCallsOfEachDay()
    {
        const AnalysisPeriod period(QDate(2026, 12, 1), QDate(2026, 12, 5));
        const MailDigest digest(period,
                                {{QDate(2026, 12, 5), 1, 1},
                                 {QDate(2026, 12, 1), 8, 2},
                                 {QDate(2026, 12, 2), 4, 0},
                                 {QDate(2026, 11, 30), 50, 50}},
                                0, 0, {});
        QCOMPARE(digest.days().size(), 5);
        QCOMPARE(digest.calls(), 13);
        QCOMPARE(digest.booked(), 3);

        const QImage image = digest.chart();
        QVERIFY(!image.isNull());
        const QRgb calls = qRgb(0x9e, 0xca, 0xe1);
        const QRgb booked = qRgb(0x31, 0x82, 0xbd);
        // Each run of columns holding bar colours is one bar: its height and booked part.
        QList<QPair<int, int>> bars;
        bool inBar = false;
        for (int x = 0; x < image.width(); ++x) {
            int all = 0;
            int inside = 0;
            for (int y = 0; y < image.height(); ++y) {
                const QRgb pixel = image.pixel(x, y);
                all += pixel == calls || pixel == booked;
                inside += pixel == booked;
            }
            if (all > 0 && !inBar)
                bars.append({all, inside});
            inBar = all > 0;
        }
        QCOMPARE(bars.size(), 3);
        const double unit = bars.at(0).first / 8.0;
        QVERIFY(unit > 5);
        auto near = [unit](int pixels, double value) {
            return std::abs(pixels - value * unit) <= 1.5;
        };
        QVERIFY(near(bars.at(0).second, 2));
        QVERIFY(near(bars.at(1).first, 4) && bars.at(1).second == 0);
        QVERIFY(near(bars.at(2).first, 1) && near(bars.at(2).second, 1));

        const QImage png = QImage::fromData(digest.chartPng(), "PNG");
        QCOMPARE(png.size(), image.size());
    }
};

QTEST_MAIN(TestMailDigest)
#include "tst_maildigest.moc"

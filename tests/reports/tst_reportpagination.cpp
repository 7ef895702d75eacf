#include "ReportKind.h"
#include "ReportLayouts.h"
#include "ReportPage.h"
#include "ReportPaginator.h"
#include "ReportText.h"
#include "TestSupport.h"

#include <QStandardItemModel>
#include <numeric>

namespace {

// A plain model with the columns of the per-source report.
std::unique_ptr<QStandardItemModel> sourceRows(int count)
{
    auto model = std::make_unique<QStandardItemModel>(count, 3);
    model->setHorizontalHeaderLabels({"IName", "Zvonkov", "zapis"});
    for (int row = 0; row < count; ++row) {
        model->setData(model->index(row, 0), QStringLiteral("Источник %1").arg(row + 1));
        model->setData(model->index(row, 1), qlonglong(row % 7));
        model->setData(model->index(row, 2), qlonglong(row % 3));
    }
    return model;
}

// The column a text prints in (0 name, 1 calls, 2 booked): that of the heading nearest to
// its left edge.
int column(const ReportPage& page, const ReportItem& item)
{
    const QStringList headings{QString(), QStringLiteral("Кол-во звонков"),
                               QStringLiteral("Кол-во записи")};
    int best = -1, distance = INT_MAX;
    for (const ReportItem& heading : page.items)
        if (heading.section == "Section2" &&
            qAbs(heading.rect.left() - item.rect.left()) < distance) {
            distance = qAbs(heading.rect.left() - item.rect.left());
            best = qMax(0, int(headings.indexOf(heading.text)));
        }
    return best;
}

} // namespace

class TestReportPagination : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void layoutsAreSharedAndLookedUpWithoutCase()
    {
        const ReportLayout* layout = ReportLayouts::get("RepkolVo");
        QVERIFY(layout);
        QCOMPARE(ReportLayouts::get("repkolvo"), layout);
        QCOMPARE(ReportLayouts::get("REPKOLVO"), layout);
        QVERIFY(!ReportLayouts::get("NoSuchReport"));
        // Each report's layout prints the rows of the report's command.
        for (const ReportKind& kind : ReportKind::all())
            QCOMPARE(ReportLayouts::get(kind.layoutName())->dataMember(), kind.command());
        for (const QString& name : ReportLayouts::names()) {
            const ReportLayout* each = ReportLayouts::get(name);
            QVERIFY2(each, qPrintable(name));
            QCOMPARE(each->sections().size(), size_t(5));
            const ReportControl* period = each->section("section4")->control("DATA");
            QVERIFY(period);
            QCOMPARE(period->name(), QString("data"));
            QCOMPARE(each->periodLabel(), period);
        }
    }

    void everyRowOnceUnderItsHeading_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QStringList>("fields"); // name, calls, booked
        QTest::addColumn<QString>("totalsLabel");
        QTest::newRow("RepkolVo") << "RepkolVo" << QStringList{"IName", "Zvonkov", "zapis"}
                                  << QStringLiteral("Итого:");
        QTest::newRow("ReportKvUsl") << "ReportKvUsl" << QStringList{"Uname", "Zvonkov", "zapis"}
                                     << QStringLiteral("Итого:");
        QTest::newRow("ReportInternet")
            << "ReportInternet" << QStringList{"Uname", "Zvonkov", "zapis"}
            << QStringLiteral("Итого:");
        QTest::newRow("ReportDates")
            << "ReportDates" << QStringList{"Data", "Vsego", "Zapis"} << QStringLiteral("Всего:");
    }

    // Whatever the layout: the title and the period once, the headings at the top of every
    // page, every row once and whole in its order, each value under its heading, and the
    // totals once after the last row.
    void everyRowOnceUnderItsHeading()
    {
        QFETCH(QString, layout);
        QFETCH(QStringList, fields);
        QFETCH(QString, totalsLabel);
        const int count = 150;
        const bool byDate = fields.first() == "Data";
        QStandardItemModel model(count, 3);
        model.setHorizontalHeaderLabels(fields);
        QList<QStringList> printed;
        for (int row = 0; row < count; ++row) {
            const QDate date = QDate(2026, 1, 1).addDays(row);
            const QString name = QStringLiteral("Имя %1").arg(row + 1);
            model.setData(model.index(row, 0), byDate ? QVariant(date) : QVariant(name));
            model.setData(model.index(row, 1), qlonglong(10 + row % 7));
            model.setData(model.index(row, 2), qlonglong(row % 3));
            printed << QStringList{byDate ? date.toString("dd.MM.yyyy") : name,
                                   QString::number(10 + row % 7), QString::number(row % 3)};
        }
        std::unique_ptr<const ReportLayout> design = ReportLayouts::create(layout);
        ReportPaginator paginator(*design);
        QVERIFY2(paginator.paginate(model, "01.12.2026 - 08.12.2026"),
                 qPrintable(paginator.errorText()));
        const QVector<ReportPage>& pages = paginator.pages();
        QVERIFY(pages.size() > 2);
        QCOMPARE(paginator.reportWidth(), layout == "RepkolVo" ? 7965 : 11906 - 2 * 1440);
        const int bottom = paginator.pageSize().height() - ReportPaginator::defaultMargin;

        QList<int> rows;
        for (const ReportPage& page : pages) {
            QStringList bands;
            for (const ReportPage::Band& band : page.bands) {
                bands << band.section;
                QVERIFY(band.rect.bottom() < bottom); // no band split over two pages
                QCOMPARE(band.rect.width(), paginator.reportWidth());
                if (band.section == "Section1")
                    rows << band.row;
            }
            QCOMPARE(bands.first(), page.number == 1 ? QString("Section4") : QString("Section2"));
            QCOMPARE(bands.count("Section2"), 1);
            QCOMPARE(bands.count("Section4"), page.number == 1 ? 1 : 0);
            QCOMPARE(bands.count("Section5"), page.number == pages.size() ? 1 : 0);
            QCOMPARE(page.bands.at(page.number == 1 ? 1 : 0).section, QString("Section2"));
            // A page ends only when the next row does not fit on it.
            const QRect end = page.bands.last().rect;
            if (page.number < pages.size())
                QVERIFY(end.bottom() + 1 + end.height() > bottom);
            int headings = 0;
            for (const ReportItem& item : page.items) {
                QCOMPARE(item.font.family(), QString("Arial"));
                if (item.section == "Section2") {
                    ++headings;
                    QVERIFY(item.font.bold());
                } else if (item.section == "Section1") {
                    QVERIFY(!item.font.bold());
                    QCOMPARE(item.fullText, printed.at(item.row).at(column(page, item)));
                }
            }
            QCOMPARE(headings, 3);
        }
        QList<int> expected(count);
        std::iota(expected.begin(), expected.end(), 0);
        QCOMPARE(rows, expected);

        const ReportPage& first = pages.first();
        QCOMPARE(first.item("Section4", "data")->text, QString("01.12.2026 - 08.12.2026"));
        // Printed in twips: the title at 14.25 points, the rows at 8.25.
        QCOMPARE(first.item("Section4", "Label1")->font.pixelSize(), 285);
        QCOMPARE(first.item("Section1", "Text1", 0)->font.pixelSize(), 165);
        qint64 sums[3] = {0, 0, 0};
        for (int row = 0; row < count; ++row) {
            sums[1] += 10 + row % 7;
            sums[2] += row % 3;
        }
        const ReportPage& last = pages.last();
        // The totals follow the last row directly.
        QCOMPARE(last.bands.last().section, QString("Section5"));
        QCOMPARE(last.bands.last().rect.top(),
                 last.bands.at(last.bands.size() - 2).rect.bottom() + 1);
        QStringList totals;
        for (const ReportItem& item : last.items) {
            if (item.section != "Section5" || item.text.isEmpty())
                continue;
            const bool label = item.text == totalsLabel;
            QCOMPARE(item.font.bold(), label);
            totals << (label ? item.text : QString::number(sums[column(last, item)]));
            QCOMPARE(item.text, totals.last());
        }
        QStringList expectedTotals{QString::number(sums[1]), QString::number(sums[2]), totalsLabel};
        totals.sort();
        expectedTotals.sort();
        QCOMPARE(totals, expectedTotals);
    }

    void footerThatDoesNotFitStartsANewPageWithHeadings()
    {
        std::unique_ptr<const ReportLayout> layout = ReportLayouts::create("RepkolVo");
        // Page 1 takes exactly 30 rows and leaves 38 twips, too little for the 465 footer.
        auto model = sourceRows(30);
        ReportPaginator paginator(*layout);
        QVERIFY(paginator.paginate(*model));
        QCOMPARE(paginator.pages().size(), 2);
        const ReportPage& second = paginator.pages().at(1);
        QCOMPARE(second.bands.size(), 2);
        QCOMPARE(second.bands.at(0).section, QString("Section2"));
        QCOMPARE(second.bands.at(1).section, QString("Section5"));
    }

    void emptyResultPrintsHeadingsAndZeroTotals()
    {
        std::unique_ptr<const ReportLayout> layout = ReportLayouts::create("ReportDates");
        QStandardItemModel empty(0, 3);
        empty.setHorizontalHeaderLabels({"Data", "Vsego", "Zapis"});
        ReportPaginator paginator(*layout);
        QVERIFY(paginator.paginate(empty));
        QCOMPARE(paginator.pages().size(), 1);
        const ReportPage& page = paginator.pages().first();
        QStringList bands;
        for (const ReportPage::Band& band : page.bands)
            bands << band.section;
        // The empty page footer takes no space and prints nothing.
        QCOMPARE(bands, QStringList({"Section4", "Section2", "Section5"}));
        QCOMPARE(page.item("Section5", "Function1")->text, QString("0"));
        QCOMPARE(page.item("Section5", "Function2")->text, QString("0"));
        QCOMPARE(page.item("Section5", "Label3")->text, QStringLiteral("Всего:"));
    }

    void valuesPrintAsIntegersAndDatesWithFourDigitYears()
    {
        std::unique_ptr<const ReportLayout> layout = ReportLayouts::create("ReportDates");
        QStandardItemModel model(2, 3);
        model.setHorizontalHeaderLabels({"data", "VSEGO", "zapis"}); // any letter case
        model.setData(model.index(0, 0), QDate(2004, 11, 24));
        model.setData(model.index(0, 1), 3.0);
        model.setData(model.index(0, 2), qlonglong(1));
        model.setData(model.index(1, 0), QDate(2004, 12, 1));
        model.setData(model.index(1, 1), qlonglong(2));
        model.setData(model.index(1, 2), qlonglong(0));
        ReportPaginator paginator(*layout);
        QVERIFY(paginator.paginate(model));
        const ReportPage& page = paginator.pages().first();
        // The date is wider than its 795-twip box: it takes the free room beside it, whole.
        const ReportItem* date = page.item("Section1", "Text2", 0);
        QCOMPARE(date->text, QString("24.11.2004"));
        QVERIFY(date->rect.width() > 795);
        QVERIFY(date->rect.right() < page.item("Section1", "Text1", 0)->rect.left());
        QCOMPARE(page.item("Section1", "Text1", 0)->text, QString("3"));
        QCOMPARE(page.item("Section5", "Function1")->text, QString("5"));
        QCOMPARE(page.item("Section5", "Function2")->text, QString("1"));

        // Whatever the process's locale, dates read in Russian.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const QString english = ReportText::date(QDate(2004, 11, 24));
        const QString moment = ReportText::moment(QDateTime(QDate(2004, 11, 24), QTime(18, 5)));
        TestSupport::pinEnvironment();
        QCOMPARE(english, QString("24.11.2004"));
        QCOMPARE(moment, QString("24.11.2004 18:05"));
    }

    void longTextIsElidedInsideItsBox()
    {
        std::unique_ptr<const ReportLayout> layout = ReportLayouts::create("RepkolVo");
        auto model = sourceRows(1);
        const QString longName = QString(QStringLiteral("Очень длинное название ")).repeated(6);
        model->setData(model->index(0, 0), longName);
        ReportPaginator paginator(*layout);
        QVERIFY(paginator.paginate(*model));
        const ReportItem* item = paginator.pages().first().item("Section1", "Text1", 0);
        QCOMPARE(item->fullText, longName);
        QVERIFY(item->text.size() < longName.size());
        QVERIFY(item->text.endsWith(QChar(0x2026)));
        QVERIFY(QFontMetricsF(item->font).horizontalAdvance(item->text) <= item->rect.width());
        // The neighbouring column starts after the box.
        const ReportItem* calls = paginator.pages().first().item("Section1", "Text2", 0);
        QVERIFY(item->rect.right() < calls->rect.left());
    }

    void missingFieldIsAnError()
    {
        std::unique_ptr<const ReportLayout> layout = ReportLayouts::create("ReportKvUsl");
        auto model = sourceRows(3); // IName instead of Uname
        ReportPaginator paginator(*layout);
        QVERIFY(!paginator.paginate(*model));
        QVERIFY(paginator.pages().isEmpty());
        QVERIFY2(paginator.errorText().contains("Uname"), qPrintable(paginator.errorText()));
    }
};

QTEST_MAIN(TestReportPagination)
#include "tst_reportpagination.moc"

#include "ReportLayouts.h"
#include "ReportPage.h"
#include "ReportPaginator.h"
#include "ReportText.h"
#include "TestSupport.h"

#include <QStandardItemModel>

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

int countItems(const QVector<ReportPage>& pages, const QString& section, const QString& control)
{
    int count = 0;
    for (const ReportPage& page : pages)
        for (const ReportItem& item : page.items)
            if (item.section == section && item.control == control)
                ++count;
    return count;
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

    void layoutDataAsDesigned_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("dataMember");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("totalsLabel");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QList<int>>("heights");
        QTest::newRow("RepkolVo") << "RepkolVo"
                                  << "ReportkolVoZv"
                                  << QStringLiteral("Отчет по кол-ву звонков из разных источников")
                                  << QSize(8670, 7425)
                                  << QStringLiteral("Отчет по кол-ву звонков из разных источников")
                                  << QStringLiteral("Итого:")
                                  << QStringList{"IName", "Zvonkov", "zapis"}
                                  << QList<int>{1125, 330, 405, 0, 465};
        QTest::newRow("ReportKvUsl")
            << "ReportKvUsl"
            << "ReportKolvoUsl" << QStringLiteral("Отчет по кол-ву звонков в зависимости от услуги")
            << QSize(8445, 5370) << QStringLiteral("Отчет по кол-ву звонков (по услуге)")
            << QStringLiteral("Итого:") << QStringList{"Uname", "Zvonkov", "zapis"}
            << QList<int>{1155, 345, 390, 0, 750};
        QTest::newRow("ReportInternet")
            << "ReportInternet"
            << "ReportInternet" << QStringLiteral("Отчет по звонкам из интернета")
            << QSize(8010, 5025) << QStringLiteral("Отчет по звонкам из интернета")
            << QStringLiteral("Итого:") << QStringList{"Uname", "Zvonkov", "zapis"}
            << QList<int>{1155, 330, 390, 0, 645};
        QTest::newRow("ReportDates")
            << "ReportDates"
            << "ReportDates" << QStringLiteral("Отчет по звонкам (по датам)") << QSize(7650, 4770)
            << QStringLiteral("Отчет по звонкам (по датам)") << QStringLiteral("Всего:")
            << QStringList{"Data", "Vsego", "Zapis"} << QList<int>{1125, 375, 360, 0, 630};
    }

    void layoutDataAsDesigned()
    {
        QFETCH(QString, layout);
        QFETCH(QString, dataMember);
        QFETCH(QString, caption);
        QFETCH(QSize, client);
        QFETCH(QString, title);
        QFETCH(QString, totalsLabel);
        QFETCH(QStringList, fields);
        QFETCH(QList<int>, heights);
        std::unique_ptr<const ReportLayout> design = ReportLayouts::create(layout);
        QVERIFY(design);
        QCOMPARE(design->dataMember(), dataMember);
        QCOMPARE(design->windowCaption(), caption);
        QCOMPARE(design->previewClientSize(), client);
        QCOMPARE(design->title(), title);
        QCOMPARE(design->periodLabel()->caption(), QString("Data"));
        QCOMPARE(design->reportWidth(), layout == "RepkolVo" ? 7965 : 0);
        const QStringList order = {"Section4", "Section2", "Section1", "Section3", "Section5"};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(design->sections().at(i)->name(), order.at(i));
            QCOMPARE(design->sections().at(i)->height(), heights.at(i));
        }
        QVERIFY(design->section("Section3")->controls().empty());

        QStringList detailFields;
        for (const auto& control : design->section("Section1")->controls()) {
            QCOMPARE(control->kind(), ReportControl::Kind::TextBox);
            QCOMPARE(control->fontPoints(), 8.25);
            QVERIFY(!control->isBold());
            detailFields << control->field();
        }
        std::sort(detailFields.begin(), detailFields.end());
        std::sort(fields.begin(), fields.end());
        QCOMPARE(detailFields, fields);

        const ReportControl* titleLabel = design->section("Section4")->control("Label1");
        QCOMPARE(titleLabel->fontFamily(), QString("Arial"));
        QCOMPARE(titleLabel->fontPoints(), 14.25);
        QVERIFY(!titleLabel->isBold());
        for (const auto& heading : design->section("Section2")->controls()) {
            QCOMPARE(heading->kind(), ReportControl::Kind::Label);
            QVERIFY(heading->isBold());
            QCOMPARE(heading->fontPoints(), 8.25);
        }
        int labels = 0;
        for (const auto& control : design->section("Section5")->controls()) {
            if (control->kind() == ReportControl::Kind::Label) {
                ++labels;
                QCOMPARE(control->caption(), totalsLabel);
                QVERIFY(control->isBold());
            } else {
                QCOMPARE(control->kind(), ReportControl::Kind::Function);
                QVERIFY(!control->isBold());
            }
        }
        QCOMPARE(labels, 1);
    }

    void spotChecksOfPositions()
    {
        std::unique_ptr<const ReportLayout> kvUsl = ReportLayouts::create("ReportKvUsl");
        QCOMPARE(kvUsl->section("Section1")->control("Text1")->rect(), QRect(57, 0, 3288, 225));
        QCOMPARE(kvUsl->section("Section4")->control("data")->rect(), QRect(0, 454, 3945, 240));
        std::unique_ptr<const ReportLayout> dates = ReportLayouts::create("ReportDates");
        QCOMPARE(dates->section("Section1")->control("Text2")->field(), QString("Data"));
        QCOMPARE(dates->section("Section1")->control("Text3")->rect(), QRect(5726, 0, 1185, 165));
        QCOMPARE(dates->section("Section5")->control("Label3")->rect(), QRect(2154, 0, 1200, 225));
        std::unique_ptr<const ReportLayout> internet = ReportLayouts::create("ReportInternet");
        QCOMPARE(internet->section("Section5")->control("Function2")->rect(),
                 QRect(5726, 0, 1125, 225));
    }

    void longReportRepeatsHeadingsAndPrintsTitleAndTotalsOnce()
    {
        std::unique_ptr<const ReportLayout> layout = ReportLayouts::create("RepkolVo");
        auto model = sourceRows(200);
        ReportPaginator paginator(*layout);
        QVERIFY2(paginator.paginate(*model, "01.12.2026 - 08.12.2026"),
                 qPrintable(paginator.errorText()));
        const QVector<ReportPage>& pages = paginator.pages();
        // 13958 twips of body: page 1 holds 1125 + 330 + 30 x 405, later pages 330 + 33 x 405.
        QCOMPARE(pages.size(), 7);

        QCOMPARE(countItems(pages, "Section4", "Label1"), 1);
        QCOMPARE(countItems(pages, "Section4", "data"), 1);
        QCOMPARE(countItems(pages, "Section5", "Function1"), 1);
        QCOMPARE(countItems(pages, "Section5", "Label2"), 1);
        QVERIFY(pages.first().item("Section4", "Label1"));
        QCOMPARE(pages.first().item("Section4", "data")->text, QString("01.12.2026 - 08.12.2026"));
        QVERIFY(pages.last().item("Section5", "Function1"));

        int expectedRow = 0;
        const int bottom = paginator.pageSize().height() - ReportPaginator::defaultMargin;
        for (const ReportPage& page : pages) {
            QVERIFY(!page.bands.isEmpty());
            // The headings open every page (after the title on the first).
            const int headingBand = page.number == 1 ? 1 : 0;
            QCOMPARE(page.bands.at(headingBand).section, QString("Section2"));
            QCOMPARE(page.bands.first().rect.top(), ReportPaginator::defaultMargin);
            const ReportItem* heading = page.item("Section2", "Label3");
            QVERIFY(heading);
            QCOMPARE(heading->text, QStringLiteral("Название источника"));
            QVERIFY(heading->font.bold());
            for (const ReportPage::Band& band : page.bands) {
                QVERIFY2(band.rect.top() + band.rect.height() <= bottom,
                         qPrintable(QString("page %1 band %2").arg(page.number).arg(band.section)));
                QCOMPARE(band.rect.left(), ReportPaginator::defaultMargin);
                if (band.section == "Section1")
                    QCOMPARE(band.row, expectedRow++);
            }
            for (const ReportItem& item : page.items)
                if (item.section == "Section1")
                    QCOMPARE(item.fullText.isEmpty(), false);
        }
        QCOMPARE(expectedRow, 200);
        QCOMPARE(pages.at(1).item("Section1", "Text1", 30)->text, QStringLiteral("Источник 31"));

        // Totals are the sums of the printed columns.
        qint64 calls = 0, booked = 0;
        for (int row = 0; row < 200; ++row) {
            calls += row % 7;
            booked += row % 3;
        }
        const ReportPage& last = pages.last();
        QCOMPARE(last.item("Section5", "Function1")->text, QString::number(calls));
        QCOMPARE(last.item("Section5", "Function2")->text, QString::number(booked));
        QCOMPARE(last.item("Section5", "Label2")->text, QStringLiteral("Итого:"));
        // The footer follows the last detail band directly.
        const ReportPage::Band& footer = last.bands.last();
        const ReportPage::Band& lastDetail = last.bands.at(last.bands.size() - 2);
        QCOMPARE(footer.section, QString("Section5"));
        QCOMPARE(footer.rect.top(), lastDetail.rect.bottom() + 1);
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

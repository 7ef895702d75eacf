#include "Param.h"
#include "ReportLayouts.h"
#include "ReportPaginator.h"
#include "ReportPainter.h"
#include "TestSupport.h"

#include <QStandardItemModel>

namespace {

std::unique_ptr<QStandardItemModel> rowsFor(const QString& layout, int count)
{
    const bool byDate = layout == "ReportDates";
    const QString name = layout == "RepkolVo" ? "IName" : "Uname";
    auto model = std::make_unique<QStandardItemModel>(count, 3);
    model->setHorizontalHeaderLabels(
        {byDate ? "Data" : name, byDate ? "Vsego" : "Zvonkov", byDate ? "Zapis" : "zapis"});
    const QStringList names = {QStringLiteral("Интернет"),
                               QStringLiteral("Газета «Вечерний город»"), QStringLiteral("Радио"),
                               QStringLiteral("Наружная реклама у метро"),
                               QStringLiteral("Рекомендация знакомых, друзей и постоянных "
                                              "клиентов салона")};
    for (int row = 0; row < count; ++row) {
        if (byDate)
            model->setData(model->index(row, 0), QDate(2026, 11, 29).addDays(row));
        else
            model->setData(model->index(row, 0), names.at(row % names.size()));
        model->setData(model->index(row, 1), qlonglong(1000 + row * 7));
        model->setData(model->index(row, 2), qlonglong(row * 3));
    }
    return model;
}

QString screensFolder()
{
    return qEnvironmentVariable("KALVENT_SCREENS_DIR");
}

} // namespace

class TestReportRendering : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    // Every dark pixel of a painted page lies in the box of some text: nothing spills over
    // into a neighbouring column or band.
    void paintedTextStaysInItsBoxes_data()
    {
        QTest::addColumn<QString>("layout");
        for (const QString& name : ReportLayouts::names())
            QTest::newRow(qPrintable(name)) << name;
    }

    void paintedTextStaysInItsBoxes()
    {
        QFETCH(QString, layout);
        std::unique_ptr<const ReportLayout> design = ReportLayouts::create(layout);
        auto model = rowsFor(layout, 8);
        ReportPaginator paginator(*design);
        QVERIFY(paginator.paginate(*model, "29.11.2026 - 06.12.2026"));
        QCOMPARE(paginator.pages().size(), 1);
        const ReportPage& page = paginator.pages().first();
        const int dpi = 300;
        const QImage image = ReportPainter::render(page, dpi);
        QCOMPARE(image.width(), qCeil(11906 * dpi / 1440.0));

        QVector<QRectF> boxes;
        const qreal scale = dpi / 1440.0;
        for (const ReportItem& item : page.items) {
            const qreal line = QFontMetricsF(item.font).height();
            boxes << QRectF(item.rect.left() * scale - 1, item.rect.top() * scale - 1,
                            item.rect.width() * scale + 2,
                            qMax<qreal>(item.rect.height(), line) * scale + 2);
        }
        int ink = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                if (qGray(image.pixel(x, y)) > 200)
                    continue;
                ++ink;
                bool inside = false;
                for (const QRectF& box : boxes)
                    if (box.contains(x + 0.5, y + 0.5)) {
                        inside = true;
                        break;
                    }
                QVERIFY2(inside, qPrintable(QString("ink at %1,%2").arg(x).arg(y)));
            }
        QVERIFY(ink > 1000);

        // Headings, title and period print whole.
        for (const ReportItem& item : page.items)
            if (item.row < 0)
                QVERIFY2(item.text == item.fullText, qPrintable(item.fullText));

        if (!screensFolder().isEmpty())
            QVERIFY(ReportPainter::render(page, 110).save(
                QDir(screensFolder()).filePath("page-" + layout + ".png")));
    }

    void paramPicture()
    {
        if (screensFolder().isEmpty())
            QSKIP("no folder for pictures");
        Param param([] { return 0; }, nullptr);
        param.show();
        QCoreApplication::processEvents();
        QVERIFY(param.grab().save(QDir(screensFolder()).filePath("param.png")));
    }
};

QTEST_MAIN(TestReportRendering)
#include "tst_reportrendering.moc"

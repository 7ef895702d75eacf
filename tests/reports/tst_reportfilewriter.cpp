#include "ReportFileWriter.h"
#include "ReportGrid.h"
#include "ReportLayouts.h"
#include "ReportPaginator.h"
#include "TestSupport.h"

#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTextDocument>

namespace {

std::unique_ptr<QStandardItemModel> rows(const QList<QVariantList>& values,
                                         const QStringList& columns = {"IName", "Zvonkov", "zapis"})
{
    auto model = std::make_unique<QStandardItemModel>(int(values.size()), int(columns.size()));
    model->setHorizontalHeaderLabels(columns);
    for (int r = 0; r < values.size(); ++r)
        for (int c = 0; c < columns.size(); ++c)
            model->setData(model->index(r, c), values.at(r).at(c));
    return model;
}

QByteArray readAll(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The text between the first opening and closing tag of an element.
QString element(const QString& html, const QString& tag)
{
    const QRegularExpression pattern(QStringLiteral("<%1[^>]*>(.*)</%1>").arg(tag),
                                     QRegularExpression::DotMatchesEverythingOption |
                                         QRegularExpression::InvertedGreedinessOption);
    return pattern.match(html).captured(1);
}

} // namespace

class TestReportFileWriter : public QObject
{
    Q_OBJECT

    const QString kPeriod = QStringLiteral("29.11.2026 - 06.12.2026");

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        QVERIFY(m_dir.isValid());
        m_layout = ReportLayouts::create("RepkolVo");
        m_rows = rows({{QStringLiteral("<b>x</b>"), qlonglong(3), qlonglong(1)},
                       {QStringLiteral("Газета & журнал"), qlonglong(0), qlonglong(0)},
                       {QStringLiteral("Интернет"), qlonglong(5), qlonglong(2)}});
    }

    void gridPlacesHeadingsRowsAndTotalsUnderTheirColumns()
    {
        ReportGrid grid;
        QVERIFY(grid.build(*m_layout, *m_rows, kPeriod));
        QCOMPARE(grid.period(), kPeriod);
        QCOMPARE(grid.headings(),
                 QStringList({QStringLiteral("Название источника"),
                              QStringLiteral("Кол-во звонков"), QStringLiteral("Кол-во записи")}));
        QCOMPARE(grid.rows().size(), 3);
        QCOMPARE(grid.rows().at(2), QStringList({QStringLiteral("Интернет"), "5", "2"}));
        QCOMPARE(grid.totals(), QStringList({QStringLiteral("Итого:"), "8", "3"}));
        QVERIFY(!grid.isNumeric(0));
        QVERIFY(grid.isNumeric(1));

        // By date: the totals label stands left of the first sum but over no column; it takes
        // the free first column, never a sum's place.
        std::unique_ptr<const ReportLayout> dates = ReportLayouts::create("ReportDates");
        auto byDate = rows({{QDate(2026, 12, 1), qlonglong(2), qlonglong(1)},
                            {QDate(2026, 12, 3), qlonglong(4), qlonglong(0)}},
                           {"Data", "Vsego", "Zapis"});
        QVERIFY(grid.build(*dates, *byDate));
        QCOMPARE(grid.headings().first(), QStringLiteral("Дата"));
        QCOMPARE(grid.rows().first().first(), QString("01.12.2026"));
        QCOMPARE(grid.totals(), QStringList({QStringLiteral("Всего:"), "6", "1"}));
    }

    void htmlEscapesDatabaseTextAndKeepsCyrillic()
    {
        const QString file = m_dir.filePath("poist.htm");
        ReportFileWriter writer;
        QVERIFY2(writer.writeHtml(*m_layout, *m_rows, kPeriod, file),
                 qPrintable(writer.errorText()));
        const QByteArray bytes = readAll(file);
        const QString html = QString::fromUtf8(bytes);
        QCOMPARE(html.toUtf8(), bytes); // valid UTF-8 throughout
        QVERIFY(html.contains(QStringLiteral("<meta charset=\"utf-8\">")));
        QVERIFY(html.contains(QStringLiteral("&lt;b&gt;x&lt;/b&gt;")));
        QVERIFY(!html.contains(QStringLiteral("<b>x</b>")));
        QVERIFY(html.contains(QStringLiteral("Газета &amp; журнал")));
        QVERIFY(!html.contains(QStringLiteral("Газета & журнал")));
        QVERIFY(html.contains(QStringLiteral("Отчет по кол-ву звонков из разных источников")));
        QVERIFY(html.contains(QStringLiteral("29.11.2026 - 06.12.2026")));
        // Self-contained: nothing is loaded from elsewhere.
        QVERIFY(!html.contains("src=", Qt::CaseInsensitive));
        QVERIFY(!html.contains("<link", Qt::CaseInsensitive));

        const QString head = element(html, "thead");
        QCOMPARE(head.count("<th"), 3);
        QVERIFY(head.contains(QStringLiteral("Кол-во записи")));
        const QString body = element(html, "tbody");
        QCOMPARE(body.count("<tr"), 3);
        QVERIFY(body.indexOf(QStringLiteral("&lt;b&gt;")) < body.indexOf(QStringLiteral("Газета")));
        QVERIFY(body.indexOf(QStringLiteral("Газета")) < body.indexOf(QStringLiteral("Интернет")));
        const QString foot = element(html, "tfoot");
        QVERIFY(foot.contains(QStringLiteral("Итого:")));
        QVERIFY(foot.contains(">8<"));
        QVERIFY(foot.contains(">3<"));

        // A mail program shows the name as the characters it is made of.
        QTextDocument document;
        document.setHtml(html);
        const QString shown = document.toPlainText();
        QVERIFY(shown.contains(QStringLiteral("<b>x</b>")));
        QVERIFY(shown.contains(QStringLiteral("Газета & журнал")));
    }

    void htmlOfAnEmptyReportSaysSoAndShowsZeroTotals()
    {
        std::unique_ptr<const ReportLayout> dates = ReportLayouts::create("ReportDates");
        auto empty = rows({}, {"Data", "Vsego", "Zapis"});
        ReportGrid grid;
        QVERIFY(grid.build(*dates, *empty));
        const QString html = ReportFileWriter::html(grid);
        QVERIFY(element(html, "tbody").contains(QStringLiteral("Нет данных за период")));
        QVERIFY(element(html, "tfoot").contains(">0<"));
    }

    void exportReplacesAnOlderFileAndReportsFailuresByName()
    {
        const QString file = m_dir.filePath("replace.htm");
        {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(100000, 'x'));
        }
        ReportFileWriter writer;
        QVERIFY(writer.writeHtml(*m_layout, *m_rows, kPeriod, file));
        const QByteArray bytes = readAll(file);
        QVERIFY(bytes.startsWith("<!DOCTYPE html>"));
        QVERIFY(!bytes.contains("xxxx"));

        const QString missing = m_dir.filePath("no-such-folder/poist.htm");
        QVERIFY(!writer.writeHtml(*m_layout, *m_rows, kPeriod, missing));
        QVERIFY2(writer.errorText().contains("poist.htm"), qPrintable(writer.errorText()));
        QVERIFY(!QFile::exists(missing));

        // Rows without the layout's fields: no file at all, and the reason names the field.
        auto wrong = rows({{"a", 1, 1}}, {"Uname", "Zvonkov", "zapis"});
        const QString target = m_dir.filePath("wrong.htm");
        QVERIFY(!writer.writeHtml(*m_layout, *wrong, kPeriod, target));
        QVERIFY2(writer.errorText().contains("IName"), qPrintable(writer.errorText()));
        QVERIFY(!QFile::exists(target));
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void csvQuotesFieldsAndOpensWithCyrillicIntact()
    {
        auto model = rows({{QStringLiteral("Реклама; радио"), qlonglong(2), qlonglong(1)},
                           {QStringLiteral("Сказал \"да\""), qlonglong(1), qlonglong(0)},
                           {QStringLiteral("Две\nстроки"), qlonglong(0), qlonglong(0)},
                           {QStringLiteral("=HYPERLINK(\"x\")"), qlonglong(4), qlonglong(4)},
                           {QStringLiteral("Интернет"), qlonglong(5), qlonglong(2)}});
        const QString file = m_dir.filePath("poist.csv");
        ReportFileWriter writer;
        QVERIFY2(writer.writeCsv(*m_layout, *model, kPeriod, file), qPrintable(writer.errorText()));
        const QByteArray bytes = readAll(file);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QString text = QString::fromUtf8(bytes.mid(3));
        const QStringList lines = text.split("\r\n");
        QCOMPARE(lines.last(), QString()); // ends with a line break
        QCOMPARE(lines.at(0), QStringLiteral("Название источника;Кол-во звонков;Кол-во записи"));
        QCOMPARE(lines.at(1), QStringLiteral("\"Реклама; радио\";2;1"));
        QCOMPARE(lines.at(2), QStringLiteral("\"Сказал \"\"да\"\"\";1;0"));
        QCOMPARE(lines.at(3), QStringLiteral("\"Две\nстроки\";0;0"));
        // Text from the database never becomes a formula.
        QCOMPARE(lines.at(4), QStringLiteral("\"'=HYPERLINK(\"\"x\"\")\";4;4"));
        QCOMPARE(lines.at(5), QStringLiteral("Интернет;5;2"));
        QCOMPARE(lines.at(6), QStringLiteral("Итого:;12;7"));
        QCOMPARE(lines.size(), 8);
    }

    void pdfHasThePagesOfThePreview()
    {
        auto model = std::make_unique<QStandardItemModel>(200, 3);
        model->setHorizontalHeaderLabels({"IName", "Zvonkov", "zapis"});
        for (int r = 0; r < 200; ++r) {
            model->setData(model->index(r, 0), QStringLiteral("Источник %1").arg(r));
            model->setData(model->index(r, 1), qlonglong(1));
            model->setData(model->index(r, 2), qlonglong(0));
        }
        ReportPaginator paginator(*m_layout);
        QVERIFY(paginator.paginate(*model, kPeriod));
        const QString file = m_dir.filePath("poist.pdf");
        ReportFileWriter writer;
        QVERIFY2(writer.writePdf(*m_layout, *model, kPeriod, file), qPrintable(writer.errorText()));
        const QByteArray pdf = readAll(file);
        QVERIFY(pdf.startsWith("%PDF-"));
        const int pages = int(pdf.count("/Type /Page\n")) + int(pdf.count("/Type /Page\r")) +
                          int(pdf.count("/Type /Page ")) + int(pdf.count("/Type /Page/"));
        QCOMPARE(pages, int(paginator.pages().size()));
        QVERIFY(pdf.contains("/MediaBox [0 0 595"));

        QVERIFY(!writer.writePdf(*m_layout, *model, kPeriod, m_dir.filePath("none/x.pdf")));
        QVERIFY(writer.errorText().contains("x.pdf"));
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<const ReportLayout> m_layout;
    std::unique_ptr<QStandardItemModel> m_rows;
};

QTEST_MAIN(TestReportFileWriter)
#include "tst_reportfilewriter.moc"

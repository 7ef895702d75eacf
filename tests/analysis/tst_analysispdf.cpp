#include "AdAnalysis.h"
#include "AnalysisExport.h"
#include "AnalysisPdf.h"
#include "CallStore.h"
#include "DataEnv.h"
#include "RowSet.h"
#include "SpendStore.h"
#include "TestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

// pdftotext and pdfinfo come with poppler-utils, which ./kalvent.sh test installs: missing,
// the test skips, and fails under CI.
#define KALVENT_REQUIRE_POPPLER()                                                                  \
    do {                                                                                           \
        for (const char* tool : {"pdftotext", "pdfinfo"})                                          \
            if (QStandardPaths::findExecutable(tool).isEmpty()) {                                  \
                const QByteArray missing = QByteArray(tool) + " is missing (poppler-utils)";       \
                if (qEnvironmentVariableIsSet("CI"))                                               \
                    QFAIL(missing.constData());                                                    \
                QSKIP(missing.constData());                                                        \
            }                                                                                      \
    } while (false)

QString run(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Blanks of any kind as one space.
QString simplified(QString text)
{
    return text.replace(QChar(0x00A0), u' ').simplified();
}

// Whether a line holds the cells in this order, each whole (bounded by blanks or the line's ends).
bool holdsInOrder(const QString& line, const QStringList& cells)
{
    const QString text = u' ' + simplified(line) + u' ';
    qsizetype at = 0;
    for (const QString& cell : cells) {
        const QString wanted = simplified(cell);
        if (wanted.isEmpty())
            continue;
        const qsizetype found = text.indexOf(u' ' + wanted + u' ', at);
        if (found < 0)
            return false;
        at = found + wanted.size() + 1;
    }
    return true;
}

} // namespace

// The analysis PDF read back as text: every name and figure whole, each row on one line of one
// page, the headings on every page, the heat map on a page of its own making.
class TestAnalysisPdf : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void manySourcesReadWholeOnEveryPage()
    {
        KALVENT_REQUIRE_POPPLER();
        DataEnv env(m_dir.filePath("KvBD.db"));
        QVERIFY(env.connect());
        QStringList names;
        for (int i = 1; i <= 40; ++i)
            names << (i % 7 == 0 ? QStringLiteral("Рекомендации постоянных клиентов %1").arg(i)
                                 : QStringLiteral("Источник %1").arg(i));
        names << QStringLiteral("<i>Радио</i>");
        for (const QString& name : std::as_const(names))
            QVERIFY(env.bind("Istochnik")->addRow("IName", name));
        QVector<Call> calls;
        for (int day = 0; day < 30; ++day)
            for (int s = 0; s < 40; ++s)
                for (int i = 0; i < (s * 7 + day) % 5; ++i)
                    calls << Call{QDate(2026, 11, 1).addDays(day), "A", names.at(s),
                                  (i + s) % 3 == 0, QTime(8 + (s + i) % 13, 30)};
        QVERIFY(env.calls().addMany(calls));
        SpendStore spend(&env);
        for (int s = 0; s < 40; s += 2)
            QVERIFY(spend.set(names.at(s), QDate(2026, 11, 1), 123456789LL * (s + 1) + s));

        AdAnalysis analysis(&env);
        QVERIFY(analysis.load(AnalysisPeriod(QDate(2026, 11, 1), QDate(2026, 11, 30))));
        const QString file = m_dir.filePath("analiz.pdf");
        AnalysisExport exporter;
        QVERIFY2(exporter.write(AnalysisExport::Format::Pdf, analysis, file),
                 qPrintable(exporter.errorText()));

        const QString pictures = qEnvironmentVariable("KALVENT_SCREENS_DIR");
        if (!pictures.isEmpty()) {
            QFile::remove(QDir(pictures).filePath("analysis-40-sources.pdf"));
            QVERIFY(QFile::copy(file, QDir(pictures).filePath("analysis-40-sources.pdf")));
        }
        const QString text = run("pdftotext", {"-layout", "-enc", "UTF-8", file, "-"});
        QStringList pages = text.split(u'\f');
        while (!pages.isEmpty() && pages.last().trimmed().isEmpty())
            pages.removeLast();
        QVERIFY2(pages.size() >= 2, qPrintable(text));
        const QString info = run("pdfinfo", {file});
        QVERIFY2(info.contains(QRegularExpression("Page size:.*\\(A4\\)")), qPrintable(info));

        // The headings top every page; each source's row is whole on one line.
        const QStringList headings = AnalysisExport::headings();
        for (const QString& page : std::as_const(pages))
            QVERIFY2(simplified(page).contains(QStringLiteral("Источник Звонки Записи Доля")),
                     qPrintable(page));
        const QStringList lines = text.split(u'\n');
        auto rowLine = [&](const QStringList& cells) {
            int found = 0;
            for (const QString& line : lines)
                if (holdsInOrder(line, cells))
                    ++found;
            return found;
        };
        for (const SourceFigures& row : analysis.rows())
            QVERIFY2(rowLine(AnalysisExport::cells(row)) == 1,
                     qPrintable(AnalysisExport::cells(row).join(" | ")));
        QCOMPARE(rowLine(AnalysisExport::cells(analysis.total())), 1);
        const QString largest = AnalysisExport::money(analysis.total().spend);
        QVERIFY(simplified(largest).count(u' ') >= 2); // "493 827 156,00": groups of digits

        // The heat map: all its rows on the one page that has its title.
        const ReportGrid heat = AnalysisExport::heatMapGrid(analysis);
        int heatPages = 0;
        for (const QString& page : std::as_const(pages)) {
            if (!page.contains(heat.title()))
                continue;
            ++heatPages;
            const QStringList pageLines = page.split(u'\n');
            for (const QStringList& cells : heat.rows() + QVector<QStringList>{heat.totals()})
                QVERIFY2(std::count_if(pageLines.cbegin(), pageLines.cend(),
                                       [&](const QString& l) { return holdsInOrder(l, cells); }) ==
                             1,
                         qPrintable(cells.join(" | ")));
            QVERIFY(holdsInOrder(page, heat.headings()));
        }
        QCOMPARE(heatPages, 1);
    }
};

QTEST_MAIN(TestAnalysisPdf)
#include "tst_analysispdf.moc"

#include "AnalysisExport.h"

#include "SafeFile.h"

#include "AdAnalysis.h"
#include "AnalysisPdf.h"
#include "Money.h"
#include "ProgramLocale.h"
#include "ReportFileWriter.h"

#include <QBuffer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cmath>

namespace {

QString jsonText(const QJsonValue& value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QString jsonMoney(std::optional<qint64> kopecks)
{
    return kopecks ? jsonText(Money::plain(*kopecks)) : QStringLiteral("null");
}

QString jsonFigures(const SourceFigures& f)
{
    const std::optional<double> rate = f.rate();
    return QStringLiteral("{\"name\": %1, \"calls\": %2, \"booked\": %3, \"rate\": %4, "
                          "\"previous_calls\": %5, \"previous_booked\": %6, \"spend\": %7, "
                          "\"cost_per_call\": %8, \"cost_per_booking\": %9}")
        .arg(jsonText(f.name), QString::number(f.calls), QString::number(f.booked),
             rate ? jsonText(*rate) : QStringLiteral("null"), QString::number(f.previousCalls),
             QString::number(f.previousBooked), jsonMoney(f.spend), jsonMoney(f.costPerCall()),
             jsonMoney(f.costPerBooking()));
}

// A heat map cell's background, shaded as in the PDF.
QString heatColour(qint64 calls, qint64 maximum)
{
    const QColor colour = AnalysisPdf::heatColour(calls, maximum);
    return colour.isValid() ? QStringLiteral("background:%1;").arg(colour.name()) : QString();
}

} // namespace

QString AnalysisExport::periodText(const AdAnalysis& analysis)
{
    return QStringLiteral("%1 (для сравнения: %2, %3)")
        .arg(analysis.period().text(), analysis.previous().text(),
             analysis.period().comparisonText());
}

QStringList AnalysisExport::headings()
{
    return {QStringLiteral("Источник"),
            QStringLiteral("Звонки"),
            QStringLiteral("Записи"),
            QStringLiteral("Доля записей"),
            QStringLiteral("Звонки ранее"),
            QStringLiteral("Записи ранее"),
            QStringLiteral("Изменение звонков"),
            QStringLiteral("Изменение записей"),
            QStringLiteral("Расход, руб."),
            QStringLiteral("Цена звонка, руб."),
            QStringLiteral("Цена записи, руб.")};
}

QStringList AnalysisExport::cells(const SourceFigures& f)
{
    return {f.name,
            QString::number(f.calls),
            QString::number(f.booked),
            percent(f.rate()),
            QString::number(f.previousCalls),
            QString::number(f.previousBooked),
            change(SourceFigures::change(f.calls, f.previousCalls)),
            change(SourceFigures::change(f.booked, f.previousBooked)),
            money(f.spend),
            money(f.costPerCall()),
            money(f.costPerBooking())};
}

QStringList AnalysisExport::csvHeadings()
{
    QStringList headings = AnalysisExport::headings();
    for (const int column : {3, 6, 7})
        headings[column] += QStringLiteral(", %");
    return headings;
}

QStringList AnalysisExport::csvCells(const SourceFigures& f)
{
    return {f.name,
            QString::number(f.calls),
            QString::number(f.booked),
            csvNumber(f.rate()),
            QString::number(f.previousCalls),
            QString::number(f.previousBooked),
            csvNumber(SourceFigures::change(f.calls, f.previousCalls)),
            csvNumber(SourceFigures::change(f.booked, f.previousBooked)),
            csvMoney(f.spend),
            csvMoney(f.costPerCall()),
            csvMoney(f.costPerBooking())};
}

QString AnalysisExport::csvNumber(std::optional<double> share)
{
    if (!share)
        return QString();
    // Rounded as shown; no "-0,0".
    const double percent = std::round(*share * 1000) / 10;
    return QString::number(percent == 0 ? 0.0 : percent, 'f', 1).replace(u'.', u',');
}

QString AnalysisExport::csvMoney(std::optional<qint64> kopecks)
{
    return kopecks ? Money::plain(*kopecks).replace(u'.', u',') : QString();
}

QString AnalysisExport::percent(std::optional<double> share)
{
    if (!share)
        return QStringLiteral("—");
    return ProgramLocale::locale().toString(*share * 100, 'f', 1) + QStringLiteral("\u00A0%");
}

QString AnalysisExport::change(std::optional<double> share)
{
    if (!share)
        return QStringLiteral("—");
    QString magnitude = percent(std::abs(*share));
    if (magnitude == percent(0.0))
        return magnitude;
    return (*share > 0 ? QStringLiteral("+") : QStringLiteral("\u2212")) + magnitude;
}

QString AnalysisExport::money(std::optional<qint64> kopecks)
{
    return kopecks ? Money::display(*kopecks) : QStringLiteral("—");
}

QString AnalysisExport::weekdayName(int weekday)
{
    static const QStringList names{"Пн", "Вт", "Ср", "Чт", "Пт", "Сб", "Вс"};
    return names.value(weekday - 1);
}

ReportGrid AnalysisExport::figuresGrid(const AdAnalysis& analysis, const QList<int>& order)
{
    return grid(analysis, order, headings(), &cells);
}

ReportGrid AnalysisExport::csvGrid(const AdAnalysis& analysis, const QList<int>& order)
{
    return grid(analysis, order, csvHeadings(), &csvCells);
}

ReportGrid AnalysisExport::grid(const AdAnalysis& analysis, const QList<int>& order,
                                const QStringList& headings,
                                QStringList (*cells)(const SourceFigures&))
{
    QVector<QStringList> rows;
    if (order.isEmpty())
        for (const SourceFigures& row : analysis.rows())
            rows << cells(row);
    for (const int row : order)
        if (row >= 0 && row < analysis.rows().size())
            rows << cells(analysis.rows().at(row));
    QVector<bool> numeric(headings.size(), true);
    numeric[0] = false;
    return ReportGrid::table(title(), periodText(analysis), headings, rows, cells(analysis.total()),
                             numeric);
}

ReportGrid AnalysisExport::heatMapGrid(const AdAnalysis& analysis)
{
    const CallHeatMap& map = analysis.heatMap();
    QStringList headings{QStringLiteral("День")};
    for (int hour = 0; hour < 24; ++hour)
        headings << QString::number(hour);
    headings << QStringLiteral("Всего");
    QVector<QStringList> rows;
    QStringList totals{QStringLiteral("Всего")};
    qint64 all = 0;
    for (int day = 1; day <= 7; ++day) {
        QStringList row{weekdayName(day)};
        qint64 dayTotal = 0;
        for (int hour = 0; hour < 24; ++hour) {
            const qint64 calls = map.calls(day, hour);
            row << (calls ? QString::number(calls) : QString());
            dayTotal += calls;
        }
        row << QString::number(dayTotal);
        all += dayTotal;
        rows << row;
    }
    for (int hour = 0; hour < 24; ++hour) {
        qint64 calls = 0;
        for (int day = 1; day <= 7; ++day)
            calls += map.calls(day, hour);
        totals << QString::number(calls);
    }
    totals << QString::number(all);
    QVector<bool> numeric(headings.size(), true);
    numeric[0] = false;
    return ReportGrid::table(QStringLiteral("Звонки по дням недели и часам"), untimedText(analysis),
                             headings, rows, totals, numeric);
}

QString AnalysisExport::untimedText(const AdAnalysis& analysis)
{
    const qint64 untimed = analysis.heatMap().untimed();
    if (untimed == 0)
        return QStringLiteral("У всех звонков периода есть время.");
    return QStringLiteral("Звонков без времени (не показаны на карте): %1").arg(untimed);
}

QString AnalysisExport::html(const AdAnalysis& analysis, const QList<int>& order)
{
    const ReportGrid heat = heatMapGrid(analysis);
    const qint64 maximum = analysis.heatMap().maximum();
    const CallHeatMap& map = analysis.heatMap();
    QString body = ReportFileWriter::htmlTable(figuresGrid(analysis, order));
    body += QStringLiteral("<h2 style=\"font-size:12pt;font-weight:normal;margin:18px 0 6px 0;\">"
                           "%1</h2>\n")
                .arg(heat.title().toHtmlEscaped());
    body += QStringLiteral("<p style=\"margin:0 0 8px 0;\">%1</p>\n")
                .arg(heat.period().toHtmlEscaped());
    body += ReportFileWriter::htmlTable(heat, [&](int row, int column) {
        return column >= 1 && column <= 24 ? heatColour(map.calls(row + 1, column - 1), maximum)
                                           : QString();
    });
    return ReportFileWriter::htmlPage(title(), periodText(analysis), body);
}

bool AnalysisExport::write(Format format, const AdAnalysis& analysis, const QString& fileName,
                           const QList<int>& order)
{
    m_error.clear();
    if (format == Format::Pdf)
        return writePdf(analysis, fileName, order);
    ReportFileWriter writer;
    const bool ok = writer.save(fileName, format == Format::Html
                                              ? html(analysis, order).toUtf8()
                                              : ReportFileWriter::csv(csvGrid(analysis, order)));
    m_error = writer.errorText();
    return ok;
}

bool AnalysisExport::writePdf(const AdAnalysis& analysis, const QString& fileName,
                              const QList<int>& order)
{
    AnalysisPdf pdf(figuresGrid(analysis, order), heatMapGrid(analysis), analysis.heatMap());
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    if (!pdf.write(&file)) {
        m_error = QStringLiteral("Не удалось записать файл %1: %2")
                      .arg(QDir::toNativeSeparators(fileName), pdf.errorText());
        return false;
    }
    const Outcome<void> written = SafeFile::write(fileName, file.data());
    if (!written)
        m_error = written.errorText();
    return written.ok();
}

QString AnalysisExport::text(const ReportGrid& grid)
{
    QVector<qsizetype> widths(grid.columnCount(), 0);
    auto measure = [&](const QStringList& line) {
        for (int c = 0; c < grid.columnCount(); ++c)
            widths[c] = std::max(widths[c], line.value(c).size());
    };
    measure(grid.headings());
    for (const QStringList& row : grid.rows())
        measure(row);
    measure(grid.totals());
    auto line = [&](const QStringList& cells) {
        QStringList out;
        for (int c = 0; c < grid.columnCount(); ++c)
            out << (grid.isNumeric(c) ? cells.value(c).rightJustified(widths[c])
                                      : cells.value(c).leftJustified(widths[c]));
        return out.join(QStringLiteral("  ")) + "\n";
    };
    qsizetype width = 2 * (grid.columnCount() - 1);
    for (const qsizetype w : widths)
        width += w;
    const QString rule = QString(width, u'-') + "\n";
    QString text = grid.period() + "\n" + line(grid.headings()) + rule;
    for (const QStringList& row : grid.rows())
        text += line(row);
    return text + rule + line(grid.totals());
}

QString AnalysisExport::conversionJson(const AdAnalysis& analysis)
{
    QStringList rows;
    for (const SourceFigures& row : analysis.rows())
        rows << jsonFigures(row);
    return QStringLiteral("{\"report\": \"conversion\", \"from\": %1, \"to\": %2, "
                          "\"previous\": {\"from\": %3, \"to\": %4, \"compare\": %5}, "
                          "\"rows\": [%6], \"total\": %7}\n")
        .arg(jsonText(analysis.period().from().toString(Qt::ISODate)),
             jsonText(analysis.period().to().toString(Qt::ISODate)),
             jsonText(analysis.previous().from().toString(Qt::ISODate)),
             jsonText(analysis.previous().to().toString(Qt::ISODate)),
             jsonText(AnalysisPeriod::name(analysis.period().comparison())), rows.join(", "),
             jsonFigures(analysis.total()));
}

QString AnalysisExport::heatMapJson(const AdAnalysis& analysis)
{
    QStringList cells;
    const CallHeatMap& map = analysis.heatMap();
    for (int day = 1; day <= 7; ++day)
        for (int hour = 0; hour < 24; ++hour)
            if (map.calls(day, hour) != 0)
                cells << QStringLiteral("{\"weekday\": %1, \"hour\": %2, \"calls\": %3}")
                             .arg(day)
                             .arg(hour)
                             .arg(map.calls(day, hour));
    return QStringLiteral("{\"report\": \"heatmap\", \"from\": %1, \"to\": %2, \"cells\": [%3], "
                          "\"untimed\": %4}\n")
        .arg(jsonText(analysis.period().from().toString(Qt::ISODate)),
             jsonText(analysis.period().to().toString(Qt::ISODate)), cells.join(", "),
             QString::number(map.untimed()));
}

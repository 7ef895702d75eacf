#include "ReportFileWriter.h"

#include "SafeFile.h"

#include "FailureText.h"
#include "ReportGrid.h"
#include "ReportLayout.h"
#include "ReportPaginator.h"
#include "ReportPainter.h"
#include "Twips.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>

namespace {

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

QString cellStyle(bool numeric, bool heading)
{
    QString style = QStringLiteral("border:1px solid #9a9a9a;padding:4px 10px;");
    style += numeric ? QStringLiteral("text-align:right;") : QStringLiteral("text-align:left;");
    if (heading)
        style += QStringLiteral("font-weight:bold;background:#eeeeee;");
    return style;
}

// A spreadsheet would take a text starting with one of these for a formula.
bool looksLikeFormula(const QString& text)
{
    return !text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.at(0));
}

} // namespace

QString ReportFileWriter::csvField(const QString& text, QChar separator, bool numeric)
{
    QString field = text;
    if (!numeric && looksLikeFormula(field))
        field.prepend('\'');
    if (field.contains(separator) || field.contains('"') || field.contains('\n') ||
        field.contains('\r') || field != field.trimmed()) {
        field.replace('"', QStringLiteral("\"\""));
        field = '"' + field + '"';
    }
    return field;
}

QString ReportFileWriter::html(const ReportGrid& grid)
{
    return htmlPage(grid.title(), grid.period(), htmlTable(grid));
}

QString ReportFileWriter::htmlPage(const QString& title, const QString& period, const QString& body)
{
    QString out;
    out += QStringLiteral("<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n"
                          "<meta charset=\"utf-8\">\n"
                          "<meta name=\"viewport\" content=\"width=device-width\">\n");
    out += QStringLiteral("<title>%1</title>\n</head>\n").arg(escaped(title));
    out += QStringLiteral("<body style=\"margin:16px;font-family:Arial,'Liberation Sans',"
                          "Helvetica,sans-serif;font-size:10pt;color:#000000;"
                          "background:#ffffff;\">\n");
    out += QStringLiteral("<h1 style=\"font-size:14pt;font-weight:normal;margin:0 0 6px 0;\">"
                          "%1</h1>\n")
               .arg(escaped(title));
    out += QStringLiteral("<p style=\"margin:0 0 14px 0;\">%1</p>\n").arg(escaped(period));
    out += body;
    out += QStringLiteral("</body>\n</html>\n");
    return out;
}

QString ReportFileWriter::htmlTable(const ReportGrid& grid,
                                    const std::function<QString(int, int)>& extraStyle)
{
    QString out;
    out += QStringLiteral("<table style=\"border-collapse:collapse;font-size:10pt;\">\n<thead>\n"
                          "<tr>");
    for (int c = 0; c < grid.columnCount(); ++c)
        out += QStringLiteral("<th style=\"%1\">%2</th>")
                   .arg(cellStyle(grid.isNumeric(c), true), escaped(grid.headings().at(c)));
    out += QStringLiteral("</tr>\n</thead>\n<tbody>\n");
    for (int r = 0; r < grid.rows().size(); ++r) {
        const QStringList& row = grid.rows().at(r);
        out += QStringLiteral("<tr>");
        for (int c = 0; c < grid.columnCount(); ++c)
            out += QStringLiteral("<td style=\"%1\">%2</td>")
                       .arg(cellStyle(grid.isNumeric(c), false) +
                                (extraStyle ? extraStyle(r, c) : QString()),
                            escaped(row.value(c)));
        out += QStringLiteral("</tr>\n");
    }
    if (grid.rows().isEmpty())
        out += QStringLiteral("<tr><td colspan=\"%1\" style=\"%2\">Нет данных за период</td>"
                              "</tr>\n")
                   .arg(qMax(1, grid.columnCount()))
                   .arg(cellStyle(false, false));
    out += QStringLiteral("</tbody>\n<tfoot>\n<tr>");
    for (int c = 0; c < grid.columnCount(); ++c)
        out += QStringLiteral("<td style=\"%1font-weight:bold;\">%2</td>")
                   .arg(cellStyle(grid.isNumeric(c), false), escaped(grid.totals().value(c)));
    out += QStringLiteral("</tr>\n</tfoot>\n</table>\n");
    return out;
}

QByteArray ReportFileWriter::csv(const ReportGrid& grid, QChar separator)
{
    auto line = [&](const QStringList& fields, bool data) {
        QStringList out;
        for (int c = 0; c < fields.size(); ++c)
            out << csvField(fields.at(c), separator, data && grid.isNumeric(c));
        return out.join(separator) + QStringLiteral("\r\n");
    };
    QString text = line(grid.headings(), false);
    for (const QStringList& row : grid.rows())
        text += line(row, true);
    text += line(grid.totals(), true);
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool ReportFileWriter::fail(const QString& fileName, const QString& reason)
{
    m_error = FailureText::compose(
        QStringLiteral("Не удалось записать файл %1").arg(QDir::toNativeSeparators(fileName)),
        reason);
    return false;
}

bool ReportFileWriter::save(const QString& fileName, const QByteArray& contents)
{
    const Outcome<void> written = SafeFile::write(fileName, contents);
    if (!written)
        m_error = written.errorText();
    return written.ok();
}

bool ReportFileWriter::writeGrid(const ReportLayout& layout, const QAbstractItemModel& rows,
                                 const QString& period, const QString& fileName,
                                 const std::function<QByteArray(const ReportGrid&)>& contents)
{
    m_error.clear();
    ReportGrid grid;
    if (!grid.build(layout, rows, period))
        return fail(fileName, grid.errorText());
    return save(fileName, contents(grid));
}

bool ReportFileWriter::writeHtml(const ReportLayout& layout, const QAbstractItemModel& rows,
                                 const QString& period, const QString& fileName)
{
    return writeGrid(layout, rows, period, fileName,
                     [](const ReportGrid& grid) { return html(grid).toUtf8(); });
}

bool ReportFileWriter::writeCsv(const ReportLayout& layout, const QAbstractItemModel& rows,
                                const QString& period, const QString& fileName)
{
    return writeGrid(layout, rows, period, fileName,
                     [](const ReportGrid& grid) { return csv(grid); });
}

bool ReportFileWriter::writePdf(const ReportLayout& layout, const QAbstractItemModel& rows,
                                const QString& period, const QString& fileName)
{
    m_error.clear();
    ReportPaginator paginator(layout);
    if (!paginator.paginate(rows, period))
        return fail(fileName, paginator.errorText());
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&file);
        writer.setTitle(layout.title());
        writer.setCreator(QStringLiteral("Kalvent"));
        writer.setResolution(Twips::perInch); // one dot per twip
        writer.setPageLayout(QPageLayout(ReportPainter::pageSize(paginator.pageSize()),
                                         QPageLayout::Portrait, QMarginsF()));
        if (!ReportPainter::print(paginator.pages(), writer))
            return fail(fileName, QStringLiteral("ошибка вывода PDF"));
    }
    return save(fileName, file.data());
}

bool ReportFileWriter::write(Format format, const ReportLayout& layout,
                             const QAbstractItemModel& rows, const QString& period,
                             const QString& fileName)
{
    switch (format) {
    case Format::Html:
        return writeHtml(layout, rows, period, fileName);
    case Format::Pdf:
        return writePdf(layout, rows, period, fileName);
    case Format::Csv:
        return writeCsv(layout, rows, period, fileName);
    }
    return false;
}

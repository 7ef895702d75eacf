#pragma once

#include <QAbstractItemModel>
#include <QByteArray>
#include <QString>
#include <functional>

class ReportLayout;
class ReportGrid;

// Writes one report to a file: a self-contained HTML page for mail, a PDF with the preview's
// pages, or CSV for a spreadsheet. Every file is written under a temporary name and put in
// place only when complete.
class ReportFileWriter
{
public:
    enum class Format
    {
        Html,
        Pdf,
        Csv
    };

    // rows: the report's rows (its command's row set, or any model with the same columns);
    // period: the text of the period label. False (and errorText()) when nothing was written.
    bool write(Format format, const ReportLayout& layout, const QAbstractItemModel& rows,
               const QString& period, const QString& fileName);
    bool writeHtml(const ReportLayout& layout, const QAbstractItemModel& rows,
                   const QString& period, const QString& fileName);
    bool writeCsv(const ReportLayout& layout, const QAbstractItemModel& rows,
                  const QString& period, const QString& fileName);
    bool writePdf(const ReportLayout& layout, const QAbstractItemModel& rows,
                  const QString& period, const QString& fileName);

    // The file and the reason, in words for the operator.
    QString errorText() const { return m_error; }

    // The file contents.
    static QString html(const ReportGrid& grid);
    static QByteArray csv(const ReportGrid& grid, QChar separator = ';');
    // One CSV field: quoted where needed, a text a spreadsheet would take for a formula kept
    // as text.
    static QString csvField(const QString& text, QChar separator = ';', bool numeric = false);
    // The parts of the HTML page: a whole page around `body` (a heading with the title and
    // the period comes first), and one table. cellStyle gives a cell of a row (0 for the
    // first row) and column extra style; the headings and totals are never asked.
    static QString htmlPage(const QString& title, const QString& period, const QString& body);
    static QString htmlTable(const ReportGrid& grid,
                             const std::function<QString(int, int)>& cellStyle = {});
    // Writes the contents under a temporary name and puts the file in place when complete.
    bool save(const QString& fileName, const QByteArray& contents);

private:
    bool writeGrid(const ReportLayout& layout, const QAbstractItemModel& rows,
                   const QString& period, const QString& fileName,
                   const std::function<QByteArray(const ReportGrid&)>& contents);
    bool fail(const QString& fileName, const QString& reason);

    QString m_error;
};

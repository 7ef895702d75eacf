#pragma once

#include <QAbstractItemModel>
#include <QByteArray>
#include <QString>

class ReportLayout;
class ReportGrid;

// Writes a report to a file: a self-contained HTML page for mail, a PDF with the preview's
// pages, or CSV for a spreadsheet. Every file is written under a temporary name and put in
// place only when complete.
class ReportExporter
{
public:
    enum class Format
    {
        Html,
        Pdf,
        Csv
    };

    // The exports need the layout's command to have run: rows is its open row set (or any
    // model with the same columns).
    static bool write(Format format, const ReportLayout& layout, const QAbstractItemModel& rows,
                      const QString& fileName, QString* error = nullptr);
    static bool writeHtml(const ReportLayout& layout, const QAbstractItemModel& rows,
                          const QString& fileName, QString* error = nullptr);
    static bool writeCsv(const ReportLayout& layout, const QAbstractItemModel& rows,
                         const QString& fileName, QString* error = nullptr);
    static bool writePdf(const ReportLayout& layout, const QAbstractItemModel& rows,
                         const QString& fileName, QString* error = nullptr);

    // The file contents.
    static QString html(const ReportGrid& grid);
    static QByteArray csv(const ReportGrid& grid, QChar separator = ';');

private:
    static bool save(const QString& fileName, const QByteArray& contents, QString* error);
};

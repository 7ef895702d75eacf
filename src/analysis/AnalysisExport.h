#pragma once

#include "ReportGrid.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class AdAnalysis;
struct SourceFigures;

// The analysis as people and programs read it: the texts of the table's cells (the window
// shows the same), the tables as report grids, the files (HTML with the table and the heat
// map, CSV of the table, PDF of both laid out as the reports' pages; the reports' escaping and
// atomic writes), and the command line's text and JSON. Numbers are written in Russian whatever
// the process locale.
class AnalysisExport
{
public:
    enum class Format
    {
        Html,
        Pdf,
        Csv
    };

    static QString title() { return QStringLiteral("Анализ рекламы"); }
    // "period (для сравнения: previous period, how it is chosen)".
    static QString periodText(const AdAnalysis& analysis);

    // The columns of the per-source table and one row's cells.
    static QStringList headings();
    static QStringList cells(const SourceFigures& figures);
    // Cell texts: a share as "33,3 %", a change as "+12,5 %", money as "1 234,50"; "—" when
    // there is nothing.
    static QString percent(std::optional<double> share);
    static QString change(std::optional<double> share);
    static QString money(std::optional<qint64> kopecks);
    // The CSV's columns and cells, for a spreadsheet set to Russian: plain numbers with a
    // decimal comma and an ASCII minus, shares and changes in percent (the headings say so),
    // money without group blanks; an empty cell when there is nothing.
    static QStringList csvHeadings();
    static QStringList csvCells(const SourceFigures& figures);
    static QString csvNumber(std::optional<double> share);
    static QString csvMoney(std::optional<qint64> kopecks);
    // The heat map's row captions (Пн .. Вс).
    static QString weekdayName(int weekday);

    // The per-source table; `order` lists the rows in the order shown (all, in the list's
    // order, when empty).
    static ReportGrid figuresGrid(const AdAnalysis& analysis, const QList<int>& order = {});
    static ReportGrid csvGrid(const AdAnalysis& analysis, const QList<int>& order = {});
    static ReportGrid heatMapGrid(const AdAnalysis& analysis);
    static QString untimedText(const AdAnalysis& analysis);

    static QString html(const AdAnalysis& analysis, const QList<int>& order = {});
    bool write(Format format, const AdAnalysis& analysis, const QString& fileName,
               const QList<int>& order = {});
    QString errorText() const { return m_error; }

    // The command line's forms.
    static QString text(const ReportGrid& grid);
    static QString conversionJson(const AdAnalysis& analysis);
    static QString heatMapJson(const AdAnalysis& analysis);

private:
    static ReportGrid grid(const AdAnalysis& analysis, const QList<int>& order,
                           const QStringList& headings, QStringList (*cells)(const SourceFigures&));
    bool writePdf(const AdAnalysis& analysis, const QString& fileName, const QList<int>& order);

    QString m_error;
};

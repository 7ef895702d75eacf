#pragma once

#include "CallHeatMap.h"
#include "ReportGrid.h"
#include "ReportPage.h"

#include <QColor>
#include <QString>
#include <QVector>

class QIODevice;

// The analysis on A4 sheets, laid out by the reports' paginator and drawn by their painter:
// the per-source table with its headings at the top of every page and the totals after the
// last row, then the heat map whole on one page (the table's last one when there is room).
// Every column is as wide as its widest text, so no text is cut; a row is one band and never
// split. The sheet stands upright when both tables fit across it, else lies on its side; the
// type shrinks only when a table fits neither way.
class AnalysisPdf
{
public:
    static constexpr int margin = 720; // twips: half an inch
    static constexpr qreal minimumPoints = 5;

    AnalysisPdf(const ReportGrid& figures, const ReportGrid& heatMap, const CallHeatMap& map);

    // Lays the pages out; false (and errorText()) when the paginator refuses.
    bool layOut();
    const QVector<ReportPage>& pages() const { return m_pages; }
    bool isLandscape() const { return m_landscape; }
    // The type size of each table as laid out, in points.
    qreal figuresPoints() const { return m_figuresPoints; }
    qreal heatMapPoints() const { return m_heatPoints; }

    // Lays out (when not yet done) and writes the PDF; false (and errorText()) on failure.
    bool write(QIODevice* device);
    QString errorText() const { return m_error; }

    // A heat map cell's shade, from white to orange by its share of the busiest cell; invalid
    // for an empty one.
    static QColor heatColour(qint64 calls, qint64 maximum);

private:
    bool paginate(const ReportGrid& grid, bool heat, qreal points, QVector<ReportPage>* pages);
    // What a table needs across at a type size, in twips.
    static int neededWidth(const ReportGrid& grid, bool heat, qreal points);
    // The largest type size, from the usual one down, at which the table fits a width.
    static qreal fittingPoints(const ReportGrid& grid, bool heat, int width);
    void finish(QVector<ReportPage>& figures, QVector<ReportPage>& heat);

    ReportGrid m_figures;
    ReportGrid m_heat;
    CallHeatMap m_map;
    QVector<ReportPage> m_pages;
    bool m_landscape = false;
    qreal m_figuresPoints = 0;
    qreal m_heatPoints = 0;
    QString m_error;
};

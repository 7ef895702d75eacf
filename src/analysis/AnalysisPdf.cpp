#include "AnalysisPdf.h"

#include "ReportLayout.h"
#include "ReportPaginator.h"
#include "ReportPainter.h"
#include "Twips.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPdfWriter>
#include <QStandardItemModel>
#include <QtMath>

namespace {

using Kind = ReportControl::Kind;
using Role = ReportSection::Role;

constexpr qreal usualPoints = ReportControl::defaultPoints;
constexpr int columnGap = 180;   // between the table's columns
constexpr int heatPadding = 120; // inside a heat map cell, whose shades adjoin
constexpr int partGap = 480;     // above the heat map on the table's last page

QString family()
{
    return QString::fromLatin1(ReportControl::defaultFamily);
}

QFont twipFont(qreal points, bool bold)
{
    ReportControl probe(Kind::Label, QString(), QString(), QRect());
    probe.setFont(family(), points, bold);
    return probe.twipFont();
}

// A little over the measure, so that the paginator never finds a box too narrow.
int textWidth(const QString& text, const QFont& font)
{
    return qCeil(QFontMetricsF(font).horizontalAdvance(text) * 1.02) + 15;
}

int lineHeight(const QFont& font)
{
    return qCeil(QFontMetricsF(font).height());
}

// A heading in at most two lines, parted where the window parts it.
QStringList headingLines(const QString& heading)
{
    const qsizetype comma = heading.indexOf(QStringLiteral(", "));
    if (comma >= 0)
        return {heading.left(comma + 1), heading.mid(comma + 2)};
    const qsizetype blank = heading.indexOf(u' ');
    if (blank >= 0)
        return {heading.left(blank), heading.mid(blank + 1)};
    return {heading};
}

struct Columns
{
    QVector<int> left;
    QVector<int> width;
    int total = 0;
};

Columns measure(const ReportGrid& grid, bool heat, qreal points)
{
    const QFont plain = twipFont(points, false);
    const QFont bold = twipFont(points, true);
    Columns columns;
    int x = 0;
    for (int c = 0; c < grid.columnCount(); ++c) {
        int width = 0;
        for (const QString& line : headingLines(grid.headings().value(c)))
            width = std::max(width, textWidth(line, bold));
        for (const QStringList& row : grid.rows())
            width = std::max(width, textWidth(row.value(c), plain));
        width = std::max(width, textWidth(grid.totals().value(c), bold));
        if (heat)
            width += heatPadding;
        else if (c > 0)
            x += columnGap;
        columns.left << x;
        columns.width << width;
        x += width;
    }
    columns.total = x;
    return columns;
}

QString sectionName(bool heat, const char* part)
{
    return (heat ? QStringLiteral("heat") : QStringLiteral("table")) + QLatin1String(part);
}

// The table as a banded layout: title and period once, the headings on every page, a band
// per row, the totals after the last.
std::unique_ptr<ReportLayout> tableLayout(const ReportGrid& grid, bool heat, qreal points,
                                          const Columns& columns, int available)
{
    const QFont plain = twipFont(points, false);
    const int line = lineHeight(plain);
    const int row = line + (heat ? 90 : 45);
    const qreal titlePoints = points * (heat ? 1.35 : 1.7);
    const int titleLine = lineHeight(twipFont(titlePoints, false));
    const int width = std::min(
        available, std::max({columns.total, textWidth(grid.title(), twipFont(titlePoints, false)),
                             textWidth(grid.period(), plain)}));
    auto layout =
        std::make_unique<ReportLayout>(grid.title(), QString(), grid.title(), QSize(), width);

    ReportSection& header =
        layout->addSection(sectionName(heat, "Header"), Role::ReportHeader, titleLine + line + 240);
    header.add(Kind::Label, "title", grid.title(), 0, 0, width, titleLine)
        .setFont(family(), titlePoints, false);
    header.add(Kind::Label, "period", grid.period(), 0, titleLine + 60, width, line)
        .setFont(family(), points, false);

    int headingRows = 1;
    for (const QString& heading : grid.headings())
        headingRows = std::max(headingRows, int(headingLines(heading).size()));
    ReportSection& headings = layout->addSection(sectionName(heat, "Headings"), Role::PageHeader,
                                                 headingRows * line + 90);
    ReportSection& detail = layout->addSection(sectionName(heat, "Row"), Role::Detail, row);
    ReportSection& totals =
        layout->addSection(sectionName(heat, "Totals"), Role::ReportFooter, row + (heat ? 0 : 90));
    for (int c = 0; c < grid.columnCount(); ++c) {
        const int left = columns.left.at(c);
        const int w = columns.width.at(c);
        const QStringList lines = headingLines(grid.headings().value(c));
        for (int i = 0; i < lines.size(); ++i)
            headings
                .add(Kind::Label, QStringLiteral("h%1_%2").arg(c).arg(i), lines.at(i), left,
                     i * line, w, line)
                .setFont(family(), points, true);
        detail
            .add(Kind::TextBox, QStringLiteral("c%1").arg(c), QStringLiteral("c%1").arg(c), left, 0,
                 w, heat ? row : line)
            .setFont(family(), points, false);
        totals
            .add(Kind::Label, QStringLiteral("t%1").arg(c), grid.totals().value(c), left,
                 heat ? 0 : 90, w, heat ? row : line)
            .setFont(family(), points, true);
    }
    return layout;
}

// The column a control of the headings, rows or totals stands in ("h3_1", "c3", "t3").
int columnOf(const QString& control)
{
    bool ok = false;
    const int column = control.mid(1).section(u'_', 0, 0).toInt(&ok);
    return ok ? column : -1;
}

int bottomOf(const ReportPage& page)
{
    int bottom = 0;
    for (const ReportPage::Band& band : page.bands)
        bottom = std::max(bottom, band.rect.bottom() + 1);
    return bottom;
}

ReportItem rule(const QRect& rect)
{
    ReportItem item;
    item.section = QStringLiteral("rule");
    item.rect = rect;
    item.background = Qt::black;
    return item;
}

} // namespace

AnalysisPdf::AnalysisPdf(const ReportGrid& figures, const ReportGrid& heatMap,
                         const CallHeatMap& map)
    : m_figures(figures), m_heat(heatMap), m_map(map)
{
}

QColor AnalysisPdf::heatColour(qint64 calls, qint64 maximum)
{
    if (calls <= 0 || maximum <= 0)
        return QColor();
    const double share = double(calls) / double(maximum);
    return QColor(255, int(235 - 150 * share), int(200 - 170 * share));
}

int AnalysisPdf::neededWidth(const ReportGrid& grid, bool heat, qreal points)
{
    return measure(grid, heat, points).total;
}

qreal AnalysisPdf::fittingPoints(const ReportGrid& grid, bool heat, int width)
{
    for (qreal points = usualPoints; points > minimumPoints; points -= 0.25)
        if (neededWidth(grid, heat, points) <= width)
            return points;
    return minimumPoints;
}

bool AnalysisPdf::layOut()
{
    m_error.clear();
    m_pages.clear();
    const QSize a4 = ReportPaginator::a4();
    const int upright = a4.width() - 2 * margin;
    m_landscape = neededWidth(m_figures, false, usualPoints) > upright ||
                  neededWidth(m_heat, true, usualPoints) > upright;
    const int across = m_landscape ? a4.height() - 2 * margin : upright;
    m_figuresPoints = fittingPoints(m_figures, false, across);
    m_heatPoints = fittingPoints(m_heat, true, across);
    QVector<ReportPage> figures;
    QVector<ReportPage> heat;
    if (!paginate(m_figures, false, m_figuresPoints, &figures) ||
        !paginate(m_heat, true, m_heatPoints, &heat))
        return false;
    finish(figures, heat);
    return true;
}

bool AnalysisPdf::paginate(const ReportGrid& grid, bool heat, qreal points,
                           QVector<ReportPage>* pages)
{
    const QSize a4 = ReportPaginator::a4();
    const QSize sheet = m_landscape ? a4.transposed() : a4;
    const Columns columns = measure(grid, heat, points);
    const std::unique_ptr<ReportLayout> layout =
        tableLayout(grid, heat, points, columns, sheet.width() - 2 * margin);

    QStandardItemModel rows(int(grid.rows().size()), grid.columnCount());
    QStringList fields;
    for (int c = 0; c < grid.columnCount(); ++c)
        fields << QStringLiteral("c%1").arg(c);
    rows.setHorizontalHeaderLabels(fields);
    for (int r = 0; r < grid.rows().size(); ++r)
        for (int c = 0; c < grid.columnCount(); ++c)
            rows.setData(rows.index(r, c), grid.rows().at(r).value(c));

    ReportPaginator paginator(*layout);
    paginator.setPageSize(sheet);
    paginator.setMargin(margin);
    if (!paginator.paginate(rows)) {
        m_error = paginator.errorText();
        return false;
    }
    *pages = paginator.pages();

    const QString headings = sectionName(heat, "Headings");
    const QString row = sectionName(heat, "Row");
    const QString totals = sectionName(heat, "Totals");
    const qint64 busiest = m_map.maximum();
    for (ReportPage& page : *pages) {
        for (ReportItem& item : page.items) {
            if (item.section != headings && item.section != row && item.section != totals)
                continue;
            const int column = columnOf(item.control);
            if (heat) {
                item.alignment = Qt::AlignCenter;
                if (item.section == row && column >= 1 && column <= 24)
                    item.background = heatColour(m_map.calls(item.row + 1, column - 1), busiest);
            } else if (grid.isNumeric(column)) {
                item.alignment = Qt::AlignRight | Qt::AlignTop;
            }
        }
        for (const ReportPage::Band& band : std::as_const(page.bands)) {
            if (band.section == headings)
                page.items << rule(
                    QRect(band.rect.left(), band.rect.bottom() - 30, columns.total, 15));
            else if (band.section == totals)
                page.items << rule(
                    QRect(band.rect.left(), band.rect.top() + (heat ? 0 : 30), columns.total, 15));
        }
    }
    return true;
}

void AnalysisPdf::finish(QVector<ReportPage>& figures, QVector<ReportPage>& heat)
{
    m_pages = figures;
    if (!heat.isEmpty() && !m_pages.isEmpty()) {
        ReportPage& last = m_pages.last();
        const int top = bottomOf(last) + partGap;
        const int height = bottomOf(heat.first()) - margin;
        if (heat.size() == 1 && top + height <= last.size.height() - margin) {
            const int shift = top - margin;
            for (ReportPage::Band band : std::as_const(heat.first().bands)) {
                band.rect.translate(0, shift);
                last.bands << band;
            }
            for (ReportItem item : std::as_const(heat.first().items)) {
                item.rect.translate(0, shift);
                last.items << item;
            }
        } else {
            for (ReportPage page : std::as_const(heat)) {
                page.number = int(m_pages.size()) + 1;
                m_pages << page;
            }
        }
    }
    // "Страница 2 из 3" under the text of each page.
    const QFont font = twipFont(usualPoints, false);
    for (ReportPage& page : m_pages) {
        ReportItem number;
        number.section = QStringLiteral("pageNumber");
        number.text = number.fullText =
            QStringLiteral("Страница %1 из %2").arg(page.number).arg(m_pages.size());
        number.font = font;
        number.alignment = Qt::AlignRight | Qt::AlignTop;
        number.rect = QRect(margin, page.size.height() - margin + 120,
                            page.size.width() - 2 * margin, lineHeight(font));
        page.items << number;
    }
}

bool AnalysisPdf::write(QIODevice* device)
{
    if (m_pages.isEmpty() && !layOut())
        return false;
    QPdfWriter writer(device);
    writer.setTitle(m_figures.title());
    writer.setCreator(QStringLiteral("Kalvent"));
    writer.setResolution(Twips::perInch); // one dot per twip
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                     m_landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                     QMarginsF()));
    if (!ReportPainter::print(m_pages, writer)) {
        m_error = QStringLiteral("ошибка вывода PDF");
        return false;
    }
    return true;
}

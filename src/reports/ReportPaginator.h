#pragma once

#include "ReportPage.h"
#include "Twips.h"

#include <QAbstractItemModel>
#include <QSize>
#include <QString>
#include <QVector>

class ReportLayout;
class ReportControl;
class ReportSection;
class ReportRows;

// Lays a report out on pages, without a screen: the report header once, the page header at
// the top of every page, one detail band per row in the rows' order, a new page when the next
// band does not fit, the report footer once with the sums. Units are twips.
class ReportPaginator
{
public:
    static constexpr int defaultMargin = Twips::perInch;
    // The least room kept between a grown text and the next control.
    static constexpr int gap = 90;
    static QSize a4() { return QSize(11906, 16838); }

    explicit ReportPaginator(const ReportLayout& layout);

    void setPageSize(const QSize& twips) { m_pageSize = twips; }
    QSize pageSize() const { return m_pageSize; }
    void setMargin(int twips) { m_margin = twips; }
    int margin() const { return m_margin; }
    // The width of the bands: the layout's report width, or the printable width of the page.
    int reportWidth() const;

    // Lays out the rows with `period` in the period label (a null text leaves the label's
    // design caption). False (and errorText()) when the rows lack a field the layout prints,
    // or the page is too small for the layout.
    bool paginate(const QAbstractItemModel& rows, const QString& period = QString());
    const QVector<ReportPage>& pages() const { return m_pages; }
    QString errorText() const { return m_error; }

private:
    void startPage();
    void finishPage(const ReportRows& rows);
    bool fits(const ReportSection* section) const;
    // The width a control's text may take: up to the next control on its right, less a gap.
    int freeWidth(const ReportSection& section, const ReportControl& control) const;
    void place(const ReportSection* section, const ReportRows& rows, int row);

    const ReportLayout& m_layout;
    QSize m_pageSize = a4();
    int m_margin = defaultMargin;
    QVector<ReportPage> m_pages;
    int m_y = 0;
    int m_bodyTop = 0; // where the first band after the page header starts
    QString m_period;
    QString m_error;
};

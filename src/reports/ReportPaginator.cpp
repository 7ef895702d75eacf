#include "ReportPaginator.h"

#include "ReportLayout.h"
#include "ReportRows.h"
#include "ReportText.h"

#include <QFontMetricsF>
#include <QtMath>

using Role = ReportSection::Role;

ReportPaginator::ReportPaginator(const ReportLayout& layout) : m_layout(layout) {}

int ReportPaginator::reportWidth() const
{
    return m_layout.reportWidth() > 0 ? m_layout.reportWidth() : m_pageSize.width() - 2 * m_margin;
}

bool ReportPaginator::paginate(const QAbstractItemModel& model, const QString& period)
{
    m_pages.clear();
    m_error.clear();
    m_period = period;
    const ReportRows rows(model);
    const QStringList missing = rows.missingFields(m_layout);
    if (!missing.isEmpty()) {
        m_error = QStringLiteral("в данных отчета «%1» нет полей: %2")
                      .arg(m_layout.name(), missing.join(", "));
        return false;
    }
    const ReportSection* header = m_layout.section(Role::ReportHeader);
    const ReportSection* pageHeader = m_layout.section(Role::PageHeader);
    const ReportSection* pageFooter = m_layout.section(Role::PageFooter);
    const ReportSection* detail = m_layout.section(Role::Detail);
    const ReportSection* footer = m_layout.section(Role::ReportFooter);
    int needed = 2 * m_margin + (pageFooter ? pageFooter->height() : 0);
    for (const ReportSection* section : {header, pageHeader})
        needed += section ? section->height() : 0;
    needed += qMax(detail ? detail->height() : 0, footer ? footer->height() : 0);
    if (m_pageSize.height() < needed || m_pageSize.width() < 2 * m_margin + 1) {
        m_error = QStringLiteral("страница слишком мала для отчета «%1»").arg(m_layout.name());
        return false;
    }

    startPage();
    place(header, rows, -1);
    place(pageHeader, rows, -1);
    m_bodyTop = m_y;
    for (int row = 0; row < rows.count(); ++row) {
        if (!fits(detail)) {
            finishPage(rows);
            startPage();
            place(pageHeader, rows, -1);
            m_bodyTop = m_y;
        }
        place(detail, rows, row);
    }
    if (!fits(footer)) {
        finishPage(rows);
        startPage();
        place(pageHeader, rows, -1);
        m_bodyTop = m_y;
    }
    place(footer, rows, -1);
    finishPage(rows);
    return true;
}

void ReportPaginator::startPage()
{
    ReportPage page;
    page.number = int(m_pages.size()) + 1;
    page.size = m_pageSize;
    m_pages << page;
    m_y = m_margin;
}

void ReportPaginator::finishPage(const ReportRows& rows)
{
    const ReportSection* pageFooter = m_layout.section(Role::PageFooter);
    if (!pageFooter || pageFooter->height() <= 0)
        return;
    m_y = m_pageSize.height() - m_margin - pageFooter->height();
    place(pageFooter, rows, -1);
}

int ReportPaginator::freeWidth(const ReportSection& section, const ReportControl& control) const
{
    const QRect box = control.rect();
    int right = reportWidth();
    for (const auto& other : section.controls()) {
        const QRect next = other->rect();
        if (other.get() != &control && next.left() > box.left() && next.top() <= box.bottom() &&
            next.bottom() >= box.top())
            right = qMin(right, next.left() - gap);
    }
    return right - box.left();
}

bool ReportPaginator::fits(const ReportSection* section) const
{
    if (!section || m_y == m_bodyTop)
        return true;
    const ReportSection* pageFooter = m_layout.section(Role::PageFooter);
    const int bottom =
        m_pageSize.height() - m_margin - (pageFooter ? qMax(0, pageFooter->height()) : 0);
    return m_y + section->height() <= bottom;
}

void ReportPaginator::place(const ReportSection* section, const ReportRows& rows, int row)
{
    if (!section)
        return;
    ReportPage& page = m_pages.last();
    const int left = m_margin;
    page.bands << ReportPage::Band{section->name(),
                                   QRect(left, m_y, reportWidth(), section->height()), row};
    for (const auto& control : section->controls()) {
        ReportItem item;
        item.section = section->name();
        item.control = control->name();
        item.row = row;
        item.rect = control->rect().translated(left, m_y);
        item.font = control->twipFont();
        switch (control->kind()) {
        case ReportControl::Kind::Label:
            item.fullText = control.get() == m_layout.periodLabel() && !m_period.isNull()
                                ? m_period
                                : control->caption();
            break;
        case ReportControl::Kind::TextBox:
            item.fullText = ReportText::value(rows.value(row, control->field()));
            break;
        case ReportControl::Kind::Function:
            item.fullText = QString::number(rows.sum(control->field()));
            break;
        }
        // A text wider than its box takes the free room up to the next control on its right
        // (or the report's edge); what still does not fit is elided.
        const QFontMetricsF metrics(item.font);
        const int needed = qCeil(metrics.horizontalAdvance(item.fullText));
        if (needed > item.rect.width()) {
            const int room = freeWidth(*section, *control);
            item.rect.setWidth(qMax(item.rect.width(), qMin(needed, room)));
        }
        item.text = needed > item.rect.width()
                        ? metrics.elidedText(item.fullText, Qt::ElideRight, item.rect.width())
                        : item.fullText;
        page.items << item;
    }
    m_y += section->height();
}

#include "ReportGrid.h"

#include "ReportLayout.h"
#include "ReportRows.h"
#include "ReportText.h"

#include <algorithm>

namespace {

using Role = ReportSection::Role;

QVector<const ReportControl*> sortedControls(const ReportSection* section)
{
    QVector<const ReportControl*> controls;
    if (!section)
        return controls;
    for (const auto& control : section->controls())
        controls << control.get();
    std::stable_sort(controls.begin(), controls.end(),
                     [](const ReportControl* a, const ReportControl* b) {
                         return a->rect().left() < b->rect().left();
                     });
    return controls;
}

int overlap(const QRect& a, const QRect& b)
{
    return qMin(a.right(), b.right()) - qMax(a.left(), b.left()) + 1;
}

// The column a control stands over: the free one it overlaps most, else the nearest free one.
int columnFor(const ReportControl* control, const QVector<const ReportControl*>& columns,
              const QVector<bool>& taken)
{
    int best = -1;
    int bestScore = 0;
    for (int c = 0; c < columns.size(); ++c) {
        if (taken.at(c))
            continue;
        const int shared = overlap(control->rect(), columns.at(c)->rect());
        // Overlapping columns score by the shared width, the others by (negative) distance.
        const int score = shared > 0 ? shared : shared - 1;
        if (best < 0 || score > bestScore) {
            best = c;
            bestScore = score;
        }
    }
    return best;
}

} // namespace

bool ReportGrid::build(const ReportLayout& layout, const QAbstractItemModel& model,
                       const QString& period)
{
    *this = ReportGrid();
    const ReportRows rows(model);
    const QStringList missing = rows.missingFields(layout);
    if (!missing.isEmpty()) {
        m_error = QStringLiteral("в данных отчета «%1» нет полей: %2")
                      .arg(layout.name(), missing.join(", "));
        return false;
    }
    m_title = layout.title();
    const ReportControl* periodLabel = layout.periodLabel();
    m_period = !period.isNull() ? period : periodLabel ? periodLabel->caption() : QString();

    QVector<const ReportControl*> columns;
    for (const ReportControl* control : sortedControls(layout.section(Role::Detail)))
        if (control->kind() == ReportControl::Kind::TextBox)
            columns << control;
    const int count = int(columns.size());
    for (int c = 0; c < count; ++c)
        m_headings << QString();
    m_totals = m_headings;
    m_numeric = QVector<bool>(count, true);

    QVector<bool> taken(count, false);
    for (const ReportControl* label : sortedControls(layout.section(Role::PageHeader))) {
        const int c = columnFor(label, columns, taken);
        if (c >= 0) {
            m_headings[c] = label->caption();
            taken[c] = true;
        }
    }

    const QVector<const ReportControl*> footer = sortedControls(layout.section(Role::ReportFooter));
    taken.fill(false);
    // Sums first, so that a caption never takes the place of a sum.
    for (const ReportControl* function : footer) {
        if (function->kind() != ReportControl::Kind::Function)
            continue;
        const int c = columnFor(function, columns, taken);
        if (c >= 0) {
            m_totals[c] = QString::number(rows.sum(function->field()));
            taken[c] = true;
        }
    }
    for (const ReportControl* label : footer) {
        if (label->kind() != ReportControl::Kind::Label)
            continue;
        const int c = columnFor(label, columns, taken);
        if (c >= 0) {
            m_totals[c] = label->caption();
            taken[c] = true;
        }
    }

    QVector<int> fields;
    for (const ReportControl* column : columns)
        fields << rows.column(column->field());
    for (int row = 0; row < rows.count(); ++row) {
        QStringList line;
        for (int c = 0; c < count; ++c) {
            const QVariant value = rows.value(row, fields.at(c));
            if (!ReportText::isNumber(value))
                m_numeric[c] = false;
            line << ReportText::value(value);
        }
        m_rows << line;
    }
    if (m_rows.isEmpty()) {
        // Without rows a column is numeric when it carries a sum.
        for (int c = 0; c < count; ++c) {
            bool ok = false;
            m_totals.at(c).toLongLong(&ok);
            m_numeric[c] = ok;
        }
    }
    return true;
}

ReportGrid ReportGrid::table(const QString& title, const QString& period,
                             const QStringList& headings, const QVector<QStringList>& rows,
                             const QStringList& totals, const QVector<bool>& numeric)
{
    ReportGrid grid;
    grid.m_title = title;
    grid.m_period = period;
    grid.m_headings = headings;
    grid.m_rows = rows;
    grid.m_totals = totals;
    grid.m_numeric = numeric;
    return grid;
}

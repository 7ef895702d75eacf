#include "ReportTable.h"

#include "ReportKind.h"
#include "ReportLayouts.h"
#include "ReportPeriod.h"
#include "ReportRows.h"
#include "ReportRunner.h"
#include "ReportText.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

// The caption of the leftmost label of a layout's section of a role.
QString firstLabel(const ReportLayout& layout, ReportSection::Role role)
{
    const ReportSection* section = layout.section(role);
    const ReportControl* first = nullptr;
    if (section)
        for (const auto& control : section->controls())
            if (control->kind() == ReportControl::Kind::Label &&
                (!first || control->rect().left() < first->rect().left()))
                first = control.get();
    return first ? first->caption() : QString();
}

} // namespace

ReportTable::ReportTable(const ReportKind& kind, const QDate& from, const QDate& to)
    : m_kind(kind), m_from(from), m_to(to)
{
}

QString ReportTable::periodText() const
{
    return ReportPeriod(m_from, m_to).text();
}

bool ReportTable::load(DataEnv* env)
{
    ReportRunner runner(env);
    m_model = runner.rows(m_kind, ReportPeriod(m_from, m_to));
    if (!m_model) {
        m_error = runner.errorText();
        return false;
    }
    const ReportRows set(*m_model);
    const int key = set.column(m_kind.keyField());
    const int calls = set.column(m_kind.callsField());
    const int booked = set.column(m_kind.bookedField());
    m_rows.clear();
    m_totalCalls = m_totalBooked = 0;
    for (int i = 0; i < set.count(); ++i) {
        Row row;
        if (m_kind.isByDate())
            row.date = set.value(i, key).toDate();
        else
            row.name = set.value(i, key).toString();
        row.calls = set.value(i, calls).toLongLong();
        row.booked = set.value(i, booked).toLongLong();
        m_totalCalls += row.calls;
        m_totalBooked += row.booked;
        m_rows << row;
    }
    return true;
}

QString ReportTable::toText() const
{
    const bool byDate = m_kind.isByDate();
    const ReportLayout* layout = ReportLayouts::get(m_kind.layoutName());
    const QString first = firstLabel(*layout, ReportSection::Role::PageHeader);
    const QString totalLabel = firstLabel(*layout, ReportSection::Role::ReportFooter);
    QStringList names;
    for (const Row& row : m_rows)
        names << (byDate ? ReportText::date(row.date) : row.name);
    qsizetype width = qMax(first.size(), totalLabel.size());
    for (const QString& n : names)
        width = qMax(width, n.size());
    const QString calls = QStringLiteral("Кол-во звонков");
    const QString booked = QStringLiteral("Кол-во записи");
    auto line = [&](const QString& a, const QString& b, const QString& c) {
        return a.leftJustified(width) + "  " + b.rightJustified(calls.size()) + "  " +
               c.rightJustified(booked.size()) + "\n";
    };
    QString text =
        QStringLiteral("%1 - %2\n").arg(ReportText::date(m_from), ReportText::date(m_to));
    text += line(first, calls, booked);
    text += QString(width + 4 + calls.size() + booked.size(), '-') + "\n";
    for (int i = 0; i < m_rows.size(); ++i)
        text += line(names[i], QString::number(m_rows[i].calls), QString::number(m_rows[i].booked));
    text += QString(width + 4 + calls.size() + booked.size(), '-') + "\n";
    text += line(totalLabel, QString::number(m_totalCalls), QString::number(m_totalBooked));
    return text;
}

QString ReportTable::toJson() const
{
    auto str = [](const QString& s) {
        const QByteArray array = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
        return QString::fromUtf8(array.mid(1, array.size() - 2));
    };
    const bool byDate = m_kind.isByDate();
    QStringList items;
    for (const Row& row : m_rows) {
        const QString key =
            byDate ? QStringLiteral("\"date\": %1").arg(str(row.date.toString(Qt::ISODate)))
                   : QStringLiteral("\"name\": %1").arg(str(row.name));
        items << QStringLiteral("{%1, \"calls\": %2, \"booked\": %3}")
                     .arg(key)
                     .arg(row.calls)
                     .arg(row.booked);
    }
    return QStringLiteral("{\"report\": %1, \"from\": %2, \"to\": %3, \"rows\": [%4], "
                          "\"total\": {\"calls\": %5, \"booked\": %6}}\n")
        .arg(str(m_kind.cliName()), str(m_from.toString(Qt::ISODate)),
             str(m_to.toString(Qt::ISODate)), items.join(", "))
        .arg(m_totalCalls)
        .arg(m_totalBooked);
}

#include "ReportPeriod.h"

#include "ReportText.h"

ReportPeriod::ReportPeriod(const QDate& from, const QDate& to) : m_from(from.startOfDay()), m_to(to)
{
}

ReportPeriod::ReportPeriod(const QDateTime& from, const QDate& to)
    : m_from(from), m_hasTime(from.time() != QTime(0, 0)), m_to(to)
{
}

QVariant ReportPeriod::from() const
{
    if (m_hasTime)
        return m_from;
    return m_from.date();
}

QString ReportPeriod::text() const
{
    const QString start = m_hasTime ? ReportText::moment(m_from) : ReportText::date(m_from.date());
    return start + " - " + ReportText::date(m_to);
}

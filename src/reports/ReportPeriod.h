#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

// An inclusive report period. The start may carry a time of day (a period of a fraction of
// days); the end is a whole date.
class ReportPeriod
{
public:
    ReportPeriod() = default;
    ReportPeriod(const QDate& from, const QDate& to);
    ReportPeriod(const QDateTime& from, const QDate& to);

    // The start as the commands take it: a QDate, or a QDateTime when it has a time of day.
    QVariant from() const;
    QDate to() const { return m_to; }

    // "from - to" in the form the operator reads.
    QString text() const;

private:
    QDateTime m_from;
    bool m_hasTime = false;
    QDate m_to;
};

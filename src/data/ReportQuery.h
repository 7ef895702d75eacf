#pragma once

#include "TotalsKind.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariantList>

// The reports as the data layer runs them: each one's command, the totals it reads and the
// shape of its parameters. Both engines build their statements from this list, and the report
// catalogue (ReportKind) builds on it.
class ReportQuery
{
public:
    // The queries in menu order.
    static const QList<ReportQuery>& all();
    // The query reading these totals; nullptr for any other kind.
    static const ReportQuery* find(int kind);

    TotalsKind::Value kind() const { return m_kind; }
    QString command() const { return m_command; }
    // The row set the command fills.
    QString rowSetName() const { return QStringLiteral("rs") + m_command; }
    // The reference list (table, name column) a per-name report lists; empty for the dates.
    QString listTable() const { return m_listTable; }
    QString nameColumn() const { return m_nameColumn; }
    bool isPerName() const { return !m_listTable.isEmpty(); }
    // The parameters: the period (from, to) once for the dates; twice for a per-name report,
    // which bounds all calls and the booked ones apart.
    int parameterCount() const { return 2 * periodRepeats(); }
    QVariantList arguments(const QVariant& from, const QDate& to) const;

private:
    ReportQuery(TotalsKind::Value kind, const char* command, const char* listTable,
                const char* nameColumn);
    int periodRepeats() const { return isPerName() ? 2 : 1; }

    TotalsKind::Value m_kind;
    QString m_command;
    QString m_listTable;
    QString m_nameColumn;
};

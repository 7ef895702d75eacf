#pragma once

#include <QList>
#include <QString>
#include <QVariantList>

class ReportPeriod;

// The report kinds of the Reports menu: the command each runs, its row set and its layout.
class ReportKind
{
public:
    enum Value
    {
        BySource = 1,
        ByService = 2,
        InternetByService = 3,
        ByDate = 4
    };

    // The kind with this number; nullptr for any other value (an unset kind included).
    static const ReportKind* find(int kind);
    static const QList<ReportKind>& all();

    int value() const { return m_value; }
    QString name() const { return m_name; }
    QString command() const { return m_command; }
    QString rowSetName() const { return "rs" + m_command; }
    QString layoutName() const { return m_layout; }
    // The command's arguments in order: from, to, from, to (by date: from, to).
    QVariantList arguments(const ReportPeriod& period) const;

private:
    ReportKind(Value value, const QString& name, const QString& command, const QString& layout,
               int periodRepeats);

    Value m_value;
    QString m_name;
    QString m_command;
    QString m_layout;
    int m_periodRepeats;
};

#pragma once

#include "ReportQuery.h"

#include <QList>
#include <QString>
#include <QVariantList>
#include <memory>

class ReportLayout;
class ReportPeriod;

// The report catalogue: one entry per report, holding everything the program knows about it
// (its query, its names, its layout, its file in the mail, its menu item, its command-line
// name and the fields of its rows). Every other place derives what it needs from here; a new
// report is one more query, one more entry here and its layout design.
class ReportKind
{
public:
    // Numbered as the totals each report reads.
    enum Value
    {
        BySource = TotalsKind::BySource,
        ByService = TotalsKind::ByService,
        InternetByService = TotalsKind::InternetByService,
        ByDate = TotalsKind::ByDate
    };

    using Design = std::unique_ptr<ReportLayout> (*)(const ReportKind&);

    // The kind with this number; nullptr for any other value (an unset kind included).
    static const ReportKind* find(int kind);
    // The kind with this command-line name ("by-source"); nullptr when there is none.
    static const ReportKind* findByCliName(const QString& cliName);
    // The kind whose layout has this name, without regard to case; nullptr when there is none.
    static const ReportKind* findByLayout(const QString& layoutName);
    // The catalogue, in menu order.
    static const QList<ReportKind>& all();
    // The command-line names and the mailed files of the catalogue, in menu order.
    static QStringList cliNames();
    static QStringList fileNames();
    // Words as a help text lists them: "a, b, c or d" (`last` "or").
    static QString listed(const QStringList& words, const QString& last);

    int value() const { return m_value; }
    QString cliName() const { return m_cliName; }
    const ReportQuery& query() const { return *m_query; }
    QString command() const { return m_query->command(); }
    QString rowSetName() const { return m_query->rowSetName(); }
    QString layoutName() const { return m_layout; }
    // The report's name (the caption of its window) and the title it prints.
    QString caption() const { return m_caption; }
    QString title() const { return m_title; }
    // What the report counts, in the words of the command line's help and the benchmark.
    QString summary() const { return m_summary; }
    // A new instance of the layout's design.
    std::unique_ptr<ReportLayout> design() const;
    // The HTML file of the report in the mailed set.
    QString fileName() const { return m_fileName; }
    // The item of the Reports menu: object name and caption.
    const char* menuName() const { return m_menuName; }
    QString menuCaption() const { return m_menuCaption; }
    // The row fields: the name (or date) each row is about, its calls and its bookings.
    QString keyField() const { return m_keyField; }
    QString callsField() const { return m_callsField; }
    QString bookedField() const { return m_bookedField; }
    bool isByDate() const { return m_value == ByDate; }
    // The command's arguments in order: from, to, repeated as the command needs them.
    QVariantList arguments(const ReportPeriod& period) const;

private:
    struct Entry
    {
        Value value;
        const char* cliName;
        const char* summary;
        const char* layout;
        QString caption;
        QString title; // empty: the caption
        Design design;
        const char* fileName;
        const char* menuName;
        QString menuCaption;
        const char* keyField;
        const char* callsField;
        const char* bookedField;
    };
    explicit ReportKind(const Entry& entry);

    Value m_value;
    const ReportQuery* m_query;
    QString m_cliName;
    QString m_summary;
    QString m_layout;
    QString m_caption;
    QString m_title;
    Design m_design;
    QString m_fileName;
    const char* m_menuName;
    QString m_menuCaption;
    QString m_keyField;
    QString m_callsField;
    QString m_bookedField;
};

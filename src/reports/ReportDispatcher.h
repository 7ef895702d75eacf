#pragma once

#include "ReportExporter.h"
#include "ReportPeriod.h"

#include <QString>

class DataEnv;
class QWidget;
class ReportKind;
class ReportLayout;

// Runs one report for a period: executes the kind's command with the period, writes the
// period text into the layout's period label, shows or exports the layout, and closes the
// row set afterwards, also when a step fails. Shared by the period dialog and the scheduled
// export.
class ReportDispatcher
{
public:
    // env: the data environment (nullptr: the program-wide one).
    explicit ReportDispatcher(DataEnv* env = nullptr);

    // Preview of the report of a kind (1..4). Any other kind does nothing and returns true.
    // A failure is shown to the operator (parent is the message's parent) and returns false.
    bool preview(int kind, const ReportPeriod& period, QWidget* parent);
    // Export of the report of a kind to a file; no message, the reason is in lastError().
    bool exportTo(int kind, const ReportPeriod& period, const QString& fileName,
                  ReportExporter::Format format = ReportExporter::Format::Html);

    QString lastError() const { return m_error; }

    // The title of the message that reports a failed report.
    static QString failureTitle();

private:
    // Runs the command and writes the period label; the layout, or nullptr (and m_error).
    ReportLayout* prepare(const ReportKind& kind, const ReportPeriod& period);
    void finish(const ReportKind& kind);

    DataEnv* m_env;
    QString m_error;
};

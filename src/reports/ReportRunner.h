#pragma once

#include "ReportFileWriter.h"
#include "ReportPeriod.h"

#include <QStandardItemModel>
#include <QString>
#include <memory>
#include <optional>

class DataEnv;
class ReportKind;

// Runs one report of the catalogue over a period: executes its command, takes a copy of the
// rows as they stand, and closes the command's shared row set again, also when a step fails.
// The copy is what the preview and the files print, so nothing that runs later (a scheduled
// export of the same report, say) changes a report already on screen.
class ReportRunner
{
public:
    // env: the data environment (nullptr: the program-wide one).
    explicit ReportRunner(DataEnv* env = nullptr);

    // The report's rows, their columns named as the command names them; nullptr (and
    // errorText()) when the command fails.
    std::unique_ptr<QStandardItemModel> rows(const ReportKind& kind, const ReportPeriod& period);
    // Writes the report to a file.
    bool exportTo(const ReportKind& kind, const ReportPeriod& period, const QString& fileName,
                  ReportFileWriter::Format format = ReportFileWriter::Format::Html);

    QString errorText() const { return m_error; }

    // The period this program last ran the report with (previewed or exported); none before.
    static std::optional<ReportPeriod> lastPeriod(const ReportKind& kind);

private:
    DataEnv* m_env;
    QString m_error;
};

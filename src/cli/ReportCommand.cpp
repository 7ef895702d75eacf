#include "ReportCommand.h"

#include "CliOptions.h"
#include "CliRunner.h"
#include "ReportFileWriter.h"
#include "ReportKind.h"
#include "ReportLayouts.h"
#include "ReportTable.h"

#include <QTemporaryDir>

namespace {

int writeReport(CliRunner& cli, const ReportTable& table, const QString& format,
                const QString& output)
{
    if (format == "text")
        return cli.writeText(table.toText(), output);
    if (format == "json")
        return cli.writeText(table.toJson(), output);
    const ReportFileWriter::Format fileFormat = format == "csv"    ? ReportFileWriter::Format::Csv
                                                : format == "html" ? ReportFileWriter::Format::Html
                                                                   : ReportFileWriter::Format::Pdf;
    QTemporaryDir scratch;
    const QString target = output.isEmpty() ? scratch.filePath("report." + format) : output;
    ReportFileWriter writer;
    if (!writer.write(fileFormat, *ReportLayouts::get(table.kind().layoutName()), table.model(),
                      table.periodText(), target))
        return cli.fail(CliRunner::Failure, writer.errorText());
    return output.isEmpty() ? cli.printFile(target) : int(CliRunner::Ok);
}

} // namespace

void ReportCommand::addTo(CliRunner& cli)
{
    cli.addCommand(
        "report",
        "report KIND --from YYYY-MM-DD --to YYYY-MM-DD [--format text|csv|json|html|pdf] "
        "[--output FILE]",
        "Выводит отчёт за период, оба дня включительно. KIND — " +
            ReportKind::listed(ReportKind::cliNames(), "или") +
            ".\ntext (по умолчанию) — выровненная таблица; json —\n"
            "{\"report\", \"from\", \"to\", \"rows\", \"total\"}. Для html и pdf нужен --output.\n"
            "Анализ рекламы: kalvent-cli report conversion|heatmap --help.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"from", "to", "format", "output"}, {}, CliOptions::any());
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const ReportKind* kind =
                o.positional().size() == 1 ? ReportKind::findByCliName(o.positional()[0]) : nullptr;
            if (!kind)
                return cli.fail(CliRunner::Usage,
                                "KIND — одно из: " + ReportKind::cliNames().join(", "));
            const QDate from = CliRunner::parseDate(o.value("from"));
            const QDate to = CliRunner::parseDate(o.value("to"));
            if (!from.isValid() || !to.isValid())
                return cli.fail(CliRunner::Usage, "--from и --to: нужны даты ГГГГ-ММ-ДД");
            const QString format = o.value("format", "text");
            if (!QStringList({"text", "csv", "json", "html", "pdf"}).contains(format))
                return cli.fail(CliRunner::Usage, "--format: нужно text, csv, json, html или pdf");
            const QString output = o.value("output");
            if ((format == "html" || format == "pdf") && output.isEmpty())
                return cli.fail(CliRunner::Usage, "--format " + format + ": нужен --output FILE");
            ReportTable table(*kind, from, to);
            if (!table.load(cli.env()))
                return cli.fail(CliRunner::Failure, table.errorText());
            return writeReport(cli, table, format, output);
        });
}

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
        "Prints a report over the period, both days included. KIND is " +
            ReportKind::listed(ReportKind::cliNames(), "or") +
            ".\ntext (the default) is an aligned table; json is\n"
            "{\"report\", \"from\", \"to\", \"rows\", \"total\"}. html and pdf need --output.\n"
            "The advertising analysis: kalvent-cli report conversion|heatmap --help.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"from", "to", "format", "output"}, {}, CliOptions::any());
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const ReportKind* kind =
                o.positional().size() == 1 ? ReportKind::findByCliName(o.positional()[0]) : nullptr;
            if (!kind)
                return cli.fail(CliRunner::Usage,
                                "KIND must be one of " + ReportKind::cliNames().join(", "));
            const QDate from = CliRunner::parseDate(o.value("from"));
            const QDate to = CliRunner::parseDate(o.value("to"));
            if (!from.isValid() || !to.isValid())
                return cli.fail(CliRunner::Usage, "--from and --to must be dates YYYY-MM-DD");
            const QString format = o.value("format", "text");
            if (!QStringList({"text", "csv", "json", "html", "pdf"}).contains(format))
                return cli.fail(CliRunner::Usage, "--format must be text, csv, json, html or pdf");
            const QString output = o.value("output");
            if ((format == "html" || format == "pdf") && output.isEmpty())
                return cli.fail(CliRunner::Usage, "--format " + format + " needs --output FILE");
            ReportTable table(*kind, from, to);
            if (!table.load(cli.env()))
                return cli.fail(CliRunner::Failure, table.errorText());
            return writeReport(cli, table, format, output);
        });
}

#include "AnalysisCommands.h"

#include "AdAnalysis.h"
#include "AnalysisAttachment.h"
#include "AnalysisExport.h"
#include "CliOptions.h"
#include "CliRunner.h"
#include "DataEnv.h"
#include "Money.h"
#include "SettingsStore.h"
#include "SpendStore.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

// What a report command was asked for: the analysis over its period, the format and the
// output file.
struct ReportRequest
{
    AdAnalysis analysis;
    QString format;
    QString output;
    explicit ReportRequest(DataEnv* env) : analysis(env) {}
};

// Reads --from, --to, --format (one of `formats`, the first by default) and --output, and
// loads the analysis; a status to return when that fails.
std::optional<int> readRequest(CliRunner& cli, const QStringList& args, const QStringList& formats,
                               ReportRequest* request)
{
    CliOptions o(args, {"from", "to", "format", "output"}, {});
    if (!o.ok() || !o.positional().isEmpty())
        return cli.fail(CliRunner::Usage, o.ok() ? "no arguments expected" : o.errorText());
    const QDate from = CliRunner::parseDate(o.value("from"));
    const QDate to = CliRunner::parseDate(o.value("to"));
    if (!from.isValid() || !to.isValid())
        return cli.fail(CliRunner::Usage, "--from and --to must be dates YYYY-MM-DD");
    if (from > to)
        return cli.fail(CliRunner::Usage, "--from is after --to");
    request->format = o.value("format", formats.first());
    request->output = o.value("output");
    if (!formats.contains(request->format))
        return cli.fail(CliRunner::Usage, "--format must be " + formats.join(", "));
    if (request->format == "pdf" && request->output.isEmpty())
        return cli.fail(CliRunner::Usage, "--format pdf needs --output FILE");
    if (!request->analysis.load(AnalysisPeriod(from, to)))
        return cli.fail(CliRunner::Failure, request->analysis.errorText());
    return std::nullopt;
}

// Writes a file format to `output`, or to a scratch file that is then printed.
int writeFile(CliRunner& cli, AnalysisExport::Format format, const AdAnalysis& analysis,
              const QString& output)
{
    QTemporaryDir scratch;
    const QString target = output.isEmpty() ? scratch.filePath("analysis") : output;
    AnalysisExport exporter;
    if (!exporter.write(format, analysis, target))
        return cli.fail(CliRunner::Failure, exporter.errorText());
    if (output.isEmpty()) {
        QFile file(target);
        if (!file.open(QIODevice::ReadOnly))
            return cli.fail(CliRunner::Failure, file.errorString());
        QByteArray bytes = file.readAll();
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3); // no byte-order mark on a terminal or a pipe
        cli.out() << QString::fromUtf8(bytes);
    }
    return CliRunner::Ok;
}

void addReports(CliRunner& cli)
{
    cli.addCommand(
        "report conversion",
        "report conversion --from YYYY-MM-DD --to YYYY-MM-DD [--format text|csv|json|html|pdf] "
        "[--output FILE]",
        "Per advertising source over the period (both days included) and over the days of the\n"
        "same number just before it: calls, bookings, the share that booked, the spend (a\n"
        "month's amount in proportion to the days covered) and the cost per call and per\n"
        "booking. json is {\"report\", \"from\", \"to\", \"previous\", \"rows\", \"total\"} with\n"
        "money as strings with two decimals and null where there is nothing to divide by.\n"
        "pdf needs --output.",
        [&cli](const QStringList& args) {
            ReportRequest request(cli.env());
            if (const auto status =
                    readRequest(cli, args, {"text", "csv", "json", "html", "pdf"}, &request))
                return *status;
            const AdAnalysis& analysis = request.analysis;
            if (request.format == "text")
                return cli.writeText(AnalysisExport::text(AnalysisExport::figuresGrid(analysis)),
                                     request.output);
            if (request.format == "json")
                return cli.writeText(AnalysisExport::conversionJson(analysis), request.output);
            return writeFile(cli,
                             request.format == "csv"    ? AnalysisExport::Format::Csv
                             : request.format == "html" ? AnalysisExport::Format::Html
                                                        : AnalysisExport::Format::Pdf,
                             analysis, request.output);
        });

    cli.addCommand(
        "report heatmap",
        "report heatmap --from YYYY-MM-DD --to YYYY-MM-DD [--format text|json] [--output FILE]",
        "Calls over the period by weekday and hour of the day, and the calls without a time\n"
        "of day. json is {\"report\", \"from\", \"to\", \"cells\", \"untimed\"}, a cell being\n"
        "{\"weekday\" (1 Monday), \"hour\", \"calls\"}; only cells with calls are listed.",
        [&cli](const QStringList& args) {
            ReportRequest request(cli.env());
            if (const auto status = readRequest(cli, args, {"text", "json"}, &request))
                return *status;
            return cli.writeText(
                request.format == "json"
                    ? AnalysisExport::heatMapJson(request.analysis)
                    : AnalysisExport::text(AnalysisExport::heatMapGrid(request.analysis)),
                request.output);
        });
}

void addSpend(CliRunner& cli)
{
    cli.addCommand(
        "spend set", "spend set --source NAME --month YYYY-MM --amount ROUBLES",
        "Stores the advertising spend of a source (a name of the list of sources, letter case\n"
        "aside) for a calendar month, replacing the month's former amount. ROUBLES takes up to\n"
        "two decimals after a point or a comma and blanks between thousands: 15000.50,\n"
        "\"15 000,50\". An amount of - removes the month's amount.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"source", "month", "amount"}, {});
            if (!o.ok() || !o.positional().isEmpty())
                return cli.fail(CliRunner::Usage, o.ok() ? "no arguments expected" : o.errorText());
            const QDate month = SpendStore::parseMonth(o.value("month"));
            if (!month.isValid())
                return cli.fail(CliRunner::Usage, "--month must be a month YYYY-MM");
            if (!o.has("source") || !o.has("amount"))
                return cli.fail(CliRunner::Usage, "give --source and --amount");
            SpendStore store(cli.env());
            if (!cli.env()->connect())
                return cli.fail(CliRunner::Failure, cli.env()->errorText());
            const QString source = store.listName(o.value("source"));
            if (source.isEmpty())
                return cli.fail(
                    CliRunner::Usage,
                    QStringLiteral("\"%1\" is not in the list of sources").arg(o.value("source")));
            if (o.value("amount") == "-")
                return store.remove(source, month)
                           ? int(CliRunner::Ok)
                           : cli.fail(CliRunner::Failure, store.errorText());
            QString error;
            const std::optional<qint64> kopecks = Money::parse(o.value("amount"), &error);
            if (!kopecks)
                return cli.fail(CliRunner::Usage, error);
            if (!store.set(source, month, *kopecks))
                return cli.fail(CliRunner::Failure, store.errorText());
            return int(CliRunner::Ok);
        });

    cli.addCommand("spend list", "spend list",
                   "Prints the stored spend, one month of one source a line: YYYY-MM, the amount "
                   "in\nroubles (1234.50) and the source, separated by tabs.",
                   [&cli](const QStringList& args) {
                       CliOptions o(args, {}, {});
                       if (!o.ok() || !o.positional().isEmpty())
                           return cli.fail(CliRunner::Usage,
                                           o.ok() ? "no arguments expected" : o.errorText());
                       SpendStore store(cli.env());
                       QList<SpendStore::Entry> entries;
                       if (!store.entries(&entries))
                           return cli.fail(CliRunner::Failure, store.errorText());
                       for (const SpendStore::Entry& entry : entries)
                           cli.out() << SpendStore::monthText(entry.month) << "\t"
                                     << Money::plain(entry.kopecks) << "\t" << entry.source << "\n";
                       return int(CliRunner::Ok);
                   });
}

void addMailingOption(CliRunner& cli)
{
    cli.addCommand(
        "settings analysis", "settings analysis [on|off]",
        "Whether the report mail carries the advertising analysis over the mailing period as a\n"
        "fifth file, analiz.htm (off unless switched on). Without an argument, prints on or off.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {});
            if (!o.ok() || o.positional().size() > 1)
                return cli.fail(CliRunner::Usage, o.ok() ? "give on or off" : o.errorText());
            SettingsStore store;
            if (o.positional().isEmpty()) {
                cli.out() << (AnalysisAttachment::isOn(store) ? "on" : "off") << "\n";
                return int(CliRunner::Ok);
            }
            const QString word = o.positional().first();
            if (word != "on" && word != "off")
                return cli.fail(CliRunner::Usage, "give on or off");
            if (!AnalysisAttachment::setOn(store, word == "on"))
                return cli.fail(CliRunner::Failure, "the settings store could not be written: " +
                                                        SettingsStore::location());
            return int(CliRunner::Ok);
        });
}

} // namespace

void AnalysisCommands::addTo(CliRunner& cli)
{
    addReports(cli);
    addSpend(cli);
    addMailingOption(cli);
}

#include "AnalysisCommands.h"

#include "AdAnalysis.h"
#include "AnalysisExport.h"
#include "CliOptions.h"
#include "CliRunner.h"
#include "Clock.h"
#include "DataEnv.h"
#include "MailingSettings.h"
#include "Money.h"
#include "OnOffSetting.h"
#include "SettingsStore.h"
#include "SpendStore.h"

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

const QList<std::pair<QString, AnalysisPeriod::Preset>> presetNames{
    {"this-week", AnalysisPeriod::Preset::ThisWeek},
    {"last-week", AnalysisPeriod::Preset::LastWeek},
    {"this-month", AnalysisPeriod::Preset::ThisMonth},
    {"last-month", AnalysisPeriod::Preset::LastMonth},
    {"last-30-days", AnalysisPeriod::Preset::Last30Days},
    {"this-year", AnalysisPeriod::Preset::ThisYear}};

QStringList presetList()
{
    QStringList list;
    for (const auto& preset : presetNames)
        list << preset.first;
    return list;
}

QStringList comparisonList()
{
    QStringList list;
    for (const AnalysisPeriod::Comparison comparison : AnalysisPeriod::comparisons())
        list << AnalysisPeriod::name(comparison);
    return list;
}

// The period of --from and --to, or of --preset around today, compared as --compare says
// (when `comparing`); a status to return when the options give no period.
std::optional<int> readPeriod(CliRunner& cli, const CliOptions& o, bool comparing,
                              AnalysisPeriod* period)
{
    if (o.has("preset")) {
        if (o.has("from") || o.has("to"))
            return cli.fail(CliRunner::Usage,
                            QStringLiteral("укажите либо --preset, либо --from и --to"));
        const int index = int(presetList().indexOf(o.value("preset")));
        if (index < 0)
            return cli.fail(CliRunner::Usage,
                            QStringLiteral("--preset: одно из ") + presetList().join(", "));
        *period = AnalysisPeriod::preset(presetNames.at(index).second, Clock::today());
    } else {
        const QDate from = CliRunner::parseDate(o.value("from"));
        const QDate to = CliRunner::parseDate(o.value("to"));
        if (!from.isValid() || !to.isValid())
            return cli.fail(CliRunner::Usage, "--from и --to: нужны даты ГГГГ-ММ-ДД");
        if (from > to)
            return cli.fail(CliRunner::Usage, "--from позже --to");
        *period = AnalysisPeriod(from, to);
    }
    if (o.has("compare")) {
        if (!comparing)
            return cli.fail(CliRunner::Usage,
                            QStringLiteral("--compare только для report conversion"));
        const int index = int(comparisonList().indexOf(o.value("compare")));
        if (index < 0)
            return cli.fail(CliRunner::Usage,
                            QStringLiteral("--compare: одно из ") + comparisonList().join(", "));
        *period = period->comparedWith(AnalysisPeriod::comparisons().at(index));
    }
    return std::nullopt;
}

// Reads the period (readPeriod()), --format (one of `formats`, the first by default) and
// --output, and loads the analysis; a status to return when that fails.
std::optional<int> readRequest(CliRunner& cli, const QStringList& args, const QStringList& formats,
                               bool comparing, ReportRequest* request)
{
    CliOptions o(args, {"from", "to", "preset", "compare", "format", "output"}, {});
    if (!o.ok())
        return cli.fail(CliRunner::Usage, o.errorText());
    AnalysisPeriod period;
    if (const auto status = readPeriod(cli, o, comparing, &period))
        return status;
    request->format = o.value("format", formats.first());
    request->output = o.value("output");
    if (!formats.contains(request->format))
        return cli.fail(CliRunner::Usage, "--format: одно из " + formats.join(", "));
    if (request->format == "pdf" && request->output.isEmpty())
        return cli.fail(CliRunner::Usage, "--format pdf: нужен --output FILE");
    if (!request->analysis.load(period))
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
    return output.isEmpty() ? cli.printFile(target) : int(CliRunner::Ok);
}

void addReports(CliRunner& cli)
{
    cli.addCommand(
        "report conversion",
        "report conversion --from YYYY-MM-DD --to YYYY-MM-DD | --preset PRESET "
        "[--compare previous-span|previous-unit|previous-year] "
        "[--format text|csv|json|html|pdf] [--output FILE]",
        "По каждому рекламному источнику за период (оба дня включительно) и за период\n"
        "сравнения: звонки, записи, доля записей, расход (сумма месяца в доле от охваченных\n"
        "дней) и цена звонка и записи. json — {\"report\", \"from\", \"to\", \"previous\":\n"
        "{\"from\", \"to\", \"compare\"}, \"rows\", \"total\"}, деньги — строки с двумя знаками\n"
        "после точки, null — где делить не на что или расход не введён. Для pdf нужен --output.\n"
        "\n"
        "Период: --preset this-week|last-week|this-month|last-month|last-30-days|this-year\n"
        "(эта неделя, этот месяц и этот год — по сегодняшний день) или --from и --to.\n"
        "Сравнение (--compare): previous-span — столько же дней перед периодом;\n"
        "previous-unit — те же дни прошлой недели, месяца или года (для любых дат и последних\n"
        "30 дней — как previous-span); previous-year — те же дни прошлого года. По умолчанию\n"
        "недели, месяцы и годы сравниваются с прошлыми (previous-unit), остальное — с\n"
        "предыдущими днями (previous-span).",
        [&cli](const QStringList& args) {
            ReportRequest request(cli.env());
            if (const auto status =
                    readRequest(cli, args, {"text", "csv", "json", "html", "pdf"}, true, &request))
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
        "report heatmap --from YYYY-MM-DD --to YYYY-MM-DD | --preset PRESET [--format text|json] "
        "[--output FILE]",
        "Звонки за период по дням недели и часам суток и звонки без времени суток. json —\n"
        "{\"report\", \"from\", \"to\", \"cells\", \"untimed\"}, ячейка —\n"
        "{\"weekday\" (1 — понедельник), \"hour\", \"calls\"}; даны только ячейки со звонками.\n"
        "Периоды --preset — как у report conversion.",
        [&cli](const QStringList& args) {
            ReportRequest request(cli.env());
            if (const auto status = readRequest(cli, args, {"text", "json"}, false, &request))
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
        "Сохраняет расход на рекламу источника (название из списка источников, регистр не\n"
        "важен) за календарный месяц вместо прежней суммы месяца. ROUBLES — до двух знаков\n"
        "после точки или запятой, с пробелами между тысячами: 15000.50, \"15 000,50\".\n"
        "Сумма - удаляет сумму месяца.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"source", "month", "amount"}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const QDate month = SpendStore::parseMonth(o.value("month"));
            if (!month.isValid())
                return cli.fail(CliRunner::Usage, "--month: нужен месяц ГГГГ-ММ");
            if (!o.has("source") || !o.has("amount"))
                return cli.fail(CliRunner::Usage, "нужно указать --source и --amount");
            SpendStore store(cli.env());
            if (!cli.env()->connect())
                return cli.fail(CliRunner::Failure, cli.env()->errorText());
            const QString source = store.listName(o.value("source"));
            if (source.isEmpty())
                return cli.fail(
                    CliRunner::Usage,
                    QStringLiteral("«%1» нет в списке источников").arg(o.value("source")));
            if (o.value("amount") == "-")
                return store.remove(source, month)
                           ? int(CliRunner::Ok)
                           : cli.fail(CliRunner::Failure, store.errorText());
            const Outcome<qint64> kopecks = Money::parse(o.value("amount"));
            if (!kopecks)
                return cli.fail(CliRunner::Usage, kopecks.errorText());
            if (!store.set(source, month, kopecks.value()))
                return cli.fail(CliRunner::Failure, store.errorText());
            return int(CliRunner::Ok);
        });

    cli.addCommand("spend list", "spend list",
                   "Выводит сохранённый расход, по месяцу одного источника в строке: ГГГГ-ММ,\n"
                   "сумма в рублях (1234.50) и источник через табуляцию.",
                   [&cli](const QStringList& args) {
                       CliOptions o(args, {}, {});
                       if (!o.ok())
                           return cli.fail(CliRunner::Usage, o.errorText());
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
    cli.addCommand("settings analysis", "settings analysis [on|off]",
                   "Несёт ли письмо с отчётами анализ рекламы за период рассылки пятым файлом,\n"
                   "analiz.htm (выключено, пока не включено). Без аргумента выводит on или off.",
                   [&cli](const QStringList& args) {
                       return OnOffSetting::run(cli, args, MailingSettings::analysisKey);
                   });
}

} // namespace

void AnalysisCommands::addTo(CliRunner& cli)
{
    addReports(cli);
    addSpend(cli);
    addMailingOption(cli);
}

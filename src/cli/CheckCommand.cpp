#include "CheckCommand.h"

#include "CliOptions.h"
#include "CliRunner.h"
#include "DataEnv.h"
#include "ReportKind.h"
#include "TotalsStore.h"

namespace {

// Differences printed before the rest are only counted.
constexpr int shownDifferences = 100;

// The report of the totals by its command-line name; the per-hour totals are no report's.
QString kindWord(TotalsKind::Value kind)
{
    const ReportKind* report = ReportKind::find(kind);
    return report ? report->cliName() : QStringLiteral("by-hour");
}

QString describe(const TotalsDifference& d)
{
    if (d.callKeys)
        return QStringLiteral("звонок %1 от %2 (%3): его ключи означают %4, а названия дают %5")
            .arg(d.call)
            .arg(d.period, d.names, d.storedKeys, d.expectedKeys);
    QString where = kindWord(d.kind);
    if (d.kind == TotalsKind::ByHour)
        where += QStringLiteral(" день недели %1 час %2")
                     .arg(d.name.toInt() / 100)
                     .arg(d.name.toInt() % 100);
    else if (d.kind != TotalsKind::ByDate)
        where += " «" + d.name + "»";
    where += d.month ? " месяц " + d.period : " " + d.period;
    return QStringLiteral("%1: хранится звонков %2 / записей %3, подсчитано %4 / %5")
        .arg(where)
        .arg(d.storedCalls)
        .arg(d.storedBooked)
        .arg(d.countedCalls)
        .arg(d.countedBooked);
}

} // namespace

void CheckCommand::addTo(CliRunner& cli)
{
    cli.addCommand(
        "check", "check [--repair]",
        "Пересчитывает по звонкам итоги по дням и месяцам, которые читают отчёты, и ключи\n"
        "каждого звонка и выводит каждое место, где хранимые расходятся (код выхода 1).\n"
        "С --repair перестраивает ключи и итоги по звонкам одной транзакцией.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {"repair"}, CliOptions::any());
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            if (!o.positional().isEmpty())
                return cli.fail(CliRunner::Usage,
                                QStringLiteral("лишний аргумент %1").arg(o.positional().first()));
            TotalsStore& totals = cli.env()->totals();
            QList<TotalsDifference> differences;
            if (!totals.check(&differences))
                return cli.fail(CliRunner::Failure, totals.errorText());
            for (int i = 0; i < differences.size() && i < shownDifferences; ++i)
                cli.out() << describe(differences.at(i)) << "\n";
            if (differences.size() > shownDifferences)
                cli.out() << "... и ещё " << differences.size() - shownDifferences << "\n";
            if (!o.has("repair")) {
                if (differences.isEmpty()) {
                    cli.out() << "Итоги сходятся со звонками.\n";
                    return int(CliRunner::Ok);
                }
                cli.out().flush();
                return cli.fail(CliRunner::Failure,
                                QStringLiteral("расхождений между итогами и звонками: %1; "
                                               "«kalvent-cli check --repair» перестроит итоги")
                                    .arg(differences.size()));
            }
            if (!totals.rebuild() || !totals.check(&differences))
                return cli.fail(CliRunner::Failure, totals.errorText());
            if (!differences.isEmpty())
                return cli.fail(CliRunner::Failure,
                                QStringLiteral("после перестройки осталось расхождений: %1")
                                    .arg(differences.size()));
            cli.out() << "Итоги перестроены по звонкам и сходятся с ними.\n";
            return int(CliRunner::Ok);
        });
}

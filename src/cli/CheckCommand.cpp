#include "CheckCommand.h"

#include "CliOptions.h"
#include "CliRunner.h"
#include "DataEnv.h"
#include "TotalsStore.h"
#include "ReportKind.h"

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
        return QStringLiteral("call %1 of %2 (%3): its keys stand for %4, its names fold to %5")
            .arg(d.call)
            .arg(d.period, d.names, d.storedKeys, d.expectedKeys);
    QString where = kindWord(d.kind);
    if (d.kind == TotalsKind::ByHour)
        where += QStringLiteral(" weekday %1 hour %2")
                     .arg(d.name.toInt() / 100)
                     .arg(d.name.toInt() % 100);
    else if (d.kind != TotalsKind::ByDate)
        where += " \"" + d.name + "\"";
    where += d.month ? " month " + d.period : " " + d.period;
    return QStringLiteral("%1: stored %2 calls / %3 booked, counted %4 / %5")
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
        "Recomputes from the calls the per-day and per-month totals that the reports read, and\n"
        "every call's keys, and prints each place where the stored ones differ (exit status 1).\n"
        "With --repair, rebuilds the keys and totals from the calls in one transaction.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {"repair"}, CliOptions::any());
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            if (!o.positional().isEmpty())
                return cli.fail(CliRunner::Usage, "unexpected argument " + o.positional().first());
            TotalsStore& totals = cli.env()->totals();
            QList<TotalsDifference> differences;
            if (!totals.check(&differences))
                return cli.fail(CliRunner::Failure, totals.errorText());
            for (int i = 0; i < differences.size() && i < shownDifferences; ++i)
                cli.out() << describe(differences.at(i)) << "\n";
            if (differences.size() > shownDifferences)
                cli.out() << "... and " << differences.size() - shownDifferences << " more\n";
            if (!o.has("repair")) {
                if (differences.isEmpty()) {
                    cli.out() << "the totals agree with the calls\n";
                    return int(CliRunner::Ok);
                }
                cli.out().flush();
                return cli.fail(CliRunner::Failure,
                                QStringLiteral("%1 difference(s) between the totals and the "
                                               "calls; \"kalvent-cli check --repair\" rebuilds "
                                               "the totals")
                                    .arg(differences.size()));
            }
            if (!totals.rebuild() || !totals.check(&differences))
                return cli.fail(CliRunner::Failure, totals.errorText());
            if (!differences.isEmpty())
                return cli.fail(CliRunner::Failure,
                                QStringLiteral("%1 difference(s) remain after the rebuild")
                                    .arg(differences.size()));
            cli.out() << "the totals were rebuilt from the calls and agree with them\n";
            return int(CliRunner::Ok);
        });
}

#include "CallCommands.h"

#include "CallRegister.h"
#include "CliOptions.h"
#include "CliRunner.h"
#include "Clock.h"
#include "DataEnv.h"
#include "ListNames.h"

void CallCommands::addTo(CliRunner& cli)
{
    cli.addCommand(
        "add", "add --service NAME --source NAME [--booked] [--date YYYY-MM-DD] [--time HH:MM:SS]",
        "Stores one call. The date defaults to today, the time to now. While another\n"
        "program writes (an import), the call waits for it, up to three minutes.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"service", "source", "date", "time"}, {"booked"},
                         CliOptions::any());
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            if (!o.positional().isEmpty())
                return cli.fail(CliRunner::Usage, "unexpected argument " + o.positional().first());
            const QString service = ListNames::normalized(o.value("service"));
            const QString source = ListNames::normalized(o.value("source"));
            if (service.isEmpty() || source.isEmpty())
                return cli.fail(CliRunner::Usage,
                                "both --service and --source must name something");
            if (const QString fault = ListNames::fault(service); !fault.isEmpty())
                return cli.fail(CliRunner::Usage, "--service: " + fault);
            if (const QString fault = ListNames::fault(source); !fault.isEmpty())
                return cli.fail(CliRunner::Usage, "--source: " + fault);
            QDate date = Clock::today();
            if (o.has("date")) {
                date = CliRunner::parseDate(o.value("date"));
                if (!date.isValid())
                    return cli.fail(CliRunner::Usage, "--date must be a date YYYY-MM-DD");
            }
            QTime time = Clock::timeOfDay();
            if (o.has("time")) {
                time = QTime::fromString(o.value("time"), "HH:mm:ss");
                if (!time.isValid())
                    return cli.fail(CliRunner::Usage, "--time must be a time of day HH:MM:SS");
            }
            CallRegister calls(cli.env());
            calls.setWaitNotice([&cli](const QString& text) { cli.err() << text << Qt::endl; });
            if (calls.add(date, service, source, o.has("booked"), time) !=
                CallRegister::AddResult::Added)
                return cli.fail(CliRunner::Failure, calls.errorText());
            return int(CliRunner::Ok);
        });
}

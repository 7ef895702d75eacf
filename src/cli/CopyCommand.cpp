#include "CopyCommand.h"

#include "CliOptions.h"
#include "CliRunner.h"
#include "DataEnv.h"
#include "RegisterCopy.h"

void CopyCommand::addTo(CliRunner& cli)
{
    cli.addCommand(
        "copy", "copy --from SOURCE --to TARGET",
        "Copies the lists and every call from SOURCE to TARGET, each a database file or\n"
        "postgresql://USER@HOST:PORT/DBNAME (with its connection parameters, such as\n"
        "?sslmode=verify-full&sslrootcert=FILE), in one transaction. The target gets the\n"
        "source's lists; a target that already holds calls is refused. The counts and\n"
        "every report over the whole span of the calls are compared on both sides before\n"
        "the copy is committed.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"from", "to"}, {}, CliOptions::any());
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            if (!o.positional().isEmpty() || o.value("from").isEmpty() || o.value("to").isEmpty())
                return cli.fail(CliRunner::Usage, "give --from SOURCE and --to TARGET");
            if (o.value("from") == o.value("to"))
                return cli.fail(CliRunner::Usage, "SOURCE and TARGET are the same");
            DataEnv source(o.value("from"));
            DataEnv target(o.value("to"));
            RegisterCopy copy(source, target);
            if (!copy.run())
                return cli.fail(copy.targetNotEmpty() ? CliRunner::Usage : CliRunner::Failure,
                                copy.errorText());
            cli.out() << "copied " << copy.calls() << " calls\n";
            return int(CliRunner::Ok);
        });
}

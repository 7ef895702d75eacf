#include "CopyCommand.h"

#include "CliOptions.h"
#include "CliRunner.h"
#include "DataEnv.h"
#include "RegisterCopy.h"

void CopyCommand::addTo(CliRunner& cli)
{
    cli.addCommand(
        "copy", "copy --from SOURCE --to TARGET",
        "Копирует списки и все звонки из SOURCE в TARGET (каждый — файл базы данных или\n"
        "postgresql://USER@HOST:PORT/DBNAME с параметрами соединения, например\n"
        "?sslmode=verify-full&sslrootcert=FILE) одной транзакцией. TARGET получает списки\n"
        "SOURCE; TARGET, в котором уже есть звонки, не принимается. Перед фиксацией копии\n"
        "сравниваются количества и каждый отчёт за весь срок звонков с обеих сторон.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"from", "to"}, {}, CliOptions::any());
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            if (!o.positional().isEmpty() || o.value("from").isEmpty() || o.value("to").isEmpty())
                return cli.fail(CliRunner::Usage, "нужно указать --from SOURCE и --to TARGET");
            if (o.value("from") == o.value("to"))
                return cli.fail(CliRunner::Usage, "SOURCE и TARGET совпадают");
            DataEnv source(o.value("from"));
            DataEnv target(o.value("to"));
            RegisterCopy copy(source, target);
            if (!copy.run())
                return cli.fail(copy.targetNotEmpty() ? CliRunner::Usage : CliRunner::Failure,
                                copy.errorText());
            cli.out() << "Скопировано звонков: " << copy.calls() << "\n";
            return int(CliRunner::Ok);
        });
}

#include "ServerCommands.h"

#include "AppPaths.h"
#include "CliOptions.h"
#include "CliRunner.h"
#include "DataEnv.h"
#include "DatabaseLocation.h"
#include "ServerRoles.h"

void ServerCommands::addTo(CliRunner& cli)
{
    cli.addCommand(
        "server init", "server init --owner ROLE --operators ROLE",
        "Готовит базу данных на сервере для нескольких пультов: создаёт таблицы, если их\n"
        "нет, передаёт их роли владельца ROLE и даёт групповой роли операторов (она\n"
        "создаётся без права входа, если её нет) право добавлять звонки, удалять\n"
        "последний звонок своего пульта, читать списки, звонки, итоги, расходы и журнал\n"
        "изменений и брать рассылки. Списки, расходы, правку и удаление других звонков\n"
        "оставляет владельцу. Запускает владелец или администратор с правом CREATEROLE;\n"
        "повторный запуск (и после обновления программы) ничего не портит.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"owner", "operators"}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const QString owner = o.value("owner");
            const QString operators = o.value("operators");
            if (owner.isEmpty() || operators.isEmpty())
                return cli.fail(CliRunner::Usage, "нужно указать --owner ROLE и --operators ROLE");
            if (owner == operators)
                return cli.fail(CliRunner::Usage, "роли владельца и операторов совпадают");
            if (!DatabaseLocation::isServerUrl(AppPaths::databasePath()))
                return cli.fail(CliRunner::Usage,
                                "права настраиваются только у базы данных на сервере "
                                "(--database postgresql://…)");
            if (!cli.env()->connect())
                return cli.fail(CliRunner::Failure, cli.env()->errorText());
            const Outcome<void> done = ServerRoles::apply(cli.env()->database(), owner, operators);
            if (!done)
                return cli.fail(CliRunner::Failure, done.errorText());
            cli.out() << QStringLiteral("Права настроены: владелец «%1», операторы «%2».\n")
                             .arg(owner, operators);
            return int(CliRunner::Ok);
        });
}

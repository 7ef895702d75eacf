#include "SyncCommand.h"

#include "CallRegister.h"
#include "CliOptions.h"
#include "CliRunner.h"
#include "DataEnv.h"
#include "KeptCalls.h"

void SyncCommand::addTo(CliRunner& cli)
{
    cli.addCommand(
        "sync", "sync [--status]",
        "Передаёт на сервер звонки, сохранённые на этом компьютере, пока сервер был\n"
        "недоступен (по порядку, каждый ровно один раз). Код выхода 0, когда переданы все,\n"
        "1 — когда часть ещё ждёт. Команды kalvent-cli и окно программы передают их и\n"
        "сами. --status выводит, сколько звонков ждёт и дату самого раннего из них.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {"status"});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            CallRegister calls(cli.env());
            if (!calls.kept()) {
                cli.out() << "База данных — файл на этом компьютере: передавать нечего.\n";
                return int(CliRunner::Ok);
            }
            QDate oldest;
            const int before = calls.kept()->count(&oldest);
            if (before < 0)
                return cli.fail(CliRunner::Failure, calls.kept()->errorText());
            if (o.has("status")) {
                cli.out() << "Ожидают передачи на сервер: " << before << "\n";
                if (oldest.isValid())
                    cli.out() << "Дата самого раннего: " << oldest.toString(Qt::ISODate) << "\n";
                return int(CliRunner::Ok);
            }
            const bool done = calls.transfer();
            const int after = calls.waitingCount();
            cli.out() << "Передано на сервер: " << qMax(0, before - qMax(0, after)) << "\n";
            if (done && after == 0) {
                cli.out() << "Все звонки переданы на сервер.\n";
                return int(CliRunner::Ok);
            }
            return cli.fail(
                CliRunner::Failure,
                CallRegister::waitingText(qMax(0, after)) +
                    (calls.errorText().isEmpty() ? QString() : ".\n" + calls.errorText()));
        });
}

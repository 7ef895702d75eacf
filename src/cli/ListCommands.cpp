#include "ListCommands.h"

#include "CliOptions.h"
#include "CliRunner.h"
#include "DataEnv.h"
#include "ListNames.h"
#include "ListStore.h"
#include "RowSet.h"

void ListCommands::addTo(CliRunner& cli)
{
    struct ListKind
    {
        QString word;
        QString command;
        QString column;
        QString ofWhat; // "услуг": the list of what
    };
    for (const ListKind& list :
         {ListKind{"service", "Uslugi", "Uname", QStringLiteral("услуг")},
          ListKind{"source", "Istochnik", "IName", QStringLiteral("источников")}}) {
        cli.addCommand(
            list.word + " add", list.word + " add NAME",
            "Добавляет название в список " + list.ofWhat +
                " в Unicode NFC, без невидимых знаков (управляющих, нулевой\n"
                "ширины и знаков направления письма) и пробелов по краям, не длиннее " +
                QString::number(ListNames::maxLength) +
                "\nзнаков; название, которое уже есть в списке (без учёта регистра), не\n"
                "принимается.",
            [&cli, list](const QStringList& args) {
                CliOptions o(args, {}, {}, {1, 1, "нужно ровно одно NAME"});
                if (!o.ok())
                    return cli.fail(CliRunner::Usage, o.errorText());
                if (!cli.env()->connect())
                    return cli.fail(CliRunner::Failure, cli.env()->errorText());
                RowSet* rows = cli.env()->bind(list.command);
                if (!rows->isOpen())
                    return cli.fail(CliRunner::Failure, cli.env()->errorText());
                const QString name = o.positional().first();
                const QString refusal = ListNames::refusal(*rows, list.column, name);
                if (!refusal.isEmpty())
                    return cli.fail(CliRunner::Usage, refusal);
                if (!rows->addRow(list.column, ListNames::normalized(name)))
                    return cli.fail(CliRunner::Failure, rows->errorText());
                return int(CliRunner::Ok);
            });
        cli.addCommand(list.word + " rename", list.word + " rename OLD NEW",
                       "Переименовывает название в списке " + list.ofWhat +
                           " и все звонки с ним одной транзакцией; если NEW уже есть\n"
                           "в списке (без учёта регистра), два названия сливаются.",
                       [&cli, list](const QStringList& args) {
                           CliOptions o(args, {}, {}, {2, 2, "нужно указать OLD и NEW"});
                           if (!o.ok())
                               return cli.fail(CliRunner::Usage, o.errorText());
                           const QString newName = ListNames::normalized(o.positional()[1]);
                           if (newName.isEmpty())
                               return cli.fail(CliRunner::Usage, "новое название пустое");
                           if (const QString fault = ListNames::fault(newName); !fault.isEmpty())
                               return cli.fail(CliRunner::Usage, fault);
                           if (!cli.env()->connect())
                               return cli.fail(CliRunner::Failure, cli.env()->errorText());
                           RowSet* rows = cli.env()->bind(list.command);
                           if (!rows->isOpen())
                               return cli.fail(CliRunner::Failure, cli.env()->errorText());
                           // OLD as listed, else as it would be stored.
                           const QString oldName = o.positional()[0];
                           int row = -1;
                           for (int r = 0; r < rows->rowCount() && row < 0; ++r)
                               if (rows->value(r, list.column).toString() == oldName)
                                   row = r;
                           for (int r = 0; r < rows->rowCount() && row < 0; ++r)
                               if (ListNames::normalized(rows->value(r, list.column).toString()) ==
                                   ListNames::normalized(oldName))
                                   row = r;
                           if (row < 0)
                               return cli.fail(
                                   CliRunner::Usage,
                                   QStringLiteral("«%1» нет в списке").arg(o.positional()[0]));
                           QString mergedInto;
                           if (!cli.env()->lists().rename(list.command, row, newName, &mergedInto))
                               return cli.fail(CliRunner::Failure, cli.env()->lists().errorText());
                           if (!mergedInto.isEmpty())
                               cli.out() << "Слито с «" << mergedInto << "»\n";
                           return int(CliRunner::Ok);
                       });
        cli.addCommand(list.word + " list", list.word + " list",
                       "Выводит список " + list.ofWhat +
                           ", по названию в строке, в порядке добавления.",
                       [&cli, list](const QStringList& args) {
                           CliOptions o(args, {}, {});
                           if (!o.ok())
                               return cli.fail(CliRunner::Usage, o.errorText());
                           if (!cli.env()->connect())
                               return cli.fail(CliRunner::Failure, cli.env()->errorText());
                           RowSet* rows = cli.env()->bind(list.command);
                           if (!rows->isOpen())
                               return cli.fail(CliRunner::Failure, cli.env()->errorText());
                           for (int i = 0; i < rows->rowCount(); ++i)
                               cli.out() << rows->value(i, list.column).toString() << "\n";
                           return int(CliRunner::Ok);
                       });
    }
}

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
    };
    for (const ListKind& list :
         {ListKind{"service", "Uslugi", "Uname"}, ListKind{"source", "Istochnik", "IName"}}) {
        cli.addCommand(
            list.word + " add", list.word + " add NAME",
            "Adds an entry to the list of " + list.word +
                "s in Unicode NFC, without invisible characters (controls, zero-width\n"
                "and bidirectional formatting ones) and the blanks around it, at most " +
                QString::number(ListNames::maxLength) +
                "\ncharacters; a name already in the list (letter case aside) is refused.",
            [&cli, list](const QStringList& args) {
                CliOptions o(args, {}, {}, {1, 1, "give exactly one NAME"});
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
        cli.addCommand(
            list.word + " rename", list.word + " rename OLD NEW",
            "Renames an entry of the list of " + list.word +
                "s and every call that uses it, in one transaction; a NEW\n"
                "name already in the list (letter case aside) merges the two entries.",
            [&cli, list](const QStringList& args) {
                CliOptions o(args, {}, {}, {2, 2, "give OLD and NEW"});
                if (!o.ok())
                    return cli.fail(CliRunner::Usage, o.errorText());
                const QString newName = ListNames::normalized(o.positional()[1]);
                if (newName.isEmpty())
                    return cli.fail(CliRunner::Usage, "the new name is empty");
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
                        QStringLiteral("\"%1\" is not in the list").arg(o.positional()[0]));
                QString mergedInto;
                if (!cli.env()->lists().rename(list.command, row, newName, &mergedInto))
                    return cli.fail(CliRunner::Failure, cli.env()->lists().errorText());
                if (!mergedInto.isEmpty())
                    cli.out() << "merged into " << mergedInto << "\n";
                return int(CliRunner::Ok);
            });
        cli.addCommand(list.word + " list", list.word + " list",
                       "Prints the list of " + list.word +
                           "s, one name a line, in the order added.",
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

#include "CallCommands.h"

#include "CallImporter.h"
#include "CallRegister.h"
#include "CliOptions.h"
#include "CliRunner.h"
#include "Clock.h"
#include "DataEnv.h"
#include "ListNames.h"
#include "ListStore.h"

void CallCommands::addTo(CliRunner& cli)
{
    cli.addCommand(
        "add",
        "add --service NAME --source NAME [--booked] [--date YYYY-MM-DD] [--time HH:MM:SS] "
        "[--add-missing]",
        "Записывает один звонок. Дата по умолчанию сегодняшняя, время — текущее. Услуга и\n"
        "источник должны быть в списках (регистр букв и пробелы по краям не важны; звонок\n"
        "получает название, как его пишет список); --add-missing сначала добавляет в\n"
        "списки недостающие. Пока другая программа пишет (загрузка), звонок ждёт её до\n"
        "трёх минут.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"service", "source", "date", "time"}, {"booked", "add-missing"},
                         CliOptions::any());
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            if (!o.positional().isEmpty())
                return cli.fail(CliRunner::Usage,
                                QStringLiteral("лишний аргумент %1").arg(o.positional().first()));
            QString service = ListNames::normalized(o.value("service"));
            QString source = ListNames::normalized(o.value("source"));
            if (service.isEmpty() || source.isEmpty())
                return cli.fail(CliRunner::Usage, "нужно указать и --service, и --source");
            if (const QString fault = ListNames::fault(service); !fault.isEmpty())
                return cli.fail(CliRunner::Usage, "--service: " + fault);
            if (const QString fault = ListNames::fault(source); !fault.isEmpty())
                return cli.fail(CliRunner::Usage, "--source: " + fault);
            QDate date = Clock::today();
            if (o.has("date")) {
                date = CliRunner::parseDate(o.value("date"));
                if (!date.isValid())
                    return cli.fail(CliRunner::Usage, "--date: нужна дата ГГГГ-ММ-ДД");
            }
            QTime time = Clock::timeOfDay();
            if (o.has("time")) {
                time = QTime::fromString(o.value("time"), "HH:mm:ss");
                if (!time.isValid())
                    return cli.fail(CliRunner::Usage, "--time: нужно время суток ЧЧ:ММ:СС");
            }
            // The names as the lists write them; names in no list are refused, or added first.
            if (!cli.env()->connect())
                return cli.fail(CliRunner::Failure, cli.env()->errorText());
            QList<CallImporter::UnknownName> unknown;
            ListStore& lists = cli.env()->lists();
            for (QString* name : {&service, &source}) {
                const QString list = name == &service ? "Uslugi" : "Istochnik";
                QString entry;
                if (!lists.find(list, *name, &entry))
                    return cli.fail(CliRunner::Failure, lists.errorText());
                if (entry.isNull())
                    unknown << CallImporter::UnknownName{list, *name, 1};
                else
                    *name = entry;
            }
            if (!unknown.isEmpty() && !o.has("add-missing"))
                return cli.fail(CliRunner::Usage, CallImporter::unlistedText(unknown) +
                                                      QStringLiteral(" Звонок не записан "
                                                                     "(--add-missing добавит их "
                                                                     "в списки)."));
            for (const auto& name : unknown)
                if (!lists.add(name.listCommand, name.name))
                    return cli.fail(CliRunner::Failure, lists.errorText());
            CallRegister calls(cli.env());
            calls.setWaitNotice([&cli](const QString& text) { cli.err() << text << Qt::endl; });
            if (calls.add(date, service, source, o.has("booked"), time) !=
                CallRegister::AddResult::Added)
                return cli.fail(CliRunner::Failure, calls.errorText());
            return int(CliRunner::Ok);
        });
}

#include "CallCommands.h"

#include "CallImporter.h"
#include "CallRegister.h"
#include "CallTransfer.h"
#include "CliOptions.h"
#include "CliRunner.h"
#include "Clock.h"
#include "DataEnv.h"
#include "KeptCalls.h"
#include "ListNames.h"
#include "ListStore.h"

namespace {
// The entry of a list copy that names `name`, as ListNames matches them; empty when none.
QString keptEntry(const QStringList& entries, const QString& name)
{
    const QString wanted = ListNames::key(name);
    for (const QString& entry : entries)
        if (ListNames::key(entry) == wanted)
            return entry;
    return {};
}
} // namespace

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
        "трёх минут. Если сервер недоступен, звонок сохраняется на этом компьютере (по\n"
        "спискам, полученным с сервера последними) и передаётся на сервер позже (см. sync).",
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
            CallRegister calls(cli.env());
            if (!cli.env()->connect()) {
                // A server that is away: the names are those of the lists last read from it.
                if (!calls.kept() || !CallTransfer::isServerAway(cli.env()->errorText()))
                    return cli.fail(CliRunner::Failure, cli.env()->errorText());
                for (QString* name : {&service, &source}) {
                    const QString list = name == &service ? "Uslugi" : "Istochnik";
                    const QString entry = keptEntry(calls.kept()->list(list), *name);
                    if (entry.isEmpty())
                        return cli.fail(CliRunner::Failure,
                                        QStringLiteral("«%1» нет в списке, полученном с сервера "
                                                       "последним; сервер недоступен, звонок не "
                                                       "записан.\n%2")
                                            .arg(*name, cli.env()->errorText()));
                    *name = entry;
                }
            } else {
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
                    return cli.fail(CliRunner::Usage,
                                    CallImporter::unlistedText(unknown) +
                                        QStringLiteral(" Звонок не записан "
                                                       "(--add-missing добавит их "
                                                       "в списки)."));
                for (const auto& name : unknown)
                    if (!lists.add(name.listCommand, name.name))
                        return cli.fail(CliRunner::Failure, lists.errorText());
                calls.copyLists();
            }
            calls.setWaitNotice([&cli](const QString& text) { cli.err() << text << Qt::endl; });
            switch (calls.add(date, service, source, o.has("booked"), time)) {
            case CallRegister::AddResult::Added:
                break;
            case CallRegister::AddResult::Kept:
                cli.err() << CallRegister::keptText << Qt::endl;
                break;
            case CallRegister::AddResult::MissingChoice:
            case CallRegister::AddResult::Failed:
                return cli.fail(CliRunner::Failure, calls.errorText());
            }
            return int(CliRunner::Ok);
        });
}

#include "ImportCommand.h"

#include "AppPaths.h"
#include "CallImporter.h"
#include "CliOptions.h"
#include "CliRunner.h"
#include "DiskSpace.h"

#include <QFileInfo>

void ImportCommand::addTo(CliRunner& cli)
{
    cli.addCommand(
        "import", "import FILE.csv [--encoding utf-8|windows-1251] [--add-missing]",
        "Загружает звонки из файла CSV, в заголовке которого названы столбцы Data, usluga,\n"
        "Istochnik, Zapis и, если нужно, Vrem (в любом порядке и регистре). Даты пишутся\n"
        "ГГГГ-ММ-ДД или ДД.ММ.ГГГГ, за ними может стоять время суток; отметка записи —\n"
        "1, 0, true, false, да, нет, истина, ложь, yes или no. Все строки идут одной\n"
        "транзакцией: неверная строка останавливает загрузку с её номером, и ничего не\n"
        "загружается. Услуги и источники должны быть в списках (регистр букв и пробелы по\n"
        "краям не важны; звонок получает название, как его пишет список); если каких-то\n"
        "нет, загрузка отказывает и называет их в порядке файла, а --add-missing сначала\n"
        "добавляет их в списки. Файл читается как UTF-8, если он правильный UTF-8, иначе\n"
        "как Windows-1251; --encoding задаёт кодировку.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"encoding"}, {"add-missing"}, {1, 1, "нужен ровно один файл"});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            auto encoding = ImportEncoding::Kind::Auto;
            if (o.has("encoding")) {
                const auto named = ImportEncoding::fromName(o.value("encoding"));
                if (!named)
                    return cli.fail(CliRunner::Usage, "--encoding: нужно utf-8 или windows-1251");
                encoding = *named;
            }
            // A row takes about a hundred bytes in the file and as much again in the
            // totals and the journal: twice the table's size must be free.
            const QString database = AppPaths::databasePath();
            if (!database.contains(QStringLiteral("://"))) {
                const Outcome<void> space =
                    DiskSpace::check(QFileInfo(database).absolutePath(),
                                     2 * QFileInfo(o.positional().first()).size());
                if (!space)
                    return cli.fail(CliRunner::Failure,
                                    QStringLiteral("Звонки не импортированы: ") +
                                        space.errorText());
            }
            CallImporter importer(cli.env());
            importer.setUnlisted(o.has("add-missing") ? CallImporter::Unlisted::AddToLists
                                                      : CallImporter::Unlisted::Refuse);
            if (!importer.importFile(o.positional().first(), encoding))
                return cli.fail(importer.badInput() ? CliRunner::Usage : CliRunner::Failure,
                                importer.errorText());
            for (const auto& name : importer.unknownNames())
                cli.out() << (name.listCommand == "Uslugi" ? "Добавлено в список услуг: "
                                                           : "Добавлено в список источников: ")
                          << name.name << "\n";
            cli.out() << "Импортировано звонков: " << importer.imported() << " ("
                      << ImportEncoding::name(importer.encodingUsed()) << ")\n";
            return int(CliRunner::Ok);
        });
}

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
        "Loads calls from a CSV file whose header names the columns Data, usluga,\n"
        "Istochnik, Zapis and optionally Vrem (any order and letter case). Dates are\n"
        "YYYY-MM-DD or DD.MM.YYYY, optionally followed by a time of day; booked is\n"
        "1, 0, true or false. All rows go in one transaction: a bad row stops the import\n"
        "with its line number, and nothing is imported. The file is read as UTF-8 when it\n"
        "is valid UTF-8, else as Windows-1251; --encoding forces one.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"encoding"}, {"add-missing"}, {1, 1, "give exactly one FILE"});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            auto encoding = ImportEncoding::Kind::Auto;
            if (o.has("encoding")) {
                const auto named = ImportEncoding::fromName(o.value("encoding"));
                if (!named)
                    return cli.fail(CliRunner::Usage, "--encoding must be utf-8 or windows-1251");
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
            if (!importer.importFile(o.positional().first(), encoding))
                return cli.fail(importer.badInput() ? CliRunner::Usage : CliRunner::Failure,
                                importer.errorText());
            cli.out() << "imported " << importer.imported() << " calls ("
                      << ImportEncoding::name(importer.encodingUsed()) << ")\n";
            const auto unknown = importer.unknownNames();
            if (o.has("add-missing")) {
                if (!importer.addUnknownNames())
                    return cli.fail(CliRunner::Failure, importer.errorText());
                for (const auto& name : unknown)
                    cli.out() << "added to the "
                              << (name.listCommand == "Uslugi" ? "services" : "sources") << ": "
                              << name.name << "\n";
            } else if (!unknown.isEmpty()) {
                cli.out() << "not in the lists (these calls count in no report per source or "
                             "service; --add-missing adds them):\n";
                for (const auto& name : unknown)
                    cli.out() << "  " << (name.listCommand == "Uslugi" ? "service" : "source")
                              << " " << name.name << ": " << name.calls << " calls\n";
            }
            return int(CliRunner::Ok);
        });
}

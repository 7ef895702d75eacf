#include "CliRunner.h"

#include "DiskSpace.h"
#include "PrivateFiles.h"
#include "SafeFile.h"

#include "AnalysisCommands.h"
#include "AppPaths.h"
#include "CallImporter.h"
#include "CheckCommand.h"
#include "CliOptions.h"
#include "Clock.h"
#include "CopyCommand.h"
#include "DataEnv.h"
#include "ListNames.h"
#include "MailingCommands.h"
#include "ReportFileWriter.h"
#include "ReportKind.h"
#include "ReportLayouts.h"
#include "ReportPeriod.h"
#include "ReportTable.h"
#include "RowSet.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

QDate CliRunner::parseDate(const QString& text)
{
    if (text.size() != 10)
        return {};
    return QDate::fromString(text, Qt::ISODate);
}

CliRunner::CliRunner(QTextStream& out, QTextStream& err, QIODevice* input) : m_out(out), m_err(err)
{
    if (!input) {
        m_stdin = std::make_unique<QFile>();
        m_stdin->open(stdin, QIODevice::ReadOnly);
        input = m_stdin.get();
    }
    addBuiltins();
    MailingCommands::addTo(*this, input);
    CheckCommand::addTo(*this);
    AnalysisCommands::addTo(*this);
    CopyCommand::addTo(*this);
}

CliRunner::~CliRunner() = default;

void CliRunner::addCommand(const QString& name, const QString& synopsis, const QString& help,
                           Handler handler)
{
    m_commands[name] = Command{synopsis, help, std::move(handler)};
}

DataEnv* CliRunner::env()
{
    if (!m_env)
        m_env = DataEnv::instance();
    return m_env;
}

int CliRunner::fail(int status, const QString& message)
{
    m_err << "kalvent-cli: " << message << Qt::endl;
    return status;
}

void CliRunner::usage(QTextStream& stream) const
{
    stream << "usage: kalvent-cli [--database FILE|postgresql://USER@HOST:PORT/DBNAME[?PARAMS]] "
              "COMMAND [OPTIONS]\n\ncommands:\n";
    for (const auto& [name, command] : m_commands)
        stream << "  " << command.synopsis << "\n";
    stream << "\nEvery command takes --help. Exit status: 0 success, 1 database or mail failure, "
              "2 bad usage or input.\n";
    stream.flush();
}

int CliRunner::run(QStringList args)
{
    // Global option, accepted before or after the command.
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--database" || args[i].startsWith("--database=")) {
            QString path;
            if (args[i].startsWith("--database=")) {
                path = args[i].mid(11);
                args.removeAt(i);
            } else {
                if (i + 1 >= args.size())
                    return fail(Usage, "option --database needs a file");
                path = args[i + 1];
                args.remove(i, 2);
            }
            if (path.isEmpty())
                return fail(Usage, "option --database needs a file");
            AppPaths::overrideDatabasePath(path);
            PrivateFiles::tightenDatabase(path);
            DataEnv::setInstance(nullptr);
            m_env = nullptr; // the one it pointed to is gone
            --i;
        }
    }
    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h" ||
        args.first() == "help") {
        usage(args.isEmpty() ? m_err : m_out);
        return args.isEmpty() ? Usage : Ok;
    }
    QString name = args.first();
    auto found = m_commands.end();
    if (args.size() > 1 && m_commands.count(name + " " + args[1])) {
        found = m_commands.find(name + " " + args[1]);
        args.remove(0, 2);
    } else {
        found = m_commands.find(name);
        if (found != m_commands.end())
            args.removeFirst();
    }
    if (found == m_commands.end()) {
        bool group = false;
        for (const auto& [key, command] : m_commands)
            group = group || key.startsWith(name + " ");
        if (group && (args.size() < 2 || args[1] == "--help")) {
            for (const auto& [key, command] : m_commands)
                if (key.startsWith(name + " "))
                    (args.size() >= 2 ? m_out : m_err)
                        << "usage: kalvent-cli " << command.synopsis << "\n";
            return args.size() >= 2 ? Ok : Usage;
        }
        return fail(Usage, QStringLiteral("unknown command \"%1\" (see kalvent-cli --help)")
                               .arg(args.mid(0, 2).join(' ')));
    }
    if (args.contains("--help") || args.contains("-h")) {
        m_out << "usage: kalvent-cli " << found->second.synopsis << "\n\n"
              << found->second.help << "\n";
        m_out.flush();
        return Ok;
    }
    const int status = found->second.handler(args);
    m_out.flush();
    return status;
}

void CliRunner::addBuiltins()
{
    addCommand("add",
               "add --service NAME --source NAME [--booked] [--date YYYY-MM-DD] [--time HH:MM:SS]",
               "Stores one call. The date defaults to today, the time to now. While another\n"
               "program writes (an import), the call waits for it, up to three minutes.",
               [this](const QStringList& args) {
                   CliOptions o(args, {"service", "source", "date", "time"}, {"booked"});
                   if (!o.ok())
                       return fail(Usage, o.errorText());
                   if (!o.positional().isEmpty())
                       return fail(Usage, "unexpected argument " + o.positional().first());
                   const QString service = ListNames::normalized(o.value("service"));
                   const QString source = ListNames::normalized(o.value("source"));
                   if (service.isEmpty() || source.isEmpty())
                       return fail(Usage, "both --service and --source must name something");
                   if (const QString fault = ListNames::fault(service); !fault.isEmpty())
                       return fail(Usage, "--service: " + fault);
                   if (const QString fault = ListNames::fault(source); !fault.isEmpty())
                       return fail(Usage, "--source: " + fault);
                   QDate date = Clock::today();
                   if (o.has("date")) {
                       date = parseDate(o.value("date"));
                       if (!date.isValid())
                           return fail(Usage, "--date must be a date YYYY-MM-DD");
                   }
                   QTime time = Clock::timeOfDay();
                   if (o.has("time")) {
                       time = QTime::fromString(o.value("time"), "HH:mm:ss");
                       if (!time.isValid())
                           return fail(Usage, "--time must be a time of day HH:MM:SS");
                   }
                   const auto notice = [this](const QString& text) { m_err << text << Qt::endl; };
                   if (!env()->executeWaiting(
                           "AddNew", {date, service, source, o.has("booked"), time}, notice))
                       return fail(Failure, env()->errorText());
                   return int(Ok);
               });

    struct ListKind
    {
        QString word;
        QString command;
        QString column;
    };
    for (const ListKind& list :
         {ListKind{"service", "Uslugi", "Uname"}, ListKind{"source", "Istochnik", "IName"}}) {
        addCommand(list.word + " add", list.word + " add NAME",
                   "Adds an entry to the list of " + list.word +
                       "s in Unicode NFC, without invisible characters (controls, zero-width\n"
                       "and bidirectional formatting ones) and the blanks around it, at most " +
                       QString::number(ListNames::maxLength) +
                       "\ncharacters; a name already in the list (letter case aside) is refused.",
                   [this, list](const QStringList& args) {
                       CliOptions o(args, {}, {});
                       if (!o.ok())
                           return fail(Usage, o.errorText());
                       if (o.positional().size() != 1)
                           return fail(Usage, "give exactly one NAME");
                       if (!env()->connect())
                           return fail(Failure, env()->errorText());
                       RowSet* rows = env()->bind(list.command);
                       if (!rows->isOpen())
                           return fail(Failure, env()->errorText());
                       const QString name = o.positional().first();
                       const QString refusal = ListNames::refusal(*rows, list.column, name);
                       if (!refusal.isEmpty())
                           return fail(Usage, refusal);
                       if (!rows->addRow(list.column, ListNames::normalized(name)))
                           return fail(Failure, rows->errorText());
                       return int(Ok);
                   });
        addCommand(list.word + " rename", list.word + " rename OLD NEW",
                   "Renames an entry of the list of " + list.word +
                       "s and every call that uses it, in one transaction; a NEW\n"
                       "name already in the list (letter case aside) merges the two entries.",
                   [this, list](const QStringList& args) {
                       CliOptions o(args, {}, {});
                       if (!o.ok() || o.positional().size() != 2)
                           return fail(Usage, o.ok() ? "give OLD and NEW" : o.errorText());
                       const QString newName = ListNames::normalized(o.positional()[1]);
                       if (newName.isEmpty())
                           return fail(Usage, "the new name is empty");
                       if (const QString fault = ListNames::fault(newName); !fault.isEmpty())
                           return fail(Usage, fault);
                       if (!env()->connect())
                           return fail(Failure, env()->errorText());
                       RowSet* rows = env()->bind(list.command);
                       if (!rows->isOpen())
                           return fail(Failure, env()->errorText());
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
                           return fail(
                               Usage,
                               QStringLiteral("\"%1\" is not in the list").arg(o.positional()[0]));
                       QString mergedInto;
                       if (!env()->renameEntry(list.command, row, newName, &mergedInto))
                           return fail(Failure, env()->errorText());
                       if (!mergedInto.isEmpty())
                           m_out << "merged into " << mergedInto << "\n";
                       return int(Ok);
                   });
        addCommand(list.word + " list", list.word + " list",
                   "Prints the list of " + list.word + "s, one name a line, in the order added.",
                   [this, list](const QStringList& args) {
                       CliOptions o(args, {}, {});
                       if (!o.ok() || !o.positional().isEmpty())
                           return fail(Usage, o.ok() ? "no arguments expected" : o.errorText());
                       if (!env()->connect())
                           return fail(Failure, env()->errorText());
                       RowSet* rows = env()->bind(list.command);
                       if (!rows->isOpen())
                           return fail(Failure, env()->errorText());
                       for (int i = 0; i < rows->rowCount(); ++i)
                           m_out << rows->value(i, list.column).toString() << "\n";
                       return int(Ok);
                   });
    }

    addCommand("import", "import FILE.csv [--encoding utf-8|windows-1251] [--add-missing]",
               "Loads calls from a CSV file whose header names the columns Data, usluga,\n"
               "Istochnik, Zapis and optionally Vrem (any order and letter case). Dates are\n"
               "YYYY-MM-DD or DD.MM.YYYY, optionally followed by a time of day; booked is\n"
               "1, 0, true or false. All rows go in one transaction: a bad row stops the import\n"
               "with its line number, and nothing is imported. The file is read as UTF-8 when it\n"
               "is valid UTF-8, else as Windows-1251; --encoding forces one.",
               [this](const QStringList& args) {
                   CliOptions o(args, {"encoding"}, {"add-missing"});
                   if (!o.ok())
                       return fail(Usage, o.errorText());
                   if (o.positional().size() != 1)
                       return fail(Usage, "give exactly one FILE");
                   auto encoding = ImportEncoding::Kind::Auto;
                   if (o.has("encoding")) {
                       const auto named = ImportEncoding::fromName(o.value("encoding"));
                       if (!named)
                           return fail(Usage, "--encoding must be utf-8 or windows-1251");
                       encoding = *named;
                   }
                   // A row takes about a hundred bytes in the file and as much again in the
                   // totals and the journal: twice the table's size must be free.
                   const QString database = AppPaths::databasePath();
                   QString space;
                   if (!database.contains(QStringLiteral("://")) &&
                       !DiskSpace::check(QFileInfo(database).absolutePath(),
                                         2 * QFileInfo(o.positional().first()).size(), &space))
                       return fail(Failure, QStringLiteral("Звонки не импортированы: ") + space);
                   CallImporter importer(env());
                   if (!importer.importFile(o.positional().first(), encoding))
                       return fail(importer.badInput() ? Usage : Failure, importer.errorText());
                   m_out << "imported " << importer.imported() << " calls ("
                         << ImportEncoding::name(importer.encodingUsed()) << ")\n";
                   const auto unknown = importer.unknownNames();
                   if (o.has("add-missing")) {
                       if (!importer.addUnknownNames())
                           return fail(Failure, importer.errorText());
                       for (const auto& name : unknown)
                           m_out << "added to the "
                                 << (name.listCommand == "Uslugi" ? "services" : "sources") << ": "
                                 << name.name << "\n";
                   } else if (!unknown.isEmpty()) {
                       m_out << "not in the lists (these calls count in no report per source or "
                                "service; --add-missing adds them):\n";
                       for (const auto& name : unknown)
                           m_out << "  " << (name.listCommand == "Uslugi" ? "service" : "source")
                                 << " " << name.name << ": " << name.calls << " calls\n";
                   }
                   return int(Ok);
               });

    addCommand(
        "report",
        "report KIND --from YYYY-MM-DD --to YYYY-MM-DD [--format text|csv|json|html|pdf] "
        "[--output FILE]",
        "Prints a report over the period, both days included. KIND is " +
            ReportKind::listed(ReportKind::cliNames(), "or") +
            ".\ntext (the default) is an aligned table; json is\n"
            "{\"report\", \"from\", \"to\", \"rows\", \"total\"}. html and pdf need --output.\n"
            "The advertising analysis: kalvent-cli report conversion|heatmap --help.",
        [this](const QStringList& args) {
            CliOptions o(args, {"from", "to", "format", "output"}, {});
            if (!o.ok())
                return fail(Usage, o.errorText());
            const ReportKind* kind =
                o.positional().size() == 1 ? ReportKind::findByCliName(o.positional()[0]) : nullptr;
            if (!kind)
                return fail(Usage, "KIND must be one of " + ReportKind::cliNames().join(", "));
            const QDate from = parseDate(o.value("from"));
            const QDate to = parseDate(o.value("to"));
            if (!from.isValid() || !to.isValid())
                return fail(Usage, "--from and --to must be dates YYYY-MM-DD");
            const QString format = o.value("format", "text");
            if (!QStringList({"text", "csv", "json", "html", "pdf"}).contains(format))
                return fail(Usage, "--format must be text, csv, json, html or pdf");
            const QString output = o.value("output");
            if ((format == "html" || format == "pdf") && output.isEmpty())
                return fail(Usage, "--format " + format + " needs --output FILE");
            ReportTable table(*kind, from, to);
            if (!table.load(env()))
                return fail(Failure, table.errorText());
            return writeReport(table, format, output);
        });
}

int CliRunner::writeText(const QString& text, const QString& output)
{
    if (output.isEmpty()) {
        m_out << text;
        return Ok;
    }
    QString error;
    if (!SafeFile::write(output, text.toUtf8(), &error))
        return fail(Failure, error);
    return Ok;
}

int CliRunner::writeReport(const ReportTable& table, const QString& format, const QString& output)
{
    if (format == "text")
        return writeText(table.toText(), output);
    if (format == "json")
        return writeText(table.toJson(), output);
    const ReportFileWriter::Format fileFormat = format == "csv"    ? ReportFileWriter::Format::Csv
                                                : format == "html" ? ReportFileWriter::Format::Html
                                                                   : ReportFileWriter::Format::Pdf;
    QTemporaryDir scratch;
    const QString target = output.isEmpty() ? scratch.filePath("report." + format) : output;
    ReportFileWriter writer;
    if (!writer.write(fileFormat, *ReportLayouts::get(table.kind().layoutName()), table.model(),
                      table.periodText(), target))
        return fail(Failure, writer.errorText());
    if (output.isEmpty()) {
        QFile file(target);
        if (!file.open(QIODevice::ReadOnly))
            return fail(Failure, file.errorString());
        QByteArray bytes = file.readAll();
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3); // no byte-order mark on a terminal or a pipe
        m_out << QString::fromUtf8(bytes);
    }
    return Ok;
}

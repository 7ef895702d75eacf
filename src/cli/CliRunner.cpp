#include "CliRunner.h"

#include "PrivateFiles.h"
#include "SafeFile.h"

#include "AnalysisAttachment.h"
#include "AnalysisCommands.h"
#include "AppPaths.h"
#include "BackupCommands.h"
#include "CallCommands.h"
#include "CallJournalCommands.h"
#include "CallRegister.h"
#include "CheckCommand.h"
#include "CopyCommand.h"
#include "DataEnv.h"
#include "DatabaseLocation.h"
#include "DigestAttachment.h"
#include "FailureText.h"
#include "ImportCommand.h"
#include "KeptCalls.h"
#include "ListCommands.h"
#include "MailAttachments.h"
#include "MailingCommands.h"
#include "ReportAttachment.h"
#include "ReportCommand.h"
#include "ScheduleCommand.h"
#include "ServerCommands.h"
#include "SyncCommand.h"

#include <QFile>

QDate CliRunner::parseDate(const QString& text)
{
    if (text.size() != 10)
        return {};
    return QDate::fromString(text, Qt::ISODate);
}

QString CliRunner::versionText()
{
    return QStringLiteral("kalvent-cli " KALVENT_VERSION);
}

CliRunner::CliRunner(QTextStream& out, QTextStream& err, QIODevice* input) : m_out(out), m_err(err)
{
    if (!input) {
        m_stdin = std::make_unique<QFile>();
        m_stdin->open(stdin, QIODevice::ReadOnly);
        input = m_stdin.get();
    }
    CallCommands::addTo(*this);
    ListCommands::addTo(*this);
    ImportCommand::addTo(*this);
    ReportCommand::addTo(*this);
    MailingCommands::addTo(*this, input);
    AnalysisCommands::addTo(*this);
    CheckCommand::addTo(*this);
    CopyCommand::addTo(*this);
    ScheduleCommand::addTo(*this);
    CallJournalCommands::addTo(*this);
    BackupCommands::addTo(*this, input);
    ServerCommands::addTo(*this);
    SyncCommand::addTo(*this);
    MailAttachments::set(ReportAttachment::all() << std::make_shared<AnalysisAttachment>()
                                                 << std::make_shared<DigestAttachment>());
}

CliRunner::~CliRunner() = default;

QStringList CliRunner::synopses() const
{
    QStringList all;
    for (const auto& [name, command] : m_commands)
        all << command.synopsis;
    return all;
}

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
    stream << "использование: kalvent-cli [--database FILE|postgresql://USER@HOST:PORT/DBNAME"
              "[?PARAMS]] COMMAND [OPTIONS]\n       kalvent-cli --version\n\nкоманды:\n";
    for (const auto& [name, command] : m_commands)
        stream << "  " << command.synopsis << "\n";
    stream << "\nКаждая команда понимает --help. Код выхода: 0 — успех, 1 — сбой базы данных "
              "или почты,\n2 — неверный вызов или неверные данные.\n";
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
                    return fail(Usage, "параметру --database нужен файл или адрес");
                path = args[i + 1];
                args.remove(i, 2);
            }
            if (path.isEmpty())
                return fail(Usage, "параметру --database нужен файл или адрес");
            AppPaths::overrideDatabasePath(path);
            PrivateFiles::tightenDatabase(path);
            DataEnv::setInstance(nullptr);
            m_env = nullptr; // the one it pointed to is gone
            --i;
        }
    }
    if (args.size() == 1 && args.first() == "--version") {
        m_out << versionText() << Qt::endl;
        return Ok;
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
                        << "использование: kalvent-cli " << command.synopsis << "\n";
            return args.size() >= 2 ? Ok : Usage;
        }
        return fail(Usage, QStringLiteral("неизвестная команда «%1» (см. kalvent-cli --help)")
                               .arg(args.mid(0, 2).join(' ')));
    }
    if (args.contains("--help") || args.contains("-h")) {
        m_out << "использование: kalvent-cli " << found->second.synopsis << "\n\n"
              << found->second.help << "\n";
        m_out.flush();
        return Ok;
    }
    // Calls this desk kept while the server was away go over first, whatever the command.
    const bool server = DatabaseLocation::isServerUrl(AppPaths::databasePath());
    const bool kept = server && KeptCalls::exists(AppPaths::databasePath());
    if (kept && found->first != QLatin1String("sync"))
        CallRegister(env()).transfer();
    const int status = found->second.handler(args);
    m_out.flush();
    // The reports and the analysis count only what the server has.
    if (kept && found->first.startsWith(QLatin1String("report"))) {
        const int waiting = CallRegister(env()).waitingCount();
        if (waiting > 0)
            m_err << "kalvent-cli: " << CallRegister::notSentText(waiting) << Qt::endl;
    }
    return status;
}

int CliRunner::printFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(Failure, FailureText::compose(QStringLiteral("Файл %1 не прочитан").arg(path),
                                                  file.errorString()));
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3); // no byte-order mark on a terminal or a pipe
    m_out << QString::fromUtf8(bytes);
    return Ok;
}

int CliRunner::writeText(const QString& text, const QString& output)
{
    if (output.isEmpty()) {
        m_out << text;
        return Ok;
    }
    const Outcome<void> written = SafeFile::write(output, text.toUtf8());
    if (!written)
        return fail(Failure, written.errorText());
    return Ok;
}

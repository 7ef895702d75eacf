#pragma once

#include <QDate>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <map>
#include <memory>

class DataEnv;
class QFile;
class QIODevice;

// The command-line companion: finds the command named on the line and runs it (the commands
// live in files by area and add themselves). Every command works on the program's database
// (or the one given with --database). Exit status: 0 success, 1 database or mail failure, 2 bad
// usage or bad input.
class CliRunner
{
public:
    enum Status
    {
        Ok = 0,
        Failure = 1,
        Usage = 2
    };

    // input: where --password-stdin reads (standard input when null).
    CliRunner(QTextStream& out, QTextStream& err, QIODevice* input = nullptr);
    ~CliRunner();

    int run(QStringList args);
    // "kalvent-cli <version>", what --version prints.
    static QString versionText();
    // The synopsis of every command, in the order of their names.
    QStringList synopses() const;

    // Adds a command: name (possibly two words, "service add"), one-line synopsis, help text.
    using Handler = std::function<int(const QStringList& args)>;
    void addCommand(const QString& name, const QString& synopsis, const QString& help,
                    Handler handler);

    QTextStream& out() { return m_out; }
    QTextStream& err() { return m_err; }
    DataEnv* env();
    // Prints "kalvent-cli: message" on stderr and returns status.
    int fail(int status, const QString& message);
    // Prints the text, or writes it to the file `output` (replaced only when complete).
    int writeText(const QString& text, const QString& output);
    // Prints a file the command wrote, without its byte-order mark.
    int printFile(const QString& path);
    // A date written YYYY-MM-DD; invalid for anything else.
    static QDate parseDate(const QString& text);

private:
    struct Command
    {
        QString synopsis;
        QString help;
        Handler handler;
    };
    void usage(QTextStream& stream) const;

    QTextStream& m_out;
    QTextStream& m_err;
    std::map<QString, Command> m_commands;
    DataEnv* m_env = nullptr;
    std::unique_ptr<QFile> m_stdin;
};

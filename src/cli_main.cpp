#include "CliRunner.h"
#include "DataEnv.h"
#include "MailAccount.h"
#include "PrivateFiles.h"

#include <QGuiApplication>
#include <cstdio>

namespace {
// Keeps Qt's notes about the environment off a script's error output.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg || message.startsWith("QStandardPaths:"))
        return;
    fprintf(stderr, "%s\n", qPrintable(message));
}
} // namespace

int main(int argc, char* argv[])
{
    // Answered before the database, the secret store or the fonts are touched.
    if (argc == 2 && qstrcmp(argv[1], "--version") == 0) {
        fprintf(stdout, "%s\n", qPrintable(CliRunner::versionText()));
        return 0;
    }
    qInstallMessageHandler(quietHandler);
    PrivateFiles::restrictNewFiles();
    // Fonts for the PDF export, without needing a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName("Kalvent");
    PrivateFiles::tighten();
    MailAccount::moveToSecretStore();
    QTextStream out(stdout);
    QTextStream err(stderr);
    int status = 0;
    {
        CliRunner runner(out, err);
        status = runner.run(app.arguments().mid(1));
    }
    DataEnv::setInstance(nullptr);
    return status;
}

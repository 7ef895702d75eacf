#include "CliRunner.h"
#include "DataEnv.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Kalvent");
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

#include "DataEnv.h"
#include "KalventApp.h"
#include "MailAccount.h"
#include "PrivateFiles.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    // Answered before any window or the database opens (no screen is needed).
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kalvent %s\n", KALVENT_VERSION);
        return 0;
    }
    PrivateFiles::restrictNewFiles();
    QApplication app(argc, argv);
    KalventApp::configure(app);
    PrivateFiles::tighten();
    MailAccount::moveToSecretStore();
    const int status = KalventApp::run(app);
    DataEnv::setInstance(nullptr); // closes the database before the application goes
    return status;
}

#include "DataEnv.h"
#include "KalventApp.h"
#include "MailAccount.h"
#include "PrivateFiles.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    PrivateFiles::restrictNewFiles();
    QApplication app(argc, argv);
    KalventApp::configure(app);
    PrivateFiles::tighten();
    MailAccount::moveToSecretStore();
    const int status = KalventApp::run(app);
    DataEnv::setInstance(nullptr); // closes the database before the application goes
    return status;
}

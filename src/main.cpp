#include "DataEnv.h"
#include "KalventApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    KalventApp::configure(app);
    const int status = KalventApp::run(app);
    DataEnv::setInstance(nullptr); // closes the database before the application goes
    return status;
}

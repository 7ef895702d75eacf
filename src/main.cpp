#include "KalventApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    KalventApp::configure(app);
    return KalventApp::run(app);
}

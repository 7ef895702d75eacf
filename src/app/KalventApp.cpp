#include "KalventApp.h"

#include "AppIcon.h"
#include "MainFrm.h"

#include <QApplication>
#include <QFont>

void KalventApp::configure(QApplication& app)
{
    QApplication::setApplicationName("Kalvent");
    QApplication::setApplicationDisplayName("Kalvent");
    QApplication::setApplicationVersion("1.0");
    QApplication::setWindowIcon(AppIcon::icon());
    QFont font("Arial");
    font.setPointSizeF(8.25);
    app.setFont(font);
}

int KalventApp::run(QApplication& app)
{
    MainFrm mainFrm;
    mainFrm.showMain();
    return app.exec();
}

#include "KalventApp.h"

#include "AppIcon.h"
#include "Logo.h"
#include "MainFrm.h"

#include <QApplication>
#include <QFont>
#include <memory>

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
    // Only the splash exists until its third tick creates and shows the main window.
    std::unique_ptr<MainFrm> mainFrm;
    Logo::setOpenMain([&mainFrm] {
        if (!mainFrm)
            mainFrm = std::make_unique<MainFrm>();
        mainFrm->showMain();
    });
    Logo::showSplash();
    const int result = app.exec();
    Logo::setOpenMain({});
    return result;
}

#include "KalventApp.h"

#include "AppIcon.h"
#include "Logo.h"
#include "MainFrm.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

void KalventApp::configure(QApplication& app)
{
    QApplication::setApplicationName("Kalvent");
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.kalvent.Kalvent"));
    // No display name: Qt would append it to every window title the window system shows.
    QApplication::setApplicationVersion("1.0");
    QApplication::setWindowIcon(AppIcon::icon());
    installRussianTranslation(app);
    QFont font("Arial");
    font.setPointSizeF(8.25);
    app.setFont(font);
}

bool KalventApp::installRussianTranslation(QApplication& app)
{
    // Qt's own texts ("Отмена" for Cancel, the print dialog) in Russian, as the rest is.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qt"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

int KalventApp::run(QApplication& app)
{
    // One copy per user: a second start brings this one's window forward and ends.
    SingleInstance single;
    if (!single.claim())
        return 0;
    // Only the splash exists until its third tick creates and shows the main window.
    std::unique_ptr<MainFrm> mainFrm;
    QObject::connect(&single, &SingleInstance::activationRequested, [&mainFrm] {
        if (!mainFrm || !mainFrm->isVisible())
            return;
        mainFrm->setWindowState(mainFrm->windowState() & ~Qt::WindowMinimized);
        mainFrm->raise();
        mainFrm->activateWindow();
    });
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

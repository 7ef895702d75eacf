#pragma once

class QApplication;

// Program start-up.
class KalventApp
{
public:
    static void configure(QApplication& app);
    static int run(QApplication& app);
    // Loads Qt's Russian texts; false when the translations are not installed.
    static bool installRussianTranslation(QApplication& app);
};

#pragma once

class QApplication;

// Program start-up.
class KalventApp
{
public:
    static void configure(QApplication& app);
    static int run(QApplication& app);
};

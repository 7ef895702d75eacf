#pragma once

#include <QDateTime>

// The program's clock. Tests pin it to a fixed moment; elsewhere it is the system clock.
class Clock
{
public:
    static QDateTime now();
    static QDate today();
    static QTime timeOfDay();

    // Pins the clock (an invalid value unpins it).
    static void setFixed(const QDateTime& moment);
    // Moves a pinned clock forward.
    static void advance(qint64 msecs);

private:
    static QDateTime s_fixed;
};

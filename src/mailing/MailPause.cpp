#include "MailPause.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cmath>

namespace {

// Longer waits are not meant; the cap keeps the nanosecond count in range.
constexpr double kLongestSeconds = 24.0 * 60 * 60;

} // namespace

void MailPause::pause(double seconds)
{
    if (!(seconds > 0))
        return;
    const double capped = std::min(seconds, kLongestSeconds);
    const QDeadlineTimer deadline(
        std::chrono::nanoseconds(static_cast<qint64>(std::llround(capped * 1e9))),
        Qt::PreciseTimer);

    if (!QCoreApplication::instance()) {
        QThread::usleep(static_cast<unsigned long>(deadline.remainingTimeNSecs() / 1000));
        return;
    }

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    while (!deadline.hasExpired()) {
        // The timer may fire a little early; the deadline decides.
        timer.start(std::chrono::milliseconds(qMax<qint64>(1, deadline.remainingTime())));
        if (loop.exec() != 0) {
            // No event loop can run any more (the application is quitting): keep the promised
            // duration without events.
            timer.stop();
            const qint64 left = deadline.remainingTimeNSecs();
            if (left > 0)
                QThread::usleep(static_cast<unsigned long>(left / 1000));
            return;
        }
    }
}

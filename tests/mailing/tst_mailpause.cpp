#include "MailPause.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include <limits>

// The wait before a report mail: its length on the monotonic clock, and events meanwhile.
class TestMailPause : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void lastsTheGivenSecondsWhileTimersTick()
    {
        int ticks = 0;
        QTimer other;
        other.setInterval(100);
        connect(&other, &QTimer::timeout, this, [&ticks] { ++ticks; });
        other.start();

        QElapsedTimer elapsed;
        elapsed.start();
        MailPause::pause(3);
        const qint64 ms = elapsed.elapsed();
        other.stop();

        QVERIFY2(ms >= 2500 && ms <= 3500, qPrintable(QString::number(ms)));
        // Handled all along, not once at the end: about thirty ticks are due.
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
    }

    void fractionsOfASecondAreKept()
    {
        QElapsedTimer elapsed;
        elapsed.start();
        MailPause::pause(0.4);
        QVERIFY2(elapsed.elapsed() >= 400, qPrintable(QString::number(elapsed.elapsed())));
    }

    // A tick during the wait that waits itself: the outer wait still lasts its own time.
    void nestedWaitsEachKeepTheirLength()
    {
        QElapsedTimer inner;
        qint64 innerMs = -1;
        QTimer::singleShot(100, this, [&] {
            inner.start();
            MailPause::pause(0.3);
            innerMs = inner.elapsed();
        });
        QElapsedTimer outer;
        outer.start();
        MailPause::pause(0.2);
        const qint64 outerMs = outer.elapsed();
        QVERIFY2(innerMs >= 300, qPrintable(QString::number(innerMs)));
        QVERIFY2(outerMs >= 200, qPrintable(QString::number(outerMs)));
    }

    void nothingToWaitForReturnsWithoutProcessingEvents()
    {
        for (const double seconds : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
            bool fired = false;
            QTimer::singleShot(0, this, [&fired] { fired = true; });
            MailPause::pause(seconds);
            QVERIFY2(!fired, qPrintable(QString::number(seconds)));
            QTRY_VERIFY(fired);
        }
    }
};

QTEST_MAIN(TestMailPause)
#include "tst_mailpause.moc"

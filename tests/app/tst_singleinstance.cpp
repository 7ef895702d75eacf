#include "SingleInstance.h"
#include "TestSupport.h"

#include <QSignalSpy>

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondCopyAsksTheFirstToComeForward()
    {
        const QString key =
            QStringLiteral("kalvent-test-%1").arg(QCoreApplication::applicationPid());
        SingleInstance first(key);
        QVERIFY(first.claim());
        QSignalSpy spy(&first, &SingleInstance::activationRequested);

        SingleInstance second(key);
        QVERIFY(!second.claim());
        QTRY_COMPARE(spy.count(), 1);

        SingleInstance third(key);
        QVERIFY(!third.claim());
        QTRY_COMPARE(spy.count(), 2);
    }

    void aLeftoverSocketDoesNotBlockANewFirstCopy()
    {
        const QString key =
            QStringLiteral("kalvent-test2-%1").arg(QCoreApplication::applicationPid());
        {
            SingleInstance gone(key);
            QVERIFY(gone.claim());
        }
        SingleInstance next(key);
        QVERIFY(next.claim());
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"

#include "AppIcon.h"
#include "Logo.h"
#include "TestSupport.h"
#include "Twips.h"

#include <QLabel>
#include <QScreen>
#include <QTimer>

// The splash window: its look, its ticks, and its second life as the about box.
class TestLogo : public QObject
{
    Q_OBJECT

    int m_opened = 0;
    QList<int> m_openedAtTick;
    QList<bool> m_splashShownWhileOpening;

    void countOpenings(std::function<void()> during = {})
    {
        Logo::setOpenMain([this, during] {
            ++m_opened;
            m_openedAtTick << Logo::tickCount();
            m_splashShownWhileOpening << (Logo::current() && Logo::current()->isVisible());
            if (during)
                during();
        });
    }

    // One tick of the splash on screen, delivered by hand.
    static void tick()
    {
        QVERIFY(Logo::current());
        QVERIFY(TestSupport::fire(Logo::current()->findChild<QTimer*>("Timer1")));
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }
    void init()
    {
        Logo::resetTickCount();
        Logo::setTickInterval(TestSupport::neverFires);
        m_opened = 0;
        m_openedAtTick.clear();
        m_splashShownWhileOpening.clear();
    }
    void cleanup()
    {
        if (Logo::current())
            Logo::current()->close();
        Logo::setOpenMain({});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void look()
    {
        Logo* logo = Logo::showSplash();
        QVERIFY(QTest::qWaitForWindowExposed(logo));
        QVERIFY(logo->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(logo->windowFlags() & Qt::WindowType_Mask, Qt::Tool); // no task bar entry
        QVERIFY(qAbs(logo->geometry().center().x() -
                     logo->screen()->availableGeometry().center().x()) <= 1);
        QVERIFY(qAbs(logo->geometry().center().y() -
                     logo->screen()->availableGeometry().center().y()) <= 1);
        // The name stands out; the rest is in the program's font, on the white ground.
        for (const char* name : {"Label1", "Label2", "Label5"}) {
            const QLabel* label = logo->findChild<QLabel*>(name);
            QVERIFY2(label, name);
            QCOMPARE(label->font().family(), QString("Arial"));
            QCOMPARE(label->font().pointSizeF(), name == QLatin1String("Label1") ? 14.25 : 8.25);
            QVERIFY(!label->autoFillBackground());
        }
        QCOMPARE(logo->findChild<QLabel*>("Image1")->pixmap().toImage(),
                 AppIcon::pixmap(32).toImage());

        const QImage shot = logo->grab().toImage();
        const QColor frame(192, 192, 192);
        QCOMPARE(shot.pixelColor(0, 0), frame);
        QCOMPARE(shot.pixelColor(shot.width() - 1, shot.height() - 1), frame);
        QCOMPARE(shot.pixelColor(shot.width() / 2, shot.height() - 1), frame);
        QCOMPARE(shot.pixelColor(2, shot.height() - 3), QColor(Qt::white));
        // Line1 runs across at 960 twips, from 240 to 5640.
        QCOMPARE(shot.pixelColor(Twips::toPixels(3000), Twips::toPixels(960)), QColor(Qt::black));
        QCOMPARE(shot.pixelColor(Twips::toPixels(120), Twips::toPixels(960)), QColor(Qt::white));
    }

    // At the third tick the main window is shown, then the splash closes.
    void startUp()
    {
        countOpenings();
        Logo* logo = Logo::showSplash();
        QCOMPARE(logo->findChild<QTimer*>("Timer1")->interval(), TestSupport::neverFires);
        QVERIFY(logo->isVisible());
        tick();
        tick();
        QCOMPARE(m_opened, 0);
        QCOMPARE(Logo::current(), logo);
        tick();
        QVERIFY(!Logo::current());
        QCOMPARE(m_opened, 1);
        QCOMPARE(m_openedAtTick, QList<int>{3});
        QCOMPARE(m_splashShownWhileOpening, QList<bool>{true});
        QCOMPARE(Logo::tickCount(), 3);
    }

    // The main window's load can wait in dialogs while the splash stays up. Further ticks of
    // the splash in the meantime neither show the main window again nor close the splash.
    void ticksWhileMainWindowLoads()
    {
        QList<bool> splashDuringLoad;
        countOpenings([&] {
            if (!splashDuringLoad.isEmpty())
                return; // a faulty repeated opening: counted, not nested further
            splashDuringLoad << (Logo::current() && Logo::current()->isVisible());
            for (int i = 0; i < 3; ++i)
                tick();
            splashDuringLoad << (Logo::current() && Logo::current()->isVisible());
        });
        Logo::showSplash();
        for (int i = 0; i < 3; ++i)
            tick();
        QVERIFY(!Logo::current());
        QCOMPARE(m_opened, 1);
        QCOMPARE(splashDuringLoad, QList<bool>({true, true}));
        QCOMPARE(Logo::tickCount(), 6); // the counter counts every tick
    }

    // Shown again, the splash closes at its first tick; the counter never starts over.
    void aboutBox()
    {
        countOpenings();
        Logo::showSplash();
        for (int i = 0; i < 3; ++i)
            tick();
        QVERIFY(!Logo::current());
        for (int round = 1; round <= 2; ++round) {
            const int ticks = Logo::tickCount();
            Logo* about = Logo::showAbout();
            QVERIFY(about->isVisible());
            tick();
            QVERIFY(!Logo::current());
            QCOMPARE(Logo::tickCount(), ticks + 1);
            QCOMPARE(m_opened, 1 + round);
        }
    }

    // Chosen again while on screen, the about box stays the one window and its timer is not
    // started over.
    void aboutBoxShownTwiceIsNotProlonged()
    {
        countOpenings();
        Logo::resetTickCount();
        for (int i = 0; i < Logo::ticksBeforeMain; ++i) {
            Logo::showSplash();
            tick();
        }
        QCOMPARE(m_opened, 1);

        Logo* about = Logo::showAbout();
        QTimer* timer = about->findChild<QTimer*>("Timer1");
        QVERIFY(timer->isActive());
        const int remaining = timer->remainingTime();
        QCOMPARE(Logo::showAbout(), about);
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                               [](QWidget* w) { return qobject_cast<Logo*>(w) && w->isVisible(); }),
                 1);
        QVERIFY(timer->remainingTime() <= remaining);
        const int ticks = Logo::tickCount();
        tick();
        QVERIFY(!Logo::current());
        QCOMPARE(Logo::tickCount(), ticks + 1);
    }
};

QTEST_MAIN(TestLogo)
#include "tst_logo.moc"

#include "Clock.h"
#include "DataEnv.h"
#include "Logo.h"
#include "MailingSettings.h"
#include "MainFrm.h"
#include "SettingsStore.h"
#include "TestSupport.h"
#include "slFrm.h"

#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

// The start of the program: the splash, the settings check in the main window's load, and
// the main window.
class TestStartup : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<MainFrm> m_main;
    int m_created = 0;
    int m_round = 0;
    const QDateTime m_now{QDate(2026, 12, 6), QTime(14, 30, 15)};

    // What the program's start does: only the splash, which creates the main window.
    void start()
    {
        Logo::setOpenMain([this] {
            if (!m_main) {
                ++m_created;
                m_main = std::make_unique<MainFrm>();
            }
            m_main->showMain();
        });
        Logo::showSplash();
    }

    // Ticks of the splash on screen, delivered by hand.
    static void tick(int times = 1)
    {
        for (int i = 0; i < times && Logo::current(); ++i)
            QVERIFY(TestSupport::fire(Logo::current()->findChild<QTimer*>("Timer1")));
    }

    bool mainShown() const { return m_main && m_main->isVisible(); }
    static bool splashShown() { return Logo::current() && Logo::current()->isVisible(); }

    // Runs `action` each time the settings window comes on screen, until it returns false.
    static void answerSettings(std::function<bool(slFrm*)> action)
    {
        auto* poll = new QTimer;
        auto busy = std::make_shared<bool>(false);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, action, busy] {
            slFrm* window = slFrm::existing();
            if (*busy || !window || !window->isVisible())
                return;
            *busy = true;
            const bool more = action(window);
            *busy = false;
            if (!more) {
                poll->stop();
                poll->deleteLater();
            }
        });
        poll->start(5);
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        QVERIFY(m_dir.isValid());
    }
    void init()
    {
        QFile::remove(SettingsStore::location());
        Clock::setFixed(m_now);
        Logo::resetTickCount();
        Logo::setTickInterval(TestSupport::neverFires);
        m_created = 0;
        auto* env =
            new DataEnv(TestSupport::database(m_dir.filePath(QString("db%1.db").arg(++m_round))));
        DataEnv::setInstance(env);
        QVERIFY(env->connect());
    }
    void cleanup()
    {
        slFrm::release();
        if (Logo::current())
            Logo::current()->close();
        Logo::setOpenMain({});
        m_main.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        DataEnv::setInstance(nullptr);
        Clock::setFixed({});
    }

    // First start on an empty store: message, window; the close box brings both back; after
    // OK with usable values the main window opens, and only then does the splash go.
    void firstStart()
    {
        TestSupport::MessageRecorder messages;
        int showings = 0;
        QList<bool> splashDuringCheck;
        QList<bool> mainDuringCheck;
        answerSettings([&](slFrm* window) {
            ++showings;
            splashDuringCheck << splashShown();
            mainDuringCheck << mainShown();
            tick(5); // the splash keeps ticking meanwhile
            if (showings < 3) {
                window->close();
                return true;
            }
            window->findChild<QLineEdit*>("Days")->setText("7");
            window->findChild<QLineEdit*>("tems")->setText(QStringLiteral("Реклама"));
            window->findChild<QLineEdit*>("senders")->setText("shop@example.com");
            window->okButton()->click();
            return false;
        });
        start();
        tick(2);
        QVERIFY(!m_main); // nothing but the splash before its third tick
        tick();           // returns once the settings check is through
        QVERIFY(mainShown());
        QVERIFY(!Logo::current());

        QCOMPARE(showings, 3);
        QCOMPARE(m_created, 1);
        QCOMPARE(splashDuringCheck, QList<bool>({true, true, true}));
        QCOMPARE(mainDuringCheck, QList<bool>({false, false, false}));
        QCOMPARE(messages.shown().size(), 4);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(messages.shown().at(i).icon, QMessageBox::Critical);
            QCOMPARE(messages.shown().at(i).title, QStringLiteral("Внимание!"));
            QCOMPARE(messages.shown().at(i).text,
                     QStringLiteral("Проверьте наличие всех настроек"));
        }
        QVERIFY(messages.shown().at(3).text.startsWith(
            QStringLiteral("Следующая отправка отчёта 13.12.2026")));
        QVERIFY(MailingSettings::read(SettingsStore()).isComplete());
        QVERIFY(m_main->isLoaded());
        QCOMPARE(m_main->findChild<QDateEdit*>("Data")->date(), m_now.date());
    }

    // With the settings complete the splash leads straight to the main window.
    void laterStart()
    {
        MailingSettings settings;
        settings.setDays("7");
        settings.setTime(QTime(9, 0));
        settings.setTems(" ");
        settings.setSenders("shop@example.com");
        settings.setNextDate(QDateTime(QDate(2026, 12, 13), QTime(0, 0)));
        SettingsStore store;
        QVERIFY(settings.write(store));

        TestSupport::MessageRecorder messages;
        start();
        tick(2);
        QVERIFY(!mainShown());
        tick();
        QVERIFY(!Logo::current());
        QVERIFY(mainShown());
        QCOMPARE(Logo::tickCount(), 3);
        QCOMPARE(m_created, 1);
        QVERIFY(messages.shown().isEmpty());
        QVERIFY(!slFrm::existing());

        // The about box later shows the splash over the main window and leaves it as it is.
        Logo::showAbout();
        tick();
        QVERIFY(!Logo::current());
        QCOMPARE(m_created, 1);
        QVERIFY(mainShown());
        QVERIFY(messages.shown().isEmpty());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"

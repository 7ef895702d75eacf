#include "Clock.h"
#include "MailingSettings.h"
#include "SettingsCheck.h"
#include "SettingsStore.h"
#include "TestSupport.h"
#include "slFrm.h"

#include <QClipboard>
#include <QDateTimeEdit>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>

// The mailing settings window: loading, the period box, OK and closing.
class TestSlFrm : public QObject
{
    Q_OBJECT

    const QDateTime m_now{QDate(2026, 12, 6), QTime(14, 30, 15)};

    static slFrm* openWindow()
    {
        slFrm* window = slFrm::instance();
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window) ? window : nullptr;
    }
    static QLineEdit* box(slFrm* window, const char* name)
    {
        return window->findChild<QLineEdit*>(name);
    }
    static QTimeEdit* times(slFrm* window) { return window->findChild<QTimeEdit*>("Times"); }
    static void flushDeletes()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static void writeAll()
    {
        MailingSettings settings;
        settings.setDays("3");
        settings.setTime(QTime(18, 45, 30));
        settings.setTems(QStringLiteral("Отчёты"));
        settings.setSenders("boss@example.com");
        settings.setNextDate(QDateTime(QDate(2035, 1, 1), QTime(0, 0)));
        SettingsStore store;
        QVERIFY(settings.write(store));
    }
    static QStringList storedTexts()
    {
        QStringList texts;
        for (const QString& key : MailingSettings::keys())
            texts << SettingsStore().read(key);
        return texts;
    }
    // Runs `action` once the shared window is on screen (for modal showings).
    static void whenShown(std::function<void(slFrm*)> action)
    {
        auto* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
            slFrm* window = slFrm::existing();
            if (!window || !window->isVisible())
                return;
            poll->deleteLater();
            poll->stop();
            action(window);
        });
        poll->start(10);
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }
    void init()
    {
        QFile::remove(SettingsStore::location());
        Clock::setFixed(m_now);
    }
    void cleanup()
    {
        slFrm::release();
        flushDeletes();
        Clock::setFixed({});
    }

    // The hidden next date takes no focus; the time shows its seconds.
    void hiddenDateAndTimeFormat()
    {
        slFrm* window = openWindow();
        QVERIFY(window);
        QVERIFY(!window->findChild<QDateTimeEdit*>("NextDate")->isVisible());
        QCOMPARE(times(window)->displayFormat(), QString("HH:mm:ss"));
        QVERIFY(!window->isSizeGripEnabled());
        QCOMPARE(window->findChild<QPushButton*>("btSend"), window->sendButton());
        QCOMPARE(window->findChild<QPushButton*>("ok_but"), window->okButton());
    }

    void tabOrder()
    {
        slFrm* window = openWindow();
        QVERIFY(window);
        QCOMPARE(QApplication::focusWidget(), box(window, "Days"));
        QStringList visited;
        for (int presses = 0; presses < 20 && visited.size() < 6; ++presses) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            // The time picker takes the focus with its inner text box, and Tab first walks
            // through its hours, minutes and seconds.
            while (focus && focus->objectName().isEmpty())
                focus = focus->parentWidget();
            const QString name = focus ? focus->objectName() : QString();
            if (visited.isEmpty() || visited.last() != name)
                visited << name;
        }
        // The hidden date is passed over.
        QCOMPARE(visited, QStringList({"tems", "senders", "Times", "ok_but", "btSend", "Days"}));
    }

    void emptyStoreLoadsEmptyBoxesAndCurrentTime()
    {
        slFrm* window = slFrm::instance();
        QCOMPARE(window->daysText(), QString());
        QCOMPARE(window->temsText(), QString());
        QCOMPARE(window->sendersText(), QString());
        QCOMPARE(window->time(), m_now.time());
    }

    void loadsStoredSettings()
    {
        writeAll();
        slFrm* window = slFrm::instance();
        QCOMPARE(window->daysText(), QString("3"));
        QCOMPARE(window->time(), QTime(18, 45, 30));
        QCOMPARE(times(window)->text(), QString("18:45:30"));
        QCOMPARE(window->temsText(), QStringLiteral("Отчёты"));
        QCOMPARE(window->sendersText(), QString("boss@example.com"));
        QCOMPARE(window->findChild<QDateTimeEdit*>("NextDate")->date(), QDate(2035, 1, 1));
    }

    void loadparamReplacesTyping()
    {
        slFrm* window = openWindow();
        QVERIFY(window);
        QTest::keyClicks(box(window, "tems"), "draft");
        writeAll();
        window->loadparam();
        QCOMPARE(window->temsText(), QStringLiteral("Отчёты"));
        QCOMPARE(window->daysText(), QString("3"));
    }

    void periodBoxAdmitsDigitsAndCommas()
    {
        slFrm* window = openWindow();
        QVERIFY(window);
        QLineEdit* days = box(window, "Days");
        QTest::keyClicks(days, "a.-");
        QCOMPARE(days->text(), QString());
        QTest::keyClicks(days, "1,,,2");
        QCOMPARE(days->text(), QString("1,,,2"));
        QTest::keyClicks(days, " x");
        QKeyEvent cyrillic(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("б"));
        QApplication::sendEvent(days, &cyrillic);
        QCOMPARE(days->text(), QString("1,,,2"));
        QTest::keyClick(days, Qt::Key_Backspace);
        QCOMPARE(days->text(), QString("1,,,"));

        days->clear();
        QGuiApplication::clipboard()->setText("1.5");
        days->paste();
        QCOMPARE(days->text(), QString());
        QGuiApplication::clipboard()->setText("14");
        days->paste();
        QCOMPARE(days->text(), QString("14"));
    }

    // A stored value that cannot be read marks its box, and the first such box has the focus.
    void unreadableStoredValuesAreMarked()
    {
        writeAll();
        SettingsStore store;
        QVERIFY(store.write("days", "abc"));
        QVERIFY(store.write("times", "99:99:99"));
        slFrm* window = openWindow();
        QVERIFY(window);
        QVERIFY(box(window, "Days")->property("needsValue").toBool());
        QVERIFY(times(window)->property("needsValue").toBool());
        QVERIFY(!box(window, "tems")->property("needsValue").toBool());
        QCOMPARE(QApplication::focusWidget(), box(window, "Days"));
        QTest::keyClicks(box(window, "Days"), "7");
        QVERIFY(!box(window, "Days")->property("needsValue").toBool());
        window->close();
        flushDeletes();
    }

    void okStoresAndAnnounces_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("nextdate");
        QTest::addColumn<QString>("shown");
        QTest::newRow("7") << "7"
                           << "2026-12-13"
                           << "13.12.2026";
        QTest::newRow("1,5") << "1,5"
                             << "2026-12-07T12:00:00"
                             << "07.12.2026 12:00";
    }
    void okStoresAndAnnounces()
    {
        QFETCH(QString, days);
        QFETCH(QString, nextdate);
        QFETCH(QString, shown);
        writeAll(); // a next date years ahead is replaced
        slFrm* window = openWindow();
        QVERIFY(window);
        box(window, "Days")->setText(days);
        times(window)->setTime(QTime(9, 0));
        box(window, "tems")->setText(QStringLiteral("Реклама"));
        box(window, "senders")->setText("shop@example.com");

        TestSupport::MessageRecorder messages;
        QTest::mouseClick(window->okButton(), Qt::LeftButton);
        QCOMPARE(storedTexts(), QStringList({days, "09:00:00", QStringLiteral("Реклама"),
                                             "shop@example.com", nextdate}));
        QCOMPARE(messages.shown().size(), 1);
        const Dialogs::Message& message = messages.shown().first();
        QCOMPARE(message.icon, QMessageBox::Information);
        QCOMPARE(message.title, QStringLiteral("Сообщение"));
        QCOMPARE(message.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(message.text, QStringLiteral("Следующая отправка отчёта ") + shown +
                                   QStringLiteral(", далее отчет отправляется каждые ") + days +
                                   QStringLiteral("дн."));

        // The window is unloaded: gone at once for its users, then destroyed.
        const QPointer<slFrm> closed(window);
        QVERIFY(!slFrm::existing());
        flushDeletes();
        QVERIFY(closed.isNull());
    }

    void okRefusesUnusablePeriod_data()
    {
        QTest::addColumn<QString>("days");
        QTest::newRow("empty") << "";
        QTest::newRow("lone comma") << ",";
        QTest::newRow("double comma") << "1,,2";
        // Nothing to wait between two mails: every tick would mail the reports again.
        QTest::newRow("zero") << "0";
        QTest::newRow("zero with a fraction") << "0,0";
    }
    void okRefusesUnusablePeriod()
    {
        QFETCH(QString, days);
        QVERIFY(SettingsStore().write("tems", QStringLiteral("старое")));
        const QStringList before = storedTexts();
        slFrm* window = openWindow();
        QVERIFY(window);
        box(window, "Days")->setText(days);
        box(window, "tems")->setText(QStringLiteral("новое"));
        box(window, "senders")->setText("shop@example.com");

        TestSupport::MessageRecorder messages;
        QTest::mouseClick(window->okButton(), Qt::LeftButton);
        QCOMPARE(messages.shown().size(), 1);
        QCOMPARE(messages.shown().first().icon, QMessageBox::Critical);
        QCOMPARE(messages.shown().first().title, QStringLiteral("Внимание!"));
        QVERIFY(messages.shown().first().text.startsWith(
            QStringLiteral("Период отправки указан неверно")));
        QCOMPARE(storedTexts(), before);
        flushDeletes();
        QCOMPARE(slFrm::existing(), window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->temsText(), QStringLiteral("новое"));
        QCOMPARE(QApplication::focusWidget(), box(window, "Days"));
    }

    void okWithUnwritableStoreSaysSo()
    {
        QVERIFY(QDir().mkpath(SettingsStore::location()));
        const auto restore =
            qScopeGuard([] { QDir(SettingsStore::location()).removeRecursively(); });
        slFrm* window = openWindow();
        QVERIFY(window);
        box(window, "Days")->setText("7");
        TestSupport::MessageRecorder messages;
        QTest::mouseClick(window->okButton(), Qt::LeftButton);
        QCOMPARE(messages.shown().size(), 1);
        QCOMPARE(messages.shown().first().icon, QMessageBox::Critical);
        QVERIFY(messages.shown().first().text.startsWith(QStringLiteral("Настройки не сохранены")));
        QCOMPARE(slFrm::existing(), window);
    }

    void closeBoxStoresNothing()
    {
        writeAll();
        const QStringList before = storedTexts();
        slFrm* window = openWindow();
        QVERIFY(window);
        box(window, "Days")->setText("9");
        TestSupport::MessageRecorder messages;
        const QPointer<slFrm> closed(window);
        QVERIFY(window->close());
        flushDeletes();
        QVERIFY(closed.isNull());
        QVERIFY(messages.shown().isEmpty());
        QCOMPARE(storedTexts(), before);
        // The next use creates the window afresh from the store.
        QCOMPARE(slFrm::instance()->daysText(), QString("3"));
    }

    void oneSharedInstance()
    {
        slFrm* window = slFrm::instance();
        QCOMPARE(slFrm::instance(), window);
        QCOMPARE(slFrm::existing(), window);
        QVERIFY(!window->isVisible()); // loaded without being shown, as a dispatch does
        const QPointer<slFrm> released(window);
        slFrm::release();
        QVERIFY(!slFrm::existing());
        flushDeletes();
        QVERIFY(released.isNull());
        slFrm::release(); // nothing to close
    }

    void releaseClosesModalWindow()
    {
        whenShown([](slFrm*) { slFrm::release(); });
        slFrm::showModal();
        flushDeletes();
        QVERIFY(!slFrm::existing());
    }

    // The start-up check with the real window: the close box brings the message and the
    // window back; OK with usable values ends the check.
    void startUpCheckUntilOk()
    {
        TestSupport::MessageRecorder messages;
        int showings = 0;
        std::function<void(slFrm*)> answer = [&](slFrm* window) {
            ++showings;
            QCOMPARE(messages.shown().size(), showings);
            if (showings < 3) {
                QCOMPARE(window->daysText(), QString());
                window->close();
                whenShown(answer);
                return;
            }
            box(window, "Days")->setText("7");
            box(window, "tems")->setText(QStringLiteral("Реклама"));
            box(window, "senders")->setText("shop@example.com");
            window->okButton()->click();
        };
        whenShown(answer);
        QCOMPARE(SettingsCheck::run(SettingsStore(), nullptr, [] { slFrm::showModal(); }), 3);
        QCOMPARE(showings, 3);
        QCOMPARE(messages.shown().size(), 4); // three warnings, one announcement
        QCOMPARE(messages.shown().last().title, QStringLiteral("Сообщение"));
        QVERIFY(MailingSettings::read(SettingsStore()).isComplete());
    }
};

QTEST_MAIN(TestSlFrm)
#include "tst_slfrm.moc"

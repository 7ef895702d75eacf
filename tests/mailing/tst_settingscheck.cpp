#include "MailingSettings.h"
#include "SettingsCheck.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QFile>
#include <QScopeGuard>

// The start-up check's loop, with the settings window stood in for by a callback.
class TestSettingsCheck : public QObject
{
    Q_OBJECT

    QStringList m_events;

    void writeAll(const QString& nextdate)
    {
        SettingsStore store;
        QVERIFY(store.write("days", "7"));
        QVERIFY(store.write("times", "09:00:00"));
        QVERIFY(store.write("tems", QStringLiteral("Реклама")));
        QVERIFY(store.write("senders", "boss@example.com"));
        QVERIFY(store.write("nextdate", nextdate));
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }
    void init()
    {
        QFile::remove(SettingsStore::location());
        m_events.clear();
    }

    void completeStoreShowsNothing()
    {
        writeAll("2026-12-13");
        TestSupport::MessageRecorder messages;
        const int rounds =
            SettingsCheck::run(SettingsStore(), nullptr, [this] { m_events << "window"; });
        QCOMPARE(rounds, 0);
        QVERIFY(messages.shown().isEmpty());
        QVERIFY(m_events.isEmpty());
    }

    void blankTextCountsAsPresent()
    {
        writeAll("2026-12-13");
        QVERIFY(SettingsStore().write("tems", " "));
        QVERIFY(SettingsStore().write("senders", " "));
        TestSupport::MessageRecorder messages;
        QCOMPARE(SettingsCheck::run(SettingsStore(), nullptr, [] {}), 0);
        QVERIFY(messages.shown().isEmpty());
    }

    // A value the schedule cannot read is as good as none: the operator is asked for it.
    void unreadableValueCountsAsMissing()
    {
        const QList<std::pair<QString, QString>> unreadable{{"days", "abc"},
                                                            {"days", " "},
                                                            {"times", "99:99:99"},
                                                            {"nextdate", "not-a-date"},
                                                            {"nextdate", " "}};
        for (const auto& [key, value] : unreadable) {
            writeAll("2026-12-13");
            QVERIFY(SettingsStore().write(key, value));
            TestSupport::MessageRecorder messages;
            int showings = 0;
            const int rounds = SettingsCheck::run(SettingsStore(), nullptr, [&] {
                ++showings;
                writeAll("2026-12-13");
            });
            QVERIFY2(rounds == 1 && showings == 1 && messages.shown().size() == 1,
                     qPrintable(key + "=" + value));
        }
    }

    // Closing the window without storing brings the message and the window back, until the
    // store holds all five values; the store is read afresh after every showing.
    void repeatsUntilComplete()
    {
        QList<Dialogs::Message> shown;
        const auto restore = qScopeGuard([] { Dialogs::setMessageHandler({}); });
        Dialogs::setMessageHandler([&](const Dialogs::Message& message) {
            m_events << "message";
            shown << message;
            return QMessageBox::Ok;
        });
        int showings = 0;
        const int rounds = SettingsCheck::run(SettingsStore(), nullptr, [&] {
            m_events << "window";
            ++showings;
            if (showings == 3) // four of five present
                writeAll(QString());
            else if (showings == 4)
                QVERIFY(SettingsStore().write("nextdate", "2026-12-13"));
        });
        QCOMPARE(rounds, 4);
        QCOMPARE(m_events, QStringList({"message", "window", "message", "window", "message",
                                        "window", "message", "window"}));
        for (const Dialogs::Message& message : std::as_const(shown)) {
            QCOMPARE(message.icon, QMessageBox::Critical);
            QCOMPARE(message.title, QStringLiteral("Внимание!"));
            QCOMPARE(message.text, QStringLiteral("Проверьте наличие всех настроек"));
            QCOMPARE(message.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        }
    }

    void eachMissingKeyIsNoticed()
    {
        for (const QString& key : MailingSettings::keys()) {
            writeAll("2026-12-13");
            QVERIFY(SettingsStore().write(key, QString()));
            TestSupport::MessageRecorder messages;
            int showings = 0;
            const int rounds = SettingsCheck::run(SettingsStore(), nullptr, [&] {
                ++showings;
                writeAll("2026-12-13");
            });
            QVERIFY2(rounds == 1 && showings == 1 && messages.shown().size() == 1, qPrintable(key));
        }
    }
};

QTEST_MAIN(TestSettingsCheck)
#include "tst_settingscheck.moc"

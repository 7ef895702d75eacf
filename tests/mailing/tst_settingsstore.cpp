#include "AppPaths.h"
#include "MailingSettings.h"
#include "SafeFile.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

// The settings store and the stored forms of the five mailing settings.
class TestSettingsStore : public QObject
{
    Q_OBJECT

    QLocale m_russian{QLocale::Russian, QLocale::Russia};
    QLocale m_english{QLocale::English, QLocale::UnitedStates};

    static void clearStore() { QFile::remove(SettingsStore::location()); }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        // CTest gives every test its own configuration folder: never touch a real one.
        QVERIFY(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"));
        QVERIFY(SettingsStore::location().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
    }

    void init() { clearStore(); }
    void cleanup() { QLocale::setDefault(m_russian); }

    void missingKeysReadEmpty()
    {
        SettingsStore store;
        for (const QString& key : MailingSettings::keys())
            QCOMPARE(store.read(key), QString(""));
        const MailingSettings settings = MailingSettings::read(store);
        QVERIFY(!settings.isComplete());
        QVERIFY(!settings.period());
        QVERIFY(!settings.time().isValid());
        QVERIFY(!settings.nextDate().isValid());
    }

    void valuesReadBackAsLastWritten_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("period with comma") << QStringLiteral("1,5");
        QTest::newRow("several commas") << QStringLiteral(",,,");
        QTest::newRow("blank") << QStringLiteral(" ");
        QTest::newRow("cyrillic subject") << QStringLiteral("Реклама; отчёты за неделю");
        QTest::newRow("address") << QStringLiteral("boss@example.com");
        QTest::newRow("quotes and equals") << QStringLiteral("a=\"b\" [KV] \\n #x");
        QTest::newRow("empty") << QString("");
    }
    void valuesReadBackAsLastWritten()
    {
        QFETCH(QString, value);
        SettingsStore store;
        QVERIFY(store.write("tems", QStringLiteral("previous")));
        QVERIFY(store.write("tems", value));
        QCOMPARE(store.read("tems"), value);
        // Another store object, as in a later run, sees the same.
        QCOMPARE(SettingsStore().read("tems"), value);
        QCOMPARE(store.read("senders"), QString(""));
    }

    void storedUnderApplicationAndSection()
    {
        SettingsStore store;
        QVERIFY(store.write("days", "7"));
        QFile file(SettingsStore::location());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains("[KV]"), qPrintable(text));
        QVERIFY(QFileInfo(file).fileName().startsWith("ZQ"));
    }

    void handEditedListValueKeepsItsText()
    {
        QDir().mkpath(QFileInfo(SettingsStore::location()).absolutePath());
        QFile file(SettingsStore::location());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[KV]\ndays=1,5\n");
        file.close();
        QCOMPARE(SettingsStore().read("days"), QString("1,5"));
    }

    void unwritableStoreReportsFailure()
    {
        // A folder where the store's file belongs cannot be written, even by root.
        QVERIFY(QDir().mkpath(SettingsStore::location()));
        SettingsStore store;
        QVERIFY(!store.write("days", "7"));
        MailingSettings settings;
        settings.setDays("7");
        QVERIFY(!settings.write(store));
        QVERIFY(QDir(SettingsStore::location()).removeRecursively());
    }

    // Wherever the disk fills up, the store keeps every value it had, or takes the new one.
    void aFullDiskNeverEmptiesTheStore()
    {
        SettingsStore store;
        MailingSettings settings;
        settings.setDays("7");
        settings.setTime(QTime(9, 30));
        settings.setTems("Отчеты за неделю");
        settings.setSenders("boss@example.ru");
        settings.setNextDate(QDateTime(QDate(2026, 12, 14), QTime(0, 0)));
        QVERIFY(settings.write(store));
        QFile file(SettingsStore::location());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        const QString folder = QFileInfo(file).absolutePath();
        const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden);

        bool stored = false;
        for (qint64 left = 0; !stored; ++left) {
            SafeFile::setSpaceLeftForTest(left);
            stored = store.write("nextdate", "2026-12-21");
            SafeFile::setSpaceLeftForTest(-1);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray now = file.readAll();
            file.close();
            if (!stored) {
                QCOMPARE(now, before);
                QVERIFY2(store.errorText().contains("на диске нет места"),
                         qPrintable(store.errorText()));
                QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), entries);
            }
            QVERIFY(left < 10 * before.size());
        }
        const MailingSettings after = MailingSettings::read(store);
        QCOMPARE(after.nextdate(), QString("2026-12-21"));
        for (const char* key : {"days", "times", "tems", "senders"})
            QCOMPARE(after.text(key), settings.text(key));

        // The program's own settings hold the database's location: a window's size stored on
        // a full disk never takes it away.
        QVERIFY(AppPaths::storeProgramSetting("databasePath", "postgresql://k@10.0.0.5:5432/k"));
        for (qint64 left = 0; left < 64; ++left) {
            SafeFile::setSpaceLeftForTest(left);
            QVERIFY(!AppPaths::storeProgramSetting("analysisSize", QSize(900 + int(left), 700)));
            SafeFile::setSpaceLeftForTest(-1);
            QCOMPARE(AppPaths::databasePath(), QString("postgresql://k@10.0.0.5:5432/k"));
        }
        QVERIFY(AppPaths::storeProgramSetting("analysisSize", QSize(900, 700)));
        QCOMPARE(AppPaths::programSetting("analysisSize").toSize(), QSize(900, 700));
        QCOMPARE(AppPaths::databasePath(), QString("postgresql://k@10.0.0.5:5432/k"));
        QVERIFY(AppPaths::storeProgramSetting("databasePath", QString()));
    }

    void completeMeansNoEmptyText()
    {
        MailingSettings settings;
        settings.setDays("7");
        settings.setTime(QTime(9, 0));
        settings.setTems(" ");
        settings.setSenders("a@b.c");
        QVERIFY(!settings.isComplete());
        settings.setNextDate(QDateTime(QDate(2026, 12, 13), QTime(0, 0)));
        QVERIFY(settings.isComplete()); // a blank subject counts as present
        settings.setText("senders", "");
        QVERIFY(!settings.isComplete());
    }

    void storedForms()
    {
        MailingSettings settings;
        settings.setTime(QTime(9, 5, 7));
        QCOMPARE(settings.times(), QString("09:05:07"));
        settings.setNextDate(QDateTime(QDate(2026, 12, 13), QTime(0, 0)));
        QCOMPARE(settings.nextdate(), QString("2026-12-13"));
        settings.setNextDate(QDateTime(QDate(2026, 12, 7), QTime(12, 0)));
        QCOMPARE(settings.nextdate(), QString("2026-12-07T12:00:00"));
        settings.setNextDate(QDateTime());
        QCOMPARE(settings.nextdate(), QString(""));
    }

    void readersRefuseOtherText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString("");
        QTest::newRow("blank") << QString(" ");
        QTest::newRow("locale date") << QString("13.12.2026");
        QTest::newRow("impossible date") << QString("2026-02-30");
        QTest::newRow("words") << QString("завтра");
    }
    void readersRefuseOtherText()
    {
        QFETCH(QString, text);
        QVERIFY(!MailingSettings::parseNextDate(text).isValid());
        QVERIFY(!MailingSettings::parseTime(text).isValid());
    }

    void timeReaderAcceptsMinutes()
    {
        QCOMPARE(MailingSettings::parseTime("18:30"), QTime(18, 30));
        QVERIFY(!MailingSettings::parseTime("25:00:00").isValid());
        QVERIFY(!MailingSettings::parseTime("6:30 PM").isValid());
    }

    // What one locale writes, another reads back unchanged.
    void roundTripAcrossLocales_data()
    {
        QTest::addColumn<QLocale>("writer");
        QTest::addColumn<QLocale>("reader");
        QTest::newRow("ru -> en") << m_russian << m_english;
        QTest::newRow("en -> ru") << m_english << m_russian;
    }
    void roundTripAcrossLocales()
    {
        QFETCH(QLocale, writer);
        QFETCH(QLocale, reader);
        const QTime time(18, 45, 30);
        const QDateTime plain(QDate(2026, 12, 13), QTime(0, 0));
        const QDateTime withTime(QDate(2026, 12, 7), QTime(12, 0));
        const QDateTime odd(QDate(2027, 1, 1), QTime(2, 24, 1));

        for (const QDateTime& next : {plain, withTime, odd}) {
            QLocale::setDefault(writer);
            MailingSettings written;
            written.setDays("1,5");
            written.setTime(time);
            written.setTems(QStringLiteral("Реклама"));
            written.setSenders("boss@example.com");
            written.setNextDate(next);
            SettingsStore store;
            QVERIFY(written.write(store));

            QLocale::setDefault(reader);
            const MailingSettings read = MailingSettings::read(SettingsStore());
            QVERIFY(read.isComplete());
            QCOMPARE(read.days(), QString("1,5"));
            QCOMPARE(read.period(), std::optional<double>(1.5));
            QCOMPARE(read.time(), time);
            QCOMPARE(read.tems(), QStringLiteral("Реклама"));
            QCOMPARE(read.senders(), QString("boss@example.com"));
            QCOMPARE(read.nextDate(), next);
        }
    }
};

QTEST_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"

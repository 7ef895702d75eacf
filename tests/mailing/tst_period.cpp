#include "LocaleText.h"
#include "NextDateMessage.h"
#include "Period.h"
#include "PeriodValidator.h"
#include "TestSupport.h"

#include <QLineEdit>
#include <QScopeGuard>

// The period as a number of days, dates moved by it, and how the next date is announced.
class TestPeriod : public QObject
{
    Q_OBJECT

    const QDate m_today{2026, 12, 6};

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("days");
        QTest::newRow("zero") << "0" << true << 0.0;
        QTest::newRow("seven") << "7" << true << 7.0;
        QTest::newRow("one and a half") << "1,5" << true << 1.5;
        QTest::newRow("leading comma") << ",5" << true << 0.5;
        QTest::newRow("trailing comma") << "2," << true << 2.0;
        QTest::newRow("leading zeros") << "007" << true << 7.0;
        QTest::newRow("blanks around") << " 3 " << true << 3.0;
        QTest::newRow("a hundred years") << "36525" << true << 36525.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("blank") << " " << false << 0.0;
        QTest::newRow("lone comma") << "," << false << 0.0;
        QTest::newRow("commas only") << ",,," << false << 0.0;
        QTest::newRow("double comma") << "1,,2" << false << 0.0;
        QTest::newRow("two commas") << "1,2,3" << false << 0.0;
        QTest::newRow("full stop") << "1.5" << false << 0.0;
        QTest::newRow("minus") << "-1" << false << 0.0;
        QTest::newRow("exponent") << "1e3" << false << 0.0;
        QTest::newRow("letters") << "abc" << false << 0.0;
        QTest::newRow("blank inside") << "1 5" << false << 0.0;
        QTest::newRow("arabic-indic digit") << QString(QChar(0x0663)) << false << 0.0;
        QTest::newRow("too long") << "36526" << false << 0.0;
        QTest::newRow("absurd") << "99999999999999999999999" << false << 0.0;
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(double, days);
        const std::optional<double> period = Period::parse(text);
        QCOMPARE(period.has_value(), valid);
        if (valid)
            QCOMPARE(*period, days);
    }

    void after_data()
    {
        QTest::addColumn<double>("days");
        QTest::addColumn<QDateTime>("expected");
        QTest::newRow("0: today") << 0.0 << QDateTime(QDate(2026, 12, 6), QTime(0, 0));
        QTest::newRow("7") << 7.0 << QDateTime(QDate(2026, 12, 13), QTime(0, 0));
        QTest::newRow("1,5: tomorrow noon") << 1.5 << QDateTime(QDate(2026, 12, 7), QTime(12, 0));
        QTest::newRow("0,25") << 0.25 << QDateTime(QDate(2026, 12, 6), QTime(6, 0));
        QTest::newRow("0,1") << 0.1 << QDateTime(QDate(2026, 12, 6), QTime(2, 24));
        QTest::newRow("across the year") << 30.0 << QDateTime(QDate(2027, 1, 5), QTime(0, 0));
        QTest::newRow("nearly a whole day")
            << 0.9999999 << QDateTime(QDate(2026, 12, 7), QTime(0, 0));
    }
    void after()
    {
        QFETCH(double, days);
        QFETCH(QDateTime, expected);
        QCOMPARE(Period::after(m_today, days), expected);
    }

    void before()
    {
        QCOMPARE(Period::before(m_today, 7), QDateTime(QDate(2026, 11, 29), QTime(0, 0)));
        QCOMPARE(Period::before(m_today, 0), QDateTime(m_today, QTime(0, 0)));
        QCOMPARE(Period::before(m_today, 1.5), QDateTime(QDate(2026, 12, 4), QTime(12, 0)));
        QCOMPARE(Period::before(m_today, 0.25), QDateTime(QDate(2026, 12, 5), QTime(18, 0)));
    }

    void refusedPeriodsGiveNoDate()
    {
        QVERIFY(!Period::after(m_today, -1).isValid());
        QVERIFY(!Period::after(m_today, Period::maxDays + 1).isValid());
        QVERIFY(!Period::after(m_today, qInf()).isValid());
        QVERIFY(!Period::after(m_today, qQNaN()).isValid());
        QVERIFY(!Period::before(QDate(), 1).isValid());
    }

    void wholeDaysKeepMidnightAcrossDaylightSaving()
    {
        // The 29th of March 2026 has 23 hours in Berlin; whole days still land on midnight.
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        const auto restore =
            qScopeGuard([&] { zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone); });
        if (QDateTime(QDate(2026, 3, 28), QTime(12, 0)).offsetFromUtc() ==
            QDateTime(QDate(2026, 3, 30), QTime(12, 0)).offsetFromUtc())
            QSKIP("no time zone data with daylight saving here");
        QCOMPARE(Period::after(QDate(2026, 3, 28), 2), QDateTime(QDate(2026, 3, 30), QTime(0, 0)));
        QCOMPARE(Period::after(QDate(2026, 10, 24), 2).time(), QTime(0, 0));
    }

    void nextDateMessage()
    {
        const QString text =
            NextDateMessage::text(QDateTime(QDate(2026, 12, 13), QTime(0, 0)), QStringLiteral("7"));
        QCOMPARE(text, QStringLiteral("Следующая отправка отчёта 13.12.2026, далее отчет "
                                      "отправляется каждые 7дн."));
        QCOMPARE(NextDateMessage::title(), QStringLiteral("Сообщение"));
    }

    void nextDateMessageWithTimeOfDay()
    {
        QCOMPARE(NextDateMessage::text(QDateTime(QDate(2026, 12, 7), QTime(12, 0)), "1,5"),
                 QStringLiteral("Следующая отправка отчёта 07.12.2026 12:00, далее отчет "
                                "отправляется каждые 1,5дн."));
        // The period is shown as typed.
        QVERIFY(NextDateMessage::text(QDateTime(m_today, QTime(0, 0)), "007").endsWith("007дн."));
    }

    void localeForms_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("moment");
        QTest::newRow("ru") << QLocale(QLocale::Russian, QLocale::Russia) << "13.12.2026"
                            << "18:05:09"
                            << "07.12.2026 02:24:01";
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << "12/13/2026"
                               << "6:05:09 PM"
                               << "12/7/2026 2:24:01 AM";
        QTest::newRow("de") << QLocale(QLocale::German, QLocale::Germany) << "13.12.2026"
                            << "18:05:09"
                            << "07.12.2026 02:24:01";
    }
    void localeForms()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(QString, moment);
        QCOMPARE(LocaleText::date(QDate(2026, 12, 13), locale), date);
        QCOMPARE(LocaleText::time(QTime(18, 5, 9), locale), time);
        QCOMPARE(LocaleText::moment(QDateTime(QDate(2026, 12, 7), QTime(2, 24, 1)), locale),
                 moment);
        QCOMPARE(LocaleText::moment(QDateTime(QDate(2026, 12, 13), QTime(0, 0)), locale), date);
    }

    void validatorGuardsTypingAndPaste()
    {
        QLineEdit box;
        box.setValidator(new PeriodValidator(&box));
        QTest::keyClicks(&box, "1a.-,,5 ");
        QCOMPARE(box.text(), QString("1,,5"));
        QTest::keyClick(&box, Qt::Key_Backspace);
        QCOMPARE(box.text(), QString("1,,"));

        box.clear();
        box.insert("12");
        box.insert("3.5"); // as a paste does
        QCOMPARE(box.text(), QString("12"));
        box.insert(",5");
        QCOMPARE(box.text(), QString("12,5"));
        box.setCursorPosition(0);
        box.insert(QStringLiteral("х"));
        QCOMPARE(box.text(), QString("12,5"));
    }
};

QTEST_MAIN(TestPeriod)
#include "tst_period.moc"

#include "ListNames.h"

#include <QtTest>

// The stored form of a list name, its twins and the names refused.
class TestListNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void normalized_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("blanks around")
            << QStringLiteral("  Стрижка \t") << QStringLiteral("Стрижка");
        QTest::newRow("breaks inside")
            << QStringLiteral("Радио\tДача\u2028FM") << QStringLiteral("Радио Дача FM");
        QTest::newRow("invisible")
            << QStringLiteral("\u200BГа\u00ADзе\u202Eта\uFEFF\u0007") << QStringLiteral("Газета");
        // Composed: a mark parted from its letter by an invisible character joins it.
        QTest::newRow("NFC") << QStringLiteral("е\u200D\u0308лка") << QStringLiteral("ёлка");
        QTest::newRow("beyond the BMP")
            << QStringLiteral("Кафе \U0001F600") << QStringLiteral("Кафе \U0001F600");
        QTest::newRow("nothing visible") << QStringLiteral("\u200B\u2060 \t") << QString();
    }
    void normalized()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QCOMPARE(ListNames::normalized(typed), stored);
    }

    void twinsDifferInCaseOrInvisiblesOnly()
    {
        QCOMPARE(ListNames::key(QStringLiteral("ЁЛКА ")), ListNames::key(QStringLiteral("ёлка")));
        QCOMPARE(ListNames::key(QStringLiteral("ёл\u200Dка")), ListNames::key("Ёлка"));
        QVERIFY(ListNames::key(QStringLiteral("Елка")) != ListNames::key(QStringLiteral("Ёлка")));
    }

    void emptyAndLongNamesAreRefused()
    {
        QVERIFY(ListNames::fault(QString()).contains(QStringLiteral("пустым")));
        const QString longest(ListNames::maxLength, QChar(u'ж'));
        QCOMPARE(ListNames::fault(longest), QString());
        QVERIFY(ListNames::fault(longest + u'ж').contains(QStringLiteral("длиннее 100")));
        // Characters count, not UTF-16 units.
        QCOMPARE(ListNames::fault(QStringLiteral("\U0001F600").repeated(ListNames::maxLength)),
                 QString());
    }
};

QTEST_GUILESS_MAIN(TestListNames)
#include "tst_listnames.moc"

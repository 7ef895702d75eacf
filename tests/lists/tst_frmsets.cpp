#include "DataEnv.h"
#include "RowSet.h"
#include "TestSupport.h"
#include "frmSets.h"

#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QSqlQuery>
#include <QTemporaryDir>

class TestFrmSets : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    DataEnv* m_env = nullptr;
    int m_round = 0;

    QStringList names(const QString& table, const QString& column)
    {
        QStringList result;
        QSqlQuery q(m_env->database().connection());
        q.exec(QString("SELECT %1 FROM %2 ORDER BY ID").arg(column, table));
        while (q.next())
            result << q.value(0).toString();
        return result;
    }

    static QStringList shown(QListView* view)
    {
        QStringList result;
        for (int i = 0; i < view->model()->rowCount(); ++i)
            result << view->model()->index(i, view->modelColumn()).data().toString();
        return result;
    }

    static void doubleClick(QListView* list, const QPoint& at)
    {
        // A view takes a double click on the entry that the press before it chose.
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void init()
    {
        m_env =
            new DataEnv(TestSupport::database(m_dir.filePath(QString("db%1.db").arg(++m_round))));
        DataEnv::setInstance(m_env);
    }

    void cleanup() { DataEnv::setInstance(nullptr); }

    void centredWithTheSourcesListed()
    {
        // Centred on the screen, not on the main window that opens it.
        QWidget owner;
        owner.setGeometry(10, 10, 300, 200);
        owner.show();
        frmSets editor(&owner);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        const QPoint screenCentre = editor.screen()->availableGeometry().center();
        QVERIFY((editor.geometry().center() - screenCentre).manhattanLength() <=
                4); // a frame's width
        QCOMPARE(shown(editor.findChild<QListView*>("IstList")),
                 QStringList{QStringLiteral("Интернет")});
    }

    void addingServicesAndSources()
    {
        TestSupport::PromptRecorder prompts;
        TestSupport::MessageRecorder messages;
        frmSets editor;
        auto* addService = editor.findChild<QPushButton*>("addUsl");
        auto* addSource = editor.findChild<QPushButton*>("AddIst");

        prompts.cancel();                             // Cancel adds nothing
        prompts.answer(QString());                    // empty name is refused
        prompts.answer(QStringLiteral("   "));        // so is one of blanks only
        prompts.answer(QStringLiteral("  Стрижка ")); // stored without the blanks around it
        prompts.answer(QStringLiteral("стрижка"));    // the same name but for case is refused
        prompts.answer(QStringLiteral("Ёлка"));
        prompts.answer(QStringLiteral("ЁЛКА "));
        prompts.answer(QStringLiteral("ёл\u200Dка\u202C")); // invisible characters aside, a twin
        prompts.answer(QStringLiteral("\u200B\u2060\0"));   // nothing visible: empty
        for (int i = 0; i < 9; ++i)
            addService->click();
        QCOMPARE(prompts.shown().first().title, QStringLiteral("Добавление услуги"));
        QCOMPARE(prompts.shown().first().label, QStringLiteral("Введите имя услуги"));
        QCOMPARE(messages.shown().size(), 6);
        QVERIFY(messages.shown().at(0).text.contains(QStringLiteral("пустым")));
        QVERIFY(messages.shown().at(1).text.contains(QStringLiteral("пустым")));
        // The refusal names the entry already there.
        QVERIFY(messages.shown().at(2).text.contains(QStringLiteral("«Стрижка»")));
        QVERIFY(messages.shown().at(3).text.contains(QStringLiteral("«Ёлка»")));
        QVERIFY(messages.shown().at(4).text.contains(QStringLiteral("«Ёлка»")));
        QVERIFY(messages.shown().at(5).text.contains(QStringLiteral("пустым")));
        const QStringList expected{QStringLiteral("Стрижка"), QStringLiteral("Ёлка")};
        QCOMPARE(names("Uslugi", "Uname"), expected);
        QCOMPARE(shown(editor.findChild<QListView*>("UslugiList")), expected);

        prompts.answer(QStringLiteral("Газета"));
        addSource->click();
        QCOMPARE(prompts.shown().last().title, QStringLiteral("Добавление источника"));
        QCOMPARE(prompts.shown().last().label,
                 QStringLiteral("Введите название источника рекламы"));
        QCOMPARE(shown(editor.findChild<QListView*>("IstList")),
                 QStringList({QStringLiteral("Интернет"), QStringLiteral("Газета")}));
    }

    void deletingEntriesKeepsCalls()
    {
        TestSupport::PromptRecorder prompts;
        TestSupport::MessageRecorder messages;
        frmSets editor;
        auto* list = editor.findChild<QListView*>("UslugiList");
        auto* remove = editor.findChild<QPushButton*>("delUsl");
        prompts.answer("A");
        prompts.answer("B");
        editor.findChild<QPushButton*>("addUsl")->click();
        editor.findChild<QPushButton*>("addUsl")->click();
        QVERIFY(m_env->execute(
            "AddNew", {QDate(2026, 12, 1), "A", QStringLiteral("Интернет"), true, QTime(9, 0)}));

        remove->click(); // nothing selected
        QCOMPARE(messages.shown().size(), 1);
        QCOMPARE(names("Uslugi", "Uname"), QStringList({"A", "B"}));

        list->setCurrentIndex(list->model()->index(0, list->modelColumn()));
        messages.answer(QMessageBox::Cancel);
        remove->click();
        QCOMPARE(names("Uslugi", "Uname"), QStringList({"A", "B"}));

        messages.answer(QMessageBox::Ok);
        remove->click();
        QCOMPARE(messages.shown().last().title, QStringLiteral("Удаление"));
        // The confirmation says how many recorded calls use the name.
        QVERIFY2(messages.shown().last().text.contains(QStringLiteral("в 1 звонк")),
                 qPrintable(messages.shown().last().text));
        QCOMPARE(names("Uslugi", "Uname"), QStringList({"B"}));
        QCOMPARE(shown(list), QStringList({"B"}));
        QCOMPARE(names("Base", "usluga"), QStringList({"A"}));

        // Sources are deleted the same way.
        auto* sources = editor.findChild<QListView*>("IstList");
        sources->setCurrentIndex(sources->model()->index(0, sources->modelColumn()));
        messages.answer(QMessageBox::Ok);
        editor.findChild<QPushButton*>("Command1")->click();
        QCOMPARE(names("IName", "IName"), QStringList());
        QCOMPARE(names("Base", "Istochnik"), QStringList({QStringLiteral("Интернет")}));
    }

    // A double click renames an entry and every call that uses it, so the per-name reports
    // keep counting them; a name already in the list merges the two entries.
    void renamingKeepsTheCallsInTheReports()
    {
        TestSupport::PromptRecorder prompts;
        TestSupport::MessageRecorder messages;
        frmSets editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        auto* list = editor.findChild<QListView*>("UslugiList");
        prompts.answer(QStringLiteral("Стрижка"));
        prompts.answer(QStringLiteral("Маникюр"));
        editor.findChild<QPushButton*>("addUsl")->click();
        editor.findChild<QPushButton*>("addUsl")->click();
        for (const QString& service :
             {QStringLiteral("Стрижка"), QStringLiteral("стрижка"), QStringLiteral("Маникюр")})
            QVERIFY(m_env->execute("AddNew", {QDate(2026, 12, 1), service,
                                              QStringLiteral("Интернет"), true, QTime(9, 0)}));
        auto perService = [this] {
            QStringList rows;
            if (!m_env->execute("ReportKolvoUsl", {QDate(2026, 12, 1), QDate(2026, 12, 1),
                                                   QDate(2026, 12, 1), QDate(2026, 12, 1)}))
                return QStringList{m_env->errorText()};
            RowSet* set = m_env->rowSet("rsReportKolvoUsl");
            for (int r = 0; r < set->rowCount(); ++r)
                rows << set->value(r, "Uname").toString() + "=" +
                            set->value(r, "Zvonkov").toString();
            set->close();
            return rows;
        };
        QCOMPARE(perService(),
                 QStringList({QStringLiteral("Стрижка=2"), QStringLiteral("Маникюр=1")}));

        const QRect first = list->visualRect(list->model()->index(0, list->modelColumn()));
        prompts.answer(QStringLiteral("\u200B\u202E")); // nothing visible: refused
        doubleClick(list, first.center());
        QVERIFY(messages.shown().last().text.contains(QStringLiteral("пустым")));
        QCOMPARE(names("Uslugi", "Uname"),
                 QStringList({QStringLiteral("Стрижка"), QStringLiteral("Маникюр")}));
        prompts.answer(QStringLiteral("Стрижка мужская"));
        doubleClick(list, first.center());
        QCOMPARE(prompts.shown().last().text, QStringLiteral("Стрижка")); // the old name to edit
        QCOMPARE(names("Uslugi", "Uname"),
                 QStringList({QStringLiteral("Стрижка мужская"), QStringLiteral("Маникюр")}));
        QCOMPARE(names("Base", "usluga"),
                 QStringList({QStringLiteral("Стрижка мужская"), QStringLiteral("Стрижка мужская"),
                              QStringLiteral("Маникюр")}));
        QCOMPARE(perService(),
                 QStringList({QStringLiteral("Стрижка мужская=2"), QStringLiteral("Маникюр=1")}));

        // "маникюр" is "Маникюр" but for case: the two entries become one.
        prompts.answer(QStringLiteral("маникюр"));
        doubleClick(list, first.center());
        QCOMPARE(names("Uslugi", "Uname"), QStringList({QStringLiteral("Маникюр")}));
        QCOMPARE(shown(list), QStringList({QStringLiteral("Маникюр")}));
        QCOMPARE(perService(), QStringList({QStringLiteral("Маникюр=3")}));
        QVERIFY(messages.shown().last().text.contains(QStringLiteral("объединено")));
    }

    // The Internet report counts its source by name: a rename is refused with the reason.
    void internetSourceCannotBeRenamed()
    {
        TestSupport::PromptRecorder prompts;
        TestSupport::MessageRecorder messages;
        frmSets editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        auto* list = editor.findChild<QListView*>("IstList");
        prompts.answer(QStringLiteral("Сайт"));
        doubleClick(list, list->visualRect(list->model()->index(0, list->modelColumn())).center());
        QCOMPARE(messages.shown().size(), 1);
        QCOMPARE(messages.shown().first().icon, QMessageBox::Critical);
        QVERIFY2(messages.shown().first().text.contains(
                     QStringLiteral("отчет по звонкам из интернета считает звонки")),
                 qPrintable(messages.shown().first().text));
        QCOMPARE(names("IName", "IName"), QStringList{QStringLiteral("Интернет")});
        QCOMPARE(shown(list), QStringList{QStringLiteral("Интернет")});
    }

    void refusedAdditionIsReported()
    {
        TestSupport::PromptRecorder prompts;
        TestSupport::MessageRecorder messages;
        frmSets editor;
        QSqlQuery(m_env->database().connection()).exec("DROP TABLE Uslugi");
        prompts.answer("X");
        editor.findChild<QPushButton*>("addUsl")->click();
        QCOMPARE(messages.shown().size(), 1);
        QVERIFY(messages.shown().first().text.contains("Uslugi"));
        QCOMPARE(editor.findChild<QListView*>("UslugiList")->model()->rowCount(), 0);
    }
};

QTEST_MAIN(TestFrmSets)
#include "tst_frmsets.moc"

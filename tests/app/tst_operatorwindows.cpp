// The windows at an operator's desk on a server database with the owner's and the operators'
// rights set (the test server only): the owner's actions are disabled, with a note why.
#include "CallJournal.h"
#include "CallStore.h"
#include "DataEnv.h"
#include "JournalModel.h"
#include "JournalWindow.h"
#include "ListStore.h"
#include "PostgresDialect.h"
#include "ServerRoles.h"
#include "SpendDialog.h"
#include "TestSupport.h"
#include "frmSets.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>
#include <QUrl>
#include <QtTest>

namespace {
// The note is there and shows its whole text.
void checkNote(QWidget& window, const QString& text)
{
    window.show();
    QCoreApplication::processEvents();
    auto* note = window.findChild<QLabel*>("ownerOnly");
    QVERIFY(note);
    QCOMPARE(note->text(), text);
    QVERIFY(note->isVisible());
    QVERIFY2(note->width() >= note->sizeHint().width(), qPrintable(text));
    QVERIFY(window.rect().contains(note->geometry()));
}
} // namespace

class TestOperatorWindows : public QObject
{
    Q_OBJECT

    QString m_database;
    QStringList m_roles;

    QString as(const QString& role) const
    {
        QUrl url(m_database);
        url.setUserName(role);
        return url.toString();
    }

    static bool exec(const QSqlDatabase& db, const QString& statement)
    {
        QSqlQuery query(db);
        if (query.exec(statement))
            return true;
        qWarning("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
        return false;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        if (!TestSupport::onServer())
            QSKIP("runs on the test server only (KALVENT_TEST_DATABASE)");
        const QString tag = QString::number(QCoreApplication::applicationPid());
        m_roles = QStringList{"kv_wdesk_" + tag, "kv_wops_" + tag, "kv_wowner_" + tag};
        m_database = TestSupport::database({});
        DataEnv admin(m_database, std::make_unique<PostgresDialect>("admin"));
        QVERIFY2(admin.connect(), qPrintable(admin.errorText()));
        QSqlDatabase db = admin.database().connection();
        QVERIFY(exec(db, "CREATE ROLE " + m_roles[2] + " LOGIN"));
        const Outcome<void> set = ServerRoles::apply(admin.database(), m_roles[2], m_roles[1]);
        QVERIFY2(set, qPrintable(set.errorText()));
        QVERIFY(exec(
            db, QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE %2").arg(m_roles[0], m_roles[1])));
        QVERIFY(admin.lists().add("Uslugi", QStringLiteral("Стрижка")));
        QVERIFY(admin.lists().add("Istochnik", QStringLiteral("Газета")));
        const Call call{QDate(2026, 3, 2), QStringLiteral("Стрижка"), QStringLiteral("Газета"),
                        false, QTime(10, 0)};
        QVERIFY(admin.calls().add(call));
        DataEnv desk(as(m_roles[0]), std::make_unique<PostgresDialect>(QStringLiteral("Пульт 1")));
        QVERIFY2(desk.connect(), qPrintable(desk.errorText()));
        QVERIFY2(desk.calls().add(call), qPrintable(desk.calls().errorText()));
        QVERIFY(desk.calls().add(call));
        QVERIFY(admin.calls().add(call));
    }

    void operatorsWindowsDisableTheOwnersActions()
    {
        DataEnv::setInstance(new DataEnv(
            as(m_roles[0]), std::make_unique<PostgresDialect>(QStringLiteral("Пульт 1"))));
        DataEnv* env = DataEnv::instance();
        QVERIFY(env->connect());
        {
            frmSets sets;
            checkNote(sets, QStringLiteral("Только владелец может изменять списки"));
            for (const char* name : {"addUsl", "delUsl", "AddIst", "Command1"})
                QVERIFY2(!sets.findChild<QPushButton*>(name)->isEnabled(), name);
            QVERIFY(TestSupport::keepPicture(sets, "operator-lists.png"));
        }
        {
            SpendDialog spend(env, QDate(2026, 3, 1));
            checkNote(spend, QStringLiteral("Только владелец может изменять расходы"));
            QCOMPARE(spend.table()->editTriggers(), QAbstractItemView::NoEditTriggers);
            QVERIFY(
                !spend.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->isEnabled());
            QVERIFY(!spend.findChild<QPushButton*>("copyPrevious")->isEnabled());
            QVERIFY(TestSupport::keepPicture(spend, "operator-spend.png"));
        }
        {
            JournalWindow journal(env);
            checkNote(journal, QStringLiteral("Только владелец может изменять звонки и удалять их, "
                                              "кроме последнего звонка своего пульта"));
            auto* edit = journal.findChild<QPushButton*>("edit");
            auto* remove = journal.findChild<QPushButton*>("delete");
            QTRY_COMPARE(journal.model()->rowCount(), 4);
            // Newest first: another desk's, this desk's newest, this desk's older, another's.
            const QStringList desks{"admin", QStringLiteral("Пульт 1"), QStringLiteral("Пульт 1"),
                                    "admin"};
            for (int row = 0; row < 4; ++row) {
                QCOMPARE(journal.model()->record(row).desk, desks[row]);
                journal.table()->selectRow(row);
                QVERIFY(!edit->isEnabled());
                QCOMPARE(remove->isEnabled(), row == 1);
            }
            journal.table()->selectAll();
            QVERIFY(!remove->isEnabled());
            // Its newest call removed, the removal is not undone here: that is the owner's.
            TestSupport::MessageRecorder boxes;
            boxes.answer(QMessageBox::Ok);
            journal.table()->selectRow(1);
            journal.deleteSelected();
            QTRY_COMPARE(journal.model()->rowCount(), 3);
            QVERIFY(env->calls().canUndo());
            QVERIFY(!journal.undoButton()->isEnabled());
            journal.undo();
            QCOMPARE(journal.model()->rowCount(), 3);
            QVERIFY(boxes.shown().size() == 1);
            QVERIFY(TestSupport::keepPicture(journal, "operator-journal.png"));
        }
        // The owner's desk: no note, everything enabled.
        DataEnv::setInstance(
            new DataEnv(as(m_roles[2]), std::make_unique<PostgresDialect>("owner")));
        frmSets sets;
        sets.show();
        QVERIFY(!sets.findChild<QLabel*>("ownerOnly"));
        QVERIFY(sets.findChild<QPushButton*>("addUsl")->isEnabled());
        JournalWindow journal(DataEnv::instance());
        QTRY_COMPARE(journal.model()->rowCount(), 3);
        journal.table()->selectRow(0);
        QVERIFY(journal.findChild<QPushButton*>("edit")->isEnabled());
        QVERIFY(journal.findChild<QPushButton*>("delete")->isEnabled());
    }

    void cleanupTestCase()
    {
        DataEnv::setInstance(nullptr);
        if (m_roles.isEmpty())
            return;
        DataEnv admin(m_database, std::make_unique<PostgresDialect>("admin"));
        QVERIFY(admin.connect());
        QSqlDatabase db = admin.database().connection();
        for (const QString& role : std::as_const(m_roles))
            QVERIFY(exec(db, "DROP OWNED BY " + role));
        for (const QString& role : std::as_const(m_roles))
            QVERIFY(exec(db, "DROP ROLE " + role));
    }
};

QTEST_MAIN(TestOperatorWindows)
#include "tst_operatorwindows.moc"

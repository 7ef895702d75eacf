#include "AnalysisWindow.h"
#include "AppPaths.h"
#include "Call.h"
#include "CallRegister.h"
#include "CallStore.h"
#include "Clock.h"
#include "DataEnv.h"
#include "JournalWindow.h"
#include "KeptCalls.h"
#include "ListStore.h"
#include "Logo.h"
#include "MainFrm.h"
#include "PostgresDialect.h"
#include "ReportKind.h"
#include "ReportPeriod.h"
#include "ReportPreview.h"
#include "RowSet.h"
#include "SettingsStore.h"
#include "TestSupport.h"
#include "frmSets.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <future>

namespace {
const QString importNotice = QStringLiteral("Ожидание окончания импорта...");

// Notes when a label is drawn with a given text.
class PaintWatch : public QObject
{
public:
    PaintWatch(QLabel* label, const QString& text) : m_label(label), m_text(text)
    {
        label->installEventFilter(this);
    }
    std::atomic<bool> seen{false};

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_label && event->type() == QEvent::Paint && m_label->text() == m_text)
            seen = true;
        return false;
    }

private:
    QLabel* m_label;
    QString m_text;
};
} // namespace

class TestMainFrm : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    DataEnv* m_env = nullptr;
    std::unique_ptr<MainFrm> m_window;
    int m_round = 0;
    const QDateTime m_now{QDate(2026, 12, 6), QTime(14, 30, 15)};

    QComboBox* combo(const char* name) { return m_window->findChild<QComboBox*>(name); }
    QString status() { return m_window->findChild<QLabel*>("Stat")->text(); }
    void choose(const char* name, int index) { combo(name)->setCurrentIndex(index); }

    QList<QVariantList> calls()
    {
        QList<QVariantList> result;
        QSqlQuery q(m_env->database().connection());
        q.exec("SELECT Data, usluga, Istochnik, Zapis, Vrem FROM Base ORDER BY ID");
        while (q.next())
            result << QVariantList{q.value(0).toString(), q.value(1).toString(),
                                   q.value(2).toString(), q.value(3).toInt(),
                                   q.value(4).toString()};
        return result;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void init()
    {
        Clock::setFixed(m_now);
        m_env =
            new DataEnv(TestSupport::database(m_dir.filePath(QString("db%1.db").arg(++m_round))));
        DataEnv::setInstance(m_env);
        QVERIFY(m_env->connect());
        m_env->bind("Uslugi")->addRow("Uname", QStringLiteral("Стрижка"));
        m_env->bind("Uslugi")->addRow("Uname", QStringLiteral("Маникюр"));
        SettingsStore store;
        const QStringList values{"7", "09:00:00", QStringLiteral("Реклама"), "boss@example.com",
                                 "2031-01-01"};
        const QStringList keys{"days", "times", "tems", "senders", "nextdate"};
        for (int i = 0; i < keys.size(); ++i)
            QVERIFY(store.write(keys[i], values[i]));
        m_window = std::make_unique<MainFrm>();
        m_window->showMain();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        DataEnv::setInstance(nullptr);
        Clock::setFixed({});
    }

    void opensEmptyOnToday()
    {
        QCOMPARE(m_window->findChild<QDateEdit*>("Data")->date(), m_now.date());
        QCOMPARE(combo("Usluga")->currentIndex(), -1);
        QCOMPARE(combo("Istochnik")->currentIndex(), -1);
        QCOMPARE(combo("Usluga")->count(), 2);
        QCOMPARE(combo("Istochnik")->itemText(0), QStringLiteral("Интернет"));
        QVERIFY(!m_window->findChild<QCheckBox*>("Zapis")->isChecked());
        QCOMPARE(status(), QStringLiteral("Ожидание"));
        QVERIFY(!m_window->findChild<QPushButton*>("Command3")->isVisible());
        QCOMPARE(QApplication::focusWidget(), combo("Usluga"));
        // Tab order: Usluga, Istochnik, Zapis, Command1, Data.
        QWidget* w = combo("Usluga");
        QStringList order;
        for (int i = 0; i < 5; ++i, w = w->nextInFocusChain()) {
            while (w->focusPolicy() == Qt::NoFocus || !w->isVisible())
                w = w->nextInFocusChain();
            order << w->objectName();
        }
        QCOMPARE(order, QStringList({"Usluga", "Istochnik", "Zapis", "Command1", "Data"}));
    }

    // A list changed by another desk, or by another program on the same file, is read again
    // and keeps the operator's choice; the windows hear that calls may have changed.
    void listReloadKeepsTheChoice()
    {
        choose("Usluga", 1);
        choose("Istochnik", 0);
        QSignalSpy callsChanged(&m_env->connection(), &DataConnection::callsChanged);
        QSignalSpy sourcesRead(m_env->rowSet("rsIstochnik"), &QAbstractItemModel::modelReset);
        if (TestSupport::onServer()) {
            DataEnv other(m_env->database().path(), std::make_unique<PostgresDialect>("other"));
            QVERIFY(other.bind("Uslugi")->addRow("Uname", QStringLiteral("Массаж")));
            QVERIFY(other.lists().add("Istochnik", QStringLiteral("Радио")));
            QTRY_COMPARE_WITH_TIMEOUT(combo("Istochnik")->count(), 2, 5000);
            QCOMPARE(combo("Usluga")->count(), 3);
        } else {
            DataEnv other(m_env->database().path());
            QVERIFY(other.lists().add("Uslugi", QStringLiteral("Массаж")));
            QVERIFY(other.lists().add("Istochnik", QStringLiteral("Радио")));
            QVERIFY(m_env->connection().checkChangedElsewhere());
            QVERIFY(!m_env->connection().checkChangedElsewhere()); // nothing new since
            QCOMPARE(combo("Usluga")->count(), 3);
            QCOMPARE(combo("Istochnik")->itemText(1), QStringLiteral("Радио"));
            // A call stored elsewhere reads no list again.
            QCOMPARE(sourcesRead.count(), 1);
            QVERIFY(other.calls().add(Call{m_now.date(), QStringLiteral("Стрижка"),
                                           QStringLiteral("Радио"), false, QTime(9, 0)}));
            QVERIFY(m_env->connection().checkChangedElsewhere());
            QCOMPARE(callsChanged.count(), 2);
        }
        QCOMPARE(sourcesRead.count(), 1);
        QVERIFY(!callsChanged.isEmpty());
        QCOMPARE(combo("Usluga")->currentText(), QStringLiteral("Маникюр"));
        QCOMPARE(combo("Istochnik")->currentText(), QStringLiteral("Интернет"));
    }

    // The window stays open over night: the date the program put into the field moves on at
    // midnight, also for a call added before the timer looks; a date the operator chose stays.
    void dateFollowsTheDay()
    {
        auto* data = m_window->findChild<QDateEdit*>("Data");
        auto* timer = m_window->findChild<QTimer*>("dayTimer");
        QVERIFY(timer->isActive());
        const QDate day = m_now.date();
        Clock::setFixed({day, QTime(23, 59, 59)});
        QVERIFY(TestSupport::fire(timer));
        QCOMPARE(data->date(), day);
        Clock::advance(1000);
        QVERIFY(TestSupport::fire(timer));
        QCOMPARE(data->date(), day.addDays(1));

        choose("Usluga", 0);
        choose("Istochnik", 0);
        Clock::setFixed({day.addDays(2), QTime(0, 0, 21)});
        m_window->findChild<QPushButton*>("Command1")->click();
        QCOMPARE(data->date(), day.addDays(2));

        data->setFocus();
        QTest::keyClick(data, Qt::Key_Down); // the operator steps the day back
        const QDate chosen = data->date();
        QVERIFY(chosen < day.addDays(2));
        Clock::setFixed({day.addDays(3), QTime(0, 0, 5)});
        QVERIFY(TestSupport::fire(timer));
        QCOMPARE(data->date(), chosen);
        m_window->findChild<QPushButton*>("Command1")->click();
        QCOMPARE(data->date(), chosen);
        const QList<QVariantList> stored = calls();
        QCOMPARE(stored.size(), 2);
        QCOMPARE(stored[0].first().toString(), day.addDays(2).toString(Qt::ISODate));
        QCOMPARE(stored[0].last().toString(), QStringLiteral("00:00:21"));
        QCOMPARE(stored[1].first().toString(), chosen.toString(Qt::ISODate));
    }

    void addingByClickAndByEnter()
    {
        choose("Usluga", 1);
        choose("Istochnik", 0);
        m_window->findChild<QDateEdit*>("Data")->setDate(QDate(2026, 11, 20));
        m_window->findChild<QPushButton*>("Command1")->click();
        QCOMPARE(status(), QStringLiteral("Добавлено"));

        m_window->findChild<QCheckBox*>("Zapis")->setChecked(true);
        Clock::advance(2000);
        combo("Istochnik")->setFocus();
        QTest::keyClick(combo("Istochnik"), Qt::Key_Return);
        const QList<QVariantList> expected{
            {"2026-11-20", QStringLiteral("Маникюр"), QStringLiteral("Интернет"), 0, "14:30:15"},
            {"2026-11-20", QStringLiteral("Маникюр"), QStringLiteral("Интернет"), 1, "14:30:17"}};
        QCOMPARE(calls(), expected);
        // Entry fields keep their values after an add.
        QCOMPARE(combo("Usluga")->currentIndex(), 1);
        QVERIFY(m_window->findChild<QCheckBox*>("Zapis")->isChecked());
    }

    void missingChoiceIsRefused()
    {
        TestSupport::MessageRecorder messages;
        m_window->setStatus("X");
        choose("Usluga", 0);
        m_window->findChild<QPushButton*>("Command1")->click();
        choose("Usluga", -1);
        choose("Istochnik", 0);
        QTest::keyClick(m_window.get(), Qt::Key_Enter);
        QCOMPARE(messages.shown().size(), 2);
        const Dialogs::Message& m = messages.shown().first();
        QCOMPARE(m.text, QStringLiteral("Заполните все поля!"));
        QCOMPARE(m.title, QStringLiteral("Сообщение"));
        QCOMPARE(m.icon, QMessageBox::Critical);
        QCOMPARE(m.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(calls().isEmpty());
        QCOMPARE(status(), QString("X"));
    }

    void failedInsertIsReportedNotAdded()
    {
        TestSupport::MessageRecorder messages;
        QSqlQuery(m_env->database().connection()).exec("DROP TABLE Base");
        choose("Usluga", 0);
        choose("Istochnik", 0);
        m_window->findChild<QPushButton*>("Command1")->click();
        QCOMPARE(messages.shown().size(), 1);
        QVERIFY(messages.shown().first().text.contains("Base"));
        QCOMPARE(status(), QStringLiteral("Ожидание"));
    }

    // A full disk (the database may grow no further): the operator is told why, nothing is
    // stored, and once there is room again the next call goes in.
    void fullDiskKeepsNothingHalfWrittenAndTheNextAddWorks()
    {
        if (TestSupport::onServer())
            QSKIP("the file's size limit stands in for a full disk");
        TestSupport::MessageRecorder messages;
        QVERIFY(m_env->bind("Uslugi")->addRow("Uname", QString(6000, QChar(u'ж'))));
        QSqlQuery pragma(m_env->database().connection());
        QVERIFY(pragma.exec("PRAGMA page_count") && pragma.next());
        const int pages = pragma.value(0).toInt();
        QVERIFY(pragma.exec(QString("PRAGMA max_page_count = %1").arg(pages)));
        choose("Usluga", combo("Usluga")->count() - 1);
        choose("Istochnik", 0);
        m_window->findChild<QPushButton*>("Command1")->click();
        QCOMPARE(messages.shown().size(), 1);
        QVERIFY2(messages.shown().first().text.contains(QStringLiteral("на диске нет места")),
                 qPrintable(messages.shown().first().text));
        QCOMPARE(status(), QStringLiteral("Ожидание"));
        QVERIFY(calls().isEmpty());

        QVERIFY(pragma.exec(QString("PRAGMA max_page_count = %1").arg(pages + 1000)));
        m_window->findChild<QPushButton*>("Command1")->click();
        QCOMPARE(messages.shown().size(), 1);
        QCOMPARE(status(), QStringLiteral("Добавлено"));
        QCOMPARE(calls().size(), 1);
        QVERIFY(pragma.exec("PRAGMA integrity_check") && pragma.next());
        QCOMPARE(pragma.value(0).toString(), QString("ok"));
    }

    // Another program's write transaction (an import's) holds the database: the add waits for
    // it with the notice drawn in the status line, and then goes in.
    void addWaitsForAnotherWriteWithTheNoticeShown()
    {
        TestSupport::MessageRecorder messages;
        PaintWatch watch(m_window->findChild<QLabel*>("Stat"), importNotice);
        std::promise<bool> held;
        bool noticed = false; // the notice was drawn while the other write held the database
        std::unique_ptr<QThread> other(QThread::create([&, location = m_env->database().path()] {
            {
                DataEnv importer(location);
                const bool opened = importer.connect();
                QSqlDatabase db = importer.database().connection();
                const bool holding =
                    opened && db.transaction() &&
                    importer.execute("AddNew", {QDate(2026, 1, 5), QStringLiteral("Стрижка"),
                                                QStringLiteral("Интернет"), false, QTime(8, 0)}) &&
                    (!TestSupport::onServer() ||
                     QSqlQuery(db).exec("LOCK TABLE Base IN EXCLUSIVE MODE"));
                held.set_value(holding);
                // Until the notice is on screen, or long enough for the test to fail.
                for (int i = 0; holding && i < 3000 && !watch.seen; ++i)
                    QThread::msleep(10);
                noticed = watch.seen.load();
                if (holding)
                    db.commit();
            }
        }));
        other->start();
        const bool holding = held.get_future().get();
        if (holding) {
            choose("Usluga", 0);
            choose("Istochnik", 0);
            m_window->findChild<QPushButton*>("Command1")->click();
        }
        other->wait();
        QVERIFY(holding);
        QVERIFY(noticed);
        QVERIFY(messages.shown().isEmpty());
        QCOMPARE(status(), QStringLiteral("Добавлено"));
        QCOMPARE(calls().size(), 2);
    }

    void statusLineFallsBackToWaiting()
    {
        choose("Usluga", 0);
        choose("Istochnik", 0);
        m_window->findChild<QPushButton*>("Command1")->click();
        QCOMPARE(status(), QStringLiteral("Добавлено"));
        auto* timer = m_window->findChild<QTimer*>("Timer1");
        QCOMPARE(timer->interval(), 10000);
        QVERIFY(timer->isActive());
        QVERIFY(TestSupport::fire(timer));
        QCOMPARE(status(), QStringLiteral("Ожидание"));
    }

    void removingThePreviousCall()
    {
        TestSupport::MessageRecorder messages;
        QAction* delped = m_window->findChild<QAction*>("delped");
        QCOMPARE(delped->text(), QStringLiteral("&Удалить предыдущий"));

        delped->trigger(); // no calls at all
        QCOMPARE(messages.shown().size(), 1);
        QCOMPARE(messages.shown().first().title, QStringLiteral("Удаление"));
        QVERIFY(messages.shown().first().buttons.testFlag(QMessageBox::Ok));

        choose("Usluga", 0);
        choose("Istochnik", 0);
        m_window->findChild<QPushButton*>("Command1")->click();
        choose("Usluga", 1);
        m_window->findChild<QPushButton*>("Command1")->click();

        messages.clear();
        messages.answer(QMessageBox::Cancel);
        delped->trigger();
        const Dialogs::Message& question = messages.shown().first();
        QCOMPARE(question.text,
                 QStringLiteral("Вы действительно хотите удалить предыдущий звонок?"));
        QCOMPARE(question.title, QStringLiteral("Удаление"));
        QCOMPARE(question.icon, QMessageBox::NoIcon);
        QCOMPARE(question.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(question.defaultButton, QMessageBox::Ok);
        QCOMPARE(status(), QStringLiteral("Удаление отменено"));
        QCOMPARE(calls().size(), 2);

        messages.answer(QMessageBox::Ok);
        delped->trigger();
        QCOMPARE(status(), QStringLiteral("Услуга удалена"));
        QCOMPARE(calls().size(), 1);
        QCOMPARE(calls().first().at(1).toString(), QStringLiteral("Стрижка"));
        QVERIFY(!m_env->rowSet("rsBase")->isOpen());
    }

    void menuHoldsEveryItemInOrder()
    {
        auto* menu = m_window->findChild<QMenu*>("menu1");
        QCOMPARE(menu->title(), QStringLiteral("&Меню"));
        QStringList items;
        for (QAction* action : menu->actions())
            items << (action->isSeparator() ? "-" : action->text());
        QCOMPARE(
            items,
            QStringList({QStringLiteral("&Удалить предыдущий"), "-", QStringLiteral("&Отчеты"),
                         QStringLiteral("&Служебная настройка"), QStringLiteral("&Настройки..."),
                         "-", QStringLiteral("&О программе..."), QStringLiteral("&Журнал звонков"),
                         QStringLiteral("&Резервные копии…"), "-",
                         QStringLiteral("Запускать при входе в систему")}));
        // The journal opens beside the main window, once.
        m_window->findChild<QAction*>("zhurnal")->trigger();
        m_window->findChild<QAction*>("zhurnal")->trigger();
        QCOMPARE(m_window->findChildren<JournalWindow*>().size(), 1);
        QVERIFY(m_window->findChild<JournalWindow*>()->isVisible());
        delete m_window->findChild<JournalWindow*>(); // its own shortcuts are not the menu's
        QStringList reports;
        for (QAction* action : m_window->findChild<QMenu*>("otch")->actions())
            reports << action->objectName() + "=" + action->text();
        QCOMPARE(reports, QStringList({QStringLiteral("otchkolzv=Звонки по &источнику"),
                                       QStringLiteral("zvpoUsl=Звонки по &услуге"),
                                       QStringLiteral("interZvon=Отчет по звонкам из &интернета"),
                                       QStringLiteral("podatam=Отчет по &датам"),
                                       QStringLiteral("linAnaliz="),
                                       QStringLiteral("analizRekl=&Анализ рекламы")}));
        QVERIFY(m_window->findChild<QMenu*>("otch")->actions().at(4)->isSeparator());
        for (QAction* action : m_window->findChildren<QAction*>())
            QVERIFY(action->shortcut().isEmpty());
    }

    // Closing while only this window mails asks first (the question's logic is tested with
    // CloseQuestion); with the background timer on, it just closes.
    void closingAsksWhileOnlyTheWindowMails()
    {
        TestSupport::FakeSystemctl systemctl;
        TestSupport::MessageRecorder messages;
        QApplication::setQuitOnLastWindowClosed(false);
        const auto quitting = qScopeGuard([] { QApplication::setQuitOnLastWindowClosed(true); });
        messages.answer(QMessageBox::No);
        QVERIFY(!m_window->close());
        QCOMPARE(messages.shown().size(), 1);
        const Dialogs::Message& box = messages.shown().first();
        QCOMPARE(box.title, QStringLiteral("Рассылка отчетов"));
        QVERIFY(box.text.contains(QStringLiteral("следующая рассылка не уйдёт")));
        QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Discard);
        QCOMPARE(box.defaultButton, QMessageBox::Yes);
        // No tray on this screen: the window is minimised instead, and comes back.
        QVERIFY(m_window->isMinimized());
        m_window->restoreFromTray();
        QVERIFY(!m_window->isMinimized() && m_window->isVisible());
        QVERIFY(systemctl.takeCalls().filter("enable").isEmpty());

        messages.answer(QMessageBox::Discard);
        QVERIFY(m_window->close());
        QVERIFY(systemctl.takeCalls().filter("enable").isEmpty());
        m_window->show();
        messages.answer(QMessageBox::Yes);
        QVERIFY(m_window->close());
        QCOMPARE(systemctl.takeCalls().filter("enable").size(), 1);
        m_window->show();
        messages.clear();
        QVERIFY(m_window->close());
        QVERIFY(messages.shown().isEmpty());

        // Turning the timer on failed: the window stays and tells why.
        systemctl.set("on", false);
        systemctl.set("nobus", true);
        m_window->show();
        messages.answer(QMessageBox::Yes);
        QVERIFY(!m_window->close());
        QVERIFY(m_window->isVisible());
        QCOMPARE(messages.shown().size(), 2);
        QVERIFY(messages.shown().at(1).text.contains("loginctl enable-linger"));
    }

    // "Запускать при входе в систему" writes the autostart entry and removes it again.
    void autostartItemWritesTheEntry()
    {
        QAction* item = m_window->findChild<QAction*>("avtozapusk");
        QVERIFY(item->isCheckable());
        QVERIFY(!item->isChecked());
        const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart";
        QFile entry(folder + "/ru.kalvent.Kalvent.desktop");
        QVERIFY(!entry.exists());
        item->trigger();
        QVERIFY(item->isChecked());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(entry.readAll()).split('\n');
        entry.close();
        QCOMPARE(lines.first(), QString("[Desktop Entry]"));
        // The test program is no "kalvent" on the path: the entry names it by its path.
        QVERIFY(lines.contains(
            "Exec=" + QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath()));
        QVERIFY(lines.contains("Type=Application"));
        item->trigger();
        QVERIFY(!item->isChecked());
        QVERIFY(!entry.exists());

        // The folder cannot be made: told, and the item stays off.
        QVERIFY(QDir(folder).removeRecursively());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const auto unblock = qScopeGuard([&] { blocker.remove(); });
        TestSupport::MessageRecorder messages;
        item->trigger();
        QVERIFY(!item->isChecked());
        QCOMPARE(messages.shown().size(), 1);
        QCOMPARE(messages.shown().first().icon, QMessageBox::Critical);
    }

    void analysisItemOpensOneWindowBesideTheMainWindow()
    {
        QAction* item = m_window->findChild<QAction*>("analizRekl");
        item->trigger();
        item->trigger();
        const QList<AnalysisWindow*> windows = m_window->findChildren<AnalysisWindow*>();
        QCOMPARE(windows.size(), 1);
        QVERIFY(windows.first()->isVisible() && windows.first()->isWindow());
        QCOMPARE(windows.first()->windowModality(), Qt::NonModal);
        QCOMPARE(windows.first()->windowTitle(), QStringLiteral("Анализ рекламы"));
        QPointer<AnalysisWindow> window(windows.first());
        window->close();
        QTRY_VERIFY(!window);
    }

    void reportItemsStoreTheKindAndOpenThePeriodDialog()
    {
        QStringList previews;
        ReportPreview::setHandler([&](QDialog& preview, const QAbstractItemModel&, const QString&) {
            previews << preview.windowTitle();
            return QString();
        });
        auto pressOk = [] {
            QTimer::singleShot(0, [] {
                QWidget* dialog = QApplication::activeModalWidget();
                QVERIFY(dialog);
                QCOMPARE(dialog->windowTitle(), QStringLiteral("Параметры отчета"));
                dialog->findChild<QPushButton*>("Ok")->click();
            });
        };
        QCOMPARE(m_window->nReport, 0);
        pressOk();
        m_window->findChild<QAction*>("podatam")->trigger();
        QCOMPARE(m_window->nReport, 4);
        pressOk();
        m_window->findChild<QAction*>("otchkolzv")->trigger();
        QCOMPARE(m_window->nReport, 1);
        QCOMPARE(previews,
                 QStringList({QStringLiteral("Отчет по звонкам (по датам)"),
                              QStringLiteral("Отчет по кол-ву звонков из разных источников")}));

        // Closing the dialog without OK keeps the stored kind and shows nothing.
        QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
        m_window->findChild<QAction*>("interZvon")->trigger();
        QCOMPARE(m_window->nReport, 3);
        QCOMPARE(previews.size(), 2);
        ReportPreview::setHandler({});
    }

    // A report reads the server: calls still kept at this desk are told under its pages, on
    // a line outside the report (never on a file).
    void reportPreviewTellsTheCallsNotSent()
    {
        const bool server = m_env->connection().dialect().isServer();
        KeptCalls kept(m_env->database().path(), AppPaths::deskId());
        if (server)
            QVERIFY(kept.keep(Call{m_now.date(), "Маникюр", "Интернет", false, QTime(9, 0)}));
        QStringList notes;
        ReportPreview::setHandler([&](QDialog& preview, const QAbstractItemModel&, const QString&) {
            if (const auto* note = preview.findChild<QLabel*>("note"))
                notes << note->text();
            const QString folder = qEnvironmentVariable("KALVENT_SCREENS_DIR");
            if (!folder.isEmpty() && !notes.isEmpty()) {
                preview.show();
                preview.grab().save(QDir(folder).filePath("report-not-sent.png"));
            }
            return QString();
        });
        const bool shown = ReportPreview::showReport(*ReportKind::find(ReportKind::ByDate),
                                                     ReportPeriod(m_now.date(), m_now.date()),
                                                     m_env, m_window.get());
        ReportPreview::setHandler({});
        QVERIFY(shown);
        QCOMPARE(notes, server ? QStringList{QStringLiteral("1 звонок ещё не передан на сервер")}
                               : QStringList());
    }

    void hiddenButtonOpensTheDiagrams()
    {
        QString title;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            title = dialog ? dialog->windowTitle() : QString();
            if (dialog)
                dialog->close();
        });
        m_window->findChild<QPushButton*>("Command3")->click();
        QCOMPARE(title, QStringLiteral("Диаграммы"));
    }

    void trayRestoresTheMinimisedWindow()
    {
        auto* tray = m_window->findChild<QSystemTrayIcon*>("cSysTray1");
        QVERIFY(tray);
        QCOMPARE(tray->toolTip(), QString("Kalvent"));
        QVERIFY(!tray->icon().isNull());
        const QRect before = m_window->geometry();
        m_window->showMinimized();
        QTRY_VERIFY(m_window->windowState() & Qt::WindowMinimized);
        Q_EMIT tray->activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY(!(m_window->windowState() & Qt::WindowMinimized));
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_window->geometry().size(), before.size());
        Q_EMIT tray->activated(QSystemTrayIcon::DoubleClick); // already normal: nothing changes
        QCOMPARE(m_window->windowState(), Qt::WindowNoState);
    }

    void aboutShowsTheSplashModelessly()
    {
        Logo::setTickInterval(TestSupport::neverFires);
        m_window->findChild<QAction*>("opropgr")->trigger();
        QVERIFY(Logo::current());
        QVERIFY(Logo::current()->isVisible());
        QVERIFY(!QApplication::activeModalWidget());
        m_window->findChild<QAction*>("opropgr")->trigger(); // no second copy
        int splashes = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            splashes += qobject_cast<Logo*>(w) && w->isVisible() ? 1 : 0;
        QCOMPARE(splashes, 1);
        // Its ticks close it (the first one once the run's splash has had its three).
        for (int i = 0; i < Logo::ticksBeforeMain && Logo::current(); ++i)
            QVERIFY(TestSupport::fire(Logo::current()->findChild<QTimer*>("Timer1")));
        QVERIFY(!Logo::current());
        QVERIFY(m_window->isVisible());
    }

    void unusableDatabaseIsReportedAndTheWindowStillOpens()
    {
        m_window.reset();
        const QString path = m_dir.filePath("notes.db");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("Заметки, а не база данных.\n").repeated(100));
        file.close();
        DataEnv::setInstance(new DataEnv(path));
        TestSupport::MessageRecorder messages;
        m_window = std::make_unique<MainFrm>();
        m_window->showMain();
        QVERIFY(m_window->isVisible());
        QCOMPARE(messages.shown().size(), 1);
        QVERIFY(messages.shown().first().text.contains(path));
        QCOMPARE(combo("Usluga")->count(), 0);
        // Adding a call then says the database is not there, naming it; never "Добавлено".
        m_window->findChild<QPushButton*>("Command1")->click(); // nothing chosen
        QVERIFY(messages.shown().last().text.startsWith(
            QStringLiteral("Звонок не сохранён: база данных недоступна.")));
        QVERIFY(messages.shown().last().text.contains(path));
        QCOMPARE(status(), QStringLiteral("Ожидание"));
        QFile check(path);
        QVERIFY(check.open(QIODevice::ReadOnly));
        QVERIFY(check.readAll().startsWith(QStringLiteral("Заметки").toUtf8()));
    }

    // A server that cannot be reached: the lists last read from it fill the drop-downs, a call
    // is kept at the desk ("Добавлено" is not claimed) and the status line tells how many wait,
    // shown only while any do; "Удалить предыдущий" takes the kept call back.
    void serverAwayKeepsTheCallAndShowsTheWaitingLine()
    {
        m_window.reset();
        QTcpServer closed; // a port nobody listens on once closed
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QString location =
            QStringLiteral("postgresql://kalvent@127.0.0.1:%1/away").arg(closed.serverPort());
        closed.close();
        {
            KeptCalls copy(location, AppPaths::deskId());
            QVERIFY(copy.storeList("Uslugi", {QStringLiteral("Стрижка"), "Маникюр"}));
            QVERIFY(copy.storeList("Istochnik", {QStringLiteral("Интернет")}));
        }
        DataEnv::setInstance(new DataEnv(location));
        TestSupport::MessageRecorder messages;
        m_window = std::make_unique<MainFrm>();
        m_window->showMain();
        QVERIFY(messages.shown().isEmpty());
        QCOMPARE(combo("Usluga")->count(), 2);
        auto* waiting = m_window->findChild<QLabel*>("waitingLine");
        QVERIFY(waiting && waiting->isHidden() && m_window->statusBar()->isHidden());
        const int height = m_window->height();

        choose("Usluga", 1);
        choose("Istochnik", 0);
        m_window->findChild<QPushButton*>("Command1")->click();
        QVERIFY2(messages.shown().isEmpty(), qPrintable(messages.shown().value(0).text));
        QCOMPARE(status(), QString::fromUtf8(CallRegister::keptText));
        const QLabel* stat = m_window->findChild<QLabel*>("Stat");
        QVERIFY(stat->width() >= stat->fontMetrics().horizontalAdvance(stat->text())); // whole
        QVERIFY(stat->geometry().right() < stat->parentWidget()->width());
        QVERIFY(!waiting->isHidden() && !m_window->statusBar()->isHidden());
        QCOMPARE(waiting->text(), QStringLiteral("1 звонок ожидает передачи на сервер"));
        QVERIFY(m_window->height() > height);
        const QString folder = qEnvironmentVariable("KALVENT_SCREENS_DIR");
        if (!folder.isEmpty())
            QVERIFY(m_window->grab().save(QDir(folder).filePath("main-window-waiting.png")));

        // The window's timer finds the server still away: the call stays, tried again later.
        auto* timer = m_window->findChild<QTimer*>("keptTimer");
        const int interval = timer->interval();
        QVERIFY(TestSupport::fire(timer));
        QCOMPARE(timer->interval(), 2 * interval);
        QCOMPARE(waiting->text(), QStringLiteral("1 звонок ожидает передачи на сервер"));

        m_window->removePreviousCall();
        QCOMPARE(status(), QStringLiteral("Услуга удалена"));
        QVERIFY(waiting->isHidden() && m_window->statusBar()->isHidden());
        QCOMPARE(m_window->height(), height);
        KeptCalls kept(location, AppPaths::deskId());
        QCOMPARE(kept.count(), 0);
    }

    // Calls kept at the desk go over from the window's timer once the server answers, in
    // order and with their own date and time.
    void keptCallsGoOverFromTheWindowsTimer()
    {
        if (!m_env->connection().dialect().isServer())
            QSKIP("a server location only");
        KeptCalls kept(m_env->database().path(), AppPaths::deskId());
        QVERIFY(kept.keep(Call{QDate(2026, 12, 5), "Маникюр", "Интернет", true, QTime(9, 0)}));
        QVERIFY(kept.keep(Call{QDate(2026, 12, 6), "Стрижка", "Интернет", false, QTime(9, 5)}));
        QVERIFY(TestSupport::fire(m_window->findChild<QTimer*>("keptTimer")));
        QCOMPARE(kept.count(), 0);
        QCOMPARE(calls(),
                 QList<QVariantList>({{"2026-12-05", "Маникюр", "Интернет", 1, "09:00:00"},
                                      {"2026-12-06", "Стрижка", "Интернет", 0, "09:05:00"}}));
        QVERIFY(m_window->findChild<QLabel*>("waitingLine")->isHidden());
    }

    void newListEntryShowsAtOnceInTheMainWindow()
    {
        TestSupport::PromptRecorder prompts;
        prompts.answer(QStringLiteral("Массаж"));
        choose("Usluga", 1);
        {
            frmSets editor(m_window.get());
            editor.findChild<QPushButton*>("addUsl")->click();
        }
        QCOMPARE(combo("Usluga")->count(), 3);
        QCOMPARE(combo("Usluga")->itemText(2), QStringLiteral("Массаж"));
        QCOMPARE(combo("Usluga")->currentIndex(), 1); // the choice is kept
    }
};

QTEST_MAIN(TestMainFrm)
#include "tst_mainfrm.moc"

#include "Clock.h"
#include "DataEnv.h"
#include "Dialogs.h"
#include "GrafFrm.h"
#include "KalventApp.h"
#include "Logo.h"
#include "MailAccountDialog.h"
#include "MainFrm.h"
#include "Param.h"
#include "ReportKind.h"
#include "ReportLayout.h"
#include "ReportLayouts.h"
#include "ReportPeriod.h"
#include "ReportPreview.h"
#include "SettingsStore.h"
#include "TestSupport.h"
#include "frmSets.h"
#include "slFrm.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

extern char** environ;

namespace {

// A private X server for this test: Xvfb on a display number it picks itself.
class XvfbServer
{
public:
    ~XvfbServer()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }

    bool start()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        const std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen", "0",
                              "1280x1024x24", "-nolisten",  "tcp",      nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int spawned =
            posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0) {
            m_pid = 0;
            close(fds[0]);
            return false;
        }
        std::string display;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            display += c;
        close(fds[0]);
        if (display.empty())
            return false;
        qputenv("DISPLAY", QByteArray(":") + display.c_str());
        return true;
    }

private:
    pid_t m_pid = 0;
};

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return result;
}

} // namespace

// The titles the window system shows (_NET_WM_NAME as the X server holds it) are exactly the
// windows' captions, with nothing appended.
class TestWindowTitles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    static QString serverTitle(QWidget* window)
    {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11)
            return QStringLiteral("<no X11 connection>");
        xcb_connection_t* connection = x11->connection();
        xcb_get_property_reply_t* reply =
            xcb_get_property_reply(connection,
                                   xcb_get_property(connection, 0, xcb_window_t(window->winId()),
                                                    atom(connection, "_NET_WM_NAME"),
                                                    atom(connection, "UTF8_STRING"), 0, 4096),
                                   nullptr);
        QString title;
        if (reply)
            title = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply)),
                                      xcb_get_property_value_length(reply));
        free(reply);
        return title;
    }

    // Shows a modeless window and checks the title the X server has for it.
    static void checkShown(QWidget* window, const QString& expected)
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(serverTitle(window), expected);
    }

    // Runs a modal `open`; once its window is on screen, reads the title and closes it.
    static QString titleOfModal(const std::function<void()>& open)
    {
        QString seen;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || !modal->windowHandle() ||
                !modal->windowHandle()->isExposed())
                return;
            poll.stop();
            seen = serverTitle(modal);
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        });
        poll.start();
        open();
        return seen;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        QVERIFY(qApp->nativeInterface<QNativeInterface::QX11Application>());
        Clock::setFixed(QDateTime(QDate(2026, 12, 6), QTime(14, 30)));
        auto* env = new DataEnv(m_dir.filePath("titles.db"));
        DataEnv::setInstance(env);
        QVERIFY(env->connect());
        SettingsStore store;
        const QStringList keys{"days", "times", "tems", "senders", "nextdate"};
        const QStringList values{"7", "09:00:00", QStringLiteral("Реклама"), "boss@example.com",
                                 "2031-01-01"};
        for (int i = 0; i < keys.size(); ++i)
            QVERIFY(store.write(keys[i], values[i]));
    }

    void cleanupTestCase()
    {
        slFrm::release();
        DataEnv::setInstance(nullptr);
        Clock::setFixed({});
    }

    void windows()
    {
        MainFrm main;
        main.showMain();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QCOMPARE(serverTitle(&main), QStringLiteral("Kalvent"));

        Logo::setTickInterval(TestSupport::neverFires);
        checkShown(Logo::showSplash(), QStringLiteral("Kalvent"));
        Logo::current()->close();

        checkShown(slFrm::instance(&main), QStringLiteral("Служебные настройки"));
        slFrm::release();
        frmSets sets(&main);
        checkShown(&sets, QStringLiteral("Настройки"));
        Param param([] { return 1; }, DataEnv::instance(), &main);
        checkShown(&param, QStringLiteral("Параметры отчета"));
        GrafFrm chart(DataEnv::instance(), std::nullopt, &main);
        checkShown(&chart, QStringLiteral("Диаграммы"));
        MailAccountDialog account(m_dir.filePath("account.ini"), &main);
        checkShown(&account, QStringLiteral("Почтовая учётная запись"));
    }

    void messageBoxesAndPrompts()
    {
        // Qt's own buttons speak Russian too.
        QMessageBox question(QMessageBox::Question, "x", "x",
                             QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(question.button(QMessageBox::Cancel)->text(), QStringLiteral("Отмена"));

        QWidget owner;
        owner.show();
        const QList<QString> titles{QStringLiteral("Внимание!"), QStringLiteral("Сообщение"),
                                    QStringLiteral("Удаление")};
        for (const QString& title : titles)
            QCOMPARE(titleOfModal([&] { Dialogs::critical(&owner, title, "x"); }), title);
        // A box without a title of its own carries the program's name.
        QCOMPARE(titleOfModal([&] { Dialogs::plain(&owner, "13.12.2026"); }),
                 QStringLiteral("Kalvent"));
        QCOMPARE(titleOfModal([&] {
                     Dialogs::prompt(&owner, {QStringLiteral("Добавление услуги"),
                                              QStringLiteral("Введите имя услуги"), QString()});
                 }),
                 QStringLiteral("Добавление услуги"));
    }

    void reportPreviews()
    {
        QStringList seen;
        ReportPreview::setHandler(
            [&seen](QDialog& preview, const QAbstractItemModel&, const QString&) {
                preview.show();
                if (QTest::qWaitForWindowExposed(&preview))
                    seen << serverTitle(&preview);
                preview.close();
                return QString();
            });
        QStringList expected;
        for (const ReportKind& kind : ReportKind::all()) {
            expected << ReportLayouts::get(kind.layoutName())->windowCaption();
            QVERIFY(ReportPreview::showReport(kind,
                                              ReportPeriod(QDate(2026, 12, 1), QDate(2026, 12, 6)),
                                              DataEnv::instance(), nullptr));
        }
        ReportPreview::setHandler({});
        QCOMPARE(expected.size(), 4);
        QCOMPARE(seen, expected);
    }
};

int main(int argc, char* argv[])
{
    XvfbServer xvfb;
    if (!xvfb.start()) {
        fprintf(stderr, "FAIL: Xvfb could not be started (package xvfb)\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    KalventApp::configure(app);
    TestWindowTitles test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_windowtitles.moc"

// The memory of the program's window with a report's preview open.
//   kalvent-preview-memory FILE [REPORT]
// Opens the main window on the database FILE as the program does, chooses REPORT (by-date
// unless named, as the command line names them) on the Reports menu, sets the period dialog to
// the ten years up to the newest call's day, presses its button and, once the preview is shown,
// prints the process's resident memory (VmRSS) and its peak (VmHWM) from /proc/self/status.
// Run it with QT_QPA_PLATFORM=offscreen and a private HOME: the window keeps its settings, and
// the report mail's are written there first as a working desk has them.
#include "DataEnv.h"
#include "MainFrm.h"
#include "ReportKind.h"
#include "SettingsStore.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace {

// A line of /proc/self/status in megabytes ("VmRSS").
double statusMb(const char* name)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(qstrlen(name) + 1).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}

void print(const char* when)
{
    std::printf("| %-40s | %.1f MB | %.1f MB |\n", when, statusMb("VmRSS"), statusMb("VmHWM"));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (app.arguments().size() < 2) {
        std::fprintf(stderr, "usage: kalvent-preview-memory FILE [REPORT]\n");
        return 2;
    }
    const ReportKind* kind =
        ReportKind::findByCliName(app.arguments().value(2, QStringLiteral("by-date")));
    if (!kind) {
        std::fprintf(stderr, "kalvent-preview-memory: no such report\n");
        return 2;
    }
    auto* env = new DataEnv(app.arguments().at(1));
    DataEnv::setInstance(env);
    QDate last;
    if (!env->connect()) {
        std::fprintf(stderr, "kalvent-preview-memory: %s\n", qPrintable(env->errorText()));
        return 1;
    }
    {
        QSqlQuery newest(env->database().connection());
        if (!newest.exec("SELECT MAX(Data) FROM Base") || !newest.next()) {
            std::fprintf(stderr, "kalvent-preview-memory: the calls are not read\n");
            return 1;
        }
        last = QDate::fromString(newest.value(0).toString(), Qt::ISODate);
    }
    std::printf("| %-40s | VmRSS | VmHWM |\n|---|---|---|\n", "moment");
    print("database open, no window");
    {
        // The report mail set up as a working desk has it, so that the window asks nothing.
        SettingsStore store;
        const QStringList keys{"days", "times", "tems", "senders", "nextdate"};
        const QStringList values{"7", "09:00:00", QStringLiteral("Отчёты"), "boss@example.com",
                                 "2031-01-01"};
        for (int i = 0; i < keys.size(); ++i)
            store.write(keys[i], values[i]);
    }
    auto frame = std::make_unique<MainFrm>();
    MainFrm& window = *frame;
    // Shown inside the event loop, as the program shows it: a message it opens is answered too.
    QTimer::singleShot(0, &window, [&window] { window.showMain(); });

    // The steps an operator takes, each when the window before it is up.
    int step = 0;
    int failures = 0;
    QElapsedTimer shown;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (step == 0 && modal) {
            // A message on opening (a backup's, a mail's): noted and closed.
            std::fprintf(stderr, "kalvent-preview-memory: closed «%s» on opening\n",
                         qPrintable(modal->windowTitle()));
            modal->close();
        } else if (step == 0 && window.isVisible()) {
            print("main window shown");
            step = 1;
            QTimer::singleShot(0, &window, [&] { window.openReport(kind->value()); });
        } else if (step == 1 && modal && modal->objectName() == "Param") {
            modal->findChild<QDateEdit*>("Data1")->setDate(last.addYears(-10).addDays(1));
            modal->findChild<QDateEdit*>("Data2")->setDate(last);
            step = 2;
            QTimer::singleShot(0, modal,
                               [modal] { modal->findChild<QPushButton*>("Ok")->click(); });
        } else if (step == 2 && qobject_cast<QPrintPreviewDialog*>(modal)) {
            step = 3;
            shown.start();
        } else if (step == 3 && shown.elapsed() > 3000) {
            print("ten-year preview open");
            step = 4;
            modal->close();
        } else if (step == 4 && !modal && QThread::currentThread()->loopLevel() == 1) {
            // Back in the window's own loop, the period dialog gone too.
            print("preview closed");
            step = 5;
            QCoreApplication::exit(0); // no close event: the window would ask to confirm
        } else if (step == 2 && modal && modal->objectName() != "Param" &&
                   !qobject_cast<QPrintPreviewDialog*>(modal)) {
            // A message instead of the preview: the report failed.
            ++failures;
            modal->close();
            QCoreApplication::exit(0); // no close event: the window would ask to confirm
        }
    });
    driver.start(100);
    app.exec();
    driver.stop();
    // The window before the database, and the database before the application, as the
    // program ends.
    frame.reset();
    DataEnv::setInstance(nullptr);
    return failures || step != 5 ? 1 : 0;
}

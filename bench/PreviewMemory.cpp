// The memory of the program's window with a report's preview open.
//   kalvent-preview-memory FILE [REPORT]
// Opens the main window on the database FILE as the program does, chooses REPORT (by-date
// unless named, as the command line names them) on the Reports menu, sets the period dialog to
// the ten years up to the newest call's day, presses its button and, once the preview is shown,
// prints the process's resident memory (VmRSS) and its peak (VmHWM) from /proc/self/status.
// Run it with QT_QPA_PLATFORM=offscreen and a private HOME (the window keeps its settings).
#include "DataEnv.h"
#include "MainFrm.h"
#include "ReportKind.h"

#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QSqlQuery>
#include <QTimer>
#include <cstdio>

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
    {
        QSqlQuery newest(env->database().connection());
        if (!env->connect() || !newest.exec("SELECT MAX(Data) FROM Base") || !newest.next()) {
            std::fprintf(stderr, "kalvent-preview-memory: %s\n", qPrintable(env->errorText()));
            return 1;
        }
        last = QDate::fromString(newest.value(0).toString(), Qt::ISODate);
    }
    std::printf("| %-40s | VmRSS | VmHWM |\n|---|---|---|\n", "moment");
    print("database open, no window");
    MainFrm window;
    window.showMain();
    QApplication::processEvents();
    print("main window shown");

    // The steps an operator takes, each when the window before it is up.
    int step = 0;
    int failures = 0;
    QElapsedTimer shown;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (step == 0 && !modal) {
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
        } else if (step == 4 && !modal) {
            print("preview closed");
            app.quit();
        } else if (step == 2 && modal && modal->objectName() != "Param" &&
                   !qobject_cast<QPrintPreviewDialog*>(modal)) {
            // A message instead of the preview: the report failed.
            ++failures;
            modal->close();
            app.quit();
        }
    });
    driver.start(100);
    app.exec();
    return failures || step != 4 ? 1 : 0;
}

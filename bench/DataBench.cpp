// Builds a database of many calls and times the data commands on it.
//   kalvent-bench [--calls N] [--db FILE]
#include "DataEnv.h"
#include "RowSet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

namespace {
double timeIt(const std::function<bool()>& work, int repeat = 1)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < repeat; ++i)
        if (!work()) {
            std::fprintf(stderr, "command failed\n");
            std::exit(1);
        }
    return timer.nsecsElapsed() / 1e6 / repeat;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int calls = 1000000;
    QTemporaryDir dir;
    QString path = dir.filePath("bench.db");
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--calls")
            calls = args[i + 1].toInt();
        else if (args[i] == "--db")
            path = args[i + 1];
    }

    const QDate last(2026, 12, 6);
    const QDate first = last.addYears(-10).addDays(1);
    const int days = int(first.daysTo(last)) + 1;
    const QStringList services{"Стрижка", "Окрашивание", "Маникюр", "Педикюр",  "Массаж",
                               "Макияж",  "Укладка",     "Солярий", "Эпиляция", "Брови"};
    const QStringList sources{"Интернет", "Газета",  "Радио", "Листовка",
                              "Знакомые", "Вывеска", "ТВ",    "Журнал"};

    const bool fresh = !QFile::exists(path);
    {
        DataEnv env(path);
        if (!env.connect()) {
            std::fprintf(stderr, "%s\n", qPrintable(env.lastError()));
            return 1;
        }
        if (fresh) {
            for (const QString& s : services)
                env.bind("Uslugi")->addRow("UName", s);
            for (int i = 1; i < sources.size(); ++i)
                env.bind("Istochnik")->addRow("IName", sources[i]);
            QElapsedTimer timer;
            timer.start();
            auto* random = QRandomGenerator::global();
            const int chunk = 100000;
            for (int done = 0; done < calls; done += chunk) {
                QVector<QVariantList> batch;
                for (int i = done; i < qMin(calls, done + chunk); ++i) {
                    const QDate date = first.addDays(qint64(i) * days / calls);
                    batch << QVariantList{date, services[random->bounded(services.size())],
                                          sources[random->bounded(sources.size())],
                                          random->bounded(3) == 0,
                                          QTime(9 + random->bounded(10), random->bounded(60))};
                }
                if (!env.addCalls(batch)) {
                    std::fprintf(stderr, "%s\n", qPrintable(env.lastError()));
                    return 1;
                }
            }
            std::printf("built %d calls over %d days in %.1f s\n", calls, days,
                        timer.elapsed() / 1000.0);
        }
    }

    QElapsedTimer openTimer;
    openTimer.start();
    DataEnv env(path);
    env.bind("Uslugi");
    env.bind("Istochnik");
    std::printf("%-34s %10.2f ms\n", "open + fill both lists", openTimer.nsecsElapsed() / 1e6);

    const QDate weekFrom = last.addDays(-7);
    struct Run
    {
        const char* command;
        bool pairs;
    };
    for (const Run& run : {Run{"ReportkolVoZv", true}, Run{"ReportKolvoUsl", true},
                           Run{"ReportInternet", true}, Run{"ReportDates", false}}) {
        for (const auto& [label, from] : {std::pair{"week", weekFrom}, std::pair{"all", first}}) {
            const QVariantList params =
                run.pairs ? QVariantList{from, last, from, last} : QVariantList{from, last};
            const double ms = timeIt(
                [&] {
                    const bool ok = env.execute(run.command, params);
                    env.rowSet(QString("rs") + run.command)->close();
                    return ok;
                },
                3);
            std::printf("%-20s %-13s %10.2f ms\n", run.command, label, ms);
        }
    }
    const double add = timeIt(
        [&] {
            return env.execute("AddNew", {last, services[0], sources[0], true, QTime(12, 0)});
        },
        20);
    std::printf("%-34s %10.2f ms\n", "AddNew (one call, durable)", add);
    const double remove = timeIt(
        [&] {
            RowSet* base = env.rowSet("rsBase");
            const bool ok = base->open() && base->moveLast() && base->deleteCurrent();
            base->close();
            return ok;
        },
        20);
    std::printf("%-34s %10.2f ms\n", "remove previous call", remove);
    return 0;
}

// Kills `kalvent-cli add` at random moments and checks that no acknowledged call is lost and
// the database stays sound.
//   kalvent-durability [--runs N] [--cli PATH] [--start N]
// Every run adds one call with a unique time of day; a run whose process exited 0 was
// acknowledged, so its call must be in the database afterwards. Exit status 0 when every
// acknowledged call is there and PRAGMA integrity_check says ok.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QTime>

#include <csignal>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int runs = 200;
    quint32 randomStart = QRandomGenerator::global()->generate();
    QString cli = QDir(QCoreApplication::applicationDirPath()).filePath("../src/kalvent-cli");
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--runs")
            runs = args[i + 1].toInt();
        else if (args[i] == "--cli")
            cli = args[i + 1];
        else if (args[i] == "--start")
            randomStart = args[i + 1].toUInt();
    }
    QTemporaryDir dir;
    const QString db = dir.filePath("KvBD.db");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.path());
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    env.insert("QT_QPA_PLATFORM", "offscreen");

    auto start = [&](QProcess& process, int run) {
        process.setProcessEnvironment(env);
        process.start(cli, {"--database", db, "add", "--service", "Стрижка", "--source", "Интернет",
                            "--add-missing", "--date", "2026-12-06", "--time",
                            QTime(0, 0).addSecs(run).toString("HH:mm:ss")});
        return process.waitForStarted(10000);
    };
    // One clean run first: the database exists, and the time one add takes is known.
    QProcess first;
    QElapsedTimer clock;
    clock.start();
    if (!start(first, 0) || !first.waitForFinished(30000) || first.exitCode() != 0) {
        std::fprintf(stderr, "kalvent-cli add did not work: %s\n", qPrintable(cli));
        return 2;
    }
    const qint64 oneAdd = qMax<qint64>(clock.elapsed(), 1);
    std::printf("random start %u; one add takes %lld ms\n", randomStart,
                static_cast<long long>(oneAdd));

    QRandomGenerator random(randomStart);
    QSet<int> acknowledged{0};
    int killed = 0;
    for (int run = 1; run <= runs; ++run) {
        QProcess process;
        if (!start(process, run))
            return 2;
        // Anywhere from at once to a little after the add would have finished.
        const qint64 delay = random.bounded(qint64(oneAdd * 12 / 10 + 1));
        if (process.waitForFinished(int(delay)) || process.state() == QProcess::NotRunning) {
            if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
                acknowledged << run;
            continue;
        }
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished(10000);
        ++killed;
    }

    QSqlDatabase check = QSqlDatabase::addDatabase("QSQLITE", "check");
    check.setDatabaseName(db);
    if (!check.open())
        return 2;
    QSqlQuery query(check);
    query.exec("PRAGMA integrity_check");
    const QString integrity = query.next() ? query.value(0).toString() : QString("no answer");
    QSet<int> stored;
    query.exec("SELECT Vrem FROM Base");
    while (query.next())
        stored << QTime(0, 0).secsTo(QTime::fromString(query.value(0).toString(), "HH:mm:ss"));
    int lost = 0;
    for (int run : acknowledged)
        lost += stored.contains(run) ? 0 : 1;
    std::printf("runs %d: killed %d, acknowledged %lld, stored %lld, acknowledged but lost %d, "
                "integrity_check %s\n",
                runs + 1, killed, static_cast<long long>(acknowledged.size()),
                static_cast<long long>(stored.size()), lost, qPrintable(integrity));
    return lost == 0 && integrity == "ok" ? 0 : 1;
}

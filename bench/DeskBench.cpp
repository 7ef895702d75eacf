#include "DeskBench.h"

#include "AdAnalysis.h"
#include "BenchCalls.h"
#include "CallImporter.h"
#include "CallStore.h"
#include "DataEnv.h"
#include "DatabaseLocation.h"
#include "PostgresDialect.h"
#include "ReportKind.h"
#include "ReportPeriod.h"
#include "RowSet.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

// Calls a desk adds at once, and the time between the starts of its bursts.
constexpr int burst = 10;
constexpr qint64 burstGapMs = 5000;

std::unique_ptr<DataEnv> openEnv(const QString& database, const QString& desk)
{
    auto env = DatabaseLocation::isServerUrl(database)
                   ? std::make_unique<DataEnv>(database, std::make_unique<PostgresDialect>(desk))
                   : std::make_unique<DataEnv>(database);
    if (!env->connect()) {
        std::fprintf(stderr, "kalvent-bench: %s\n", qPrintable(env->errorText()));
        return nullptr;
    }
    return env;
}

void sleepUntil(qint64 epochMs)
{
    const qint64 wait = epochMs - QDateTime::currentMSecsSinceEpoch();
    if (wait > 0)
        QThread::msleep(static_cast<unsigned long>(wait));
}

double percentile(QList<double> values, double fraction)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = qsizetype(std::lround(fraction * double(values.size() - 1)));
    return values.at(std::min(at, values.size() - 1));
}

QString ms(double value)
{
    return QString::number(value, 'f', value < 10 ? 2 : 1) + " ms";
}

void row(const QString& what, const QString& figure)
{
    std::printf("| %-54s | %s |\n", qPrintable(what), qPrintable(figure));
}

// The lines of a worker's file, split at blanks.
QList<QStringList> readLines(const QString& path)
{
    QList<QStringList> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    QTextStream in(&file);
    QString line;
    while (in.readLineInto(&line))
        if (!line.isEmpty())
            lines << line.split(' ');
    return lines;
}

} // namespace

QString DeskBench::deskName(int desk)
{
    return QStringLiteral("Пульт %1").arg(desk + 1, 2, 10, QLatin1Char('0'));
}

int DeskBench::runDesk(const QString& database, int desk, int desks, qint64 start, int seconds,
                       const QString& out)
{
    const std::unique_ptr<DataEnv> env = openEnv(database, deskName(desk));
    QFile file(out);
    if (!env || !file.open(QIODevice::WriteOnly))
        return 1;
    QTextStream log(&file);
    const QStringList& services = BenchCalls::services();
    // The desks' bursts are spread evenly over the gap between two bursts of one desk.
    const qint64 offset = burstGapMs * desk / std::max(1, desks);
    const qint64 end = start + qint64(seconds) * 1000;
    int sequence = 0;
    for (qint64 at = start + offset; at < end; at += burstGapMs) {
        sleepUntil(at);
        for (int i = 0; i < burst; ++i, ++sequence) {
            const Call call{day(), services.at(sequence % services.size()), deskName(desk),
                            sequence % 3 == 0, QTime(0, 0).addSecs(sequence)};
            QElapsedTimer timer;
            timer.start();
            const bool stored = env->calls().add(call);
            const double took = double(timer.nsecsElapsed()) / 1e6;
            // Only what the add said it stored counts as stored.
            log << (stored ? "stored " : "failed ") << sequence << ' ' << took << '\n';
        }
    }
    log.flush();
    return file.error() == QFileDevice::NoError ? 0 : 1;
}

int DeskBench::runReports(const QString& database, qint64 start, int seconds, const QString& out)
{
    const std::unique_ptr<DataEnv> env = openEnv(database, QStringLiteral("Отчёты"));
    QFile file(out);
    if (!env || !file.open(QIODevice::WriteOnly))
        return 1;
    QTextStream log(&file);
    const QDate last = day();
    const QDate first = last.addYears(-10).addDays(1);
    const qint64 end = start + qint64(seconds) * 1000;
    sleepUntil(start);
    while (QDateTime::currentMSecsSinceEpoch() < end) {
        for (const ReportKind& report : ReportKind::all()) {
            const QVariantList period = report.arguments(ReportPeriod(first, last));
            QElapsedTimer timer;
            timer.start();
            const bool ok = env->execute(report.command(), period);
            env->rowSet(report.rowSetName())->close();
            log << (ok ? "report " : "failed ") << double(timer.nsecsElapsed()) / 1e6 << '\n';
        }
        QElapsedTimer timer;
        timer.start();
        AdAnalysis analysis(env.get());
        const bool ok = analysis.load(AnalysisPeriod(first, last));
        log << (ok ? "analysis " : "failed ") << double(timer.nsecsElapsed()) / 1e6 << '\n';
    }
    log.flush();
    return file.error() == QFileDevice::NoError ? 0 : 1;
}

int DeskBench::run(const QString& program, int desks, int seconds, const QString& database,
                   const QString& calls)
{
    QTemporaryDir dir;
    const QString location = database.isEmpty() ? dir.filePath("KvBD.db") : database;
    const std::unique_ptr<DataEnv> env = openEnv(location, QString());
    if (!env)
        return 1;
    {
        QSqlQuery held(env->database().connection());
        if (!held.exec(QStringLiteral("SELECT COUNT(*) FROM Base WHERE Data = '%1'")
                           .arg(day().toString(Qt::ISODate))) ||
            !held.next() || held.value(0).toInt() != 0) {
            std::fprintf(stderr, "kalvent-bench: the database must hold no calls of %s\n",
                         qPrintable(day().toString(Qt::ISODate)));
            return 1;
        }
    }
    for (int desk = 0; desk < desks; ++desk)
        env->bind("Istochnik")->addRow("IName", deskName(desk));
    if (!calls.isEmpty()) {
        CallImporter importer(env.get());
        QElapsedTimer timer;
        timer.start();
        if (!importer.importFile(calls)) {
            std::fprintf(stderr, "kalvent-bench: %s\n", qPrintable(importer.errorText()));
            return 1;
        }
        std::printf("%d calls imported first in %.1f s\n", importer.imported(),
                    double(timer.elapsed()) / 1000);
    }

    // The processes connect before the common start.
    const qint64 start = QDateTime::currentMSecsSinceEpoch() + 3000 + 100 * desks;
    std::vector<std::unique_ptr<QProcess>> workers;
    auto launch = [&](const QStringList& arguments) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(program, arguments);
        workers.push_back(std::move(process));
    };
    const QString common = QStringLiteral("--database");
    for (int desk = 0; desk < desks; ++desk)
        launch({"--desk-worker", QString::number(desk), "--desks", QString::number(desks),
                "--start", QString::number(start), "--seconds", QString::number(seconds), common,
                location, "--out", dir.filePath(QStringLiteral("desk%1").arg(desk))});
    launch({"--report-worker", "--start", QString::number(start), "--seconds",
            QString::number(seconds), common, location, "--out", dir.filePath("reports")});
    bool allEnded = true;
    for (const auto& process : workers)
        allEnded = process->waitForFinished(int(start - QDateTime::currentMSecsSinceEpoch()) +
                                            seconds * 1000 + 120000) &&
                   process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0 &&
                   allEnded;

    // What each desk was told, against what the database holds.
    QList<double> addMs;
    QHash<QString, QSet<int>> told; // desk -> sequences stored
    int failed = 0;
    for (int desk = 0; desk < desks; ++desk)
        for (const QStringList& line :
             readLines(dir.filePath(QStringLiteral("desk%1").arg(desk)))) {
            if (line.size() != 3)
                continue;
            addMs << line[2].toDouble();
            if (line[0] == "stored")
                told[deskName(desk)].insert(line[1].toInt());
            else
                ++failed;
        }
    QList<double> reportMs;
    QList<double> analysisMs;
    int reportFailures = 0;
    for (const QStringList& line : readLines(dir.filePath("reports"))) {
        if (line[0] == "report")
            reportMs << line[1].toDouble();
        else if (line[0] == "analysis")
            analysisMs << line[1].toDouble();
        else
            ++reportFailures;
    }
    const bool onServer = DatabaseLocation::isServerUrl(location);
    QSqlQuery query(env->database().connection());
    if (!query.exec(QStringLiteral("SELECT Istochnik, Vrem, %1 FROM Base WHERE Data = '%2'")
                        .arg(onServer ? "Pult" : "Istochnik", day().toString(Qt::ISODate)))) {
        std::fprintf(stderr, "kalvent-bench: the calls cannot be read back\n");
        return 1;
    }
    QHash<QString, QSet<int>> held;
    int doubled = 0;
    int wrongDesk = 0;
    while (query.next()) {
        const QString desk = query.value(0).toString();
        const int sequence = QTime(0, 0).secsTo(
            QTime::fromString(query.value(1).toString(), QStringLiteral("HH:mm:ss")));
        if (held[desk].contains(sequence))
            ++doubled;
        held[desk].insert(sequence);
        if (query.value(2).toString() != desk)
            ++wrongDesk;
    }
    int lost = 0;
    int unacknowledged = 0;
    for (auto it = told.cbegin(); it != told.cend(); ++it)
        for (int sequence : it.value())
            lost += held.value(it.key()).contains(sequence) ? 0 : 1;
    for (auto it = held.cbegin(); it != held.cend(); ++it)
        for (int sequence : it.value())
            unacknowledged += told.value(it.key()).contains(sequence) ? 0 : 1;
    int acknowledged = 0;
    for (const QSet<int>& sequences : std::as_const(told))
        acknowledged += int(sequences.size());

    std::printf("%d desks for %d s on %s, 2 calls a second each in bursts of %d; one more process "
                "runs the reports and the analysis over ten years\n\n",
                desks, seconds, onServer ? "the server" : "one file", burst);
    std::printf("| %-54s | %s |\n|%s|%s|\n", "what", "figure", QByteArray(56, '-').constData(),
                "---");
    row("calls added (told stored) / failed",
        QStringLiteral("%1 / %2").arg(acknowledged).arg(failed));
    row("adds per second, all desks", QString::number(double(acknowledged) / seconds, 'f', 1));
    row("add latency p50 / p99 / max", QStringLiteral("%1 / %2 / %3")
                                           .arg(ms(percentile(addMs, 0.5)))
                                           .arg(ms(percentile(addMs, 0.99)))
                                           .arg(ms(percentile(addMs, 1))));
    row("report over ten years p50 / p99 (runs)", QStringLiteral("%1 / %2 (%3)")
                                                      .arg(ms(percentile(reportMs, 0.5)))
                                                      .arg(ms(percentile(reportMs, 0.99)))
                                                      .arg(reportMs.size()));
    row("analysis over ten years p50 / p99 (runs)", QStringLiteral("%1 / %2 (%3)")
                                                        .arg(ms(percentile(analysisMs, 0.5)))
                                                        .arg(ms(percentile(analysisMs, 0.99)))
                                                        .arg(analysisMs.size()));
    row("lost / doubled / stored but told failed",
        QStringLiteral("%1 / %2 / %3").arg(lost).arg(doubled).arg(unacknowledged));
    if (onServer)
        row("calls with another desk's name", QString::number(wrongDesk));
    if (!allEnded)
        std::fprintf(stderr, "kalvent-bench: a worker failed or did not end\n");
    if (reportFailures)
        std::fprintf(stderr, "kalvent-bench: %d reports failed\n", reportFailures);
    return allEnded && lost == 0 && doubled == 0 && wrongDesk == 0 && reportFailures == 0 ? 0 : 1;
}

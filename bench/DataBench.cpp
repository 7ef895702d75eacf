// Times the data commands on a decade of calls and prints one table of the figures.
//   kalvent-bench [--calls N] [--database postgresql://USER@HOST:PORT/DBNAME]
// It writes N calls (40 services, 30 sources, ten years) as a CSV file and as a database laid
// out the way the first version of the program laid it out, then imports the CSV into a new
// database, upgrades the old one in place, and times the reports, an add, a removal and an
// opening on the imported database, the call journal's pages, and the advertising analysis (with a
// spend for every source and month). With --database the CSV goes into that empty server database
// instead, and the file-only figures (upgrade, sizes of files) are left out. The calls are made
// and written one at a time: ten million take no more memory than a thousand.
//   kalvent-bench --desks N [--seconds S] [--calls N] [--database URL|FILE]
// Many desks adding calls at once on one file or server (see DeskBench): a new file, or the
// database given; with --calls, that many calls are imported first.
//   kalvent-bench --write-csv FILE [--calls N]
// Only writes the calls as the CSV file FILE.
#include "AdAnalysis.h"
#include "BenchCalls.h"
#include "CallImporter.h"
#include "CallJournal.h"
#include "CallStore.h"
#include "DataEnv.h"
#include "DatabaseLocation.h"
#include "DeskBench.h"
#include "ReportKind.h"
#include "RowSet.h"
#include "SpendStore.h"
#include "TotalsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <unistd.h>

namespace {

const QStringList& services()
{
    return BenchCalls::services();
}

const QStringList& sources()
{
    return BenchCalls::sources();
}

[[noreturn]] void die(const QString& message)
{
    std::fprintf(stderr, "kalvent-bench: %s\n", qPrintable(message));
    std::exit(1);
}

// Median of `repeat` runs, in milliseconds.
double timeIt(const std::function<bool()>& work, int repeat)
{
    QList<double> runs;
    for (int i = 0; i < repeat; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!work())
            die("a timed command failed");
        runs << timer.nsecsElapsed() / 1e6;
    }
    std::sort(runs.begin(), runs.end());
    return runs.at(runs.size() / 2);
}

// The rows of one page of the call journal.
constexpr int journalPage = 100;

double megabytes(const QString& path)
{
    return QFileInfo(path).size() / (1024.0 * 1024.0);
}

void writeCsv(const QString& path, BenchCalls calls)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        die(path + ": " + file.errorString());
    QTextStream out(&file);
    out << "Data;usluga;Istochnik;Zapis;Vrem\n";
    BenchCall c;
    while (calls.next(c))
        out << c.date.toString(Qt::ISODate) << ';' << services()[c.service] << ';'
            << sources()[c.source] << ';' << (c.booked ? '1' : '0') << ';'
            << c.time.toString("HH:mm:ss") << '\n';
    out.flush();
    if (file.error() != QFileDevice::NoError)
        die(path + ": " + file.errorString());
}

// The layout of the program's first database files: the three tables and the date index.
void writeFirstLayout(const QString& path, BenchCalls calls)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "first-layout");
        db.setDatabaseName(path);
        if (!db.open())
            die(db.lastError().text());
        QSqlQuery q(db);
        const QStringList schema{
            "CREATE TABLE Base (ID INTEGER PRIMARY KEY, Data TEXT NOT NULL, usluga TEXT, "
            "Istochnik TEXT, Zapis INTEGER NOT NULL DEFAULT 0, Vrem TEXT)",
            "CREATE INDEX Base_Data ON Base (Data)",
            "CREATE TABLE Uslugi (ID INTEGER PRIMARY KEY, Uname TEXT)",
            "CREATE TABLE IName (ID INTEGER PRIMARY KEY, IName TEXT)"};
        db.transaction();
        for (const QString& statement : schema)
            if (!q.exec(statement))
                die(q.lastError().text());
        q.prepare("INSERT INTO Uslugi (Uname) VALUES (?)");
        for (const QString& s : services()) {
            q.addBindValue(s);
            q.exec();
        }
        q.prepare("INSERT INTO IName (IName) VALUES (?)");
        for (const QString& s : sources()) {
            q.addBindValue(s);
            q.exec();
        }
        if (!q.prepare("INSERT INTO Base (Data, usluga, Istochnik, Zapis, Vrem) "
                       "VALUES (?, ?, ?, ?, ?)"))
            die(q.lastError().text());
        BenchCall c;
        while (calls.next(c)) {
            q.bindValue(0, c.date.toString(Qt::ISODate));
            q.bindValue(1, services()[c.service]);
            q.bindValue(2, sources()[c.source]);
            q.bindValue(3, c.booked ? 1 : 0);
            q.bindValue(4, c.time.toString("HH:mm:ss"));
            if (!q.exec())
                die(q.lastError().text());
        }
        if (!db.commit())
            die(db.lastError().text());
        db.close();
    }
    QSqlDatabase::removeDatabase("first-layout");
}

void row(const char* what, const QString& figure)
{
    std::printf("| %-54s | %s |\n", what, qPrintable(figure));
}

QString ms(double value)
{
    return QString::number(value, 'f', value < 10 ? 2 : 1) + " ms";
}

QString growth(double size, double base)
{
    const double percent = (size / base - 1) * 100;
    return QString("%1%2%").arg(percent >= 0 ? "+" : "").arg(percent, 0, 'f', 0);
}

// What one flush of a page to the disk under `dir` takes: the floor of a durable commit.
double flushMs(const QString& dir)
{
    QFile file(dir + "/flush.bin");
    if (!file.open(QIODevice::ReadWrite))
        die(file.errorString());
    const QByteArray page(4096, 'x');
    const double result = timeIt(
        [&] {
            return file.seek(0) && file.write(page) == page.size() && file.flush() &&
                   ::fsync(file.handle()) == 0;
        },
        21);
    file.close();
    file.remove();
    return result;
}

double openMs(const QString& path)
{
    return timeIt(
        [&] {
            DataEnv env(path);
            return env.bind("Uslugi")->isOpen() && env.bind("Istochnik")->isOpen();
        },
        7);
}

void addLists(DataEnv& env)
{
    for (const QString& s : services())
        env.bind("Uslugi")->addRow("Uname", s);
    for (const QString& s : sources().mid(1))
        env.bind("Istochnik")->addRow("IName", s);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QHash<QString, QString> option;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i)
        if (args[i].startsWith("--"))
            option.insert(args[i], args[i + 1]);
    const QString server = option.value("--database");
    const int seconds = option.value("--seconds", "60").toInt();
    if (option.contains("--desk-worker"))
        return DeskBench::runDesk(
            server, option.value("--desk-worker").toInt(), option.value("--desks").toInt(),
            option.value("--start").toLongLong(), seconds, option.value("--out"));
    if (args.contains("--report-worker"))
        return DeskBench::runReports(server, option.value("--start").toLongLong(), seconds,
                                     option.value("--out"));
    const int count = option.value("--calls", "1000000").toInt();
    const int desks = option.value("--desks", "0").toInt();
    if (count < 0 || (count == 0 && desks == 0))
        die("--calls needs a positive number");
    if (desks > 0) {
        // A call's place in its desk's sequence is its time of day: at most a day of seconds.
        if (seconds <= 0 || seconds > 40000)
            die("--seconds takes 1 to 40000");
        QTemporaryDir csvDir;
        QString calls;
        if (option.contains("--calls")) {
            calls = csvDir.filePath("calls.csv");
            const QDate last = DeskBench::day().addDays(-1);
            writeCsv(calls, BenchCalls(count, last.addYears(-10).addDays(1), last));
        }
        return DeskBench::run(app.applicationFilePath(), desks, seconds, server, calls);
    }
    if (!server.isEmpty() && !DatabaseLocation::isServerUrl(server))
        die("--database takes a server location postgresql://USER@HOST:PORT/DBNAME");
    const bool onServer = !server.isEmpty();
    const QDate last(2026, 12, 6);
    const QDate first = last.addYears(-10).addDays(1);
    if (option.contains("--write-csv")) {
        // The calls alone, for timing an import or a window on them apart from the bench.
        writeCsv(option.value("--write-csv"), BenchCalls(count, first, last));
        return 0;
    }

    QTemporaryDir dir;
    const QString csv = dir.filePath("calls.csv");
    const QString firstLayout = dir.filePath("first.db");
    const QString imported = onServer ? server : dir.filePath("KvBD.db");
    const QString listsOnly = dir.filePath("lists.db");

    writeCsv(csv, BenchCalls(count, first, last));
    if (!onServer)
        writeFirstLayout(firstLayout, BenchCalls(count, first, last));
    const double sizeBefore = onServer ? 0 : megabytes(firstLayout);

    // A new database: both lists, then the whole CSV in one import.
    double importMs = 0;
    {
        DataEnv lists(listsOnly);
        DataEnv env(imported);
        if (!lists.connect() || !env.connect())
            die(env.errorText());
        {
            QSqlQuery calls(env.database().connection());
            if (!calls.exec("SELECT COUNT(*) FROM Base") || !calls.next() || calls.value(0).toInt())
                die(imported + " must hold no calls");
        }
        addLists(lists);
        addLists(env);
        CallImporter importer(&env);
        QElapsedTimer timer;
        timer.start();
        if (!importer.importFile(csv))
            die(importer.errorText());
        importMs = timer.nsecsElapsed() / 1e6;
    }
    const double sizeImported = onServer ? 0 : megabytes(imported);

    // The old file, upgraded by its first opening.
    double upgradeMs = 0;
    if (!onServer) {
        QElapsedTimer timer;
        timer.start();
        DataEnv env(firstLayout);
        if (!env.connect())
            die(env.errorText());
        upgradeMs = timer.nsecsElapsed() / 1e6;
    }
    const double sizeUpgraded = onServer ? 0 : megabytes(firstLayout);

    const double openFull = openMs(imported);
    const double openEmpty = openMs(listsOnly);

    DataEnv env(imported);
    if (!env.connect())
        die(env.errorText());
    QList<TotalsDifference> differences;
    QElapsedTimer checkTimer;
    checkTimer.start();
    if (!env.totals().check(&differences) || !differences.isEmpty())
        die("the totals differ from the calls");
    const double checkMs = checkTimer.nsecsElapsed() / 1e6;

    std::printf("%d calls from %s to %s, %lld services, %lld sources\n\n", count,
                qPrintable(first.toString(Qt::ISODate)), qPrintable(last.toString(Qt::ISODate)),
                qlonglong(services().size()), qlonglong(sources().size()));
    std::printf("| %-54s | %s |\n|%s|%s|\n", "what", "figure", QByteArray(56, '-').constData(),
                "---");
    for (const ReportKind& report : ReportKind::all()) {
        QStringList figures;
        for (const QDate& from : {last.addDays(-6), last.addYears(-1).addDays(1), first}) {
            const QVariantList period = report.query().arguments(from, last);
            figures << ms(timeIt(
                [&] {
                    const bool ok = env.execute(report.command(), period);
                    env.rowSet(report.rowSetName())->close();
                    return ok;
                },
                7));
        }
        row(qPrintable(QString("%1, week / year / ten years").arg(report.summary())),
            figures.join(" / "));
    }
    {
        QList<SpendStore::Entry> spend;
        for (QDate month(first.year(), first.month(), 1); month <= last; month = month.addMonths(1))
            for (int s = 0; s < sources().size(); ++s)
                spend << SpendStore::Entry{sources().at(s), month, 100000 + 137 * s};
        SpendStore store(&env);
        if (!store.apply(spend))
            die(store.errorText());
        QStringList figures;
        for (const QDate& from : {last.addDays(-29), last.addYears(-1).addDays(1), first}) {
            figures << ms(timeIt(
                [&] {
                    AdAnalysis analysis(&env);
                    return analysis.load(AnalysisPeriod(from, last)) && analysis.weeks().size() > 0;
                },
                7));
        }
        row("advertising analysis, 30 days / year / ten years", figures.join(" / "));
        row("the same over ten years, three sources charted",
            ms(timeIt(
                [&] {
                    AdAnalysis analysis(&env);
                    return analysis.load(AnalysisPeriod(first, last)) &&
                           analysis.weeks({0, 1, 2}).size() > 0;
                },
                7)));
    }
    row("adding one call (durable commit)",
        ms(timeIt(
            [&] {
                return env.calls().add(Call{last, services()[0], sources()[0], true, QTime(12, 0)});
            },
            21)));
    if (!onServer)
        row("one flush of a page to the same disk (fsync)", ms(flushMs(dir.path())));
    row("removing the previous call",
        ms(timeIt([&] { return env.calls().removeLast({}) == CallStore::Removal::Removed; }, 21)));
    {
        // What the journal reads: a page of calls by key on the date index, and the day's
        // counts from the totals.
        auto page = [&](const CallFilter& filter, const JournalKey& after) {
            return timeIt(
                [&] {
                    const std::optional<QVector<CallRecord>> rows =
                        env.journal().page(filter, after, journalPage);
                    return rows && rows->size() == journalPage && env.journal().dayCount(last);
                },
                21);
        };
        row("journal: first page of 100 calls and the day's counts", ms(page({}, {})));
        const JournalKey middle{first.addDays(first.daysTo(last) / 2),
                                std::numeric_limits<qint64>::max()};
        row("journal: a page in the middle of ten years (by key)", ms(page({}, middle)));
        CallFilter bySource;
        bySource.source = sources().at(3).toUpper();
        bySource.booked = true;
        row("journal: first page of one source's bookings", ms(page(bySource, {})));
        CallFilter searched;
        searched.search = services().at(5).mid(1, 4).toUpper();
        row("journal: first page searched by part of a name", ms(page(searched, middle)));
    }
    row(qPrintable(QString("importing %1 rows from CSV (one transaction)").arg(count)),
        QString::number(importMs / 1000, 'f', 1) + " s");
    if (onServer) {
        QSqlQuery size(env.database().connection());
        if (size.exec("SELECT pg_database_size(current_database())") && size.next())
            row("database size on the server",
                QString("%1 MB").arg(size.value(0).toLongLong() / (1024.0 * 1024.0), 0, 'f', 1));
    } else {
        row("upgrading a file of the first layout in place",
            QString::number(upgradeMs / 1000, 'f', 1) + " s");
        row("file size: first layout / imported / upgraded",
            QString("%1 / %2 (%3) / %4 MB (%5)")
                .arg(sizeBefore, 0, 'f', 1)
                .arg(sizeImported, 0, 'f', 1)
                .arg(growth(sizeImported, sizeBefore))
                .arg(sizeUpgraded, 0, 'f', 1)
                .arg(growth(sizeUpgraded, sizeBefore)));
    }
    if (onServer)
        row("connecting and filling both lists", ms(openFull));
    else
        row("opening and filling both lists, with all calls / none",
            ms(openFull) + " / " + ms(openEmpty));
    row("recounting every total from the calls (check)",
        QString::number(checkMs / 1000, 'f', 1) + " s");
    return 0;
}

#include "../mailing/smtp/SmtpTestServer.h"
#include "CliSession.h"

#include "AppPaths.h"
#include "CliRunner.h"
#include "Clock.h"
#include "DataEnv.h"
#include "DispatchSchedule.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTemporaryDir>

// The advertising analysis on the command line: the spend, the JSON of the two reports, the
// other formats, and the fifth mailed file when the option is on.
class TestCliAnalysis : public QObject
{
    Q_OBJECT

    CliSession m_cli;

    QJsonObject json(const QStringList& args)
    {
        const int status = m_cli.run(args);
        if (status != 0)
            qWarning() << m_cli.err;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(m_cli.out.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError)
            qWarning() << error.errorString() << m_cli.out;
        return document.object();
    }

    // Three sources, calls with and without a time, and spend in two months.
    void fill()
    {
        QVERIFY(m_cli.run({"source", "add", QStringLiteral("Газета")}) == 0);
        QVERIFY(m_cli.run({"source", "add", "<b>Radio</b>"}) == 0);
        QVERIFY(m_cli.run({"service", "add", "A"}) == 0);
        struct C
        {
            const char* date;
            QString source;
            bool booked;
            const char* time;
        };
        const QList<C> calls{
            {"2026-11-02", QStringLiteral("газета"), true, "10:15:00"},    // Monday
            {"2026-11-02", QStringLiteral("ГАЗЕТА"), false, "10:59:59"},   // Monday
            {"2026-11-08", QStringLiteral("Газета"), false, "23:00:00"},   // Sunday
            {"2026-11-09", QStringLiteral("Интернет"), true, "00:00:01"},  // the next Monday
            {"2026-10-31", QStringLiteral("Газета"), true, "12:00:00"},    // the previous period
            {"2026-10-26", QStringLiteral("Интернет"), false, "12:00:00"}, // its first day
            {"2026-10-22", QStringLiteral("Интернет"), false, "12:00:00"}, // before it
            {"2026-11-09", QStringLiteral("Интернет"), false, nullptr},    // no time
        };
        for (const C& c : calls) {
            QStringList args{"add", "--service", "A", "--source", c.source, "--date", c.date};
            if (c.booked)
                args << "--booked";
            if (c.time)
                args << "--time" << c.time;
            QVERIFY2(m_cli.run(args) == 0, qPrintable(m_cli.err));
        }
        // The call without a time: stored as the command line never stores one.
        {
            DataEnv::instance()->connect();
            QSqlQuery q(DataEnv::instance()->database().connection());
            QVERIFY(q.exec("UPDATE Base SET Vrem = NULL WHERE ID = (SELECT MAX(ID) FROM Base)"));
        }
        QCOMPARE(m_cli.run({"spend", "set", "--source", QStringLiteral("газета"), "--month",
                            "2026-11", "--amount", QStringLiteral("3 000,01")}),
                 0);
        QCOMPARE(m_cli.run({"spend", "set", "--source", QStringLiteral("Газета"), "--month",
                            "2026-10", "--amount", "310"}),
                 0);
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void init() { m_cli.begin(QDateTime(QDate(2026, 11, 10), QTime(10, 0))); }
    void cleanup() { m_cli.end(); }

    void spendIsStoredPerSourceAndMonthOrRefused()
    {
        fill();
        QCOMPARE(m_cli.run({"spend", "list"}), 0);
        QCOMPARE(m_cli.out, QStringLiteral("2026-10\t310.00\tГазета\n2026-11\t3000.01\tГазета\n"));
        // Replacing, removing, and the refusals (nothing changes).
        QCOMPARE(m_cli.run({"spend", "set", "--source", QStringLiteral("Газета"), "--month",
                            "2026-10", "--amount", "15000.5"}),
                 0);
        for (const QStringList& bad : {QStringList{"--source", QStringLiteral("Газета"), "--month",
                                                   "2026-10", "--amount", "-1"},
                                       QStringList{"--source", QStringLiteral("Газета"), "--month",
                                                   "2026-10", "--amount", "abc"},
                                       QStringList{"--source", QStringLiteral("Газета"), "--month",
                                                   "2026-13", "--amount", "1"},
                                       QStringList{"--source", QStringLiteral("Телевидение"),
                                                   "--month", "2026-10", "--amount", "1"}}) {
            QCOMPARE(m_cli.run(QStringList{"spend", "set"} + bad), 2);
            QVERIFY(!m_cli.err.isEmpty());
        }
        QCOMPARE(m_cli.run({"spend", "set", "--source", QStringLiteral("Газета"), "--month",
                            "2026-11", "--amount", "-"}),
                 0);
        QCOMPARE(m_cli.run({"spend", "list"}), 0);
        QCOMPARE(m_cli.out, QStringLiteral("2026-10\t15000.50\tГазета\n"));
    }

    void conversionJsonHasTheFieldsAndFigures()
    {
        fill();
        const QJsonObject report = json({"report", "conversion", "--from", "2026-11-01", "--to",
                                         "2026-11-09", "--format", "json"});
        QCOMPARE(report.keys(), QStringList({"from", "previous", "report", "rows", "to", "total"}));
        QCOMPARE(report.value("report").toString(), QString("conversion"));
        QCOMPARE(report.value("from").toString(), QString("2026-11-01"));
        QCOMPARE(report.value("to").toString(), QString("2026-11-09"));
        QCOMPARE(report.value("previous").toObject(),
                 QJsonObject(
                     {{"from", "2026-10-23"}, {"to", "2026-10-31"}, {"compare", "previous-span"}}));
        const QStringList fields{"booked",         "calls", "cost_per_booking",
                                 "cost_per_call",  "name",  "previous_booked",
                                 "previous_calls", "rate",  "spend"};
        const QJsonArray rows = report.value("rows").toArray();
        QCOMPARE(rows.size(), 3);
        for (const QJsonValue& row : rows)
            QCOMPARE(row.toObject().keys(), fields);
        QCOMPARE(report.value("total").toObject().keys(), fields);
        const QRegularExpression money("^\\d+\\.\\d\\d$");
        QJsonArray all = rows;
        all.append(report.value("total"));
        for (const QJsonValue& value : std::as_const(all))
            for (const char* key : {"spend", "cost_per_call", "cost_per_booking"})
                QVERIFY(value[key].isNull() || money.match(value[key].toString()).hasMatch());

        // In the order of the list; Интернет: 2 calls (one without time), 1 booked.
        const QJsonObject internet = rows.at(0).toObject();
        QCOMPARE(internet.value("name").toString(), QStringLiteral("Интернет"));
        QCOMPARE(internet.value("calls").toInt(), 2);
        QCOMPARE(internet.value("booked").toInt(), 1);
        QCOMPARE(internet.value("rate").toDouble(), 0.5);
        QCOMPARE(internet.value("previous_calls").toInt(), 1);
        // No spend entered: null, not 0.
        QVERIFY(internet.value("spend").isNull());
        QVERIFY(internet.value("cost_per_call").isNull());
        // Газета: 3 calls, 1 booked; 9 days of November's 3 000,01 (900,003 -> 900,00) and
        // nothing of October; before: 1 call, 1 booked, on the last day of the period before.
        const QJsonObject paper = rows.at(1).toObject();
        QCOMPARE(paper.value("name").toString(), QStringLiteral("Газета"));
        QCOMPARE(paper.value("calls").toInt(), 3);
        QCOMPARE(paper.value("booked").toInt(), 1);
        QCOMPARE(paper.value("previous_calls").toInt(), 1);
        QCOMPARE(paper.value("previous_booked").toInt(), 1);
        QCOMPARE(paper.value("spend").toString(), QString("900.00"));
        QCOMPARE(paper.value("cost_per_call").toString(), QString("300.00"));
        QCOMPARE(paper.value("cost_per_booking").toString(), QString("900.00"));
        // No calls: a rate and costs with nothing to divide by are null, never 0.
        const QJsonObject radio = rows.at(2).toObject();
        QCOMPARE(radio.value("name").toString(), QString("<b>Radio</b>"));
        QVERIFY(radio.value("rate").isNull());
        QVERIFY(radio.value("cost_per_call").isNull());
        QVERIFY(radio.value("cost_per_booking").isNull());
        const QJsonObject total = report.value("total").toObject();
        QCOMPARE(total.value("calls").toInt(), 5);
        QCOMPARE(total.value("booked").toInt(), 2);
        QCOMPARE(total.value("rate").toDouble(), 0.4);
        // Over Газета's 3 calls: the only source with a spend.
        QCOMPARE(total.value("cost_per_call").toString(), QString("300.00"));

        // A period of one day with no calls: zeros, nulls, and the day before.
        const QJsonObject empty = json({"report", "conversion", "--from", "2026-11-05", "--to",
                                        "2026-11-05", "--format", "json"});
        QCOMPARE(empty.value("previous").toObject(),
                 QJsonObject(
                     {{"from", "2026-11-04"}, {"to", "2026-11-04"}, {"compare", "previous-span"}}));
        QCOMPARE(empty.value("total").toObject().value("calls").toInt(), 0);
        QVERIFY(empty.value("total").toObject().value("rate").isNull());
        QCOMPARE(empty.value("total").toObject().value("spend").toString(), QString("100.00"));
    }

    // Presets around the pinned day (Tuesday 10 November 2026) and the comparisons asked for:
    // the bounds, the comparison applied, and the figures of the period compared with.
    void presetsAndComparisons()
    {
        fill();
        struct Case
        {
            QStringList args;
            const char* from;
            const char* to;
            const char* previousFrom;
            const char* previousTo;
            const char* compare;
            int internetBefore; // Интернет's calls in the period compared with
        };
        const QList<Case> cases{
            {{"--preset", "this-month"},
             "2026-11-01",
             "2026-11-10",
             "2026-10-01",
             "2026-10-10",
             "previous-unit",
             0},
            {{"--preset", "this-month", "--compare", "previous-span"},
             "2026-11-01",
             "2026-11-10",
             "2026-10-22",
             "2026-10-31",
             "previous-span",
             2},
            {{"--preset", "this-month", "--compare", "previous-year"},
             "2026-11-01",
             "2026-11-10",
             "2025-11-01",
             "2025-11-10",
             "previous-year",
             0},
            {{"--preset", "this-week"},
             "2026-11-09",
             "2026-11-10",
             "2026-11-02",
             "2026-11-03",
             "previous-unit",
             0},
            {{"--preset", "last-week"},
             "2026-11-02",
             "2026-11-08",
             "2026-10-26",
             "2026-11-01",
             "previous-unit",
             1},
            {{"--preset", "last-month"},
             "2026-10-01",
             "2026-10-31",
             "2026-09-01",
             "2026-09-30",
             "previous-unit",
             0},
            {{"--preset", "last-30-days"},
             "2026-10-12",
             "2026-11-10",
             "2026-09-12",
             "2026-10-11",
             "previous-span",
             0},
            {{"--preset", "this-year"},
             "2026-01-01",
             "2026-11-10",
             "2025-01-01",
             "2025-11-10",
             "previous-unit",
             0},
            // Days have no unit: the span before them, and the JSON says so.
            {{"--from", "2026-10-27", "--to", "2026-11-09", "--compare", "previous-unit"},
             "2026-10-27",
             "2026-11-09",
             "2026-10-13",
             "2026-10-26",
             "previous-span",
             2},
        };
        for (const Case& c : cases) {
            const QJsonObject report =
                json(QStringList{"report", "conversion", "--format", "json"} + c.args);
            const QString where = c.args.join(' ');
            QVERIFY2(report.value("from").toString() == c.from &&
                         report.value("to").toString() == c.to,
                     qPrintable(where));
            QVERIFY2(report.value("previous").toObject() == QJsonObject({{"from", c.previousFrom},
                                                                         {"to", c.previousTo},
                                                                         {"compare", c.compare}}),
                     qPrintable(where + ": " +
                                QJsonDocument(report.value("previous").toObject())
                                    .toJson(QJsonDocument::Compact)));
            QVERIFY2(report.value("rows").toArray().at(0)["previous_calls"].toInt() ==
                         c.internetBefore,
                     qPrintable(where));
        }
        // The text and the files name both periods and the comparison.
        QCOMPARE(m_cli.run({"report", "conversion", "--preset", "this-month"}), 0);
        QVERIFY2(m_cli.out.startsWith(QStringLiteral(
                     "01.11.2026 - 10.11.2026 (для сравнения: 01.10.2026 - 10.10.2026, те же "
                     "дни прошлого месяца)\n")),
                 qPrintable(m_cli.out));
        QCOMPARE(m_cli.run({"report", "heatmap", "--preset", "last-week", "--format", "json"}), 0);
        QVERIFY(m_cli.out.contains("\"from\": \"2026-11-02\", \"to\": \"2026-11-08\""));

        for (const QStringList& bad :
             {QStringList{"conversion", "--preset", "next-week"},
              QStringList{"conversion", "--preset", "this-week", "--from", "2026-11-01"},
              QStringList{"conversion", "--preset", "this-week", "--compare", "previous-decade"},
              QStringList{"heatmap", "--preset", "this-week", "--compare", "previous-span"}}) {
            QCOMPARE(m_cli.run(QStringList{"report"} + bad), 2);
            QVERIFY2(m_cli.err.contains(bad.at(bad.size() - 2)), qPrintable(m_cli.err));
        }
    }

    void heatMapJsonListsTheCallsByWeekdayAndHour()
    {
        fill();
        const QJsonObject map = json({"report", "heatmap", "--from", "2026-11-01", "--to",
                                      "2026-11-09", "--format", "json"});
        QCOMPARE(map.keys(), QStringList({"cells", "from", "report", "to", "untimed"}));
        QCOMPARE(map.value("report").toString(), QString("heatmap"));
        QCOMPARE(map.value("untimed").toInt(), 1);
        const QJsonArray expected{QJsonObject{{"weekday", 1}, {"hour", 0}, {"calls", 1}},
                                  QJsonObject{{"weekday", 1}, {"hour", 10}, {"calls", 2}},
                                  QJsonObject{{"weekday", 7}, {"hour", 23}, {"calls", 1}}};
        QCOMPARE(map.value("cells").toArray(), expected);
    }

    void otherFormatsAndBadUsage()
    {
        fill();
        const QStringList period{"--from", "2026-11-01", "--to", "2026-11-09"};
        QCOMPARE(m_cli.run(QStringList{"report", "conversion", "--format", "html"} + period), 0);
        QVERIFY(m_cli.out.contains("&lt;b&gt;Radio&lt;/b&gt;"));
        QVERIFY(!m_cli.out.contains("<b>Radio"));
        QVERIFY(m_cli.out.contains(QStringLiteral("900,00")));
        QCOMPARE(m_cli.run(QStringList{"report", "conversion", "--format", "csv"} + period), 0);
        QVERIFY(m_cli.out.contains(QStringLiteral("Газета;3;1;")));
        QCOMPARE(m_cli.run(QStringList{"report", "conversion"} + period), 0);
        QVERIFY(m_cli.out.contains(QStringLiteral("Итого")));
        const QString pdf = m_cli.dir.filePath("analysis.pdf");
        QCOMPARE(m_cli.run(QStringList{"report", "conversion", "--format", "pdf", "--output", pdf} +
                           period),
                 0);
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-");
        QCOMPARE(m_cli.run({"report", "conversion", "--from", "2026-11-09", "--to", "2026-11-01"}),
                 2);
        QCOMPARE(m_cli.run({"report", "heatmap", "--from", "2026-11-01", "--to", "x"}), 2);
        QCOMPARE(m_cli.run(QStringList{"report", "heatmap", "--format", "pdf"} + period), 2);
    }

    // The command line as cron starts it (no locale, LANG=C) and as a Russian, an American
    // desktop does: the same report files and printouts, byte for byte, in Russian.
    void reportsAreTheSameUnderAnyLocale()
    {
        fill();
        const QString cli = qEnvironmentVariable("KALVENT_CLI");
        QVERIFY2(QFileInfo::exists(cli), "KALVENT_CLI names no command line");
        // Calls of the last days, for the exports over the days before today.
        const QDate today = QDate::currentDate();
        for (const int back : {0, 1, 3})
            QCOMPARE(m_cli.run({"add", "--service", "A", "--source", QStringLiteral("Газета"),
                                "--date", today.addDays(-back).toString(Qt::ISODate), "--time",
                                "18:30:00", "--booked"}),
                     0);
        QCOMPARE(m_cli.run({"settings", "analysis", "on"}), 0);
        const auto off = qScopeGuard([this] { m_cli.run({"settings", "analysis", "off"}); });

        const QStringList period{"--from", "2026-10-20", "--to", "2026-11-10"};
        const QList<QStringList> commands{
            {"export", "--days", "10", "--dir", "days"},
            {"export", "--days", "1,5", "--dir", "hours"},
            QStringList{"report", "by-date", "--format", "csv", "--output", "by-date.csv"} + period,
            QStringList{"report", "by-source", "--format", "html", "--output", "by-source.htm"} +
                period,
            QStringList{"report", "by-date"} + period,
            QStringList{"report", "conversion", "--format", "csv", "--output", "conversion.csv"} +
                period,
            QStringList{"report", "conversion", "--format", "html", "--output", "conversion.htm"} +
                period,
            QStringList{"report", "conversion"} + period};
        // What each environment wrote: every file by its name, and the printouts.
        auto outputs = [&](const QString& name, const QStringList& locale) {
            const QString dir = m_cli.dir.filePath("locale-" + name);
            QDir().mkpath(dir);
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const QString& key : environment.keys())
                if (key == "LANG" || key == "LANGUAGE" || key.startsWith("LC_"))
                    environment.remove(key);
            for (const QString& setting : locale)
                environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
            QMap<QString, QByteArray> written;
            for (int i = 0; i < commands.size(); ++i) {
                QProcess process;
                process.setProcessEnvironment(environment);
                process.setWorkingDirectory(dir);
                process.start(cli, QStringList{"--database", m_cli.database()} + commands.at(i));
                if (!process.waitForFinished(120000) || process.exitCode() != 0)
                    qWarning() << commands.at(i) << process.readAllStandardError();
                // The reports printed (an export prints the paths it wrote).
                if (commands.at(i).first() != "export" && !commands.at(i).contains("--output"))
                    written.insert(QString("printout %1").arg(i), process.readAllStandardOutput());
            }
            for (QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
                QFile file(it.next());
                if (file.open(QIODevice::ReadOnly))
                    written.insert(QDir(dir).relativeFilePath(file.fileName()), file.readAll());
            }
            return written;
        };
        const QMap<QString, QByteArray> russian = outputs("ru", {"LC_ALL=ru_RU.UTF-8"});
        QCOMPARE(russian.size(), 2 + 4 + 1 + 4 + 1 + 4);
        for (auto it = russian.cbegin(); it != russian.cend(); ++it)
            QVERIFY2(it.value().size() > 0, qPrintable(it.key()));
        // Russian dates and numbers, whatever the environment asks for.
        QVERIFY(russian.value("by-date.csv").contains("02.11.2026;2;1"));
        QVERIFY(russian.value("by-source.htm").contains("20.10.2026 - 10.11.2026"));
        QVERIFY(russian.value("hours/poist.htm")
                    .contains(today.addDays(-2).toString("dd.MM.yyyy").toUtf8() + " 12:00 - " +
                              today.toString("dd.MM.yyyy").toUtf8()));
        QVERIFY(russian.value("conversion.csv").contains(";50,0;"));
        for (const auto& [name, locale] :
             QList<QPair<QString, QStringList>>{{"none", {}},
                                                {"C", {"LANG=C"}},
                                                {"en", {"LANG=en_US.UTF-8"}},
                                                {"de", {"LC_ALL=de_DE.UTF-8"}}}) {
            const QMap<QString, QByteArray> other = outputs(name, locale);
            QCOMPARE(other.keys(), russian.keys());
            for (auto it = russian.cbegin(); it != russian.cend(); ++it)
                QVERIFY2(other.value(it.key()) == it.value(),
                         qPrintable(QString("%1 under %2:\n%3\nunder ru_RU:\n%4")
                                        .arg(it.key(), name,
                                             QString::fromUtf8(other.value(it.key()).left(1500)),
                                             QString::fromUtf8(it.value().left(1500)))));
        }
    }

    void theAnalysisIsMailedAsAFifthFileOnlyWhenAsked()
    {
        KALVENT_REQUIRE_SMTP_TOOLS();
        fill();
        SmtpTestServer server;
        QVERIFY2(server.start(m_cli.dir.filePath("out"), {}), qPrintable(server.errorOutput()));
        QCOMPARE(m_cli.run({"account", "set", "--server", "127.0.0.1", "--port",
                            QString::number(server.port()), "--security", "none", "--from",
                            "kalvent@example.com"}),
                 0);
        for (const QStringList& setting :
             {QStringList{"days", "9"}, QStringList{"times", "09:00:00"},
              QStringList{"tems", QStringLiteral("Реклама")},
              QStringList{"senders", "boss@example.com"}, QStringList{"nextdate", "2026-12-08"}})
            QCOMPARE(m_cli.run(QStringList{"settings", "set"} + setting), 0);

        auto attachments = [&] {
            QStringList names;
            const QJsonObject message = server.received().last().value("message").toObject();
            for (const QJsonValue& part : message.value("attachments").toArray())
                names << part["filename"].toString();
            return names;
        };
        const QStringList four{"poist.htm", "pousl.htm", "point.htm", "podates.htm"};
        QCOMPARE(m_cli.run({"settings", "analysis"}), 0);
        QCOMPARE(m_cli.out, QString("off\n"));
        QCOMPARE(m_cli.run({"send-now"}), 0);
        QCOMPARE(attachments(), four);

        QCOMPARE(m_cli.run({"settings", "analysis", "on"}), 0);
        QCOMPARE(m_cli.run({"send-now"}), 0);
        QCOMPARE(attachments(), four + QStringList{"analiz.htm"});
        const QJsonObject message = server.received().last().value("message").toObject();
        const QString analysis = QString::fromUtf8(QByteArray::fromBase64(
            message.value("attachments").toArray().last()["data"].toString().toLatin1()));
        QVERIFY2(analysis.contains(QStringLiteral("Анализ рекламы")) &&
                     analysis.contains(QStringLiteral("01.11.2026 - 10.11.2026")),
                 qPrintable(analysis.left(2000)));

        QCOMPARE(m_cli.run({"settings", "analysis", "off"}), 0);
        QCOMPARE(m_cli.run({"send-now"}), 0);
        QCOMPARE(attachments(), four);
        QCOMPARE(m_cli.run({"settings", "analysis", "maybe"}), 2);
    }
};

QTEST_MAIN(TestCliAnalysis)
#include "tst_clianalysis.moc"

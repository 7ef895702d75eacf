#include "AppPaths.h"
#include "CliRunner.h"
#include "Clock.h"
#include "DataEnv.h"
#include "ImportEncoding.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>

class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_db;
    QString m_out;
    QString m_err;
    int m_round = 0;

    int run(const QStringList& args)
    {
        m_out.clear();
        m_err.clear();
        QTextStream out(&m_out);
        QTextStream err(&m_err);
        CliRunner runner(out, err);
        const int status = runner.run(QStringList{"--database", m_db} + args);
        out.flush();
        err.flush();
        return status;
    }

    QString write(const QString& name, const QByteArray& content)
    {
        QString path = m_dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return path;
    }

    int count(const QString& sql)
    {
        DataEnv::instance()->connect();
        QSqlQuery q(DataEnv::instance()->database().connection());
        return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
    }

    // Every call as "service/source/booked", in the order stored.
    QStringList storedCalls()
    {
        DataEnv::instance()->connect();
        QSqlQuery q(DataEnv::instance()->database().connection());
        QStringList calls;
        if (q.exec("SELECT usluga, Istochnik, Zapis FROM Base ORDER BY ID"))
            while (q.next())
                calls << QStringLiteral("%1/%2/%3")
                             .arg(q.value(0).toString(), q.value(1).toString(),
                                  q.value(2).toString());
        return calls;
    }

    // "calls/booked" of the reports by date, by source and by service over the period.
    QStringList reportTotals(const QString& from = "2026-12-01", const QString& to = "2026-12-31")
    {
        QStringList totals;
        for (const char* kind : {"by-date", "by-source", "by-service"}) {
            if (run({"report", kind, "--from", from, "--to", to, "--format", "json"}) != 0)
                return {m_err};
            const QJsonObject total =
                QJsonDocument::fromJson(m_out.toUtf8()).object().value("total").toObject();
            totals << QStringLiteral("%1/%2")
                          .arg(total.value("calls").toInt())
                          .arg(total.value("booked").toInt());
        }
        return totals;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void init()
    {
        m_db = TestSupport::database(m_dir.filePath(QString("cli%1.db").arg(++m_round)));
        Clock::setFixed(QDateTime(QDate(2026, 12, 6), QTime(9, 41, 5)));
    }

    void cleanup()
    {
        DataEnv::setInstance(nullptr);
        AppPaths::overrideDatabasePath({});
        Clock::setFixed({});
    }

    void jsonMatchesTheStoredCalls()
    {
        QCOMPARE(run({"service", "add", QStringLiteral("Стрижка")}), 0);
        QCOMPARE(run({"service", "add", QStringLiteral("Маникюр")}), 0);
        QCOMPARE(run({"source", "add", "<b>x</b>"}), 0);
        QCOMPARE(run({"add", "--service", QStringLiteral("Стрижка"), "--source",
                      QStringLiteral("ИНТЕРНЕТ"), "--booked", "--date", "2026-12-01"}),
                 0);
        QCOMPARE(run({"add", "--service", QStringLiteral("Маникюр"), "--source", "<b>x</b>"}), 0);
        QCOMPARE(run({"add", "--service", QStringLiteral("Маникюр"), "--source", "<b>x</b>",
                      "--date", "2026-11-29", "--time", "08:00:00"}),
                 0);

        QCOMPARE(run({"report", "by-source", "--from", "2026-11-30", "--to", "2026-12-06",
                      "--format", "json"}),
                 0);
        QCOMPARE(
            m_out.trimmed(),
            QStringLiteral("{\"report\": \"by-source\", \"from\": \"2026-11-30\", \"to\": "
                           "\"2026-12-06\", \"rows\": [{\"name\": \"Интернет\", \"calls\": 1, "
                           "\"booked\": 1}, {\"name\": \"<b>x</b>\", \"calls\": 1, \"booked\": "
                           "0}], \"total\": {\"calls\": 2, \"booked\": 1}}"));

        QCOMPARE(run({"report", "by-date", "--from", "2026-11-29", "--to", "2026-12-06", "--format",
                      "json"}),
                 0);
        const QJsonObject byDate = QJsonDocument::fromJson(m_out.toUtf8()).object();
        QCOMPARE(QJsonDocument(byDate.value("rows").toArray()).toJson(QJsonDocument::Compact),
                 QByteArray("[{\"booked\":0,\"calls\":1,\"date\":\"2026-11-29\"},"
                            "{\"booked\":1,\"calls\":1,\"date\":\"2026-12-01\"},"
                            "{\"booked\":0,\"calls\":1,\"date\":\"2026-12-06\"}]"));
        QCOMPARE(byDate.value("total").toObject().value("calls").toInt(), 3);

        // The call added without --date/--time took the clock's.
        QCOMPARE(count("SELECT COUNT(*) FROM Base WHERE Data = '2026-12-06' AND Vrem = '09:41:05'"),
                 1);

        QCOMPARE(run({"service", "list"}), 0);
        QCOMPARE(m_out, QStringLiteral("Стрижка\nМаникюр\n"));

        QCOMPARE(run({"report", "by-service", "--from", "2026-11-30", "--to", "2026-12-06"}), 0);
        QVERIFY(m_out.contains(QRegularExpression(QStringLiteral("Итого:\\s+2\\s+1\\n"))));
    }

    void fileFormatsCarryTheSameNumbers()
    {
        QCOMPARE(run({"service", "add", "A"}), 0);
        QCOMPARE(run({"source", "add", QStringLiteral("Газета; \"Город\"")}), 0);
        QCOMPARE(run({"add", "--service", "A", "--source", QStringLiteral("Газета; \"Город\""),
                      "--booked", "--date", "2026-12-02"}),
                 0);
        QCOMPARE(run({"add", "--service", "A", "--source", QStringLiteral("интернет"), "--date",
                      "2026-12-03"}),
                 0);
        const QStringList period{"--from", "2026-12-01", "--to", "2026-12-06"};
        QCOMPARE(run(QStringList{"report", "by-source", "--format", "csv"} + period), 0);
        QCOMPARE(m_out.remove('\r').split('\n', Qt::SkipEmptyParts),
                 QStringList({QStringLiteral("Название источника;Кол-во звонков;Кол-во записи"),
                              QStringLiteral("Интернет;1;0"),
                              QStringLiteral("\"Газета; \"\"Город\"\"\";1;1"),
                              QStringLiteral("Итого:;2;1")}));

        const QString html = m_dir.filePath("r.html");
        QCOMPARE(
            run(QStringList{"report", "by-date", "--format", "html", "--output", html} + period),
            0);
        QFile htmlFile(html);
        QVERIFY(htmlFile.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(htmlFile.readAll());
        QVERIFY(page.contains(QStringLiteral("01.12.2026 - 06.12.2026")));
        QVERIFY(page.contains(QStringLiteral("03.12.2026")));

        const QString pdf = m_dir.filePath("r.pdf");
        QCOMPARE(
            run(QStringList{"report", "internet", "--format", "pdf", "--output", pdf} + period), 0);
        QFile pdfFile(pdf);
        QVERIFY(pdfFile.open(QIODevice::ReadOnly));
        QVERIFY(pdfFile.readAll().startsWith("%PDF"));

        QCOMPARE(run(QStringList{"report", "internet", "--format", "pdf"} + period), 2);
    }

    void badInputExitsWithTwo_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"frobnicate"};
        QTest::newRow("empty service") << QStringList{"add", "--service", "", "--source", "a"};
        QTest::newRow("missing source") << QStringList{"add", "--service", "a"};
        QTest::newRow("bad date") << QStringList{"add", "--service", "a",         "--source",
                                                 "b",   "--date",    "06.12.2026"};
        QTest::newRow("bad time") << QStringList{"add", "--service", "a",       "--source",
                                                 "b",   "--time",    "25:00:00"};
        QTest::newRow("unknown option") << QStringList{"add", "--servise", "a"};
        QTest::newRow("empty list name") << QStringList{"source", "add", ""};
        QTest::newRow("blank list name") << QStringList{"service", "add", "   "};
        // "Интернет" is in every new database; the same name but for case is refused.
        QTest::newRow("case-only duplicate")
            << QStringList{"source", "add", QStringLiteral(" интернет")};
        QTest::newRow("bad kind") << QStringList{"report",     "weekly", "--from",
                                                 "2026-12-01", "--to",   "2026-12-02"};
        QTest::newRow("bad period") << QStringList{"report", "by-date", "--from", "2026-12-01"};
        QTest::newRow("bad format") << QStringList{"report", "by-date",    "--from",   "2026-12-01",
                                                   "--to",   "2026-12-02", "--format", "xml"};
        QTest::newRow("missing import file") << QStringList{"import", "/nonexistent/calls.csv"};
    }

    void badInputExitsWithTwo()
    {
        QFETCH(QStringList, args);
        QCOMPARE(run(args), 2);
        QVERIFY(m_err.contains("kalvent-cli"));
        QVERIFY(m_out.isEmpty());
    }

    void databaseFailureExitsWithOne()
    {
        m_db = write("notadb.db", QByteArray("plain text, not a database\n").repeated(100));
        QCOMPARE(run({"service", "list"}), 1);
        QVERIFY(m_err.contains("notadb.db"));
        QCOMPARE(run({"add", "--service", "a", "--source", "b"}), 1);
    }

    void helpOnEveryCommand()
    {
        for (const QStringList& args :
             {QStringList{"--help"}, QStringList{"add", "--help"}, QStringList{"import", "--help"},
              QStringList{"report", "--help"}, QStringList{"service", "list", "--help"}}) {
            QCOMPARE(run(args), 0);
            QVERIFY2(m_out.startsWith(QStringLiteral("использование: kalvent-cli")),
                     qPrintable(m_out));
        }
    }

    void importIsAllOrNothing()
    {
        const QString good = write(
            "good.csv",
            QByteArray("\xEF\xBB\xBF") +
                QStringLiteral(
                    "data;USLUGA;istochnik;zapis;Vrem\r\n"
                    "01.12.2026 0:00:00;\"Стрижка; короткая\";Интернет;True;30.12.1899 10:15:00\r\n"
                    "2026-12-03;Маникюр;\"Газета \"\"Город\"\"\";0;\r\n"
                    "2026-12-04T00:00:00;Маникюр;Радио;-1;9:05\r\n")
                    .toUtf8());
        QVERIFY2(run({"import", good, "--add-missing"}) == 0, qPrintable(m_err));
        QVERIFY2(m_out.endsWith(QStringLiteral("Импортировано звонков: 3 (utf-8)\n")),
                 qPrintable(m_out));
        QVERIFY(DataEnv::instance()->connect());
        QSqlQuery q(DataEnv::instance()->database().connection());
        QVERIFY(q.exec("SELECT Data, usluga, Istochnik, Zapis, Vrem FROM Base ORDER BY ID"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QString("2026-12-01"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("Стрижка; короткая"));
        QCOMPARE(q.value(3).toInt(), 1);
        QCOMPARE(q.value(4).toString(), QString("10:15:00"));
        QVERIFY(q.next());
        QCOMPARE(q.value(2).toString(), QStringLiteral("Газета \"Город\""));
        QVERIFY(q.value(4).isNull());
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QString("2026-12-04"));
        QCOMPARE(q.value(4).toString(), QString("09:05:00"));

        struct Bad
        {
            QByteArray content;
            QString reason;
        };
        const QList<Bad> bad{
            {"Data,usluga,Istochnik\n2026-12-01,a,b\n",
             QStringLiteral("строка 1: в заголовке нет столбца Zapis")},
            {"Data,usluga,Istochnik,Zapis\n2026-12-01,a,b,1\n2026-02-30,a,b,1\n", "строка 3:"},
            {"Data,usluga,Istochnik,Zapis\n2026-12-01,a,b,maybe\n", "строка 2:"},
            {"Data,usluga,Istochnik,Zapis\n2026-12-01,a,b,1\n2026-12-01,,b,1\n", "строка 3:"},
            {"Data,usluga,Istochnik,Zapis\n2026-12-01,a,b,1,extra\n", "строка 2:"},
            {"Data,usluga,Istochnik,Zapis,Vrem\n2026-12-01,a,b,1,noon\n", "строка 2:"},
            {"Data,usluga,Istochnik,Zapis\n2026-12-01,\"a\nb\",c,1\n2026-12-01,a,b,2\n",
             "строка 4:"},
            // Blank lines count: the bad row stands on line 5 of the file.
            {"Data,usluga,Istochnik,Zapis\r\n\r\n2026-12-01,a,b,1\r\n\r\n2026-12-01,a,b,x\r\n",
             "строка 5:"},
        };
        for (const Bad& b : bad) {
            QCOMPARE(run({"import", write("bad.csv", b.content), "--add-missing"}), 2);
            QVERIFY2(m_err.contains(b.reason), qPrintable(m_err));
            QCOMPARE(count("SELECT COUNT(*) FROM Base"), 3);
        }
    }

    // A table's names that no list holds refuse the whole import, named in the file's order;
    // --add-missing adds them to the lists in that order first. Listed names, in another letter
    // case or with blanks around them, are stored as the list writes them, and the booked flag may
    // be written as Russian spreadsheets write it. "rename" renames (or merges) an entry with its
    // calls.
    void unlistedNamesRefuseTheImportAndRename()
    {
        QCOMPARE(run({"service", "add", QStringLiteral("Стрижка")}), 0);
        const QString table =
            write("names.csv", QStringLiteral("Data,usluga,Istochnik,Zapis\n"
                                              "2026-12-01, стрижка ,Радио,Да\n"
                                              "2026-12-01,Маникюр,газета,нет\n"
                                              "2026-12-02,маникюр, ИНТЕРНЕТ,ИСТИНА\n"
                                              "2026-12-02,Стрижка,Газета,ложь\n"
                                              "2026-12-03,Педикюр,интернет,yes\n"
                                              "2026-12-03,Стрижка,Радио,No\n")
                                   .toUtf8());
        QCOMPARE(run({"import", table}), 2);
        QVERIFY2(m_err.contains(QStringLiteral("Нет в списках: источник «Радио», услуга «Маникюр», "
                                               "источник «газета», услуга «Педикюр».")),
                 qPrintable(m_err));
        QVERIFY(m_out.isEmpty());
        QCOMPARE(count("SELECT COUNT(*) FROM Base"), 0);
        QCOMPARE(run({"source", "list"}), 0);
        QCOMPARE(m_out, QStringLiteral("Интернет\n"));

        QVERIFY2(run({"import", table, "--add-missing"}) == 0, qPrintable(m_err));
        QCOMPARE(m_out, QStringLiteral("Добавлено в список источников: Радио\n"
                                       "Добавлено в список услуг: Маникюр\n"
                                       "Добавлено в список источников: газета\n"
                                       "Добавлено в список услуг: Педикюр\n"
                                       "Импортировано звонков: 6 (utf-8)\n"));
        QCOMPARE(run({"service", "list"}), 0);
        QCOMPARE(m_out, QStringLiteral("Стрижка\nМаникюр\nПедикюр\n"));
        QCOMPARE(run({"source", "list"}), 0);
        QCOMPARE(m_out, QStringLiteral("Интернет\nРадио\nгазета\n"));
        QCOMPARE(
            storedCalls(),
            QStringList({QStringLiteral("Стрижка/Радио/1"), QStringLiteral("Маникюр/газета/0"),
                         QStringLiteral("Маникюр/Интернет/1"), QStringLiteral("Стрижка/газета/0"),
                         QStringLiteral("Педикюр/Интернет/1"), QStringLiteral("Стрижка/Радио/0")}));
        QCOMPARE(reportTotals(), QStringList({"6/3", "6/3", "6/3"}));

        QCOMPARE(run({"service", "rename", QStringLiteral("Маникюр"), QStringLiteral("Маникюр+")}),
                 0);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Base WHERE usluga = 'Маникюр+'")), 2);
        QCOMPARE(run({"service", "rename", QStringLiteral("Маникюр+"), QStringLiteral("СТРИЖКА")}),
                 0);
        QCOMPARE(m_out, QStringLiteral("Слито с «Стрижка»\n"));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Base WHERE usluga = 'Стрижка'")), 5);
        QCOMPARE(run({"service", "rename", "nothing", "x"}), 2);
        // The Internet report counts its source by name: it keeps it.
        QCOMPARE(run({"source", "rename", QStringLiteral("Интернет"), QStringLiteral("Сайт")}), 1);
        QVERIFY2(m_err.contains(QStringLiteral("нельзя переименовать")), qPrintable(m_err));
        QCOMPARE(run({"source", "list"}), 0);
        QCOMPARE(m_out, QStringLiteral("Интернет\nРадио\nгазета\n"));
        QCOMPARE(run({"check"}), 0);
    }

    // A call added on the command line takes its names as the lists write them, whatever the
    // letter case and the blanks around them, so that the reports per name count it; a name in
    // no list is refused and nothing is stored, unless --add-missing adds it to its list first.
    void addTakesOnlyListedNames()
    {
        QCOMPARE(run({"service", "add", QStringLiteral("Стрижка")}), 0);
        QCOMPARE(run({"add", "--service", QStringLiteral("  СТРИЖКА "), "--source",
                      QStringLiteral(" интернет"), "--date", "2026-06-03"}),
                 0);
        QCOMPARE(run({"add", "--service", QStringLiteral("Маникюр"), "--source",
                      QStringLiteral("ИНТЕРНЕТ"), "--date", "2026-06-04"}),
                 2);
        QVERIFY2(m_err.contains(QStringLiteral("Нет в списках: услуга «Маникюр».")),
                 qPrintable(m_err));
        QCOMPARE(run({"add", "--service", QStringLiteral("стрижка"), "--source",
                      QStringLiteral("Газета"), "--booked", "--date", "2026-06-04"}),
                 2);
        QVERIFY2(m_err.contains(QStringLiteral("Нет в списках: источник «Газета».")),
                 qPrintable(m_err));
        QCOMPARE(count("SELECT COUNT(*) FROM Base"), 1);
        QCOMPARE(run({"source", "list"}), 0);
        QCOMPARE(m_out, QStringLiteral("Интернет\n"));

        QCOMPARE(
            run({"add", "--service", QStringLiteral(" маникюр"), "--source",
                 QStringLiteral("Газета "), "--booked", "--add-missing", "--date", "2026-06-04"}),
            0);
        QCOMPARE(run({"service", "list"}), 0);
        QCOMPARE(m_out, QStringLiteral("Стрижка\nманикюр\n"));
        QCOMPARE(run({"source", "list"}), 0);
        QCOMPARE(m_out, QStringLiteral("Интернет\nГазета\n"));
        QCOMPARE(storedCalls(), QStringList({QStringLiteral("Стрижка/Интернет/0"),
                                             QStringLiteral("маникюр/Газета/1")}));
        QCOMPARE(reportTotals("2026-06-01", "2026-06-30"), QStringList({"2/1", "2/1", "2/1"}));
    }

    // The manual page gives every command with every option of its synopsis, on the line that
    // names the command.
    void manualPageNamesEveryCommandAndOption()
    {
        QFile page(qEnvironmentVariable("KALVENT_SOURCE_DIR") + "/packaging/kalvent-cli.1");
        QVERIFY(page.open(QIODevice::ReadOnly));
        static const QRegularExpression font(QStringLiteral("\\\\f[BIRP]"));
        QStringList entries; // the page's lines in bold, without their font changes
        for (const QString& line : QString::fromUtf8(page.readAll()).split('\n'))
            if (line.startsWith(".B "))
                entries << line.mid(3).remove(font).replace(QStringLiteral("\\-"), "-");
        QTextStream out(&m_out);
        QTextStream err(&m_err);
        const CliRunner runner(out, err);
        static const QRegularExpression word(QStringLiteral("^[a-z][a-z-]*$"));
        static const QRegularExpression option(QStringLiteral("--[a-z][a-z-]*"));
        QCOMPARE(runner.synopses().size() > 20, true);
        for (const QString& synopsis : runner.synopses()) {
            QStringList name; // the leading words in small letters: "service add", "report"
            for (const QString& part : synopsis.split(' '))
                if (name.size() < 2 && word.match(part).hasMatch())
                    name << part;
                else
                    break;
            const QString command = name.join(' ');
            QStringList options;
            for (const auto& match : option.globalMatch(synopsis))
                options << match.captured();
            bool found = false;
            for (const QString& entry : std::as_const(entries)) {
                bool names = false;
                for (const QString& part : entry.split(QStringLiteral(", ")))
                    names = names || part == command || part.startsWith(command + ' ');
                bool all = names;
                for (const QString& o : std::as_const(options))
                    all = all && entry.contains(o);
                found = found || all;
            }
            QVERIFY2(found, qPrintable(synopsis));
        }
    }

    // Both programs name themselves and their version, with neither a screen nor a database.
    void versionOfBothPrograms()
    {
        QCOMPARE(run({"--version"}), 0);
        QCOMPARE(m_out, QStringLiteral("kalvent-cli " KALVENT_VERSION "\n"));
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            environment.insert(variable, home.path());
        // A window would need an X server, and there is none.
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        for (const char* program : {"kalvent-cli", "kalvent"}) {
            const QString path = qEnvironmentVariable(
                program == QLatin1String("kalvent") ? "KALVENT" : "KALVENT_CLI");
            QVERIFY2(QFileInfo::exists(path), program);
            QProcess process;
            process.setProcessEnvironment(environment);
            process.start(path, {"--version"});
            QVERIFY(process.waitForFinished(30000));
            QCOMPARE(process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(process.exitCode(), 0);
            QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()),
                     QStringLiteral("%1 %2\n").arg(program, KALVENT_VERSION));
        }
        QVERIFY2(QDir(home.path()).isEmpty(), "--version wrote into the home folder");
    }

    // A name is stored in NFC without invisible characters and the blanks around it, at most
    // 100 characters, whether it comes from a table, a list entry, a rename or a call: look-alike
    // twins meet the letter-case rule, and names of invisible characters only are empty.
    void namesAreStoredWithoutInvisibleCharacters()
    {
        const QString zeroWidthTwin = QStringLiteral("Стри\u200Bжка");
        QCOMPARE(run({"service", "add", QStringLiteral("Стрижка")}), 0);
        QCOMPARE(run({"service", "add", zeroWidthTwin}), 2);
        QVERIFY2(m_err.contains(QStringLiteral("«Стрижка»")), qPrintable(m_err));
        QCOMPARE(run({"service", "add", QStringLiteral("\u200B\u202E\u2066\uFEFF")}), 2);
        QVERIFY2(m_err.contains(QStringLiteral("пустым")), qPrintable(m_err));
        // Decomposed "Ё" (Е and a combining diaeresis) is stored composed.
        QCOMPARE(run({"source", "add", QStringLiteral(" \u200FЕ\u0308ж\u200D ")}), 0);
        // 100 characters, one of them beyond 16 bits; 101 are too many.
        const QString longest = QString(99, QChar(u'я')) + QStringLiteral("\U0001D11E");
        QCOMPARE(run({"source", "add", longest}), 0);
        QCOMPARE(run({"source", "add", longest + QStringLiteral("я")}), 2);
        QVERIFY2(m_err.contains(QStringLiteral("100 знаков")), qPrintable(m_err));
        QCOMPARE(run({"source", "list"}), 0);
        QCOMPARE(m_out, QStringLiteral("Интернет\nЁж\n%1\n").arg(longest));

        // A table with NUL, zero-width, bidirectional and byte order marks in its names.
        const QString table =
            write("hidden.csv", QStringLiteral("Data;usluga;Istochnik;Zapis\n"
                                               "2026-12-01;%1;\u202EЁЖ;1\n"
                                               "2026-12-01;\"\0Мани\0кюр\0\";\uFEFFГазета\t;0\n"
                                               "2026-12-02;\u2066стрижка\u2069;ёж\u061C;1\n")
                                    .arg(zeroWidthTwin)
                                    .toUtf8());
        QCOMPARE(run({"import", table}), 2);
        QVERIFY2(
            m_err.contains(QStringLiteral("Нет в списках: услуга «Маникюр», источник «Газета».")),
            qPrintable(m_err));
        QVERIFY2(run({"import", table, "--add-missing"}) == 0, qPrintable(m_err));
        QVERIFY2(!m_out.contains(QStringLiteral("Стрижка"), Qt::CaseInsensitive) &&
                     !m_out.contains(QStringLiteral("ёж"), Qt::CaseInsensitive),
                 qPrintable(m_out));
        QCOMPARE(run({"report", "by-service", "--from", "2026-12-01", "--to", "2026-12-02",
                      "--format", "csv"}),
                 0);
        QVERIFY2(m_out.contains(QStringLiteral("Стрижка;2;2")), qPrintable(m_out));
        QCOMPARE(run({"report", "by-source", "--from", "2026-12-01", "--to", "2026-12-02",
                      "--format", "csv"}),
                 0);
        QVERIFY2(m_out.contains(QStringLiteral("Ёж;2;2")), qPrintable(m_out));

        // A call added on the command line takes the plain names too.
        QCOMPARE(run({"add", "--service", zeroWidthTwin + QStringLiteral("\u00AD"), "--source",
                      QStringLiteral("\u202AЕ\u0308Ж\u202C"), "--date", "2026-12-03"}),
                 0);
        QCOMPARE(run({"add", "--service", QString(3, QChar(u'\0')), "--source", "x"}), 2);
        QCOMPARE(run({"add", "--service", "x", "--source", longest + "x"}), 2);
        QVERIFY2(m_err.contains(QStringLiteral("100 знаков")), qPrintable(m_err));
        DataEnv::instance()->connect();
        QSqlQuery q(DataEnv::instance()->database().connection());
        QVERIFY(q.exec("SELECT usluga, Istochnik FROM Base ORDER BY ID"));
        QStringList stored;
        while (q.next())
            stored << q.value(0).toString() + "/" + q.value(1).toString();
        QCOMPARE(stored,
                 QStringList({QStringLiteral("Стрижка/Ёж"), QStringLiteral("Маникюр/Газета"),
                              QStringLiteral("Стрижка/Ёж"), QStringLiteral("Стрижка/Ёж")}));

        // A name over the limit, or of NULs only, stops the import at its line; nothing is stored.
        const QByteArray header("Data;usluga;Istochnik;Zapis\n2026-12-04;a;b;1\n");
        QCOMPARE(run({"import", write("long.csv", header + "2026-12-04;a;" +
                                                      (longest + "x\u200B").toUtf8() + ";1\n")}),
                 2);
        QVERIFY2(m_err.contains(QStringLiteral("строка 3:")) &&
                     m_err.contains(QStringLiteral("100 знаков")),
                 qPrintable(m_err));
        QCOMPARE(run({"import",
                      write("nul.csv", header + "2026-12-04;" + QByteArray(3, '\0') + ";b;1\n")}),
                 2);
        QVERIFY2(m_err.contains(QStringLiteral("строка 3: услуга (usluga) не указана")),
                 qPrintable(m_err));
        QCOMPARE(count("SELECT COUNT(*) FROM Base"), 4);

        // Renames: to invisible characters only, or past the limit, are refused; to a look-alike
        // of another entry, a merge.
        QCOMPARE(
            run({"service", "rename", QStringLiteral("Стрижка"), QStringLiteral("\u200B\u200B")}),
            2);
        QCOMPARE(run({"service", "rename", QStringLiteral("Стрижка"), longest + "x"}), 2);
        QVERIFY2(m_err.contains(QStringLiteral("100 знаков")), qPrintable(m_err));
        QCOMPARE(run({"service", "rename", QStringLiteral("Маникюр"),
                      QStringLiteral("\u202Eстри\u200Bжка")}),
                 0);
        QCOMPARE(m_out, QStringLiteral("Слито с «Стрижка»\n"));
        QCOMPARE(run({"service", "list"}), 0);
        QCOMPARE(m_out, QStringLiteral("Стрижка\n"));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Base WHERE usluga = 'Стрижка'")), 4);
        QCOMPARE(run({"check"}), 0);
    }

    // Renaming an entry to its own name in other letters or with blanks around it keeps the entry,
    // and its calls go on counting in the report per source.
    void renamingToItsOwnNameKeepsTheEntryAndItsCalls()
    {
        QCOMPARE(run({"service", "add", "a"}), 0);
        QCOMPARE(run({"source", "add", QStringLiteral("Газета")}), 0);
        QCOMPARE(run({"source", "add", QStringLiteral("Радио")}), 0);
        QCOMPARE(run({"import", write("own.csv", QStringLiteral("Data;usluga;Istochnik;Zapis\n"
                                                                "2026-12-01;a;Газета;1\n"
                                                                "2026-12-01;a;газета;0\n"
                                                                "2026-12-02;a;Радио;1\n")
                                                     .toUtf8())}),
                 0);
        auto perSource = [this] {
            if (run({"report", "by-source", "--from", "2026-12-01", "--to", "2026-12-31",
                     "--format", "csv"}) != 0)
                return QStringList{m_err};
            return m_out.remove('\r').split('\n', Qt::SkipEmptyParts).mid(1);
        };
        QCOMPARE(perSource(),
                 QStringList({QStringLiteral("Интернет;0;0"), QStringLiteral("Газета;2;1"),
                              QStringLiteral("Радио;1;1"), QStringLiteral("Итого:;3;2")}));
        QString old = QStringLiteral("Газета");
        const QList<std::pair<QString, QString>> renames{
            {QStringLiteral("ГАЗЕТА"), QStringLiteral("ГАЗЕТА")},
            {QStringLiteral("  газета \u200B"), QStringLiteral("газета")}};
        for (const auto& [own, stored] : renames) {
            QCOMPARE(run({"source", "rename", old, own}), 0);
            QCOMPARE(m_out, QString()); // no merge
            QCOMPARE(run({"source", "list"}), 0);
            QCOMPARE(m_out, QStringLiteral("Интернет\n%1\nРадио\n").arg(stored));
            QCOMPARE(
                perSource(),
                QStringList({QStringLiteral("Интернет;0;0"), QStringLiteral("%1;2;1").arg(stored),
                             QStringLiteral("Радио;1;1"), QStringLiteral("Итого:;3;2")}));
            old = stored;
        }
        QCOMPARE(run({"check"}), 0);
    }

    // Windows line ends: a name in the last column keeps no carriage return; "--database=FILE"
    // is the same as "--database FILE".
    void crlfLastColumnAndDatabaseWithEquals()
    {
        const QString other =
            TestSupport::database(m_dir.filePath(QString("equals%1.db").arg(m_round)));
        const QString file =
            write("crlf.csv", QStringLiteral("Data;Zapis;usluga;Istochnik\r\n2026-12-01;1;Стрижка;"
                                             "Газета\r\n2026-12-02;0;Маникюр;Радио\r\n")
                                  .toUtf8());
        m_out.clear();
        QTextStream out(&m_out);
        QTextStream err(&m_err);
        CliRunner runner(out, err);
        QCOMPARE(runner.run({"--database=" + other, "import", file, "--add-missing"}), 0);
        QCOMPARE(runner.run({"--database=" + other, "source", "list"}), 0);
        out.flush();
        if (!TestSupport::onServer()) {
            QVERIFY(QFileInfo::exists(other));
            QVERIFY(!QFileInfo::exists(m_db));
        }
        QSqlQuery q(DataEnv::instance()->database().connection());
        QVERIFY(q.exec("SELECT Istochnik FROM Base ORDER BY ID"));
        QStringList sources;
        while (q.next())
            sources << q.value(0).toString();
        QCOMPARE(sources, QStringList({QStringLiteral("Газета"), QStringLiteral("Радио")}));
    }

    // A file is stored exactly as written, in UTF-8 or Windows-1251; bytes that are text in
    // neither are refused with their line, and nothing is stored.
    void importReadsUtf8AndWindows1251()
    {
        const QString names = QStringLiteral("Стрижка «Ёж» — №1");
        const QString table =
            QStringLiteral("Data;usluga;Istochnik;Zapis\n2026-12-01;%1;Газета;1\n").arg(names);
        QByteArray cp1251;
        for (const QChar c : table) {
            const char16_t u = c.unicode();
            cp1251 += u < 0x80                   ? char(u)
                      : u >= 0x410 && u <= 0x44F ? char(0xC0 + (u - 0x410))
                      : u == 0x401               ? '\xA8'
                      : u == 0xAB                ? '\xAB'
                      : u == 0xBB                ? '\xBB'
                      : u == 0x2014              ? '\x97'
                                                 : '\xB9'; // №
        }
        QCOMPARE(run({"import", write("cp1251.csv", cp1251), "--add-missing"}), 0);
        QVERIFY2(m_out.endsWith(QStringLiteral("Импортировано звонков: 1 (windows-1251)\n")),
                 qPrintable(m_out));
        QCOMPARE(run({"import", write("utf8.csv", table.toUtf8()), "--encoding", "utf-8"}), 0);
        QCOMPARE(m_out, QStringLiteral("Импортировано звонков: 1 (utf-8)\n"));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Base WHERE usluga = '%1' AND "
                                      "Istochnik = 'Газета'")
                           .arg(names)),
                 2);

        const QByteArray header("Data;usluga;Istochnik;Zapis\n2026-12-01;a;b;1\n");
        const QList<std::pair<QStringList, QString>> refused{
            // Windows-1251 forced to be read as UTF-8.
            {{"--encoding", "utf-8"}, QStringLiteral("строка 2:")},
            {{"--encoding", "koi8-r"}, "--encoding"},
        };
        for (const auto& [options, reason] : refused) {
            QCOMPARE(run(QStringList{"import", write("forced.csv", cp1251)} + options), 2);
            QVERIFY2(m_err.contains(reason), qPrintable(m_err));
        }
        // 0x98 is no character in Windows-1251, and a lone one is no UTF-8 either.
        QCOMPARE(run({"import", write("neither.csv", header + "2026-12-02;x\x98;b;1\n")}), 2);
        QVERIFY2(m_err.contains(QStringLiteral("строка 3:")), qPrintable(m_err));
        // Text already damaged elsewhere is not taken in.
        QCOMPARE(run({"import", write("lost.csv", header + "2026-12-02;x\xEF\xBF\xBD;b;1\n")}), 2);
        QVERIFY2(m_err.contains(QStringLiteral("строка 3:")), qPrintable(m_err));
        QCOMPARE(count("SELECT COUNT(*) FROM Base"), 2);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Base WHERE usluga LIKE '%\uFFFD%'")),
                 0);

        // Overlong forms, surrogates and cut sequences are not UTF-8.
        for (const QByteArray& bad : {QByteArray("\xC0\xAF"), QByteArray("\xED\xA0\x80"),
                                      QByteArray("\xF4\x90\x80\x80"), QByteArray("ok\xE2\x82")})
            QVERIFY2(ImportEncoding::firstInvalidUtf8(bad) >= 0, bad.toHex().constData());
        QCOMPARE(ImportEncoding::firstInvalidUtf8(QStringLiteral("Ёж €𝄞").toUtf8()), -1);
    }

    // A file of many megabytes is read in pieces: a character cut by a piece's end, and a bad
    // byte or a U+FFFD far in the file, come out as in a short one.
    void longFilesAreReadInPieces()
    {
        const QByteArray row = QStringLiteral("2026-12-01;Стрижка;Газета;1\n").toUtf8();
        const int rows = 110000;
        QByteArray table;
        for (int pad = 0; pad < 8; ++pad) {
            table = "Data;usluga;Istochnik;Zapis\n2026-12-01;" + QByteArray(pad, 'x') +
                    QStringLiteral("Ёж;Газета;0\n").toUtf8();
            table += row.repeated(rows);
            // The piece's end (4 MiB) falls inside a character of two bytes.
            if ((static_cast<unsigned char>(table.at(4 << 20)) & 0xC0) == 0x80)
                break;
        }
        QVERIFY((static_cast<unsigned char>(table.at(4 << 20)) & 0xC0) == 0x80);
        QCOMPARE(run({"import", write("long.csv", table), "--add-missing"}), 0);
        QVERIFY2(m_out.endsWith(QStringLiteral(" (utf-8)\n")), qPrintable(m_out));
        QCOMPARE(count("SELECT COUNT(*) FROM Base"), rows + 1);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Base WHERE usluga = 'Стрижка' AND "
                                      "Istochnik = 'Газета' AND Zapis = 1")),
                 rows);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Base WHERE usluga LIKE '%Ёж'")), 1);

        const QString line = QStringLiteral("строка %1:").arg(rows + 3);
        for (const QByteArray& bad : {QByteArray("\x98"), QByteArray("\xEF\xBF\xBD")}) {
            QCOMPARE(run({"import", write("bad.csv", table + "2026-12-02;x" + bad + ";b;1\n"),
                          "--add-missing"}),
                     2);
            QVERIFY2(m_err.contains(line), qPrintable(m_err));
        }
        // A row after the piece's end that is not a call: nothing of the file is stored.
        QCOMPARE(
            run({"import", write("badrow.csv", table + "2026-12-40;x;b;1\n"), "--add-missing"}), 2);
        QVERIFY2(m_err.contains(line), qPrintable(m_err));
        QCOMPARE(count("SELECT COUNT(*) FROM Base"), rows + 1);
    }

    void callsAreListedEditedDeletedAndLogged()
    {
        QCOMPARE(run({"service", "add", QStringLiteral("Стрижка")}), 0);
        QCOMPARE(run({"source", "add", QStringLiteral("Газета")}), 0);
        const QList<QStringList> added{{"--date", "2026-12-01", "--time", "09:00:00", "--booked"},
                                       {"--date", "2026-12-03", "--time", "10:30:00"},
                                       {"--date", "2026-12-01", "--time", "18:00:00", "--booked"}};
        for (const QStringList& extra : added)
            QCOMPARE(run(QStringList{"add", "--service", QStringLiteral("Стрижка"), "--source",
                                     QStringLiteral("Интернет")} +
                         extra),
                     0);

        // Newest first: by date, then by key.
        QCOMPARE(run({"calls", "list", "--format", "json"}), 0);
        const QJsonArray calls =
            QJsonDocument::fromJson(m_out.toUtf8()).object()["calls"].toArray();
        QCOMPARE(calls.size(), 3);
        QCOMPARE(calls[0]["date"].toString(), QStringLiteral("2026-12-03"));
        QCOMPARE(calls[1]["time"].toString(), QStringLiteral("18:00:00"));
        QCOMPARE(calls[2]["booked"].toBool(), true);
        QCOMPARE(calls[2]["service"].toString(), QStringLiteral("Стрижка"));
        const QString newest = QString::number(calls[0]["id"].toInteger());
        const QString first = QString::number(calls[2]["id"].toInteger());
        const QString evening = QString::number(calls[1]["id"].toInteger());
        // The desk that entered the calls: on a server this program's, on a file none.
        const QString desk = calls[0]["desk"].toString();
        QCOMPARE(desk.isEmpty(), !TestSupport::onServer());

        QCOMPARE(run({"calls", "list", "--booked", "yes", "--from", "2026-12-01", "--to",
                      "2026-12-02", "--source", QStringLiteral("ИНТЕРНЕТ"), "--format", "csv"}),
                 0);
        QCOMPARE(m_out, QStringLiteral("id;date;time;service;source;booked;desk\r\n"
                                       "%1;2026-12-01;18:00:00;Стрижка;Интернет;yes;%3\r\n"
                                       "%2;2026-12-01;09:00:00;Стрижка;Интернет;yes;%3\r\n")
                            .arg(evening, first, desk));

        // A name that no list holds is refused, and named; the call stays as it was.
        QCOMPARE(run({"calls", "edit", newest, "--source", QStringLiteral("Телевизор")}), 2);
        QVERIFY(m_err.contains(QStringLiteral("Телевизор")));
        QCOMPARE(run({"calls", "edit", newest}), 2);
        QCOMPARE(run({"calls", "edit", newest, "--source", QStringLiteral(" газета "), "--booked",
                      "yes", "--date", "2026-12-02"}),
                 0);
        QVERIFY(m_out.contains(QStringLiteral("Источник: Интернет → Газета")));
        // The report totals follow the edit.
        QCOMPARE(run({"report", "by-source", "--from", "2026-12-01", "--to", "2026-12-06",
                      "--format", "json"}),
                 0);
        QVERIFY2(m_out.contains(QStringLiteral("{\"name\": \"Газета\", \"calls\": 1, "
                                               "\"booked\": 1}")),
                 qPrintable(m_out));
        QCOMPARE(run({"calls", "list", "--booked", "no"}), 0);
        QVERIFY(m_out.startsWith(QStringLiteral("      ID  Дата")));
        QVERIFY(m_out.endsWith(QStringLiteral("Всего: 0 звонков\n")));

        // Deleting names the calls; an unknown key deletes nothing.
        QCOMPARE(run({"calls", "delete", first, "999999"}), 1);
        QCOMPARE(count("SELECT COUNT(*) FROM Base"), 3);
        QCOMPARE(run({"calls", "delete", "abc"}), 2);
        QCOMPARE(run({"calls", "delete", first, evening}), 0);
        QVERIFY(m_out.contains(QStringLiteral("Удалено: 2 звонка")));
        QVERIFY(m_out.contains(QStringLiteral("01.12.2026 09:00:00, Стрижка, Интернет")));
        QCOMPARE(count("SELECT COUNT(*) FROM Base"), 1);
        QCOMPARE(run({"report", "by-date", "--from", "2026-12-01", "--to", "2026-12-06", "--format",
                      "json"}),
                 0);
        QCOMPARE(QJsonDocument::fromJson(m_out.toUtf8())
                     .object()
                     .value("total")
                     .toObject()
                     .value("calls")
                     .toInt(),
                 1);

        QCOMPARE(run({"calls", "log"}), 0);
        const QStringList log = m_out.trimmed().split('\n');
        QCOMPARE(log.size(), 3);
        QVERIFY(log.last().contains(QStringLiteral("звонок %1  Изменён: Дата: 03.12.2026 → "
                                                   "02.12.2026; Источник: Интернет → Газета")
                                        .arg(newest)));
        QCOMPARE(run({"calls", "log", first}), 0);
        QVERIFY(m_out.contains(QStringLiteral("Удалён: 01.12.2026 09:00:00, Стрижка, Интернет")));
        QCOMPARE(m_out.count('\n'), 1);
    }
};

QTEST_MAIN(TestCli)
#include "tst_cli.moc"

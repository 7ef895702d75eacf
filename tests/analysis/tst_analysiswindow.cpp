#include "AnalysisAttachment.h"
#include "AnalysisWindow.h"
#include "Clock.h"
#include "DataEnv.h"
#include "DigestOption.h"
#include "FiguresModel.h"
#include "HeatMapView.h"
#include "RowSet.h"
#include "SettingsStore.h"
#include "SpendDialog.h"
#include "SpendStore.h"
#include "TestSupport.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineSeries>
#include <QRandomGenerator>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>

// The window "Анализ рекламы" and its spend editor, driven without a screen.
class TestAnalysisWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<DataEnv> m_env;

    QStringList column(QTableView* view, int column) const
    {
        QStringList texts;
        for (int r = 0; r < view->model()->rowCount(); ++r)
            texts << view->model()->index(r, column).data().toString();
        return texts;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(12, 0))); // a Wednesday
        m_env = std::make_unique<DataEnv>(TestSupport::database(m_dir.filePath("KvBD.db")));
        QVERIFY(m_env->connect());
        for (const QString& name : {QStringLiteral("Газета"), QStringLiteral("<i>Радио</i>")})
            m_env->bind("Istochnik")->addRow("IName", name);
        QVector<QVariantList> calls;
        for (int day = 0; day < 60; ++day) {
            const QDate date = QDate(2026, 10, 15).addDays(day);
            for (int i = 0; i <= day % 4; ++i)
                calls << QVariantList{date, "A",
                                      i % 2 ? QStringLiteral("Газета") : QStringLiteral("Интернет"),
                                      i == 0, QTime(9 + i, 0)};
        }
        QVERIFY(m_env->addCalls(calls));
    }

    void cleanupTestCase()
    {
        m_env.reset();
        Clock::setFixed({});
    }

    void presetsSortingAndTheChart()
    {
        AnalysisWindow window(m_env.get());
        QVERIFY(!window.isModal());
        auto* preset = window.findChild<QComboBox*>("preset");
        auto* from = window.findChild<QDateEdit*>("from");
        auto* to = window.findChild<QDateEdit*>("to");
        // Opens on last month.
        QCOMPARE(preset->currentText(), QStringLiteral("Прошлый месяц"));
        QCOMPARE(from->date(), QDate(2026, 11, 1));
        QCOMPARE(to->date(), QDate(2026, 11, 30));
        QCOMPARE(window.analysis().period().to(), QDate(2026, 11, 30));
        window.choosePreset(0); // this week, from Monday
        QCOMPARE(from->date(), QDate(2026, 12, 7));
        QCOMPARE(to->date(), QDate(2026, 12, 13));
        window.setDates(QDate(2026, 11, 2), QDate(2026, 11, 8));
        QCOMPARE(preset->currentText(), QStringLiteral("Любые даты"));
        QCOMPARE(window.analysis().period().from(), QDate(2026, 11, 2));
        QCOMPARE(window.analysis().period().to(), QDate(2026, 11, 8));

        // Sorting by any column keeps the totals last; a source without calls shows "—".
        QTableView* table = window.table();
        QCOMPARE(column(table, 0),
                 QStringList({QStringLiteral("Интернет"), QStringLiteral("Газета"),
                              QStringLiteral("<i>Радио</i>"), QStringLiteral("Итого")}));
        QCOMPARE(column(table, 3).at(2), QStringLiteral("—"));
        for (const Qt::SortOrder order : {Qt::DescendingOrder, Qt::AscendingOrder}) {
            table->sortByColumn(1, order);
            const QStringList names = column(table, 0);
            QCOMPARE(names.last(), QStringLiteral("Итого"));
            QCOMPARE(names.at(order == Qt::DescendingOrder ? 0 : 2), QStringLiteral("Интернет"));
            table->sortByColumn(3, order); // the rate: "—" below every number
            QCOMPARE(column(table, 0).at(order == Qt::DescendingOrder ? 2 : 0),
                     QStringLiteral("<i>Радио</i>"));
        }

        // The chart follows the selected sources, all when none is selected.
        auto calls = [&] {
            const auto series = window.chartView()->chart()->series();
            qreal sum = 0;
            for (const QPointF& p : static_cast<QLineSeries*>(series.first())->points())
                sum += p.y();
            return qint64(sum);
        };
        QCOMPARE(calls(), window.analysis().total().calls);
        table->sortByColumn(0, Qt::AscendingOrder);
        const int paper = int(column(table, 0).indexOf(QStringLiteral("Газета")));
        table->selectRow(paper);
        QVERIFY(window.findChild<QLabel*>("chartTitle")->text().contains(QStringLiteral("Газета")));
        QCOMPARE(calls(), window.analysis().rows().at(1).calls);
        QVERIFY(calls() > 0);
        QCOMPARE(window.heatMapView()->heatMap().timedTotal(), window.analysis().total().calls);
    }

    void exportsTheShownAnalysis()
    {
        AnalysisWindow window(m_env.get());
        window.setDates(QDate(2026, 11, 2), QDate(2026, 11, 8));
        window.table()->sortByColumn(1, Qt::AscendingOrder); // the files keep the order shown
        const QStringList files{m_dir.filePath("a.htm"), m_dir.filePath("a.pdf"),
                                m_dir.filePath("a.csv")};
        for (int format = 0; format < files.size(); ++format)
            QVERIFY(window.exportTo(format, files.at(format)));
        QFile html(files.at(0));
        QVERIFY(html.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(html.readAll());
        QVERIFY(page.contains(QStringLiteral("&lt;i&gt;Радио&lt;/i&gt;")));
        QVERIFY(page.contains(QStringLiteral("02.11.2026 - 08.11.2026")));
        QVERIFY(page.contains(QStringLiteral("Звонки по дням недели и часам")));
        QFile pdf(files.at(1));
        QVERIFY(pdf.open(QIODevice::ReadOnly) && pdf.read(5) == "%PDF-");
        QFile csv(files.at(2));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(csv.readAll()).split("\r\n");
        QCOMPARE(lines.size(), 6); // headings, three sources, totals, and the end
        QVERIFY(lines.at(1).startsWith(QStringLiteral("<i>Радио</i>;0;")));
        QVERIFY(lines.at(3).startsWith(QStringLiteral("Интернет;11;")));
        QVERIFY(lines.at(4).startsWith(QStringLiteral("Итого;18;")));
        // A folder that is not there: a message, and false.
        TestSupport::MessageRecorder messages;
        QVERIFY(!window.exportTo(0, m_dir.filePath("none/a.htm")));
        QCOMPARE(messages.shown().size(), 1);
    }

    void spendEditorRefusesABadAmountAndStoresTheMonth()
    {
        SpendDialog dialog(m_env.get(), QDate(2026, 11, 20));
        QCOMPARE(dialog.monthEdit()->date(), QDate(2026, 11, 1));
        QTableWidget* table = dialog.table();
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->item(1, 0)->text(), QStringLiteral("Газета"));
        TestSupport::MessageRecorder messages;
        table->item(0, 1)->setText(QStringLiteral("15 000,50"));
        table->item(1, 1)->setText("-5");
        QVERIFY(!dialog.save());
        QCOMPARE(messages.shown().size(), 1);
        QVERIFY(messages.shown().first().text.contains(QStringLiteral("Газета")));
        QVERIFY(messages.shown().first().text.contains(QStringLiteral("отрицательн")));
        QList<SpendStore::Entry> entries;
        QVERIFY(SpendStore(m_env.get()).entries(&entries));
        QVERIFY(entries.isEmpty());

        table->item(1, 1)->setText("3000.00");
        QVERIFY(dialog.save());
        QVERIFY(SpendStore(m_env.get()).entries(&entries));
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.at(0).kopecks, qint64(1500050));
        QCOMPARE(entries.at(1).source, QStringLiteral("Газета"));
        QCOMPARE(entries.at(1).kopecks, qint64(300000));
        // Shown again as stored; emptied, the amount goes.
        QCOMPARE(table->item(0, 1)->text(), QStringLiteral("15\u00A0000,50"));
        table->item(0, 1)->setText(QString());
        QVERIFY(dialog.save());
        QVERIFY(SpendStore(m_env.get()).entries(&entries));
        QCOMPARE(entries.size(), 1);

        AnalysisWindow window(m_env.get());
        window.setDates(QDate(2026, 11, 1), QDate(2026, 11, 15));
        QCOMPARE(window.analysis().rows().at(1).spend, qint64(150000));
    }

    // A picture of the window over a salon's autumn, when a folder for pictures is given.
    void picture()
    {
        const QString folder = qEnvironmentVariable("KALVENT_SCREENS_DIR");
        if (folder.isEmpty())
            QSKIP("no folder for pictures");
        DataEnv env(m_dir.filePath("picture.db"));
        QVERIFY(env.connect());
        struct Source
        {
            QString name;
            int perWeek;
            int bookedIn10;
            qint64 monthly;
        };
        const QList<Source> sources{{QStringLiteral("Интернет"), 38, 4, 2500000},
                                    {QStringLiteral("Газета"), 9, 3, 1200000},
                                    {QStringLiteral("Радио"), 6, 2, 1800000},
                                    {QStringLiteral("Листовка"), 12, 3, 450000},
                                    {QStringLiteral("Знакомые"), 11, 7, 0},
                                    {QStringLiteral("Вывеска"), 5, 5, 0},
                                    {QStringLiteral("Соцсети"), 17, 3, 900000}};
        for (const Source& source : sources.mid(1))
            env.bind("Istochnik")->addRow("IName", source.name);
        QRandomGenerator random(7);
        QVector<QVariantList> calls;
        const QList<int> busy{10, 10, 11, 11, 12, 13, 14, 15, 16, 17, 17, 18, 19, 9, 20};
        for (QDate day(2026, 9, 1); day <= QDate(2026, 12, 8); day = day.addDays(1)) {
            for (int s = 0; s < sources.size(); ++s) {
                const int weekend = day.dayOfWeek() >= 6 ? 2 : 1;
                const int n = int(random.bounded(sources[s].perWeek * 2 / 7 + 1)) * weekend;
                for (int i = 0; i < n; ++i) {
                    const bool timed = random.bounded(25) != 0;
                    calls << QVariantList{
                        day, "A", sources[s].name, int(random.bounded(10)) < sources[s].bookedIn10,
                        timed ? QTime(busy.at(random.bounded(int(busy.size()))), random.bounded(60))
                              : QTime()};
                }
            }
        }
        QVERIFY(env.addCalls(calls));
        SpendStore spend(&env);
        for (QDate month(2026, 8, 1); month <= QDate(2026, 12, 1); month = month.addMonths(1))
            for (const Source& source : sources)
                if (source.monthly > 0)
                    QVERIFY(spend.set(source.name, month, source.monthly + 150 * month.month()));
        AnalysisWindow window(&env);
        window.resize(1240, 860);
        window.choosePreset(
            int(AnalysisPeriod::presets().indexOf(AnalysisPeriod::Preset::LastMonth)));
        window.table()->sortByColumn(1, Qt::DescendingOrder);
        window.table()->selectRow(1);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(300);
        QVERIFY(window.grab().save(QDir(folder).filePath("analysis-window.png")));
    }

    void oneWindowThatKeepsItsSizeAndTheMailOption()
    {
        SettingsStore store;
        QVERIFY(!AnalysisAttachment::isOn(store));
        AnalysisWindow* window = AnalysisWindow::showWindow(m_env.get(), nullptr);
        QCOMPARE(AnalysisWindow::showWindow(m_env.get(), nullptr), window);
        QVERIFY(!window->mailOption()->isChecked());
        window->mailOption()->setChecked(true);
        QVERIFY(AnalysisAttachment::isOn(store));
        window->resize(900, 640);
        QPointer<AnalysisWindow> closed(window);
        window->close();
        QTRY_VERIFY(!closed);
        AnalysisWindow again(m_env.get());
        QCOMPARE(again.size(), QSize(900, 640));
        QVERIFY(again.mailOption()->isChecked());
        again.mailOption()->setChecked(false);
        QVERIFY(!AnalysisAttachment::isOn(store));
    }

    // The summary check box beside it stores its own option, and shows the stored one.
    void theDigestCheckBoxStoresTheOption()
    {
        SettingsStore store;
        QVERIFY(!DigestOption::isOn(store));
        AnalysisWindow window(m_env.get());
        auto* digest = window.findChild<QCheckBox*>("mailDigest");
        QVERIFY(digest);
        QCOMPARE(digest->text(), QStringLiteral("Сводка в тексте письма"));
        QVERIFY(!digest->isChecked());
        digest->setChecked(true);
        QVERIFY(DigestOption::isOn(store));
        QVERIFY(!AnalysisAttachment::isOn(store));
        AnalysisWindow again(m_env.get());
        QVERIFY(again.findChild<QCheckBox*>("mailDigest")->isChecked());
        again.findChild<QCheckBox*>("mailDigest")->setChecked(false);
        QVERIFY(!DigestOption::isOn(store));
    }
};

QTEST_MAIN(TestAnalysisWindow)
#include "tst_analysiswindow.moc"

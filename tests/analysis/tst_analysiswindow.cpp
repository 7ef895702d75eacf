#include "AnalysisWindow.h"
#include "AppPaths.h"
#include "CallStore.h"
#include "Clock.h"
#include "DataEnv.h"
#include "FiguresModel.h"
#include "HeatMapView.h"
#include "KeptCalls.h"
#include "MailingSettings.h"
#include "RowSet.h"
#include "SettingsStore.h"
#include "SpendDialog.h"
#include "SpendStore.h"
#include "TestSupport.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QSettings>
#include <QSqlQuery>
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
        QVector<Call> calls;
        for (int day = 0; day < 60; ++day) {
            const QDate date = QDate(2026, 10, 15).addDays(day);
            for (int i = 0; i <= day % 4; ++i)
                calls << Call{date, "A",
                              i % 2 ? QStringLiteral("Газета") : QStringLiteral("Интернет"), i == 0,
                              QTime(9 + i, 0)};
        }
        QVERIFY(m_env->calls().addMany(calls));
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
        auto* compare = window.findChild<QComboBox*>("compare");
        auto* label = window.findChild<QLabel*>("previous");
        QCOMPARE(label->text(), QStringLiteral("01.11.2026 - 30.11.2026 в сравнении с 01.10.2026 - "
                                               "31.10.2026 (прошлый месяц)"));
        window.choosePreset(0); // this week, from Monday to today, against the same days before
        QCOMPARE(from->date(), QDate(2026, 12, 7));
        QCOMPARE(to->date(), QDate(2026, 12, 9));
        QCOMPARE(window.analysis().previous().from(), QDate(2026, 11, 30));
        QCOMPARE(window.analysis().previous().to(), QDate(2026, 12, 2));
        QCOMPARE(label->text(), QStringLiteral("07.12.2026 - 09.12.2026 в сравнении с 30.11.2026 - "
                                               "02.12.2026 (те же дни прошлой недели)"));
        window.chooseComparison(
            int(AnalysisPeriod::comparisons().indexOf(AnalysisPeriod::Comparison::PreviousYear)));
        QCOMPARE(window.analysis().previous().from(), QDate(2025, 12, 8)); // 52 weeks before
        QCOMPARE(compare->currentIndex(), 2);
        window.choosePreset(2); // this month: the comparison goes back to the preset's own
        QCOMPARE(window.analysis().previous().from(), QDate(2026, 11, 1));
        QCOMPARE(window.analysis().previous().to(), QDate(2026, 11, 9));
        QVERIFY(label->text().endsWith(QStringLiteral("(те же дни прошлого месяца)")));
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
            table->sortByColumn(3, order); // the rate: "—" after every number either way
            QCOMPARE(column(table, 0).at(2), QStringLiteral("<i>Радио</i>"));
        }

        // The chart: all calls when no source is selected; else one series per selected
        // source, in the colour the table shows beside its name.
        auto series = [&] { return window.chartView()->chart()->series(); };
        QCOMPARE(series().size(), 1);
        QCOMPARE(series().first()->name(), QStringLiteral("Все звонки"));
        table->sortByColumn(0, Qt::AscendingOrder);
        QAbstractItemModel* shown = table->model();
        table->selectionModel()->select(QItemSelection(shown->index(1, 0), shown->index(2, 0)),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(series().size(), 2);
        for (QAbstractSeries* chosen : series()) {
            const int row = int(column(table, 0).indexOf(chosen->name()));
            QVERIFY2(row == 1 || row == 2, qPrintable(chosen->name()));
            const QColor colour = shown->index(row, 0).data(Qt::DecorationRole).value<QColor>();
            QVERIFY(colour.isValid());
            QCOMPARE(static_cast<QLineSeries*>(chosen)->color(), colour);
            QVERIFY(static_cast<QLineSeries*>(chosen)->count() > 0);
        }
        QVERIFY(!shown->index(0, 0).data(Qt::DecorationRole).isValid());
        QVERIFY(window.findChild<QLabel*>("chartTitle")
                    ->text()
                    .contains(QStringLiteral("Звонков в день")));
        window.chartMeasure()->setCurrentIndex(1);
        QVERIFY(window.findChild<QLabel*>("chartTitle")
                    ->text()
                    .contains(QStringLiteral("Записей в день")));
        QCOMPARE(series().size(), 2);
        window.chartMeasure()->setCurrentIndex(0);

        // A week is a point to be seen; no point lies after today.
        window.choosePreset(0);
        QCOMPARE(series().size(), 1);
        QCOMPARE(static_cast<QLineSeries*>(series().first())->count(), 1);
        QVERIFY(static_cast<QLineSeries*>(series().first())->pointsVisible());
        window.setDates(QDate(2026, 11, 20), QDate(2026, 12, 31));
        const qreal tomorrow = qreal(Clock::today().addDays(1).startOfDay().toMSecsSinceEpoch());
        const QList<QPointF> points = static_cast<QLineSeries*>(series().first())->points();
        QCOMPARE(points.size(), 4); // 20-22 Nov, 23-29 Nov, 30 Nov - 6 Dec, 7-9 Dec
        for (const QPointF& point : points)
            QVERIFY(point.x() < tomorrow);
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
        QCOMPARE(window.analysis().rows().at(1).spend, std::optional<qint64>(150000));
    }

    // A source added elsewhere shows at once; typed amounts and the operator's cell stay.
    void spendEditorFollowsTheListOfSources()
    {
        SpendDialog dialog(m_env.get(), QDate(2027, 1, 10));
        dialog.show();
        QTableWidget* table = dialog.table();
        QCOMPARE(table->rowCount(), 3);
        table->item(1, 1)->setText(QStringLiteral("2 500"));
        table->setCurrentCell(2, 1);
        const QString current = table->item(2, 0)->text();
        QVERIFY(QSqlQuery(m_env->database().connection())
                    .exec(QStringLiteral("INSERT INTO IName (IName) VALUES ('Радио')")));
        emit m_env->connection().tableChanged("IName"); // as another desk announces it
        QCOMPARE(table->rowCount(), 4);
        QCOMPARE(table->item(3, 0)->text(), QStringLiteral("Радио"));
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("2 500"));
        QVERIFY(dialog.isModified());
        QCOMPARE(table->item(table->currentRow(), 0)->text(), current);
        QCOMPARE(table->currentColumn(), 1);
        QVERIFY(QSqlQuery(m_env->database().connection())
                    .exec(QStringLiteral("DELETE FROM IName WHERE IName = 'Радио'")));
        emit m_env->connection().tableChanged("IName");
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("2 500"));
    }

    void spendEditorKeepsWhatIsTyped()
    {
        SpendDialog dialog(m_env.get(), QDate(2027, 1, 10));
        dialog.show();
        QTableWidget* table = dialog.table();
        auto stored = [&](const QDate& month) {
            QList<SpendStore::Entry> amounts;
            SpendStore(m_env.get()).listMonth(month, &amounts);
            QList<qint64> kopecks;
            for (const SpendStore::Entry& amount : std::as_const(amounts))
                kopecks << amount.kopecks;
            return kopecks;
        };
        const QDate january(2027, 1, 1);
        const QDate february(2027, 2, 1);
        const QList<qint64> none{-1, -1, -1};
        TestSupport::MessageRecorder messages;
        table->item(0, 1)->setText(QStringLiteral("1 000"));

        // Another month asks first; "Отмена" stays with what is typed.
        messages.answer(QMessageBox::Cancel);
        dialog.monthEdit()->setDate(february);
        QCOMPARE(messages.shown().size(), 1);
        QCOMPARE(messages.shown().first().buttons,
                 QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        QCOMPARE(dialog.monthEdit()->date(), january);
        QCOMPARE(table->item(0, 1)->text(), QStringLiteral("1 000"));
        // "Не сохранять" goes on and stores nothing.
        messages.answer(QMessageBox::Discard);
        dialog.monthEdit()->setDate(february);
        QCOMPARE(dialog.monthEdit()->date(), february);
        QCOMPARE(stored(january), none);
        // Nothing typed: no question.
        dialog.monthEdit()->setDate(january);
        QCOMPARE(messages.shown().size(), 2);
        QVERIFY(table->item(0, 1)->text().isEmpty());
        // "Сохранить" stores the month left.
        table->item(0, 1)->setText(QStringLiteral("1 000"));
        table->item(1, 1)->setText(QStringLiteral("250,50"));
        messages.answer(QMessageBox::Save);
        dialog.monthEdit()->setDate(february);
        QCOMPARE(messages.shown().size(), 3);
        QCOMPARE(stored(january), QList<qint64>({100000, 25050, -1}));
        QVERIFY(table->item(0, 1)->text().isEmpty());

        // "Как в прошлом месяце" fills the fields in; they are stored when saved.
        auto* copy = dialog.findChild<QPushButton*>("copyPrevious");
        QVERIFY(copy);
        copy->click();
        QCOMPARE(table->item(0, 1)->text(), QStringLiteral("1\u00A0000,00"));
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("250,50"));
        QVERIFY(table->item(2, 1)->text().isEmpty());
        QCOMPARE(stored(february), none);

        // Closing asks as well: "Отмена" keeps the dialog, "Сохранить" stores and closes.
        messages.answer(QMessageBox::Cancel);
        QVERIFY(dialog.close() == false);
        QVERIFY(dialog.isVisible());
        messages.answer(QMessageBox::Save);
        QVERIFY(dialog.close());
        QCOMPARE(messages.shown().size(), 5);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(stored(february), QList<qint64>({100000, 25050, -1}));

        // An amount still in its cell's editor counts as typed.
        dialog.show();
        table->setCurrentItem(table->item(2, 1)); // where typing opens the editor
        table->editItem(table->item(2, 1));
        auto* editor = table->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->setText(QStringLiteral("70"));
        messages.answer(QMessageBox::Discard);
        QVERIFY(dialog.close());
        QCOMPARE(messages.shown().size(), 6);
        QCOMPARE(stored(february), QList<qint64>({100000, 25050, -1}));
    }

    // On a 1024×600 screen (less the title bar and borders) every button shows whole, the
    // totals row stays in sight among forty sources, the heat map and the chart keep room.
    void fitsASmallScreen()
    {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Kalvent", "Kalvent")
            .setValue("analysisSize", QSize(4000, 3000));
        {
            AnalysisWindow huge(m_env.get());
            QVERIFY(huge.width() <= area.width() && huge.height() <= area.height());
        }

        DataEnv env(TestSupport::database(m_dir.filePath("many.db")));
        QVERIFY(env.connect());
        QVector<Call> calls;
        for (int s = 1; s <= 40; ++s) {
            const QString name = QStringLiteral("Источник %1").arg(s);
            QVERIFY(env.bind("Istochnik")->addRow("IName", name));
            calls << Call{QDate(2026, 11, 3), "A", name, s % 2 == 0, QTime(10, 0)};
        }
        QVERIFY(env.calls().addMany(calls));
        AnalysisWindow window(&env);
        window.resize(1008, 560);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.size(), QSize(1008, 560)); // not held larger by what it holds
        for (QWidget* control : window.findChildren<QWidget*>()) {
            if (!qobject_cast<QPushButton*>(control) && !qobject_cast<QCheckBox*>(control))
                continue;
            const QRect place(control->mapTo(&window, QPoint(0, 0)), control->size());
            QVERIFY2(window.rect().contains(place), qPrintable(control->objectName()));
            QVERIFY2(control->width() >= control->sizeHint().width(),
                     qPrintable(control->objectName()));
        }
        bool totalsInSight = false;
        for (QTableView* view : window.findChildren<QTableView*>()) {
            for (int row = 0; view->isVisible() && row < view->model()->rowCount(); ++row) {
                const QModelIndex name = view->model()->index(row, 0);
                if (!view->isRowHidden(row) && name.data().toString() == QStringLiteral("Итого") &&
                    view->viewport()->rect().contains(view->visualRect(name)))
                    totalsInSight = true;
            }
        }
        QVERIFY(totalsInSight);
        QVERIFY(window.table()->rowAt(window.table()->viewport()->height() - 1) >= 4);
        QVERIFY(window.heatMapView()->height() >= window.heatMapView()->minimumSizeHint().height());
        QVERIFY(window.chartView()->height() >= 150);
    }

    // A picture of the window over a salon's autumn, when a folder for pictures is given.
    // The analysis reads the server: calls still kept at this desk are told on a line of their
    // own, shown only while any wait (never on a file).
    void callsNotSentAreToldBesideTheAnalysis()
    {
        const bool server = m_env->connection().dialect().isServer();
        KeptCalls kept(m_env->database().path(), AppPaths::deskId());
        if (server)
            for (int i = 0; i < 3; ++i)
                QVERIFY(kept.keep(Call{QDate(2026, 12, 1), "A", "Газета", false, QTime(9, i)}));
        {
            AnalysisWindow window(m_env.get());
            auto* line = window.findChild<QLabel*>("notSent");
            QVERIFY(line);
            QCOMPARE(line->isHidden(), !server);
            if (server)
                QCOMPARE(line->text(), QStringLiteral("3 звонка ещё не переданы на сервер"));
            const QString folder = qEnvironmentVariable("KALVENT_SCREENS_DIR");
            if (server && !folder.isEmpty()) {
                window.resize(1024, 600);
                window.show();
                QVERIFY(window.grab().save(QDir(folder).filePath("analysis-not-sent.png")));
            }
        }
        QVector<KeptCalls::Kept> calls;
        QVERIFY(!server || kept.waiting(&calls));
        for (const KeptCalls::Kept& call : std::as_const(calls))
            QVERIFY(kept.discard(call.number));
        AnalysisWindow window(m_env.get());
        QVERIFY(window.findChild<QLabel*>("notSent")->isHidden());
    }

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
        QVector<Call> calls;
        const QList<int> busy{10, 10, 11, 11, 12, 13, 14, 15, 16, 17, 17, 18, 19, 9, 20};
        for (QDate day(2026, 9, 1); day <= QDate(2026, 12, 8); day = day.addDays(1)) {
            for (int s = 0; s < sources.size(); ++s) {
                const int weekend = day.dayOfWeek() >= 6 ? 2 : 1;
                const int n = int(random.bounded(sources[s].perWeek * 2 / 7 + 1)) * weekend;
                for (int i = 0; i < n; ++i) {
                    const bool timed = random.bounded(25) != 0;
                    calls << Call{
                        day, "A", sources[s].name, int(random.bounded(10)) < sources[s].bookedIn10,
                        timed ? QTime(busy.at(random.bounded(int(busy.size()))), random.bounded(60))
                              : QTime()};
                }
            }
        }
        QVERIFY(env.calls().addMany(calls));
        SpendStore spend(&env);
        for (QDate month(2026, 8, 1); month <= QDate(2026, 12, 1); month = month.addMonths(1))
            for (const Source& source : sources)
                if (source.monthly > 0)
                    QVERIFY(spend.set(source.name, month, source.monthly + 150 * month.month()));
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Kalvent", "Kalvent")
            .remove("analysisSize");
        QFont font("Arial"); // the program's own
        font.setPointSizeF(8.25);
        QApplication::setFont(font);
        AnalysisWindow window(&env); // as it first opens
        window.choosePreset(
            int(AnalysisPeriod::presets().indexOf(AnalysisPeriod::Preset::LastMonth)));
        window.table()->sortByColumn(1, Qt::DescendingOrder);
        window.table()->selectRow(1);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(300);
        QVERIFY(window.grab().save(QDir(folder).filePath("analysis-window.png")));
        window.resize(1008, 560); // a 1024×600 screen less the title bar and borders
        QTest::qWait(300);
        QVERIFY(window.grab().save(QDir(folder).filePath("analysis-window-1024x600.png")));
        QVERIFY(window.exportTo(1, QDir(folder).filePath("analysis.pdf")));
        SpendDialog spendDialog(&env, QDate(2026, 11, 1), &window);
        spendDialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&spendDialog));
        QVERIFY(spendDialog.grab().save(QDir(folder).filePath("spend-dialog.png")));
        // The question before typed amounts would be dropped, as the operator sees it.
        spendDialog.table()->item(4, 1)->setText(QStringLiteral("500"));
        bool asked = false;
        QTimer::singleShot(300, &spendDialog, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                asked = box->grab().save(QDir(folder).filePath("spend-question.png"));
                QMetaObject::invokeMethod(box, "reject", Qt::QueuedConnection);
            }
        });
        QVERIFY(!spendDialog.close()); // "Отмена"
        QVERIFY(asked);
    }

    void oneWindowThatKeepsItsSizeAndTheMailOption()
    {
        SettingsStore store;
        QVERIFY(!MailingSettings::isOptionOn(store, MailingSettings::analysisKey));
        AnalysisWindow* window = AnalysisWindow::showWindow(m_env.get(), nullptr);
        QCOMPARE(AnalysisWindow::showWindow(m_env.get(), nullptr), window);
        QVERIFY(!window->mailOption()->isChecked());
        window->mailOption()->setChecked(true);
        QVERIFY(MailingSettings::isOptionOn(store, MailingSettings::analysisKey));
        const QSize kept =
            QGuiApplication::primaryScreen()->availableGeometry().size() - QSize(40, 60);
        window->resize(kept);
        QCOMPARE(window->size(), kept);
        QPointer<AnalysisWindow> closed(window);
        window->close();
        QTRY_VERIFY(!closed);
        AnalysisWindow again(m_env.get());
        QCOMPARE(again.size(), kept);
        QVERIFY(again.mailOption()->isChecked());
        again.mailOption()->setChecked(false);
        QVERIFY(!MailingSettings::isOptionOn(store, MailingSettings::analysisKey));
    }

    // The summary check box beside it stores its own option, and shows the stored one.
    void theDigestCheckBoxStoresTheOption()
    {
        SettingsStore store;
        QVERIFY(!MailingSettings::isOptionOn(store, MailingSettings::digestKey));
        AnalysisWindow window(m_env.get());
        auto* digest = window.findChild<QCheckBox*>("mailDigest");
        QVERIFY(digest);
        QCOMPARE(digest->text(), QStringLiteral("Сводка в тексте письма"));
        QVERIFY(!digest->isChecked());
        digest->setChecked(true);
        QVERIFY(MailingSettings::isOptionOn(store, MailingSettings::digestKey));
        QVERIFY(!MailingSettings::isOptionOn(store, MailingSettings::analysisKey));
        AnalysisWindow again(m_env.get());
        QVERIFY(again.findChild<QCheckBox*>("mailDigest")->isChecked());
        again.findChild<QCheckBox*>("mailDigest")->setChecked(false);
        QVERIFY(!MailingSettings::isOptionOn(store, MailingSettings::digestKey));
    }
};

QTEST_MAIN(TestAnalysisWindow)
#include "tst_analysiswindow.moc"

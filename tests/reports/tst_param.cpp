#include "CallStore.h"
#include "Clock.h"
#include "DataEnv.h"
#include "Param.h"
#include "PostgresDialect.h"
#include "ReportKind.h"
#include "ReportLayouts.h"
#include "ReportPreview.h"
#include "ReportRunner.h"
#include "RowSet.h"
#include "SqliteDialect.h"
#include "TestSupport.h"
#include "Twips.h"

#include <QDateEdit>
#include <QDialog>
#include <QGuiApplication>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QScreen>
#include <QSqlQuery>

namespace {

// The engine's dialect, noting every value bound to a statement.
template <class Engine> class RecordingDialect : public Engine
{
public:
    explicit RecordingDialect(QVariantList* bound) : m_bound(bound) {}
    QVariant toDb(const QVariant& value) const override
    {
        *m_bound << value;
        return Engine::toDb(value);
    }

private:
    QVariantList* m_bound;
};

std::unique_ptr<SqlDialect> recordingDialect(QVariantList* bound)
{
    if (TestSupport::onServer())
        return std::make_unique<RecordingDialect<PostgresDialect>>(bound);
    return std::make_unique<RecordingDialect<SqliteDialect>>(bound);
}

// What the preview saw when it was shown.
struct Shown
{
    QString caption;
    QSize size;
    QString period;
    bool rowSetOpen = false;
    int rows = 0;
    QMap<QString, QPair<int, int>> counts; // name -> (calls, booked)
    int pages = 0;
};

const QDate today(2026, 12, 6);

} // namespace

class TestParam : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        QVERIFY(m_dir.isValid());
        Clock::setFixed(QDateTime(today, QTime(9, 30)));
        m_env = std::make_unique<DataEnv>(TestSupport::database(m_dir.filePath("KvBD.db")),
                                          recordingDialect(&m_bound));
        QVERIFY2(m_env->connect(), qPrintable(m_env->errorText()));
        QVERIFY(m_env->bind("Istochnik"));
        QVERIFY(m_env->rowSet("rsIstochnik")->addRow("IName", QStringLiteral("Газета")));
        QVERIFY(m_env->rowSet("rsIstochnik")->addRow("IName", QStringLiteral("<b>Радио</b>")));
        QVERIFY(m_env->bind("Uslugi"));
        QVERIFY(m_env->rowSet("rsUslugi")->addRow("Uname", QStringLiteral("Стрижка")));
        QVERIFY(m_env->rowSet("rsUslugi")->addRow("Uname", QStringLiteral("Маникюр")));
        const QString net = QStringLiteral("Интернет");
        const QString paper = QStringLiteral("Газета");
        const QString cut = QStringLiteral("Стрижка");
        const QString nails = QStringLiteral("Маникюр");
        const QTime noon(12, 0);
        const QVector<Call> calls = {
            {today.addDays(-8), cut, net, true, noon}, // before the default period
            {today.addDays(-7), cut, net, true, noon}, // first day of it
            {today.addDays(-7), nails, paper, false, noon},
            {today.addDays(-3), cut, paper, true, noon},
            {today.addDays(-3), nails, QStringLiteral("интернет"), false, noon},
            {today, nails, net, true, noon},          // last day of it
            {today.addDays(1), cut, net, true, noon}, // after it
        };
        QVERIFY2(m_env->calls().addMany(calls), qPrintable(m_env->calls().errorText()));
    }

    void init()
    {
        m_bound.clear();
        m_shown.clear();
        m_failPreview.clear();
        ReportPreview::setHandler(
            [this](QDialog& preview, const QAbstractItemModel& rows, const QString& period) {
                return notePreview(preview, rows, period);
            });
    }

    void cleanup() { ReportPreview::setHandler({}); }

    void cleanupTestCase() { Clock::setFixed(QDateTime()); }

    void startsFromTheLastWeekOnEveryOpening()
    {
        int kind = 0;
        Param first([&] { return kind; }, m_env.get());
        QCOMPARE(first.findChildren<QPushButton*>().size(), 1);

        QDateEdit* from = first.findChild<QDateEdit*>("Data1");
        QDateEdit* to = first.findChild<QDateEdit*>("Data2");
        QCOMPARE(from->date(), QDate(2026, 11, 29));
        QCOMPARE(to->date(), today);
        QVERIFY(from->text().contains("2026"));
        from->setDate(QDate(2020, 1, 1));
        to->setDate(QDate(2020, 2, 1));

        Param second([&] { return kind; }, m_env.get());
        QCOMPARE(second.findChild<QDateEdit*>("Data1")->date(), QDate(2026, 11, 29));
        QCOMPARE(second.findChild<QDateEdit*>("Data2")->date(), today);

        Clock::advance(24 * 3600 * 1000);
        Param later([&] { return kind; }, m_env.get());
        QCOMPARE(later.findChild<QDateEdit*>("Data1")->date(), QDate(2026, 11, 30));
        QCOMPARE(later.findChild<QDateEdit*>("Data2")->date(), today.addDays(1));
        Clock::setFixed(QDateTime(today, QTime(9, 30)));
    }

    void okPreviewsTheChosenKind_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("rowSet");
        QTest::addColumn<int>("parameters");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("calls");
        QTest::addColumn<int>("booked");
        QTest::newRow("1 by source")
            << 1 << QStringLiteral("Отчет по кол-ву звонков из разных источников")
            << "rsReportkolVoZv" << 4 << QStringLiteral("Газета") << 2 << 1;
        QTest::newRow("2 by service")
            << 2 << QStringLiteral("Отчет по кол-ву звонков в зависимости от услуги")
            << "rsReportKolvoUsl" << 4 << QStringLiteral("Маникюр") << 3 << 1;
        QTest::newRow("3 internet by service")
            << 3 << QStringLiteral("Отчет по звонкам из интернета") << "rsReportInternet" << 4
            << QStringLiteral("Маникюр") << 2 << 1;
        QTest::newRow("4 by date") << 4 << QStringLiteral("Отчет по звонкам (по датам)")
                                   << "rsReportDates" << 2 << "29.11.2026" << 2 << 1;
    }

    void okPreviewsTheChosenKind()
    {
        QFETCH(int, kind);
        QFETCH(QString, caption);
        QFETCH(QString, rowSet);
        QFETCH(int, parameters);
        QFETCH(QString, name);
        QFETCH(int, calls);
        QFETCH(int, booked);
        TestSupport::MessageRecorder messages;
        int reads = 0;
        Param param(
            [&] {
                ++reads;
                return kind;
            },
            m_env.get());
        param.show();
        m_bound.clear();
        param.findChild<QPushButton*>("Ok")->click();

        // The period goes to the command in order: from, to (twice for kinds 1 to 3).
        QVariantList expected;
        for (int i = 0; i < parameters / 2; ++i)
            expected << QDate(2026, 11, 29) << today;
        QCOMPARE(m_bound, expected);
        QCOMPARE(reads, 4); // the kind is read afresh for each of the four tests

        QCOMPARE(m_shown.size(), 1);
        const Shown& shown = m_shown.first();
        QCOMPARE(shown.caption, caption);
        // Most of the screen the first time, never less than the layout's own window (as far
        // as the screen allows); then the size it was closed at.
        const ReportLayout* layout = ReportLayouts::get(ReportKind::find(kind)->layoutName());
        const QSize client =
            Twips::size(layout->previewClientSize().width(), layout->previewClientSize().height());
        const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
        QVERIFY(shown.size.width() >= qMin(client.width(), screen.width()));
        QVERIFY(shown.size.height() >= qMin(client.height(), screen.height()));
        QVERIFY(shown.size.width() <= screen.width() && shown.size.height() <= screen.height());
        QCOMPARE(ReportPreview::startSize(*layout), shown.size);
        QCOMPARE(shown.period, QString("29.11.2026 - 06.12.2026"));
        QVERIFY(!shown.rowSetOpen); // the preview shows its copy of the rows
        QVERIFY(shown.pages >= 1);
        QVERIFY2(shown.counts.contains(name),
                 qPrintable(QStringList(shown.counts.keys()).join('|')));
        QCOMPARE(shown.counts.value(name), qMakePair(calls, booked));

        QVERIFY(!m_env->rowSet(rowSet)->isOpen());
        QVERIFY(messages.shown().isEmpty());
        QVERIFY(!param.isVisible());
        QCOMPARE(param.result(), int(QDialog::Accepted));
    }

    void byDateCountsOnlyDatesWithCallsAndSourcesWithoutCallsShowZero()
    {
        const ReportPeriod period(QDate(2026, 11, 29), today);
        QVERIFY(preview(ReportKind::ByDate, period));
        QCOMPARE(m_shown.last().rows, 3);
        QVERIFY(preview(ReportKind::BySource, period));
        QCOMPARE(m_shown.last().counts.value(QStringLiteral("<b>Радио</b>")), qMakePair(0, 0));
        // Name case is ignored: "интернет" counts with "Интернет".
        QCOMPARE(m_shown.last().counts.value(QStringLiteral("Интернет")), qMakePair(3, 2));
    }

    void otherKindsOrTheCloseBoxRunNothing()
    {
        {
            Param param([] { return 1; }, m_env.get());
            param.show();
            m_bound.clear();
            param.close(); // the close box
            QVERIFY(m_bound.isEmpty());
            QVERIFY(m_shown.isEmpty());
            QCOMPARE(param.result(), int(QDialog::Rejected));
        }
        for (int kind : {0, 5, -1}) {
            Param param([kind] { return kind; }, m_env.get());
            m_bound.clear();
            param.dispatch();
            QVERIFY(m_bound.isEmpty());
            QVERIFY(m_shown.isEmpty());
            QCOMPARE(param.result(), int(QDialog::Accepted));
        }
    }

    void secondRunOfAKindShowsItsOwnPeriod()
    {
        QVERIFY(preview(1, ReportPeriod(today.addDays(-8), today.addDays(-8))));
        QVERIFY(preview(1, ReportPeriod(today.addDays(1), today.addDays(1))));
        QCOMPARE(m_shown.size(), 2);
        QCOMPARE(m_shown.at(0).period, QString("28.11.2026 - 28.11.2026"));
        QCOMPARE(m_shown.at(0).counts.value(QStringLiteral("Интернет")), qMakePair(1, 1));
        QCOMPARE(m_shown.at(0).counts.value(QStringLiteral("Газета")), qMakePair(0, 0));
        QCOMPARE(m_shown.at(1).period, QString("07.12.2026 - 07.12.2026"));
        QCOMPARE(m_shown.at(1).counts.value(QStringLiteral("Интернет")), qMakePair(1, 1));
        // The shared layout is never written: the period goes in beside it.
        QCOMPARE(ReportLayouts::get("RepkolVo")->periodLabel()->caption(), QString("Data"));

        // From after to: every source with zero counts.
        QVERIFY(preview(1, ReportPeriod(today, today.addDays(-7))));
        for (const auto& counts : m_shown.last().counts)
            QCOMPARE(counts, qMakePair(0, 0));
    }

    void failedPreviewClosesTheRowSetAndTellsTheOperator()
    {
        TestSupport::MessageRecorder messages;
        m_failPreview = QStringLiteral("принтер недоступен");
        Param param([] { return 2; }, m_env.get());
        param.dispatch();
        QCOMPARE(m_shown.size(), 1);
        QVERIFY(!m_env->rowSet("rsReportKolvoUsl")->isOpen());
        QCOMPARE(messages.shown().size(), 1);
        const Dialogs::Message& message = messages.shown().first();
        QCOMPARE(message.icon, QMessageBox::Critical);
        QVERIFY2(message.text.contains(QStringLiteral("принтер недоступен")),
                 qPrintable(message.text));
        QVERIFY(message.text.contains(QStringLiteral("в зависимости от услуги")));

        // The next report of the same kind works.
        m_failPreview.clear();
        messages.clear();
        QVERIFY(preview(2, ReportPeriod(QDate(2026, 11, 29), today)));
        QCOMPARE(m_shown.last().counts.value(QStringLiteral("Маникюр")), qMakePair(3, 1));
        QVERIFY(messages.shown().isEmpty());
        QVERIFY(!m_env->rowSet("rsReportKolvoUsl")->isOpen());
    }

    void failedCommandShowsNoPreviewAndTellsTheOperator()
    {
        TestSupport::MessageRecorder messages;
        QSqlQuery query(m_env->database().connection());
        QVERIFY(query.exec("ALTER TABLE Base RENAME TO Base_away"));
        QVERIFY(!preview(4, ReportPeriod(QDate(2026, 11, 29), today)));
        QVERIFY(m_shown.isEmpty());
        QVERIFY(!m_env->rowSet("rsReportDates")->isOpen());
        QCOMPARE(messages.shown().size(), 1);
        QCOMPARE(messages.shown().first().icon, QMessageBox::Critical);
        QVERIFY(messages.shown().first().text.startsWith(
            QStringLiteral("Отчет «Отчет по датам» не построен.")));
        QVERIFY2(messages.shown().first().text.contains("ReportDates"),
                 qPrintable(messages.shown().first().text));
        QVERIFY(query.exec("ALTER TABLE Base_away RENAME TO Base"));

        messages.clear();
        QVERIFY(preview(4, ReportPeriod(QDate(2026, 11, 29), today)));
        QCOMPARE(m_shown.last().rows, 3);
        QVERIFY(messages.shown().isEmpty());
    }

    void realPreviewWindowLaysOutTheRows()
    {
        // The window as the operator gets it: its pages come from the painter.
        ReportPreview::setHandler(
            [this](QDialog& preview, const QAbstractItemModel&, const QString&) {
                auto* widget = preview.findChild<QPrintPreviewWidget*>();
                if (!widget)
                    return QStringLiteral("no preview widget");
                widget->updatePreview();
                m_previewPages = widget->pageCount();
                const QString folder = qEnvironmentVariable("KALVENT_SCREENS_DIR");
                if (!folder.isEmpty()) {
                    preview.show();
                    QCoreApplication::processEvents();
                    preview.grab().save(QDir(folder).filePath("preview-RepkolVo.png"));
                }
                return QString();
            });
        QVERIFY(preview(1, ReportPeriod(QDate(2026, 11, 29), today)));
        QCOMPARE(m_previewPages, 1);
    }

    void exportDuringAPreviewLeavesThePreviewAsItWas()
    {
        // A scheduled export may run while the preview is open (timers keep ticking): it
        // writes the same period label and closes the same row set.
        QImage before, after;
        bool exported = false;
        ReportPreview::setHandler([&](QDialog& preview, const QAbstractItemModel&, const QString&) {
            auto* widget = preview.findChild<QPrintPreviewWidget*>();
            preview.show();
            widget->updatePreview();
            QCoreApplication::processEvents();
            before = widget->grab().toImage();
            ReportRunner timer(m_env.get());
            exported = timer.exportTo(*ReportKind::find(1),
                                      ReportPeriod(today.addDays(1), today.addDays(1)),
                                      m_dir.filePath("during.htm"));
            widget->updatePreview();
            QCoreApplication::processEvents();
            after = widget->grab().toImage();
            return QString();
        });
        QVERIFY(preview(1, ReportPeriod(QDate(2026, 11, 29), today)));
        QVERIFY(exported);
        QVERIFY(!before.isNull());
        QCOMPARE(after, before);
        QVERIFY(!m_env->rowSet("rsReportkolVoZv")->isOpen());
    }

    void exportWritesTheFileAndClosesTheRowSet()
    {
        ReportRunner runner(m_env.get());
        const QString file = m_dir.filePath("point.htm");
        QVERIFY2(
            runner.exportTo(*ReportKind::find(3), ReportPeriod(QDate(2026, 11, 29), today), file),
            qPrintable(runner.errorText()));
        QFile html(file);
        QVERIFY(html.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(html.readAll());
        QVERIFY(text.contains(QStringLiteral("29.11.2026 - 06.12.2026")));
        QVERIFY(text.contains(QStringLiteral("Отчет по звонкам из интернета")));
        QVERIFY(!m_env->rowSet("rsReportInternet")->isOpen());

        // A fractional period: the start carries its time of day.
        m_bound.clear();
        const QDateTime start(QDate(2026, 12, 4), QTime(12, 0));
        QVERIFY(runner.exportTo(*ReportKind::find(4), ReportPeriod(start, today),
                                m_dir.filePath("podates.htm")));
        QCOMPARE(m_bound, QVariantList({start, today}));
        QFile dates(m_dir.filePath("podates.htm"));
        QVERIFY(dates.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(dates.readAll()).contains("04.12.2026 12:00 - 06.12.2026"));

        const QString missing = m_dir.filePath("Send/poist.htm");
        QVERIFY(!runner.exportTo(*ReportKind::find(1), ReportPeriod(QDate(2026, 11, 29), today),
                                 missing));
        QVERIFY2(runner.errorText().contains("poist.htm"), qPrintable(runner.errorText()));
        QVERIFY(!m_env->rowSet("rsReportkolVoZv")->isOpen());
    }

private:
    bool preview(int kind, const ReportPeriod& period)
    {
        return ReportPreview::showReport(*ReportKind::find(kind), period, m_env.get(), nullptr);
    }

    QString notePreview(QDialog& preview, const QAbstractItemModel& rows, const QString& period)
    {
        Shown shown;
        shown.caption = preview.windowTitle();
        shown.size = preview.size();
        shown.period = period;
        const ReportLayout* layout = ReportLayouts::get(preview.objectName());
        const RowSet* set = layout ? m_env->rowSet(layout->rowSetName()) : nullptr;
        shown.rowSetOpen = set && set->isOpen();
        shown.rows = rows.rowCount();
        for (int r = 0; r < rows.rowCount(); ++r) {
            const QVariant key = rows.index(r, 0).data();
            const QString name = key.typeId() == QMetaType::QDate
                                     ? key.toDate().toString("dd.MM.yyyy")
                                     : key.toString();
            shown.counts.insert(
                name, qMakePair(rows.index(r, 1).data().toInt(), rows.index(r, 2).data().toInt()));
        }
        shown.pages = 1;
        m_shown << shown;
        return m_failPreview;
    }

    QTemporaryDir m_dir;
    QVariantList m_bound;
    std::unique_ptr<DataEnv> m_env;
    QList<Shown> m_shown;
    QString m_failPreview;
    int m_previewPages = 0;
};

QTEST_MAIN(TestParam)
#include "tst_param.moc"

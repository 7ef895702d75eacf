#include "AnalysisWindow.h"

#include "AppPaths.h"
#include "CallRegister.h"

#include "AnalysisExport.h"
#include "Clock.h"
#include "DataEnv.h"
#include "Dialogs.h"
#include "FiguresModel.h"
#include "FiguresSortModel.h"
#include "HeatMapView.h"
#include "MailingSettings.h"
#include "SettingsStore.h"
#include "SourceColourModel.h"
#include "SpendDialog.h"
#include "WeeklySeries.h"

#include <QAbstractItemView>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>

namespace {

QPointer<AnalysisWindow>& openWindow()
{
    static QPointer<AnalysisWindow> window;
    return window;
}

const QStringList formatNames{"HTML", "PDF", "CSV"};
const QStringList formatFilters{"HTML (*.htm *.html)", "PDF (*.pdf)", "CSV (*.csv)"};
const QStringList formatSuffixes{"htm", "pdf", "csv"};

} // namespace

AnalysisWindow::AnalysisWindow(DataEnv* env, QWidget* parent)
    : QWidget(parent, Qt::Window), m_env(env ? env : DataEnv::instance()), m_analysis(m_env)
{
    setObjectName("AnalysisWindow");
    setWindowTitle(QStringLiteral("Анализ рекламы"));

    m_preset = new QComboBox(this);
    m_preset->setObjectName("preset");
    for (const AnalysisPeriod::Preset preset : AnalysisPeriod::presets())
        m_preset->addItem(AnalysisPeriod::caption(preset));
    m_compare = new QComboBox(this);
    m_compare->setObjectName("compare");
    // Whole where there is room; on a small screen it may shrink, and its list still shows
    // every caption whole.
    m_compare->setMinimumWidth(m_compare->fontMetrics().horizontalAdvance(QStringLiteral("М")) *
                               14);
    for (const AnalysisPeriod::Comparison comparison : AnalysisPeriod::comparisons())
        m_compare->addItem(AnalysisPeriod::caption(comparison));
    m_compare->view()->setMinimumWidth(m_compare->view()->sizeHintForColumn(0) + 24);
    m_from = new QDateEdit(this);
    m_from->setObjectName("from");
    m_to = new QDateEdit(this);
    m_to->setObjectName("to");
    for (QDateEdit* edit : {m_from, m_to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat("dd.MM.yyyy");
    }
    m_previous = new QLabel(this);
    m_previous->setObjectName("previous");
    m_previous->setWordWrap(true);

    m_model = new FiguresModel(this);
    m_colours = new SourceColourModel(this);
    m_colours->setSourceModel(m_model);
    m_sorted = new FiguresSortModel(this);
    m_sorted->setSourceModel(m_colours);
    m_table = new QTableView(this);
    m_table->setObjectName("figures");
    m_table->setModel(m_sorted);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(-1, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_totals = new QTableView(this);
    m_totals->setObjectName("totals");
    m_totals->setModel(m_sorted);
    m_totals->setSelectionMode(QAbstractItemView::NoSelection);
    m_totals->setFocusPolicy(Qt::NoFocus);
    m_totals->horizontalHeader()->hide();
    m_totals->verticalHeader()->hide();
    m_totals->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_totals->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_totals->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // Rows as high as the text needs, so that more of them show.
    for (QTableView* view : {m_table, m_totals})
        view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
    m_totals->setFixedHeight(m_totals->verticalHeader()->defaultSectionSize() +
                             2 * m_totals->frameWidth());
    // The totals scroll sideways with the table; the rows above them scroll on their own.
    connect(m_table->horizontalScrollBar(), &QScrollBar::valueChanged,
            m_totals->horizontalScrollBar(), &QScrollBar::setValue);
    connect(m_sorted, &QAbstractItemModel::modelReset, this, &AnalysisWindow::splitTotals);
    connect(m_sorted, &QAbstractItemModel::layoutChanged, this, &AnalysisWindow::splitTotals);

    m_heatMap = new HeatMapView(this);
    m_untimed = new QLabel(this);
    m_untimed->setObjectName("untimed");
    m_chart = new QChartView(new QChart(), this);
    m_chart->setObjectName("weeklyChart");
    m_chart->setRenderHint(QPainter::Antialiasing);
    m_chart->setMinimumHeight(150);
    m_measure = new QComboBox(this);
    m_measure->setObjectName("chartMeasure");
    m_measure->addItems({QStringLiteral("Звонки"), QStringLiteral("Записи")});

    auto* spend = new QPushButton(QStringLiteral("Расходы..."), this);
    spend->setObjectName("spend");
    m_mailOption = new QCheckBox(QStringLiteral("Прикладывать анализ к рассылке отчетов"), this);
    m_mailOption->setObjectName("mailAnalysis");
    m_mailOption->setToolTip(QStringLiteral("Пятый файл письма, analiz.htm: анализ за период "
                                            "рассылки"));
    m_mailOption->setChecked(
        MailingSettings::isOptionOn(SettingsStore(), MailingSettings::analysisKey));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Период:"), this));
    top->addWidget(m_preset);
    top->addWidget(new QLabel(QStringLiteral("с"), this));
    top->addWidget(m_from);
    top->addWidget(new QLabel(QStringLiteral("по"), this));
    top->addWidget(m_to);
    top->addWidget(new QLabel(QStringLiteral("Сравнение:"), this));
    top->addWidget(m_compare);
    top->addSpacing(12);
    // Wraps rather than widening the window.
    m_previous->setWordWrap(true);
    m_previous->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    top->addWidget(m_previous, 1);

    auto* tableBox = new QWidget(this);
    auto* tableLayout = new QVBoxLayout(tableBox);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    tableLayout->setSpacing(0);
    tableLayout->addWidget(m_table, 1);
    tableLayout->addWidget(m_totals);
    auto* heatBox = new QWidget(this);
    auto* heatLayout = new QVBoxLayout(heatBox);
    heatLayout->setContentsMargins(0, 0, 0, 0);
    heatLayout->addWidget(new QLabel(QStringLiteral("Звонки по дням недели и часам"), heatBox));
    heatLayout->addWidget(m_heatMap, 1);
    heatLayout->addWidget(m_untimed);
    auto* chartBox = new QWidget(this);
    auto* chartLayout = new QVBoxLayout(chartBox);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    m_chartTitle = new QLabel(chartBox);
    m_chartTitle->setObjectName("chartTitle");
    m_chartTitle->setWordWrap(true);
    m_chartTitle->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* chartTop = new QHBoxLayout;
    chartTop->addWidget(m_chartTitle, 1);
    chartTop->addWidget(m_measure);
    chartLayout->addLayout(chartTop);
    chartLayout->addWidget(m_chart, 1);
    auto* lower = new QSplitter(Qt::Horizontal, this);
    lower->setObjectName("lowerSplitter");
    lower->addWidget(heatBox);
    lower->addWidget(chartBox);
    lower->setChildrenCollapsible(false);
    lower->setStretchFactor(0, 1);
    lower->setStretchFactor(1, 1);
    lower->setSizes({500, 500}); // halves, whatever the heat map would take
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName("splitter");
    split->addWidget(tableBox);
    split->addWidget(lower);
    split->setChildrenCollapsible(false);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setSizes({500, 500});

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(spend);
    // The two mail options one above the other: side by side they would widen the window.
    auto* mailOptions = new QVBoxLayout;
    mailOptions->setSpacing(0);
    mailOptions->addWidget(m_mailOption);
    bottom->addLayout(mailOptions);
    auto* digestOption = new QCheckBox(QStringLiteral("Сводка в тексте письма"), this);
    digestOption->setObjectName("mailDigest");
    digestOption->setToolTip(QStringLiteral("Звонки, записи, лучшие и худшие источники по цене "
                                            "записи и график за период рассылки — в самом письме"));
    digestOption->setChecked(
        MailingSettings::isOptionOn(SettingsStore(), MailingSettings::digestKey));
    connect(digestOption, &QCheckBox::toggled, this,
            [this](bool on) { storeMailOption(MailingSettings::digestKey, on); });
    mailOptions->addWidget(digestOption);
    bottom->addStretch();
    for (int format = 0; format < formatNames.size(); ++format) {
        auto* button = new QPushButton(formatNames.at(format) + "...", this);
        button->setObjectName("export" + formatNames.at(format));
        connect(button, &QPushButton::clicked, this, [this, format] { exportAs(format); });
        bottom->addWidget(button);
    }
    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName("close");
    bottom->addWidget(close);

    m_notSent = new QLabel(this);
    m_notSent->setObjectName("notSent");
    m_notSent->setVisible(false);
    m_notSent->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_notSent);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);

    connect(m_preset, &QComboBox::currentIndexChanged, this, &AnalysisWindow::choosePreset);
    connect(m_compare, &QComboBox::currentIndexChanged, this, &AnalysisWindow::chooseComparison);
    for (QDateEdit* edit : {m_from, m_to})
        connect(edit, &QDateEdit::dateChanged, this, [this] {
            if (m_settingDates)
                return;
            m_settingDates = true;
            chooseAnyDates();
            m_settingDates = false;
            reload();
        });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &AnalysisWindow::updateChart);
    connect(m_measure, &QComboBox::currentIndexChanged, this, &AnalysisWindow::updateChart);
    connect(spend, &QPushButton::clicked, this, &AnalysisWindow::editSpend);
    connect(m_mailOption, &QCheckBox::toggled, this,
            [this](bool on) { storeMailOption(MailingSettings::analysisKey, on); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    const QSize remembered = AppPaths::programSetting(QStringLiteral("analysisSize")).toSize();
    fitToScreen(remembered.isValid() ? remembered : QSize(1180, 760));
    m_preset->setCurrentIndex(
        int(AnalysisPeriod::presets().indexOf(AnalysisPeriod::Preset::LastMonth)));
}

void AnalysisWindow::fitToScreen(const QSize& wanted)
{
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen) {
        resize(wanted);
        return;
    }
    // The title bar and borders are the window manager's and unknown before the window shows;
    // this leaves room for the usual ones.
    const QSize frame(16, 40);
    const QRect area = screen->availableGeometry();
    const QSize room = (area.size() - frame).expandedTo(QSize(320, 240));
    resize(wanted.boundedTo(room));
    move(area.topLeft() + QPoint((area.width() - frame.width() - width()) / 2,
                                 (area.height() - frame.height() - height()) / 2));
}

AnalysisWindow::~AnalysisWindow()
{
    // Also when the program ends with the window open.
    if (m_shown)
        AppPaths::storeProgramSetting(QStringLiteral("analysisSize"), size());
}

AnalysisWindow* AnalysisWindow::showWindow(DataEnv* env, QWidget* parent)
{
    QPointer<AnalysisWindow>& window = openWindow();
    if (!window) {
        window = new AnalysisWindow(env, parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void AnalysisWindow::showEvent(QShowEvent* event)
{
    m_shown = true;
    QWidget::showEvent(event);
}

void AnalysisWindow::choosePreset(int index)
{
    const QList<AnalysisPeriod::Preset> presets = AnalysisPeriod::presets();
    if (index < 0 || index >= presets.size())
        return;
    if (m_preset->currentIndex() != index) {
        m_preset->setCurrentIndex(index); // comes back here through the signal
        return;
    }
    if (m_settingDates || presets.at(index) == AnalysisPeriod::Preset::AnyDates)
        return;
    const AnalysisPeriod period = AnalysisPeriod::preset(presets.at(index), Clock::today());
    m_settingDates = true;
    m_from->setDate(period.from());
    m_to->setDate(period.to());
    m_compare->setCurrentIndex(int(AnalysisPeriod::comparisons().indexOf(period.comparison())));
    m_settingDates = false;
    reload();
}

void AnalysisWindow::chooseAnyDates()
{
    m_preset->setCurrentIndex(int(AnalysisPeriod::presets().size()) - 1);
    // Days have no unit before them: the comparison shown is the one applied.
    const QList<AnalysisPeriod::Comparison> comparisons = AnalysisPeriod::comparisons();
    if (comparisons.value(m_compare->currentIndex()) == AnalysisPeriod::Comparison::PreviousUnit)
        m_compare->setCurrentIndex(
            int(comparisons.indexOf(AnalysisPeriod::Comparison::PreviousSpan)));
}

void AnalysisWindow::chooseComparison(int index)
{
    if (m_compare->currentIndex() != index) {
        m_compare->setCurrentIndex(index); // comes back here through the signal
        return;
    }
    if (!m_settingDates)
        reload();
}

void AnalysisWindow::setDates(const QDate& from, const QDate& to)
{
    m_settingDates = true;
    m_from->setDate(from);
    m_to->setDate(to);
    chooseAnyDates();
    m_settingDates = false;
    reload();
}

void AnalysisWindow::reload()
{
    // The analysis reads the server; calls kept at this desk are not in it yet.
    const int waiting = CallRegister(m_env).waitingCount();
    m_notSent->setText(waiting > 0 ? CallRegister::notSentText(waiting) : QString());
    m_notSent->setVisible(waiting > 0);
    const QList<AnalysisPeriod::Preset> presets = AnalysisPeriod::presets();
    const AnalysisPeriod period(m_from->date(), m_to->date(),
                                AnalysisPeriod::unit(presets.value(
                                    m_preset->currentIndex(), AnalysisPeriod::Preset::AnyDates)),
                                AnalysisPeriod::comparisons().value(m_compare->currentIndex()));
    if (!period.isValid()) {
        m_previous->setText(QStringLiteral("Начало периода позже его конца."));
        return;
    }
    if (!m_analysis.load(period)) {
        m_previous->setText(QString());
        Dialogs::plain(this, m_analysis.errorText());
        return;
    }
    m_previous->setText(QStringLiteral("%1 в сравнении с %2 (%3)")
                            .arg(period.text(), period.previous().text(), period.comparisonText()));
    m_model->setAnalysis(m_analysis);
    m_heatMap->setHeatMap(m_analysis.heatMap());
    m_untimed->setText(AnalysisExport::untimedText(m_analysis));
    updateChart();
}

void AnalysisWindow::splitTotals()
{
    const int last = m_sorted->rowCount() - 1;
    for (int row = 0; row <= last; ++row) {
        m_table->setRowHidden(row, row == last);
        m_totals->setRowHidden(row, row != last);
    }
    fitColumns();
}

void AnalysisWindow::fitColumns()
{
    QHeaderView* header = m_table->horizontalHeader();
    const QAbstractItemView* rows = m_table;
    const QAbstractItemView* totals = m_totals;
    for (int column = 0; column < m_sorted->columnCount(); ++column) {
        int width = std::max({header->sectionSizeHint(column), rows->sizeHintForColumn(column),
                              totals->sizeHintForColumn(column)});
        if (column == 0) // room for the chart's colour beside a name
            width += m_table->iconSize().isValid() ? m_table->iconSize().width() + 4 : 20;
        header->resizeSection(column, width);
        m_totals->horizontalHeader()->resizeSection(column, width);
    }
}

void AnalysisWindow::updateChart()
{
    // The selected sources in the order the table shows them.
    QList<int> viewRows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        viewRows << index.row();
    std::sort(viewRows.begin(), viewRows.end());
    QList<int> rows;
    for (const int viewRow : std::as_const(viewRows)) {
        const int row = m_sorted->mapToSource(m_sorted->index(viewRow, 0)).row();
        if (row < m_analysis.rows().size())
            rows << row;
    }
    const auto measure = m_measure->currentIndex() == 1 ? WeeklySeries::Measure::Booked
                                                        : WeeklySeries::Measure::Calls;
    WeeklySeries weekly(m_analysis.period(), Clock::today(), measure);
    QHash<int, QColor> colours;
    QString error;
    if (rows.isEmpty()) {
        const QVector<AdAnalysis::Week> weeks = m_analysis.weeks();
        error = m_analysis.errorText();
        weekly.add(QStringLiteral("Все звонки"), weeks);
    }
    for (const int row : std::as_const(rows)) {
        const QVector<AdAnalysis::Week> weeks = m_analysis.weeks({row});
        if (!m_analysis.errorText().isEmpty()) {
            error = m_analysis.errorText();
            break;
        }
        if (!weekly.add(m_analysis.rows().at(row).name, weeks))
            break;
        colours.insert(row, weekly.series().last().colour);
    }
    m_colours->setColours(colours);

    QString heading = weekly.unit() + QStringLiteral(". Неделя, попавшая в период не целиком, — "
                                                     "среднее по ее дням в периоде.");
    if (rows.size() > WeeklySeries::maxSeries)
        heading += QStringLiteral(" Показаны первые %1 из %2 выбранных источников.")
                       .arg(WeeklySeries::maxSeries)
                       .arg(rows.size());
    if (!weekly.lastDay().isValid())
        heading = QStringLiteral("Период еще не начался: показывать нечего.");
    m_chartTitle->setText(error.isEmpty() ? heading : error);

    auto* chart = new QChart();
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto* x = new QDateTimeAxis(chart);
    x->setFormat("dd.MM.yy");
    auto* y = new QValueAxis(chart);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    double top = 0;
    constexpr qint64 day = 24 * 3600 * 1000;
    for (const WeeklySeries::Series& source : weekly.series()) {
        auto* line = new QLineSeries(chart);
        line->setName(source.name);
        QPen pen(source.colour);
        pen.setWidth(2);
        line->setPen(pen);
        line->setColor(source.colour);
        // A single week is a point, still to be seen.
        line->setPointsVisible(true);
        line->setMarkerSize(7);
        for (const WeeklySeries::Point& point : source.points) {
            // At the middle of the days the point counts.
            const qint64 at = point.first.startOfDay().toMSecsSinceEpoch() + point.days() * day / 2;
            line->append(qreal(at), point.perDay());
            top = std::max(top, point.perDay());
        }
        chart->addSeries(line);
        line->attachAxis(x);
        line->attachAxis(y);
    }
    if (weekly.lastDay().isValid()) {
        const qint64 days = weekly.firstDay().daysTo(weekly.lastDay()) + 1;
        x->setRange(weekly.firstDay().startOfDay(), weekly.lastDay().addDays(1).startOfDay());
        x->setTickCount(int(std::clamp<qint64>(days + 1, 2, 7)));
    }
    y->setRange(0, top < 4 ? 4 : top * 1.1);
    y->applyNiceNumbers();
    y->setLabelFormat(y->max() <= 10 ? "%.1f" : "%d");
    QChart* old = m_chart->chart();
    m_chart->setChart(chart);
    delete old;
}

bool AnalysisWindow::exportTo(int format, const QString& fileName)
{
    // The rows in the order the table shows them; the totals last.
    QList<int> order;
    for (int row = 0; row < m_sorted->rowCount(); ++row) {
        const int source = m_sorted->mapToSource(m_sorted->index(row, 0)).row();
        if (source < m_analysis.rows().size())
            order << source;
    }
    AnalysisExport exporter;
    if (!exporter.write(AnalysisExport::Format(format), m_analysis, fileName, order)) {
        Dialogs::plain(this, exporter.errorText());
        return false;
    }
    return true;
}

void AnalysisWindow::exportAs(int format)
{
    const QString suggested =
        QStringLiteral("analiz-%1.%2")
            .arg(m_analysis.period().from().toString("yyyy-MM-dd"), formatSuffixes.at(format));
    const QString fileName = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить анализ"),
                                                          suggested, formatFilters.at(format));
    if (!fileName.isEmpty())
        exportTo(format, fileName);
}

void AnalysisWindow::storeMailOption(const char* key, bool on)
{
    SettingsStore store;
    if (!MailingSettings::setOption(store, key, on))
        Dialogs::plain(this, QStringLiteral("Не удалось сохранить настройку в «%1».")
                                 .arg(SettingsStore::location()));
}

void AnalysisWindow::editSpend()
{
    SpendDialog dialog(m_env, m_analysis.period().from(), this);
    dialog.exec();
    reload();
}

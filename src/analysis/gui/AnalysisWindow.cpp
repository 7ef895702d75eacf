#include "AnalysisWindow.h"

#include "AnalysisAttachment.h"
#include "AnalysisExport.h"
#include "Clock.h"
#include "DataEnv.h"
#include "Dialogs.h"
#include "DigestOption.h"
#include "FiguresModel.h"
#include "FiguresSortModel.h"
#include "HeatMapView.h"
#include "SettingsStore.h"
#include "SpendDialog.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>

namespace {

QSettings programSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Kalvent", "Kalvent");
}

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

    m_model = new FiguresModel(this);
    m_sorted = new FiguresSortModel(this);
    m_sorted->setSourceModel(m_model);
    m_table = new QTableView(this);
    m_table->setObjectName("figures");
    m_table->setModel(m_sorted);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(-1, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(false);

    m_heatMap = new HeatMapView(this);
    m_untimed = new QLabel(this);
    m_untimed->setObjectName("untimed");
    m_chart = new QChartView(new QChart(), this);
    m_chart->setObjectName("weeklyChart");
    m_chart->setRenderHint(QPainter::Antialiasing);
    m_chart->setMinimumHeight(220);

    auto* spend = new QPushButton(QStringLiteral("Расходы..."), this);
    spend->setObjectName("spend");
    m_mailOption = new QCheckBox(QStringLiteral("Прикладывать анализ к рассылке отчетов"), this);
    m_mailOption->setObjectName("mailAnalysis");
    m_mailOption->setToolTip(QStringLiteral("Пятый файл письма, analiz.htm: анализ за период "
                                            "рассылки"));
    m_mailOption->setChecked(AnalysisAttachment::isOn(SettingsStore()));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Период:"), this));
    top->addWidget(m_preset);
    top->addWidget(new QLabel(QStringLiteral("с"), this));
    top->addWidget(m_from);
    top->addWidget(new QLabel(QStringLiteral("по"), this));
    top->addWidget(m_to);
    top->addSpacing(12);
    top->addWidget(m_previous, 1);

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
    chartLayout->addWidget(m_chartTitle);
    chartLayout->addWidget(m_chart, 1);
    auto* lower = new QSplitter(Qt::Horizontal, this);
    lower->addWidget(heatBox);
    lower->addWidget(chartBox);
    lower->setSizes({600, 500});
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_table);
    split->addWidget(lower);
    split->setSizes({330, 430});

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
    digestOption->setChecked(DigestOption::isOn(SettingsStore()));
    connect(digestOption, &QCheckBox::toggled, this, [this](bool on) {
        SettingsStore store;
        if (!DigestOption::setOn(store, on))
            Dialogs::plain(this, QStringLiteral("Не удалось сохранить настройку в «%1».")
                                     .arg(SettingsStore::location()));
    });
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

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);

    connect(m_preset, &QComboBox::currentIndexChanged, this, &AnalysisWindow::choosePreset);
    for (QDateEdit* edit : {m_from, m_to})
        connect(edit, &QDateEdit::dateChanged, this, [this] {
            if (m_settingDates)
                return;
            m_settingDates = true;
            m_preset->setCurrentIndex(int(AnalysisPeriod::presets().size()) - 1);
            m_settingDates = false;
            reload();
        });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &AnalysisWindow::updateChart);
    connect(spend, &QPushButton::clicked, this, &AnalysisWindow::editSpend);
    connect(m_mailOption, &QCheckBox::toggled, this, [this](bool on) {
        SettingsStore store;
        if (!AnalysisAttachment::setOn(store, on))
            Dialogs::plain(this, QStringLiteral("Не удалось сохранить настройку в «%1».")
                                     .arg(SettingsStore::location()));
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    const QSize remembered = programSettings().value("analysisSize").toSize();
    resize(remembered.isValid() ? remembered : QSize(1180, 760));
    m_preset->setCurrentIndex(
        int(AnalysisPeriod::presets().indexOf(AnalysisPeriod::Preset::LastMonth)));
}

AnalysisWindow::~AnalysisWindow()
{
    // Also when the program ends with the window open.
    if (m_shown)
        programSettings().setValue("analysisSize", size());
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
    m_settingDates = false;
    reload();
}

void AnalysisWindow::setDates(const QDate& from, const QDate& to)
{
    m_settingDates = true;
    m_from->setDate(from);
    m_to->setDate(to);
    m_preset->setCurrentIndex(int(AnalysisPeriod::presets().size()) - 1);
    m_settingDates = false;
    reload();
}

void AnalysisWindow::reload()
{
    const AnalysisPeriod period(m_from->date(), m_to->date());
    if (!period.isValid()) {
        m_previous->setText(QStringLiteral("Начало периода позже его конца."));
        return;
    }
    if (!m_analysis.load(period)) {
        m_previous->setText(QString());
        Dialogs::plain(this, m_analysis.errorText());
        return;
    }
    m_previous->setText(QStringLiteral("Для сравнения: %1").arg(period.previous().text()));
    m_model->setAnalysis(m_analysis);
    m_heatMap->setHeatMap(m_analysis.heatMap());
    m_untimed->setText(AnalysisExport::untimedText(m_analysis));
    updateChart();
}

void AnalysisWindow::updateChart()
{
    QList<int> rows;
    QStringList names;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        const int row = m_sorted->mapToSource(index).row();
        if (row < m_analysis.rows().size()) {
            rows << row;
            names << m_analysis.rows().at(row).name;
        }
    }
    auto* chart = new QChart();
    const QVector<AdAnalysis::Week> weeks = m_analysis.weeks(rows);
    m_chartTitle->setText(
        m_analysis.errorText().isEmpty()
            ? QStringLiteral("Звонки и записи по неделям: %1")
                  .arg(names.isEmpty() ? QStringLiteral("все звонки") : names.join(", "))
            : m_analysis.errorText());
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    auto* calls = new QLineSeries(chart);
    calls->setName(QStringLiteral("Звонки"));
    auto* booked = new QLineSeries(chart);
    booked->setName(QStringLiteral("Записи"));
    qint64 top = 0;
    for (const AdAnalysis::Week& week : weeks) {
        const qreal x = qreal(week.monday.startOfDay().toMSecsSinceEpoch());
        calls->append(x, qreal(week.calls));
        booked->append(x, qreal(week.booked));
        top = std::max(top, week.calls);
    }
    chart->addSeries(calls);
    chart->addSeries(booked);
    auto* x = new QDateTimeAxis(chart);
    x->setFormat("dd.MM.yy");
    x->setTickCount(6);
    auto* y = new QValueAxis(chart);
    y->setLabelFormat("%d");
    y->setRange(0, qreal(std::max<qint64>(top, 4)));
    y->applyNiceNumbers();
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QLineSeries* series : {calls, booked}) {
        series->attachAxis(x);
        series->attachAxis(y);
    }
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

void AnalysisWindow::editSpend()
{
    SpendDialog dialog(m_env, m_analysis.period().from(), this);
    dialog.exec();
    reload();
}

#include "GrafFrm.h"

#include "Twips.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QValueAxis>

GrafFrm::GrafFrm(DataEnv* env, const std::optional<ReportPeriod>& period, QWidget* parent)
    : QDialog(parent), m_data(DateChartData::forPeriod(env, period))
{
    setObjectName("GrafFrm");
    setWindowTitle(QStringLiteral("Диаграммы"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(Twips::size(7035, 4845));

    m_view = new QChartView(this);
    m_view->setObjectName("MSChart1");
    m_view->setGeometry(Twips::rect(480, 240, 4815, 3855));
    m_view->setRenderHint(QPainter::Antialiasing);
    buildChart();
}

void GrafFrm::showModal(DataEnv* env, const std::optional<ReportPeriod>& period, QWidget* parent)
{
    GrafFrm window(env, period, parent);
    window.exec();
}

void GrafFrm::buildChart()
{
    auto* chart = new QChart();
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    QFont small = font();
    small.setPointSizeF(7.5);

    auto* all = new QBarSet(QStringLiteral("Всего звонков"));
    auto* booked = new QBarSet(QStringLiteral("Записались"));
    for (int value : m_data.allCalls())
        *all << value;
    for (int value : m_data.bookedCalls())
        *booked << value;
    auto* series = new QBarSeries();
    series->append(all);
    series->append(booked);
    chart->addSeries(series);

    auto* dates = new QBarCategoryAxis();
    dates->append(m_data.categories());
    dates->setLabelsFont(small);
    if (m_data.categories().size() > 3)
        dates->setLabelsAngle(-90);
    chart->addAxis(dates, Qt::AlignBottom);
    series->attachAxis(dates);

    auto* counts = new QValueAxis();
    const int top = qMax(1, m_data.maximum());
    counts->setRange(0, top);
    counts->setTickCount(qMin(top, 5) + 1);
    counts->setLabelFormat("%d");
    counts->setLabelsFont(small);
    chart->addAxis(counts, Qt::AlignLeft);
    series->attachAxis(counts);

    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(small);
    const QString notice = m_data.notice();
    if (!notice.isEmpty()) {
        QFont titleFont = font();
        titleFont.setPointSizeF(8);
        chart->setTitleFont(titleFont);
        // The chart is narrow: the notice goes on lines of their own at its colon.
        QString title = notice.toHtmlEscaped();
        title.replace(": ", ":<br>");
        chart->setTitle(title);
    }
    // The view lets go of the empty chart it was made with but does not delete it.
    QChart* empty = m_view->chart();
    m_view->setChart(chart);
    delete empty;
}

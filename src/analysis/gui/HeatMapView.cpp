#include "HeatMapView.h"

#include "AnalysisExport.h"

#include <QPainter>

namespace {
// Cell colour: from white to deep orange by the share of the busiest cell.
QColor shade(double share)
{
    return QColor(255, int(245 - 150 * share), int(235 - 205 * share));
}
} // namespace

HeatMapView::HeatMapView(QWidget* parent) : QWidget(parent)
{
    setObjectName("heatMap");
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void HeatMapView::setHeatMap(const CallHeatMap& map)
{
    m_map = map;
    update();
}

QSize HeatMapView::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance("Пн") + 12 + 24 * metrics.horizontalAdvance("000"),
            8 * (metrics.height() + 8)};
}

QSize HeatMapView::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance("Пн") + 12 + 24 * metrics.horizontalAdvance("00"),
            8 * (metrics.height() + 4)};
}

void HeatMapView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QFontMetrics metrics(font());
    const int labelWidth = metrics.horizontalAdvance("Пн") + 12;
    const int headerHeight = metrics.height() + 6;
    const double cellWidth = double(width() - labelWidth) / 24;
    const double cellHeight = double(height() - headerHeight) / 7;
    const qint64 maximum = m_map.maximum();
    QFont small = font();
    // Numbers shrink with narrow cells rather than being cut.
    while (small.pointSizeF() > 5 &&
           QFontMetrics(small).horizontalAdvance(QString::number(maximum)) > cellWidth - 2)
        small.setPointSizeF(small.pointSizeF() - 0.5);
    painter.setPen(palette().text().color());
    for (int hour = 0; hour < 24; ++hour)
        painter.drawText(QRectF(labelWidth + hour * cellWidth, 0, cellWidth, headerHeight),
                         Qt::AlignCenter, QString::number(hour));
    for (int day = 1; day <= 7; ++day) {
        const double top = headerHeight + (day - 1) * cellHeight;
        painter.setFont(font());
        painter.setPen(palette().text().color());
        painter.drawText(QRectF(0, top, labelWidth - 4, cellHeight),
                         Qt::AlignRight | Qt::AlignVCenter, AnalysisExport::weekdayName(day));
        painter.setFont(small);
        for (int hour = 0; hour < 24; ++hour) {
            const qint64 calls = m_map.calls(day, hour);
            const QRectF cell(labelWidth + hour * cellWidth, top, cellWidth, cellHeight);
            painter.fillRect(cell, calls > 0 && maximum > 0 ? shade(double(calls) / maximum)
                                                            : palette().base().color());
            painter.setPen(QColor(210, 210, 210));
            painter.drawRect(cell);
            if (calls > 0) {
                painter.setPen(Qt::black);
                painter.drawText(cell, Qt::AlignCenter, QString::number(calls));
            }
        }
    }
}

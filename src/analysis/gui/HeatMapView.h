#pragma once

#include "CallHeatMap.h"

#include <QWidget>

// The calls by weekday (rows, Monday first) and hour of the day (columns), each cell shaded
// by its share of the busiest cell and showing its number.
class HeatMapView : public QWidget
{
    Q_OBJECT

public:
    explicit HeatMapView(QWidget* parent = nullptr);

    void setHeatMap(const CallHeatMap& map);
    const CallHeatMap& heatMap() const { return m_map; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CallHeatMap m_map;
};

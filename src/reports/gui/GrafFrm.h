#pragma once

#include "DateChartData.h"

#include <QDialog>

class DataEnv;
class QChartView;

// The diagram window: all calls and booked calls per date of a period (none: nothing drawn).
class GrafFrm : public QDialog
{
    Q_OBJECT

public:
    GrafFrm(DataEnv* env, const std::optional<ReportPeriod>& period, QWidget* parent = nullptr);

    // Opens a fresh window modally and returns when it is closed.
    static void showModal(DataEnv* env, const std::optional<ReportPeriod>& period,
                          QWidget* parent = nullptr);

    const DateChartData& chartData() const { return m_data; }
    QChartView* chartView() const { return m_view; }

private:
    void buildChart();

    DateChartData m_data;
    QChartView* m_view = nullptr;
};

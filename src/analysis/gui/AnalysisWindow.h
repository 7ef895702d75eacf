#pragma once

#include "AdAnalysis.h"

#include <QWidget>

class DataEnv;
class FiguresModel;
class FiguresSortModel;
class HeatMapView;
class QCheckBox;
class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QSplitter;
class QTableView;
class SourceColourModel;

// "Анализ рекламы": the analysis of a period chosen by a preset or by two dates and compared as
// chosen (by default as the preset is read; a label names both periods), with the
// per-source table (sortable; the totals row held below it, always in sight), the heat map of
// the calls by weekday and hour, the weekly chart of the chosen sources (the selected rows, up
// to six, each in the colour the table shows beside its name; all calls when none is
// selected), the exports, the spend editor and the mailing option. The table, the heat map and
// the chart share the window through splitters. Not modal; opens at the size it was closed at,
// within the screen's free area.
class AnalysisWindow : public QWidget
{
    Q_OBJECT

public:
    explicit AnalysisWindow(DataEnv* env, QWidget* parent = nullptr);
    ~AnalysisWindow() override;

    // Shows the one window of the program (made when missing) and brings it forward.
    static AnalysisWindow* showWindow(DataEnv* env, QWidget* parent);

    const AdAnalysis& analysis() const { return m_analysis; }
    // Chooses a preset by its place in the list, or sets both dates (the preset becomes any
    // dates); either reloads.
    void choosePreset(int index);
    void setDates(const QDate& from, const QDate& to);
    // Chooses what the period is compared with, by its place in the list; reloads.
    void chooseComparison(int index);
    // Writes what is shown; false (after a message) on failure.
    bool exportTo(int format, const QString& fileName);

    QTableView* table() const { return m_table; }
    HeatMapView* heatMapView() const { return m_heatMap; }
    // The totals row, kept apart from the scrolled rows.
    QTableView* totalsView() const { return m_totals; }
    QChartView* chartView() const { return m_chart; }
    // 0: calls, 1: bookings.
    QComboBox* chartMeasure() const { return m_measure; }
    QCheckBox* mailOption() const { return m_mailOption; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The preset "any dates", with the comparison one of days can have; under m_settingDates.
    void chooseAnyDates();
    void reload();
    void updateChart();
    // The totals row in its own view, the columns of both as wide as the wider needs.
    void splitTotals();
    void fitColumns();
    // The remembered (or first) size, and a place, within the free area of the screen.
    void fitToScreen(const QSize& wanted);
    void exportAs(int format);
    void editSpend();
    // Stores one of the mailing's options (MailingSettings), or says why it could not.
    void storeMailOption(const char* key, bool on);

    DataEnv* m_env;
    AdAnalysis m_analysis;
    FiguresModel* m_model = nullptr;
    SourceColourModel* m_colours = nullptr;
    FiguresSortModel* m_sorted = nullptr;
    QComboBox* m_preset = nullptr;
    QComboBox* m_compare = nullptr;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    QLabel* m_previous = nullptr;
    QTableView* m_table = nullptr;
    QTableView* m_totals = nullptr;
    HeatMapView* m_heatMap = nullptr;
    QLabel* m_untimed = nullptr;
    QLabel* m_notSent = nullptr; // the calls kept at this desk, not on the server yet
    QChartView* m_chart = nullptr;
    QLabel* m_chartTitle = nullptr;
    QComboBox* m_measure = nullptr;
    QCheckBox* m_mailOption = nullptr;
    bool m_settingDates = false;
    bool m_shown = false;
};

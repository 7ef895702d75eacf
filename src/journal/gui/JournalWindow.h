#pragma once

#include "CallRecord.h"

#include <QVector>
#include <QWidget>

class DataEnv;
class JournalModel;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

// "Журнал звонков": the calls newest first, a page at a time, filtered by period (all calls or
// the analysis's presets), service, source, booking, on a server the desk, and a part of a
// name; today's calls and bookings above them. A call is edited, calls are deleted (each after
// a question that names them), the last changes are undone (Ctrl+Z), and a call's changes are
// shown. It follows every change of the calls made in the program, and on a server the other
// desks' ones. Not modal.
class JournalWindow : public QWidget
{
    Q_OBJECT

public:
    explicit JournalWindow(DataEnv* env, QWidget* parent = nullptr);

    // Shows the one window of the program (made when missing) and brings it forward.
    static JournalWindow* showWindow(DataEnv* env, QWidget* parent);

    JournalModel* model() const { return m_model; }
    QTableView* table() const { return m_table; }
    QLabel* todayLabel() const { return m_today; }
    QPushButton* undoButton() const { return m_undo; }
    QComboBox* presetBox() const { return m_preset; }
    QLineEdit* searchField() const { return m_search; }

    // The calls chosen in the table.
    QVector<CallRecord> selected() const;
    void editSelected();
    void deleteSelected();
    void undo();
    void showChanges();
    // Reads the rows and today's counts again, keeping the chosen calls chosen.
    void refresh();

private:
    void buildFilters();
    void applyFilter();
    void choosePreset(int index);
    void fillNames(QComboBox* box, const QString& command, const QString& column);
    void updateButtons();
    void setState(const QString& text);
    // Today's counts, and whether the rows were read.
    void showState(bool read);

    DataEnv* m_env;
    JournalModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_today = nullptr;
    QLabel* m_state = nullptr;
    QLabel* m_waiting = nullptr; // the calls kept at this desk while the server was away
    QComboBox* m_preset = nullptr;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    QComboBox* m_service = nullptr;
    QComboBox* m_source = nullptr;
    QComboBox* m_booked = nullptr;
    QComboBox* m_desk = nullptr;
    QLineEdit* m_search = nullptr;
    QTimer* m_searchDelay = nullptr;
    QPushButton* m_edit = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_undo = nullptr;
    QPushButton* m_changes = nullptr;
    bool m_settingDates = false;
    bool m_ownerRights = true;
};

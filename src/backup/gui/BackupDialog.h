#pragma once

#include <QDialog>

class BackupMonitor;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// "Резервные копии": the backup folder, its copies with their state, a copy taken now (in the
// background, through the monitor) and a restore after a clear confirmation. A restore
// replaces the register under the open window, so the program closes after it.
class BackupDialog : public QDialog
{
    Q_OBJECT

public:
    BackupDialog(BackupMonitor* monitor, QWidget* parent);

    static void showModal(BackupMonitor* monitor, QWidget* parent);

    QTreeWidget* list() const { return m_list; }
    // Fills the list and the state line again.
    void reload();
    void takeNow();
    void restoreSelected();

private:
    void chooseFolder();
    void setWorking(bool working);

    BackupMonitor* m_monitor;
    QLineEdit* m_folder;
    QTreeWidget* m_list;
    QLabel* m_state;
    QPushButton* m_choose;
    QPushButton* m_take;
    QPushButton* m_restore;
};

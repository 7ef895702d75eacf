#pragma once

#include "CallRegister.h"
#include "DayFollower.h"
#include "DispatchSchedule.h"
#include "MailingRun.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>

class BackupMonitor;
class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QMenu;
class QPushButton;
class QTimeEdit;
class QSystemTrayIcon;
class QTimer;

// The call register: entry of a call, the status line and the menu.
class MainFrm : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainFrm(QWidget* parent = nullptr);
    ~MainFrm() override;

    // Loads the window the first time (settings check, today's date) and shows it.
    void showMain();
    bool isLoaded() const { return m_loaded; }

    // Returns when all mailing settings are stored.
    void Checknull();

    // Report kind chosen on the menu: 0 until the first choice.
    int nReport = 0;

    void setStatus(const QString& text);

public Q_SLOTS:
    void addCall();
    void removePreviousCall();
    void openListEditor();
    void openMailingSettings();
    // Stores the report kind, then asks for the period.
    void openReport(int kind);
    void restoreFromTray();
    // One tick of the dispatch schedule.
    void dispatchTick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // While only this window mails, asks first (CloseQuestion).
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    void buildDispatch();
    void hideToTray();
    void load();
    // Moves the date field on to `today` unless the operator chose its date.
    void followDay(const QDate& today);
    // Sends the calls kept while the server was away, and shows how many still wait.
    void sendKeptCalls();
    void showWaiting();
    // The status bar is shown while one of its lines is.
    void fitStatusBar();

    CallRegister m_register;
    bool m_waited = false;        // the last add waited for another program's write
    bool m_droppingInput = false; // input queued during that wait is being dropped
    bool m_loaded = false;
    DayFollower m_day;
    QString m_dataError;

    QDateEdit* m_data = nullptr;
    QComboBox* m_usluga = nullptr;
    QComboBox* m_istochnik = nullptr;
    QCheckBox* m_zapis = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command3 = nullptr;
    QLabel* m_stat = nullptr;
    QTimeEdit* m_time1 = nullptr;
    QTimer* m_timer1 = nullptr;
    QTimer* m_dayTimer = nullptr;
    QMenu* m_menu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    BackupMonitor* m_backups = nullptr;
    QTimer* m_timer2 = nullptr;
    QTimer* m_keptTimer = nullptr;
    QLabel* m_waitingLine = nullptr;
    std::unique_ptr<MailingRun> m_mailing;
    std::unique_ptr<DispatchSchedule> m_dispatch;
};

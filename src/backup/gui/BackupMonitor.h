#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLabel;
class QStatusBar;
class QSystemTrayIcon;
class QThread;
class QTimer;

// The window's side of the backups: the daily copy taken in the background (a while after the
// start, then checked every hour), copies taken on request, and a warning — a copy failed or
// missing for more than two days — shown in a label of its own in the status line and in the
// tray icon's tooltip (and once as the tray's message). The status bar is shown only while
// there is a warning, so the window keeps its size otherwise; shownChanged() tells the window.
class BackupMonitor : public QObject
{
    Q_OBJECT

public:
    BackupMonitor(QStatusBar* statusBar, QSystemTrayIcon* tray, QObject* parent);
    ~BackupMonitor() override;

    // Starts the checks: the warning now, the daily copy after a short while and every hour.
    void start();
    // Takes a copy now in the background; `done` gets the failure's reason (empty on success)
    // back in this thread. False when a copy is being taken already.
    bool takeNow(std::function<void(const QString&)> done);
    bool isBusy() const { return m_worker != nullptr; }
    // Whether the warning's line is shown.
    bool isShown() const;
    // Shows the current warning (or clears it).
    void refresh();
    QString warning() const { return m_warning; }
    QTimer* dailyTimer() const { return m_daily; }

Q_SIGNALS:
    void shownChanged();

private:
    bool runInBackground(bool daily, std::function<void(const QString&)> done);

    QStatusBar* m_bar;
    QLabel* m_label;
    QSystemTrayIcon* m_tray;
    QTimer* m_daily;
    QThread* m_worker = nullptr;
    QString m_warning;
};

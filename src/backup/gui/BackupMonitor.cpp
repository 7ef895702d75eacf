#include "BackupMonitor.h"

#include "AppPaths.h"
#include "Backup.h"
#include "BackupFolder.h"
#include "BackupStatus.h"
#include "Clock.h"

#include <QLabel>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>

namespace {
constexpr int firstDelay = 30 * 1000;
constexpr int hourly = 3600 * 1000;
} // namespace

BackupMonitor::BackupMonitor(QStatusBar* statusBar, QSystemTrayIcon* tray, QObject* parent)
    : QObject(parent), m_bar(statusBar), m_label(new QLabel(statusBar)), m_tray(tray),
      m_daily(new QTimer(this))
{
    m_label->setObjectName("backupWarning");
    m_label->setStyleSheet(QStringLiteral("color: #b00000"));
    m_label->setVisible(false);
    statusBar->setSizeGripEnabled(false);
    statusBar->addPermanentWidget(m_label);
    statusBar->setVisible(false);
    m_daily->setObjectName("backupTimer");
    m_daily->setInterval(firstDelay);
    connect(m_daily, &QTimer::timeout, this, [this] {
        m_daily->setInterval(hourly);
        runInBackground(true, {});
    });
}

BackupMonitor::~BackupMonitor()
{
    // A copy half-way is left to finish: its temporary file would otherwise stay behind.
    if (m_worker)
        m_worker->wait();
}

void BackupMonitor::start()
{
    refresh();
    m_daily->start();
}

bool BackupMonitor::takeNow(std::function<void(const QString&)> done)
{
    return runInBackground(false, std::move(done));
}

bool BackupMonitor::runInBackground(bool daily, std::function<void(const QString&)> done)
{
    if (m_worker)
        return false;
    auto reason = std::make_shared<QString>();
    const QString location = AppPaths::databasePath();
    const QString folder = BackupFolder::chosen();
    const BackupRetention::Counts counts = BackupRetention::chosen();
    m_worker = QThread::create([=] {
        Backup backup(location);
        if (!(daily ? backup.takeDaily(folder, counts) : backup.take(folder)))
            *reason = backup.errorText();
    });
    connect(m_worker, &QThread::finished, this, [this, reason, done = std::move(done)] {
        m_worker->deleteLater();
        m_worker = nullptr;
        refresh();
        if (done)
            done(*reason);
    });
    m_worker->start(QThread::LowPriority);
    return true;
}

bool BackupMonitor::isShown() const
{
    return !m_label->isHidden();
}

void BackupMonitor::refresh()
{
    // Before the first attempt (a fresh installation, its first copy due shortly) nothing is
    // overdue yet.
    const QString warning = BackupStatus::attempted()
                                ? BackupStatus::warning(BackupFolder::chosen(), Clock::now())
                                : QString();
    const QString shown = BackupStatus::headline(warning);
    m_label->setText(shown);
    m_label->setToolTip(warning);
    m_label->setVisible(!warning.isEmpty());
    if (m_bar->isHidden() == !warning.isEmpty()) {
        m_bar->setVisible(!warning.isEmpty());
        Q_EMIT shownChanged();
    }
    if (m_tray) {
        m_tray->setToolTip(warning.isEmpty() ? QStringLiteral("Kalvent")
                                             : QStringLiteral("Kalvent\n") + warning);
        if (!warning.isEmpty() && warning != m_warning && m_tray->isVisible())
            m_tray->showMessage(QStringLiteral("Kalvent"), warning, QSystemTrayIcon::Warning);
    }
    m_warning = warning;
}

#include "ReportDispatch.h"

#include "AppPaths.h"
#include "LocaleText.h"
#include "MailingSettings.h"
#include "Period.h"
#include "SettingsStore.h"

#include <QDir>
#include <QLockFile>

namespace {
QString& lockOverride()
{
    static QString path;
    return path;
}

struct RunningFlag
{
    explicit RunningFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~RunningFlag() { m_flag = false; }
    bool& m_flag;
};
} // namespace

ReportDispatch::ReportDispatch(Steps steps) : m_steps(std::move(steps)) {}

QString ReportDispatch::lockPath()
{
    if (!lockOverride().isEmpty())
        return lockOverride();
    return QDir(AppPaths::dataDir()).filePath("dispatch.lock");
}

void ReportDispatch::setLockPath(const QString& path)
{
    lockOverride() = path;
}

bool ReportDispatch::isDue(const QString& nextdate, const QString& times, const QDateTime& now)
{
    const QTime time = MailingSettings::parseTime(times);
    const QDateTime next = MailingSettings::parseNextDate(nextdate);
    if (!time.isValid() || !next.isValid())
        return false;
    if (now.time() < time)
        return false;
    return QDateTime(now.date(), QTime(0, 0)) >= next;
}

ReportDispatch::Result ReportDispatch::tick(SettingsStore& store, const QDateTime& now)
{
    if (m_running)
        return Result::Busy;
    if (!isDue(store.read("nextdate"), store.read("times"), now))
        return Result::NotDue;
    if (m_retryAfter.isValid() && now < m_retryAfter)
        return Result::Deferred;
    RunningFlag running(m_running);

    QDir().mkpath(QFileInfo(lockPath()).absolutePath());
    QLockFile lock(lockPath());
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        return Result::Busy;
    // Another copy may have dispatched just before the lock was ours.
    if (!isDue(store.read("nextdate"), store.read("times"), now))
        return Result::NotDue;

    auto fail = [&](const QString& error) {
        m_steps.unload();
        m_retryAfter = now.addSecs(m_retryDelay);
        m_steps.failed(QStringLiteral("%1\nСледующая попытка отправки — не раньше %2.")
                           .arg(error, LocaleText::moment(m_retryAfter)));
        return Result::Failed;
    };

    m_steps.status(QStringLiteral("Загрузка параметров отправки"));
    m_steps.load();
    m_steps.status(QStringLiteral("Сохранение отчетов"));
    QString error;
    if (!m_steps.exportReports(&error))
        return fail(error);
    m_steps.status(QStringLiteral("Отправка отчетов"));
    if (m_steps.send(&error) == SendResult::SignOnFailed)
        return fail(error);
    m_steps.unload();
    m_retryAfter = QDateTime();

    const std::optional<double> days = Period::parse(store.read("days"));
    const QDateTime next = Period::after(now.date(), days.value_or(0));
    m_steps.announce(LocaleText::moment(next));
    store.write("nextdate", MailingSettings::nextDateText(next));
    return Result::Dispatched;
}

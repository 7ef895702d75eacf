#include "DispatchSchedule.h"

#include "AppPaths.h"
#include "LocaleText.h"
#include "MailingRun.h"
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

DispatchSchedule::DispatchSchedule(MailingRun& run, Hooks hooks)
    : m_run(run), m_hooks(std::move(hooks))
{
}

void DispatchSchedule::call(const std::function<void(const QString&)>& hook,
                            const QString& text) const
{
    if (hook)
        hook(text);
}

QString DispatchSchedule::lockPath()
{
    if (!lockOverride().isEmpty())
        return lockOverride();
    return QDir(AppPaths::dataDir()).filePath("dispatch.lock");
}

void DispatchSchedule::setLockPath(const QString& path)
{
    lockOverride() = path;
}

bool DispatchSchedule::isDue(const QString& nextdate, const QString& times, const QDateTime& now)
{
    const QTime time = MailingSettings::parseTime(times);
    const QDateTime next = MailingSettings::parseNextDate(nextdate);
    if (!time.isValid() || !next.isValid())
        return false;
    if (now.time() < time)
        return false;
    return QDateTime(now.date(), QTime(0, 0)) >= next;
}

DispatchSchedule::Result DispatchSchedule::tick(SettingsStore& store, const QDateTime& now)
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

    auto finish = [this] {
        if (m_hooks.finished)
            m_hooks.finished();
    };
    auto fail = [&](const QString& error) {
        finish();
        m_retryAfter = now.addSecs(m_retryDelay);
        call(m_hooks.failed, QStringLiteral("%1\nСледующая попытка отправки — не раньше %2.")
                                 .arg(error, LocaleText::moment(m_retryAfter)));
        return Result::Failed;
    };

    call(m_hooks.status, QStringLiteral("Загрузка параметров отправки"));
    const MailingSettings settings = MailingSettings::read(store);
    call(m_hooks.status, QStringLiteral("Сохранение отчетов"));
    if (!m_run.exportReports(settings.days(), now))
        return fail(m_run.errorText());
    call(m_hooks.status, QStringLiteral("Отправка отчетов"));
    const MailingRun::Result sent = m_run.send(settings.senders(), settings.tems());
    if (sent == MailingRun::Result::NoAccount || sent == MailingRun::Result::Busy)
        return fail(m_run.errorText());
    if (sent == MailingRun::Result::MailFailed)
        call(m_hooks.mailFailed, m_run.errorText());
    finish();
    m_retryAfter = QDateTime();

    const std::optional<double> days = settings.period();
    const QDateTime next = Period::after(now.date(), days.value_or(0));
    call(m_hooks.announce, LocaleText::moment(next));
    store.write("nextdate", MailingSettings::nextDateText(next));
    return Result::Dispatched;
}

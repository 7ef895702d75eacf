#include "DispatchSchedule.h"

#include "AppPaths.h"
#include "DiskSpace.h"
#include "DispatchLock.h"
#include "LocaleText.h"
#include "MailingRun.h"
#include "MailingSettings.h"
#include "Period.h"
#include "SafeFile.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFileInfo>

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

QString DispatchSchedule::lastDispatchPath()
{
    return QFileInfo(DispatchLock::path()).absoluteDir().filePath(QStringLiteral("dispatch.last"));
}

QDateTime DispatchSchedule::lastDispatch()
{
    QFile file(lastDispatchPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QDateTime::fromString(QString::fromLatin1(file.readAll().trimmed()), Qt::ISODate);
}

Outcome<void> DispatchSchedule::storeNext(SettingsStore& store, const QDateTime& next,
                                          const QDateTime& now)
{
    if (!store.write(MailingSettings::nextdateKey, MailingSettings::nextDateText(next)))
        return Outcome<void>::failure(store.errorText());
    return SafeFile::write(lastDispatchPath(), now.toString(Qt::ISODate).toLatin1());
}

QString DispatchSchedule::unusableText()
{
    return QStringLiteral("Проверьте наличие всех настроек");
}

bool DispatchSchedule::tooSoon(const MailingSettings& settings, const QDateTime& now)
{
    // A period of 0 (or of seconds) stored by hand is due again at every tick.
    const std::optional<double> days = settings.period();
    if (days && *days * 24 * 3600 >= minimumInterval)
        return false;
    const QDateTime last = lastDispatch();
    return last.isValid() && last <= now && last.secsTo(now) < minimumInterval;
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
    if (DispatchLock::isBusy())
        return Result::Busy;
    MailingSettings settings = MailingSettings::read(store);
    // Values that cannot be read would never come due: the mailing would stop without a word.
    if (!settings.unusableKeys().isEmpty())
        return Result::Unusable;
    if (!isDue(settings.nextdate(), settings.times(), now))
        return Result::NotDue;
    if (m_retryAfter.isValid() && now < m_retryAfter)
        return Result::Deferred;
    if (tooSoon(settings, now))
        return Result::TooSoon;
    DispatchLock lock;
    lock.takeHere();

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

    // The lock, the reports, the kept copy of a failed mail and the next date all need room;
    // a dispatch that cannot finish is refused before it starts.
    for (const QString& folder :
         {QFileInfo(DispatchLock::path()).absolutePath(), m_run.sendDir(), m_run.outboxDir(),
          QFileInfo(SettingsStore::location()).absolutePath()}) {
        const Outcome<void> space = DiskSpace::check(folder);
        if (!space)
            return fail(QStringLiteral("Отчеты не отправлены: ") + space.errorText());
    }
    switch (lock.take()) {
    case DispatchLock::Result::Taken:
        break;
    case DispatchLock::Result::Busy:
        return Result::Busy;
    case DispatchLock::Result::Failed:
        return fail(lock.errorText());
    }
    if (m_afterLock)
        m_afterLock();
    // Another copy may have dispatched just before the lock was ours: what it stored counts.
    settings = MailingSettings::read(store);
    if (!isDue(settings.nextdate(), settings.times(), now))
        return Result::NotDue;
    if (tooSoon(settings, now))
        return Result::TooSoon;

    call(m_hooks.status, QStringLiteral("Загрузка параметров отправки"));
    m_run.setSettings(settings);
    const QDateTime next = Period::after(now.date(), settings.period().value_or(0));
    bool mine = true;
    if (!m_run.claimDispatch(settings.nextdate(), settings.senders(), &mine))
        return fail(m_run.errorText());
    if (!mine) {
        const Outcome<void> stored = storeNext(store, next, now);
        if (!stored)
            return fail(stored.errorText());
        finish();
        return Result::ElsewhereDispatched;
    }
    call(m_hooks.status, QStringLiteral("Сохранение отчетов"));
    if (!m_run.exportReports(settings.days(), now))
        return fail(m_run.errorText());
    call(m_hooks.status, QStringLiteral("Отправка отчетов"));
    const MailingRun::Result sent =
        m_run.send(settings.senders(), settings.tems(),
                   QStringLiteral("%1 %2 %3")
                       .arg(settings.nextdate(), settings.times(), AppPaths::databasePath()));
    // A failed mail whose copy could not be kept is not moved on: the reports are mailed again.
    if (sent == MailingRun::Result::NoAccount || sent == MailingRun::Result::NotKept)
        return fail(m_run.errorText());
    // Stored before the announcement: a program closed while the box is open must not mail
    // the same reports again at its next start.
    const Outcome<void> stored = storeNext(store, next, now);
    if (!stored)
        return fail(QStringLiteral("Следующую дату отправки сохранить не удалось.\n") +
                    stored.errorText());
    if (sent == MailingRun::Result::MailFailed)
        call(m_hooks.mailFailed, m_run.errorText());
    finish();
    m_retryAfter = QDateTime();
    call(m_hooks.announce, LocaleText::moment(next));
    return Result::Dispatched;
}

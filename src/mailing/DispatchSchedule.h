#pragma once

#include "Outcome.h"

#include <QDateTime>
#include <QString>
#include <functional>

class MailingRun;
class MailingSettings;
class SettingsStore;

// The scheduled mailing of the reports. Every tick reads the stored settings; when the next date
// and the time of day have come it takes the DispatchLock, reads them again (another copy may
// have dispatched meanwhile), mails the reports through a mailing run with them, stores the
// following date and then announces it. On a server shared by several desks, only the desk
// whose claim in the database came first mails.
class DispatchSchedule
{
public:
    enum class Result
    {
        NotDue,
        Busy,                // another dispatch is running
        Deferred,            // an earlier failure: waiting for the retry time
        TooSoon,             // the last dispatch was less than minimumInterval ago
        Unusable,            // a stored period, time or date (or another setting) is unreadable
        Dispatched,          // the next date was advanced (also after a failed mail)
        ElsewhereDispatched, // another desk on the same server claimed it: the date advanced
        Failed // export or mail account failed: the next date is unchanged, retried later
    };

    // What the user of the schedule shows along the way; any may be left empty.
    struct Hooks
    {
        std::function<void(const QString&)> status;
        // The mail itself failed: the date still moves on.
        std::function<void(const QString& error)> mailFailed;
        // The dispatch is over (successful or not), before it is announced or reported.
        std::function<void()> finished;
        std::function<void(const QString& nextDate)> announce;
        // Told once per failure, with the time of the next try.
        std::function<void(const QString& message)> failed;
    };

    DispatchSchedule(MailingRun& run, Hooks hooks);

    // Due when the time of day has reached the stored time and today (taken at midnight) has
    // reached the stored next date; empty or unreadable values are never due.
    static bool isDue(const QString& nextdate, const QString& times, const QDateTime& now);

    Result tick(SettingsStore& store, const QDateTime& now);

    // After a failed export or sign-on, no new try before this many seconds.
    void setRetryDelay(int seconds) { m_retryDelay = seconds; }

    // The text told when the stored settings cannot be used (the start-up check's own words).
    static QString unusableText();

    // Test seam: runs once the lock is taken, before the due test is made again.
    void setAfterLock(std::function<void()> hook) { m_afterLock = std::move(hook); }

    // Two dispatches are at least this many seconds apart, whatever the stored period.
    static constexpr int minimumInterval = 60;

private:
    // The moment of the last dispatch of any copy of the program, kept beside the lock.
    static QString lastDispatchPath();
    static QDateTime lastDispatch();
    // Stores the next date and the moment of this dispatch; the reason when the disk refused
    // either.
    static Outcome<void> storeNext(SettingsStore& store, const QDateTime& next,
                                   const QDateTime& now);
    static bool tooSoon(const MailingSettings& settings, const QDateTime& now);

    void call(const std::function<void(const QString&)>& hook, const QString& text) const;

    MailingRun& m_run;
    Hooks m_hooks;
    int m_retryDelay = 30 * 60;
    QDateTime m_retryAfter;
    std::function<void()> m_afterLock;
};

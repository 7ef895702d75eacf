#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

class SettingsStore;

// The scheduled mailing of the reports. Every tick reads the stored next date and time of day;
// when both have come it exports the four reports, mails them, announces the following date
// and then stores it. A dispatch never starts while another one runs, in this process (its
// closing announcement included) or in another (a lock file).
class ReportDispatch
{
public:
    enum class SendResult
    {
        Sent,
        MailFailed,  // the mail itself failed and the operator was told: the date still moves on
        SignOnFailed // no usable mail account: handled like a failed export
    };

    enum class Result
    {
        NotDue,
        Busy,       // another dispatch is running
        Deferred,   // an earlier failure: waiting for the retry time
        Dispatched, // the next date was advanced (also after a failed mail)
        Failed      // export or sign-on failed: the next date is unchanged, retried later
    };

    struct Steps
    {
        std::function<void(const QString&)> status;
        // Loads the values the dispatch uses (the settings window, without showing it).
        std::function<void()> load;
        std::function<bool(QString* error)> exportReports;
        std::function<SendResult(QString* error)> send;
        // Closes what load opened.
        std::function<void()> unload;
        std::function<void(const QString& nextDate)> announce;
        // Told once per failure, with the time of the next try.
        std::function<void(const QString& message)> failed;
    };

    explicit ReportDispatch(Steps steps);

    // Due when the time of day has reached the stored time and today (taken at midnight) has
    // reached the stored next date; empty or unreadable values are never due.
    static bool isDue(const QString& nextdate, const QString& times, const QDateTime& now);

    Result tick(SettingsStore& store, const QDateTime& now);

    // After a failed export or sign-on, no new try before this many seconds.
    void setRetryDelay(int seconds) { m_retryDelay = seconds; }
    int retryDelay() const { return m_retryDelay; }
    bool isRunning() const { return m_running; }

    static QString lockPath();
    static void setLockPath(const QString& path);

private:
    Steps m_steps;
    bool m_running = false;
    int m_retryDelay = 30 * 60;
    QDateTime m_retryAfter;
};

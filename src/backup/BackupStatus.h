#pragma once

#include <QDateTime>
#include <QString>

// How the backups stand: the last attempt (kept in the data folder by every copy taken,
// successful or not) and the newest verified copy of the chosen folder. A copy missing for
// more than two days, or a last attempt that failed, is a warning to show.
class BackupStatus
{
public:
    // Records the end of an attempt: `reason` empty for a verified copy.
    static void record(const QDateTime& when, const QString& reason);

    // Empty when all is well; else the warning in words ("Резервная копия не создана ...").
    static QString warning(const QString& folder, const QDateTime& now);
    // True once an attempt has been recorded (a fresh installation has made none yet).
    static bool attempted();
    // The warning in a few words for a status line; empty when all is well.
    static QString headline(const QString& warning);

private:
    static QString statePath();
};

#pragma once

#include "BackupRetention.h"

#include <QString>
#include <QStringList>
#include <memory>

class DataEnv;
class QLockFile;
class RegisterFigures;

// Takes verified copies of a register (a file or a server) into a backup folder. A copy is one
// SQLite file of one moment: from a file through the engine's online backup inside a read
// transaction (the operator's adds go on meanwhile), from a server through a register copy in
// one snapshot transaction. It is written under a temporary name, flushed, renamed, opened
// again and checked against the figures of that moment; only then does it get its mark
// (BackupFolder), and only a marked copy counts. Every attempt is recorded (BackupStatus).
class Backup
{
public:
    explicit Backup(const QString& location) : m_location(location) {}

    // One copy now.
    bool take(const QString& folder);
    // The daily copy: one unless the folder has a verified copy of today already, then the
    // copies the retention drops are removed (verified ones only).
    bool takeDaily(const QString& folder, const BackupRetention::Counts& counts);

    // The copy written (empty when none was).
    QString path() const { return m_path; }
    qint64 calls() const { return m_calls; }
    QStringList removed() const { return m_removed; }
    // Another copy was being written into the folder, so none was taken.
    bool busy() const { return m_busy; }
    QString errorText() const { return m_error; }

private:
    // Makes the folder and takes its lock; null when either fails (busy() when the lock is
    // another's).
    std::unique_ptr<QLockFile> lockFolder(const QString& folder);
    bool takeLocked(const QString& folder);
    bool write(const QString& folder);
    bool snapshotFile(DataEnv& source, const QString& temporary, RegisterFigures* figures);
    bool snapshotServer(DataEnv& source, const QString& temporary, RegisterFigures* figures);
    bool prune(const QString& folder, const BackupRetention::Counts& counts);
    bool fail(const QString& reason);

    QString m_location;
    QString m_path;
    qint64 m_calls = 0;
    QStringList m_removed;
    bool m_busy = false;
    QString m_error;
};

#pragma once

#include <QString>

class DataEnv;

// Puts a backup in place of a register after checking it (BackupVerifier; a newer layout is
// refused). A file register is first kept beside itself as "KvBD.db.before-restore-<moment>"
// and then overwritten in one transaction of the engine (other connections see the backup at
// their next statement). A server is restored only into a database without calls, unless it is
// to be replaced: then a verified copy of it is taken into the backup folder first, and its
// register is replaced in one transaction.
class BackupRestore
{
public:
    BackupRestore(const QString& location, const QString& backupFolder)
        : m_location(location), m_folder(backupFolder)
    {
    }

    void setReplacing(bool replacing) { m_replacing = replacing; }
    bool restore(const QString& backup);

    // Where the register as it was before is kept (empty when nothing was kept).
    QString keptPath() const { return m_kept; }
    qint64 calls() const { return m_calls; }
    // True when a server database that holds calls was left alone (not replacing).
    bool targetNotEmpty() const { return m_targetNotEmpty; }
    QString errorText() const { return m_error; }

private:
    bool restoreFile(const QString& backup);
    bool restoreServer(const QString& backup);
    bool fail(const QString& reason);

    QString m_location;
    QString m_folder;
    bool m_replacing = false;
    QString m_kept;
    qint64 m_calls = 0;
    bool m_targetNotEmpty = false;
    QString m_error;
};

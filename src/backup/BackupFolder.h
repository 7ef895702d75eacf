#pragma once

#include "BackupEntry.h"
#include "Outcome.h"

#include <QList>
#include <QString>

class RegisterFigures;

// A folder of backups: files named "KvBD-2026-12-07-2315.db" (a second one in the same minute
// "KvBD-2026-12-07-2315-2.db"), each counted as a backup only beside its mark
// "<name>.verified", which records what the verification found.
class BackupFolder
{
public:
    explicit BackupFolder(const QString& path) : m_path(path) {}

    // The folder chosen in the program settings, else ~/.local/share/Kalvent/Backups.
    static QString chosen();
    static QString defaultPath();
    static Outcome<void> choose(const QString& path);

    QString path() const { return m_path; }
    // The copies, newest first (verified or not); none when the folder cannot be read.
    QList<BackupEntry> entries() const;
    // The newest verified copy; an invalid time when there is none.
    BackupEntry newestVerified() const;
    // A free name for a copy taken at `moment`.
    QString newCopyPath(const QDateTime& moment) const;
    // A copy's mark, and the mark written (through SafeFile) once the copy is verified.
    static QString markPath(const QString& copy);
    static Outcome<void> writeMark(const QString& copy, const QDateTime& taken, qint64 calls,
                                   int version);
    // Removes a verified copy and its mark.
    static Outcome<void> remove(const BackupEntry& entry);
    // Removes what a copy killed half-way left: the temporary files of unfinished copies and
    // marks without their copy (only under the folder's lock).
    void removeLeftovers() const;
    // The lock taken while a copy is written or pruned.
    QString lockPath() const;

    // Reads a copy's mark; false when it is missing or does not fit the file.
    static bool readMark(BackupEntry* entry);
    // A copy's size for the operator: "64 КБ", "98.7 МБ".
    static QString sizeText(qint64 bytes);
    static constexpr const char* prefix = "KvBD-";

private:
    QString m_path;
};

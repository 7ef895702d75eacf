#include "Backup.h"

#include "BackupFolder.h"
#include "BackupStatus.h"
#include "BackupVerifier.h"
#include "Clock.h"
#include "DataEnv.h"
#include "DiskSpace.h"
#include "RegisterCopy.h"
#include "SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSqlDriver>
#include <sqlite3.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {
// The engine's words for a failure on a copy it writes; a full disk in the operator's words.
QString engineReason(int code, sqlite3* db)
{
    if (code == SQLITE_FULL)
        return SafeFile::reason(ENOSPC);
    if (code == SQLITE_IOERR || (code & 0xff) == SQLITE_IOERR) {
        QString words = SafeFile::reason(sqlite3_system_errno(db));
        if (!words.isEmpty())
            return words;
    }
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
}

// Makes the engine's copy a file of its own: a rollback journal, nothing beside it.
int singleFile(sqlite3* db)
{
    return sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
}
} // namespace

bool Backup::fail(const QString& reason)
{
    m_error = reason;
    return false;
}

std::unique_ptr<QLockFile> Backup::lockFolder(const QString& folder)
{
    m_busy = false;
    m_error.clear();
    m_path.clear();
    m_removed.clear();
    if (const Outcome<void> ready = SafeFile::ensureFolder(folder); !ready) {
        BackupStatus::record(Clock::now(), ready.errorText());
        fail(ready.errorText());
        return nullptr;
    }
    auto lock = std::make_unique<QLockFile>(BackupFolder(folder).lockPath());
    if (lock->tryLock(0))
        return lock;
    if (lock->error() == QLockFile::LockFailedError) {
        m_busy = true;
        fail(QStringLiteral("В папке %1 уже создаётся другая резервная копия.")
                 .arg(QDir::toNativeSeparators(folder)));
        return nullptr;
    }
    // No lock file could be made: most often a full disk.
    const Outcome<void> space = DiskSpace::check(folder);
    fail(space ? QStringLiteral("Не удалось записать в папку %1.")
                     .arg(QDir::toNativeSeparators(folder))
               : space.errorText());
    BackupStatus::record(Clock::now(), m_error);
    return nullptr;
}

bool Backup::take(const QString& folder)
{
    const std::unique_ptr<QLockFile> lock = lockFolder(folder);
    return lock && takeLocked(folder);
}

bool Backup::takeDaily(const QString& folder, const BackupRetention::Counts& counts)
{
    const std::unique_ptr<QLockFile> lock = lockFolder(folder);
    if (!lock)
        return m_busy; // the other one takes today's copy
    if (BackupFolder(folder).newestVerified().taken.date() != Clock::today() && !takeLocked(folder))
        return false;
    return prune(folder, counts);
}

bool Backup::takeLocked(const QString& folder)
{
    BackupFolder(folder).removeLeftovers();
    const bool written = write(folder);
    BackupStatus::record(Clock::now(), written ? QString() : m_error);
    return written;
}

bool Backup::write(const QString& folder)
{
    DataEnv source(m_location);
    if (!source.connect())
        return fail(source.errorText());
    const bool server = source.database().dialect().isServer();
    const Outcome<void> space = DiskSpace::check(folder, server ? 0 : QFileInfo(m_location).size());
    if (!space)
        return fail(space.errorText());
    const QString target = BackupFolder(folder).newCopyPath(Clock::now());
    const QString what = QStringLiteral("Не удалось записать резервную копию %1")
                             .arg(QDir::toNativeSeparators(target));
    QByteArray temporary = QFile::encodeName(
        QDir(folder).filePath('.' + QFileInfo(target).fileName() + QStringLiteral(".XXXXXX")));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(QStringLiteral("%1: %2.").arg(what, SafeFile::reason(errno)));
    ::close(fd);
    const QString partial = QFile::decodeName(temporary);
    RegisterFigures figures;
    const bool copied = server ? snapshotServer(source, partial, &figures)
                               : snapshotFile(source, partial, &figures);
    if (!copied || !SafeFile::syncFile(partial) ||
        ::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0 ||
        !SafeFile::syncFolder(folder)) {
        const int errorNumber = errno;
        QFile::remove(partial);
        if (!copied)
            return fail(QStringLiteral("%1: %2").arg(what, m_error));
        return fail(QStringLiteral("%1: %2.").arg(what, SafeFile::reason(errorNumber)));
    }
    // Only the file as it lies in the folder is checked, and only a sound one is marked.
    BackupVerifier verifier(target);
    if (!verifier.check(&figures)) {
        QFile::remove(target);
        return fail(verifier.errorText());
    }
    const Outcome<void> marked =
        BackupFolder::writeMark(target, Clock::now(), figures.calls(), verifier.version());
    if (!marked) {
        QFile::remove(target);
        return fail(marked.errorText());
    }
    m_path = target;
    m_calls = figures.calls();
    return true;
}

bool Backup::snapshotFile(DataEnv& source, const QString& temporary, RegisterFigures* figures)
{
    QSqlDatabase db = source.database().connection();
    const QVariant handle = db.driver()->handle();
    auto* from = handle.isValid() ? *static_cast<sqlite3* const*>(handle.data()) : nullptr;
    if (!from || !db.transaction())
        return fail(Database::describe(db.lastError()));
    // The figures fix the moment; the engine's backup reads the same one in this transaction.
    const Outcome<RegisterFigures> read = RegisterFigures::read(db, source.database().dialect());
    if (!read) {
        db.rollback();
        return fail(read.errorText());
    }
    *figures = read.value();
    sqlite3* to = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(temporary).constData(), &to, SQLITE_OPEN_READWRITE,
                             nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(to, "PRAGMA locking_mode=EXCLUSIVE", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
        rc = backup ? sqlite3_backup_step(backup, -1) : sqlite3_errcode(to);
        if (backup && sqlite3_backup_finish(backup) != SQLITE_OK && rc == SQLITE_DONE)
            rc = sqlite3_errcode(to);
        if (rc == SQLITE_DONE)
            rc = singleFile(to);
    }
    const QString reason = rc == SQLITE_OK ? QString() : engineReason(rc, to);
    sqlite3_close(to);
    db.rollback();
    return rc == SQLITE_OK || fail(reason);
}

bool Backup::snapshotServer(DataEnv& source, const QString& temporary, RegisterFigures* figures)
{
    {
        DataEnv target(temporary);
        RegisterCopy copy(source, target);
        if (!copy.run())
            return fail(copy.errorText());
        *figures = copy.sourceFigures();
    }
    sqlite3* to = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(temporary).constData(), &to, SQLITE_OPEN_READWRITE,
                             nullptr);
    if (rc == SQLITE_OK)
        rc = singleFile(to);
    const QString reason = rc == SQLITE_OK ? QString() : engineReason(rc, to);
    sqlite3_close(to);
    return rc == SQLITE_OK || fail(reason);
}

bool Backup::prune(const QString& folder, const BackupRetention::Counts& counts)
{
    const QList<BackupEntry> entries = BackupFolder(folder).entries();
    QList<QDateTime> verified;
    for (const BackupEntry& entry : entries)
        if (entry.verified)
            verified << entry.taken;
    const QList<QDateTime> kept = BackupRetention(counts).kept(verified);
    for (const BackupEntry& entry : entries) {
        if (!entry.verified || kept.contains(entry.taken))
            continue;
        const Outcome<void> removed = BackupFolder::remove(entry);
        if (!removed)
            return fail(removed.errorText());
        m_removed << entry.path;
    }
    return true;
}

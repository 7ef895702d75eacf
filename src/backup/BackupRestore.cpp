#include "BackupRestore.h"

#include "Backup.h"
#include "BackupVerifier.h"
#include "Clock.h"
#include "DataEnv.h"
#include "DatabaseLocation.h"
#include "RegisterCopy.h"
#include "SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QTemporaryDir>
#include <cerrno>
#include <sqlite3.h>

bool BackupRestore::fail(const QString& reason)
{
    m_error = reason;
    return false;
}

bool BackupRestore::restore(const QString& backup)
{
    m_error.clear();
    m_kept.clear();
    m_targetNotEmpty = false;
    BackupVerifier verifier(backup);
    if (!verifier.check())
        return fail(verifier.errorText());
    m_calls = verifier.figures().calls();
    return DatabaseLocation::isServerUrl(m_location) ? restoreServer(backup) : restoreFile(backup);
}

bool BackupRestore::restoreFile(const QString& backup)
{
    {
        DataEnv env(m_location);
        if (!env.connect())
            return fail(env.errorText());
        QSqlDatabase db = env.database().connection();
        const QString kept = QStringLiteral("%1.before-restore-%2")
                                 .arg(m_location, Clock::now().toString("yyyy-MM-dd-HHmmss"));
        const Outcome<void> copied = env.database().dialect().copyTo(db, kept);
        if (!copied || !SafeFile::syncFile(kept) ||
            !SafeFile::syncFolder(QFileInfo(kept).absolutePath())) {
            QFile::remove(kept);
            return fail(QStringLiteral("Не удалось сохранить текущую базу в %1: %2")
                            .arg(kept, copied ? SafeFile::reason(EIO) : copied.errorText()));
        }
        m_kept = kept;
        const QVariant handle = db.driver()->handle();
        auto* to = handle.isValid() ? *static_cast<sqlite3* const*>(handle.data()) : nullptr;
        sqlite3* from = nullptr;
        int rc = sqlite3_open_v2(QFile::encodeName(backup).constData(), &from, SQLITE_OPEN_READONLY,
                                 nullptr);
        if (rc == SQLITE_OK && to) {
            // Every page in one write transaction of the register: all of the backup or none.
            sqlite3_backup* copy = sqlite3_backup_init(to, "main", from, "main");
            rc = copy ? sqlite3_backup_step(copy, -1) : sqlite3_errcode(to);
            if (copy && sqlite3_backup_finish(copy) != SQLITE_OK && rc == SQLITE_DONE)
                rc = sqlite3_errcode(to);
        }
        const QString reason = QString::fromUtf8(rc == SQLITE_DONE ? ""
                                                 : to              ? sqlite3_errmsg(to)
                                                                   : sqlite3_errstr(rc));
        sqlite3_close(from);
        if (rc != SQLITE_DONE)
            return fail(
                QStringLiteral("База не восстановлена (она осталась прежней): %1").arg(reason));
    }
    // Opened again: a backup of an older layout is brought up to date here.
    DataEnv env(m_location);
    if (!env.connect())
        return fail(env.errorText());
    return true;
}

bool BackupRestore::restoreServer(const QString& backup)
{
    // The backup is read from a scratch copy: opening a file may change it.
    QTemporaryDir scratch;
    const QString source = scratch.filePath(QStringLiteral("restore.db"));
    if (!scratch.isValid() || !QFile::copy(backup, source))
        return fail(QStringLiteral("Не удалось прочитать копию %1.").arg(backup));
    DataEnv target(m_location);
    if (m_replacing) {
        Backup before(m_location);
        if (!before.take(m_folder))
            return fail(QStringLiteral("Перед заменой не удалось сохранить текущую базу: %1")
                            .arg(before.errorText()));
        m_kept = before.path();
    }
    DataEnv from(source);
    RegisterCopy copy(from, target);
    copy.setReplacing(m_replacing);
    if (!copy.run()) {
        m_targetNotEmpty = copy.targetNotEmpty();
        return fail(m_targetNotEmpty ? QStringLiteral("В базе на сервере уже есть звонки; копия "
                                                      "восстанавливается только в пустую базу "
                                                      "(или с --replace).")
                                     : copy.errorText());
    }
    return true;
}

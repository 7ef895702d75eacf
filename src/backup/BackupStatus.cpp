#include "BackupStatus.h"

#include "AppPaths.h"
#include "BackupFolder.h"
#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QString failedText = QStringLiteral("Резервная копия не создана");

QString moment(const QDateTime& when)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}
} // namespace

QString BackupStatus::statePath()
{
    return QDir(AppPaths::dataDir()).filePath(QStringLiteral("backup.last"));
}

void BackupStatus::record(const QDateTime& when, const QString& reason)
{
    QJsonObject state;
    state["time"] = when.toString(Qt::ISODate);
    state["reason"] = reason;
    // A state that cannot be written leaves the former one; the copies tell the rest.
    if (SafeFile::ensureFolder(AppPaths::dataDir()))
        SafeFile::write(statePath(), QJsonDocument(state).toJson());
}

QString BackupStatus::warning(const QString& folder, const QDateTime& now)
{
    const BackupEntry newest = BackupFolder(folder).newestVerified();
    QFile file(statePath());
    if (file.open(QIODevice::ReadOnly)) {
        const QJsonObject state = QJsonDocument::fromJson(file.read(64 * 1024)).object();
        const QDateTime when = QDateTime::fromString(state.value("time").toString(), Qt::ISODate);
        const QString reason = state.value("reason").toString();
        if (when.isValid() && !reason.isEmpty() && (!newest.taken.isValid() || when > newest.taken))
            return QStringLiteral("%1 %2: %3").arg(failedText, moment(when), reason);
    }
    if (!newest.taken.isValid())
        return QStringLiteral("Резервных копий в папке %1 нет.")
            .arg(QDir::toNativeSeparators(folder));
    if (newest.taken < now.addDays(-2))
        return QStringLiteral("Последняя резервная копия сделана %1, больше двух дней назад.")
            .arg(moment(newest.taken));
    return {};
}

bool BackupStatus::attempted()
{
    return QFile::exists(statePath());
}

QString BackupStatus::headline(const QString& warning)
{
    if (warning.isEmpty())
        return {};
    return warning.startsWith(failedText) ? failedText
                                          : QStringLiteral("Нет свежей резервной копии");
}

#include "BackupFolder.h"

#include "AppPaths.h"
#include "SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {
const QRegularExpression
    copyName(QStringLiteral(R"(^KvBD-(\d{4}-\d\d-\d\d-\d{4})(?:-(\d+))?\.db$)"));
constexpr const char* nameTime = "yyyy-MM-dd-HHmm";
constexpr const char* folderKey = "backupFolder";
} // namespace

QString BackupFolder::defaultPath()
{
    return QDir(AppPaths::dataDir()).filePath(QStringLiteral("Backups"));
}

QString BackupFolder::chosen()
{
    const QString stored = AppPaths::programSetting(folderKey).toString();
    return stored.isEmpty() ? defaultPath() : stored;
}

Outcome<void> BackupFolder::choose(const QString& path)
{
    return AppPaths::storeProgramSetting(folderKey, QDir(path).absolutePath());
}

QString BackupFolder::markPath(const QString& copy)
{
    return copy + QStringLiteral(".verified");
}

QString BackupFolder::lockPath() const
{
    return QDir(m_path).filePath(QStringLiteral(".KvBD-backup.lock"));
}

bool BackupFolder::readMark(BackupEntry* entry)
{
    QFile file(markPath(entry->path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject mark = QJsonDocument::fromJson(file.read(64 * 1024)).object();
    const QDateTime taken = QDateTime::fromString(mark.value("taken").toString(), Qt::ISODate);
    if (!taken.isValid() || qint64(mark.value("size").toDouble(-1)) != entry->size)
        return false;
    entry->taken = taken;
    entry->calls = qint64(mark.value("calls").toDouble(-1));
    entry->version = mark.value("version").toInt();
    return true;
}

QList<BackupEntry> BackupFolder::entries() const
{
    QList<BackupEntry> list;
    const QFileInfoList files =
        QDir(m_path).entryInfoList({QStringLiteral("KvBD-*.db")}, QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        const QRegularExpressionMatch match = copyName.match(file.fileName());
        if (!match.hasMatch() || file.isSymLink())
            continue;
        BackupEntry entry;
        entry.path = file.absoluteFilePath();
        entry.size = file.size();
        entry.taken = QDateTime::fromString(match.captured(1), QLatin1String(nameTime))
                          .addMSecs(match.captured(2).toLongLong());
        entry.verified = readMark(&entry);
        list << entry;
    }
    std::sort(list.begin(), list.end(), [](const BackupEntry& a, const BackupEntry& b) {
        return a.taken != b.taken ? a.taken > b.taken : a.path > b.path;
    });
    return list;
}

BackupEntry BackupFolder::newestVerified() const
{
    for (const BackupEntry& entry : entries())
        if (entry.verified)
            return entry;
    return {};
}

QString BackupFolder::newCopyPath(const QDateTime& moment) const
{
    const QString stem = prefix + moment.toString(QLatin1String(nameTime));
    QString path = QDir(m_path).filePath(stem + QStringLiteral(".db"));
    for (int n = 2; QFileInfo::exists(path) || QFileInfo::exists(markPath(path)); ++n)
        path = QDir(m_path).filePath(QStringLiteral("%1-%2.db").arg(stem).arg(n));
    return path;
}

Outcome<void> BackupFolder::writeMark(const QString& copy, const QDateTime& taken, qint64 calls,
                                      int version)
{
    QJsonObject mark;
    mark["taken"] = taken.toString(Qt::ISODate);
    mark["size"] = double(QFileInfo(copy).size());
    mark["calls"] = double(calls);
    mark["version"] = version;
    return SafeFile::write(markPath(copy), QJsonDocument(mark).toJson());
}

Outcome<void> BackupFolder::remove(const BackupEntry& entry)
{
    // The mark first: a copy left without it is no longer counted, never the other way round.
    if (!QFile::remove(markPath(entry.path)) || !QFile::remove(entry.path))
        return Outcome<void>::failure(
            QStringLiteral("Не удалось удалить старую копию %1.").arg(entry.path));
    return {};
}

void BackupFolder::removeLeftovers() const
{
    const QDir dir(m_path);
    for (const QString& name :
         dir.entryList({QStringLiteral(".KvBD-*")}, QDir::Files | QDir::Hidden | QDir::System))
        if (!name.endsWith(QLatin1String(".lock")))
            QFile::remove(dir.filePath(name));
    for (const QString& name : dir.entryList({QStringLiteral("KvBD-*.db.verified")}, QDir::Files))
        if (!QFileInfo::exists(dir.filePath(name.chopped(9))))
            QFile::remove(dir.filePath(name));
}

QString BackupFolder::sizeText(qint64 bytes)
{
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 КБ").arg((bytes + 1023) / 1024);
    return QStringLiteral("%1 МБ").arg(QString::number(double(bytes) / (1024 * 1024), 'f', 1));
}

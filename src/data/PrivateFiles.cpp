#include "PrivateFiles.h"

#include "AppPaths.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr QFileDevice::Permissions ownerFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions ownerFolder = ownerFile | QFileDevice::ExeOwner;

void tightenOne(const QFileInfo& info)
{
    // Only the user's own files: a database shared through a folder stays as its owner set it.
    if (!info.exists() || info.isSymLink() || info.ownerId() != ::getuid())
        return;
    QFile::setPermissions(info.absoluteFilePath(), info.isDir() ? ownerFolder : ownerFile);
}

void tightenTree(const QString& folder)
{
    const QFileInfo root(folder);
    if (!root.isDir() || root.isSymLink())
        return;
    tightenOne(root);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        tightenOne(it.fileInfo());
    }
}

} // namespace

void PrivateFiles::restrictNewFiles()
{
    ::umask(S_IRWXG | S_IRWXO);
}

void PrivateFiles::tighten()
{
    tightenTree(AppPaths::dataDir());
    tightenTree(QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) + "/Kalvent");
    // The mailing settings live outside the program's folder.
    tightenOne(QFileInfo(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/ZQ.conf")));
    tightenDatabase(AppPaths::databasePath());
}

void PrivateFiles::tightenDatabase(const QString& path)
{
    if (path.contains(QStringLiteral("://")))
        return;
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        tightenOne(QFileInfo(path + suffix));
}

#include "AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
QString& runOverride()
{
    static QString path;
    return path;
}

QSettings programSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Kalvent", "Kalvent");
}
} // namespace

QString AppPaths::dataDir()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(dir).filePath("Kalvent");
}

QString AppPaths::databasePath()
{
    if (!runOverride().isEmpty())
        return runOverride();
    const QString stored = programSettings().value("databasePath").toString();
    if (!stored.isEmpty())
        return stored;
    return QDir(dataDir()).filePath(databaseFileName);
}

void AppPaths::overrideDatabasePath(const QString& path)
{
    runOverride() = path;
}

QString AppPaths::sendDir()
{
    return QDir(QFileInfo(databasePath()).absolutePath()).filePath("Send");
}

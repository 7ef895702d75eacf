#include "AppPaths.h"

#include "DatabaseLocation.h"
#include "SafeSettings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUuid>

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
    QString stored = programSettings().value("databasePath").toString();
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
    // A server database has no folder of its own here: the reports stay in the data folder.
    if (DatabaseLocation::isServerUrl(databasePath()))
        return QDir(dataDir()).filePath("Send");
    return QDir(QFileInfo(databasePath()).absolutePath()).filePath("Send");
}

QString AppPaths::deskId()
{
    QString desk = programSettings().value("deskId").toString();
    if (desk.isEmpty()) {
        desk = QUuid::createUuid().toString(QUuid::WithoutBraces);
        storeProgramSetting(QStringLiteral("deskId"), desk);
    }
    return desk;
}

QString AppPaths::keptCallsPath(const QString& serverLocation)
{
    const DatabaseLocation location(serverLocation);
    const QString server = QStringLiteral("%1@%2:%3/%4")
                               .arg(location.user(), location.host())
                               .arg(location.port())
                               .arg(location.databaseName());
    const QByteArray hash =
        QCryptographicHash::hash(server.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    const QString folder = QFileInfo(programSettings().fileName()).absolutePath();
    return QDir(folder).filePath(QStringLiteral("kept/%1.db").arg(QString::fromLatin1(hash)));
}

QVariant AppPaths::programSetting(const QString& key)
{
    return programSettings().value(key);
}

Outcome<void> AppPaths::storeProgramSetting(const QString& key, const QVariant& value)
{
    return SafeSettings::setValue(
        programSettings().fileName(), key, value,
        QStringLiteral("Не удалось сохранить настройки программы в файл"));
}

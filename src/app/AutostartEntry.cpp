#include "AutostartEntry.h"

#include "SafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

QString AutostartEntry::path()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative value is to be ignored.
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/ru.kalvent.Kalvent.desktop");
}

bool AutostartEntry::isOn()
{
    return QFileInfo(path()).isFile();
}

QString AutostartEntry::command()
{
    QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("kalvent"));
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == self)
        return QStringLiteral("kalvent");
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9/._+-]+$"));
    if (plain.match(self).hasMatch())
        return self;
    // A quoted argument of an Exec key escapes these with a backslash, and the key's value
    // escapes every backslash once more.
    QString quoted = self;
    quoted.replace(QRegularExpression(QStringLiteral("([\"`$\\\\])")), QStringLiteral("\\\\\\1"));
    return '"' + quoted + '"';
}

bool AutostartEntry::set(bool on)
{
    m_error.clear();
    const QString file = path();
    if (!on) {
        if (QFile::exists(file) && !QFile::remove(file)) {
            m_error =
                QStringLiteral("Не удалось удалить файл %1.").arg(QDir::toNativeSeparators(file));
            return false;
        }
        return true;
    }
    const Outcome<void> folder = SafeFile::ensureFolder(QFileInfo(file).absolutePath());
    if (!folder) {
        m_error = folder.errorText();
        return false;
    }
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Kalvent\n"
                                         "Comment=Register of incoming calls\n"
                                         "Comment[ru]=Учёт звонков клиентов\n"
                                         "Exec=%1\n"
                                         "Icon=kalvent\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(command());
    const Outcome<void> written = SafeFile::write(file, entry.toUtf8());
    if (!written) {
        m_error = written.errorText();
        return false;
    }
    return true;
}

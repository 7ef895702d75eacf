#include "SettingsStore.h"

#include "DiskSpace.h"
#include "SafeFile.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace {
QSettings open()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(SettingsStore::application));
}

QString valueText(const QVariant& value)
{
    // A hand-edited value with unquoted commas comes back as a list: keep its text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

QString scratchPath(const QString& path)
{
    static QAtomicInteger<int> counter;
    const QFileInfo info(path);
    return info.absoluteDir().filePath(QStringLiteral(".%1.%2-%3.edit")
                                           .arg(info.fileName())
                                           .arg(QCoreApplication::applicationPid())
                                           .arg(counter.fetchAndAddRelaxed(1)));
}

QSettings::Status store(const QString& file, const QString& key, const QString& value)
{
    QSettings settings(file, QSettings::IniFormat);
    settings.beginGroup(QString::fromLatin1(SettingsStore::section));
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    return settings.status();
}

// Every value of the section in the file.
QMap<QString, QString> values(const QString& file)
{
    QSettings settings(file, QSettings::IniFormat);
    settings.beginGroup(QString::fromLatin1(SettingsStore::section));
    QMap<QString, QString> result;
    for (const QString& key : settings.childKeys())
        result.insert(key, valueText(settings.value(key)));
    return result;
}
} // namespace

QString SettingsStore::read(const QString& key) const
{
    QSettings settings = open();
    settings.beginGroup(QString::fromLatin1(section));
    return valueText(settings.value(key));
}

bool SettingsStore::write(const QString& key, const QString& value)
{
    m_error.clear();
    const QString path = location();
    const QString folder = QFileInfo(path).absolutePath();
    auto fail = [&](const QString& reason) {
        m_error = QStringLiteral("Не удалось сохранить настройки рассылки в файл %1: %2")
                      .arg(QDir::toNativeSeparators(path), reason);
        return false;
    };
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("не удаётся создать папку."));

    // The store's own writer composes the new text in a scratch copy, which is read back and
    // checked; only then does it replace the store, whole, through SafeFile.
    QByteArray old;
    QFile current(path);
    if (current.exists()) {
        if (!current.open(QIODevice::ReadOnly))
            return fail(current.errorString());
        old = current.readAll();
        current.close();
    }
    const QString scratch = scratchPath(path);
    const QString check = scratchPath(path);
    auto cleanUp = [&] {
        QFile::remove(scratch);
        QFile::remove(check);
    };
    QString error;
    if (!SafeFile::write(scratch, old, &error)) {
        cleanUp();
        m_error = error;
        return false;
    }
    QMap<QString, QString> expected = values(scratch);
    expected.insert(key, value);
    // A file with lines the store cannot read reports a format error, though the write went
    // through (dropping those lines); only writing again tells whether the value is stored.
    if (store(scratch, key, value) == QSettings::FormatError)
        store(scratch, key, value);
    QFile composed(scratch);
    QByteArray text;
    if (composed.open(QIODevice::ReadOnly))
        text = composed.readAll();
    composed.close();
    // Read back under a name the store has never cached, so the check sees the bytes alone.
    const bool complete =
        !text.isEmpty() && SafeFile::write(check, text, &error) && values(check) == expected;
    cleanUp();
    if (!complete) {
        if (!error.isEmpty()) {
            m_error = error;
            return false;
        }
        QString reason;
        DiskSpace::check(folder, qint64(old.size()) * 2, &reason);
        return fail(reason.isEmpty() ? QStringLiteral("файл не удалось записать целиком.")
                                     : reason);
    }
    const QDateTime before = QFileInfo(path).lastModified();
    if (!SafeFile::write(path, text, &error)) {
        m_error = error;
        return false;
    }
    // The store rereads a file only when its size or its time (to the millisecond) changed.
    QFile written(path);
    if (before.isValid() && written.fileTime(QFileDevice::FileModificationTime) == before &&
        written.open(QIODevice::ReadWrite))
        written.setFileTime(before.addMSecs(1), QFileDevice::FileModificationTime);
    return true;
}

QString SettingsStore::location()
{
    return open().fileName();
}

#include "SafeSettings.h"

#include "DiskSpace.h"
#include "SafeFile.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>

namespace {

QString scratchPath(const QString& path)
{
    static QAtomicInteger<int> counter;
    const QFileInfo info(path);
    return info.absoluteDir().filePath(QStringLiteral(".%1.%2-%3.edit")
                                           .arg(info.fileName())
                                           .arg(QCoreApplication::applicationPid())
                                           .arg(counter.fetchAndAddRelaxed(1)));
}

QSettings::Status store(const QString& file, const QString& key, const QVariant& value)
{
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(key, value);
    settings.sync();
    return settings.status();
}

QMap<QString, QVariant> values(const QString& file)
{
    QSettings settings(file, QSettings::IniFormat);
    QMap<QString, QVariant> result;
    for (const QString& key : settings.allKeys())
        result.insert(key, settings.value(key));
    return result;
}

QByteArray contents(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = !file.exists() || file.open(QIODevice::ReadOnly);
    return *ok && file.isOpen() ? file.readAll() : QByteArray();
}

} // namespace

bool SafeSettings::setValue(const QString& path, const QString& key, const QVariant& value,
                            const QString& what, QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    QString reason;
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("%1 %2: %3").arg(what, QDir::toNativeSeparators(path), why);
        return false;
    };
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("не удаётся создать папку."));
    bool readable = false;
    const QByteArray old = contents(path, &readable);
    if (!readable)
        return fail(QStringLiteral("файл не читается."));

    const QString scratch = scratchPath(path);
    const QString check = scratchPath(path);
    auto cleanUp = [&] {
        QFile::remove(scratch);
        QFile::remove(check);
    };
    if (!SafeFile::write(scratch, old, &reason)) {
        cleanUp();
        return fail(reason);
    }
    QMap<QString, QVariant> expected = values(scratch);
    expected.insert(key, value);
    // A file with lines Qt cannot read reports a format error, though the write went through
    // (dropping those lines); only writing again tells whether the value is stored.
    if (store(scratch, key, value) == QSettings::FormatError)
        store(scratch, key, value);
    bool composedOk = false;
    const QByteArray text = contents(scratch, &composedOk);
    const bool complete = composedOk && !text.isEmpty() && SafeFile::write(check, text, &reason) &&
                          values(check) == expected;
    cleanUp();
    if (!complete) {
        if (reason.isEmpty() && !DiskSpace::check(folder, qint64(old.size()) * 2, &reason))
            return fail(reason);
        return fail(reason.isEmpty() ? QStringLiteral("файл не удалось записать целиком.")
                                     : reason);
    }
    const QDateTime before = QFileInfo(path).lastModified();
    if (!SafeFile::write(path, text, &reason))
        return fail(reason);
    // Qt rereads a file only when its size or its time (to the millisecond) changed.
    QFile written(path);
    if (before.isValid() && written.fileTime(QFileDevice::FileModificationTime) == before &&
        written.open(QIODevice::ReadWrite))
        written.setFileTime(before.addMSecs(1), QFileDevice::FileModificationTime);
    return true;
}

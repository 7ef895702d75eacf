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

Outcome<void> SafeSettings::setValue(const QString& path, const QString& key, const QVariant& value,
                                     const QString& what)
{
    const QString folder = QFileInfo(path).absolutePath();
    auto fail = [&](const QString& why) {
        return Outcome<void>::failure(
            QStringLiteral("%1 %2: %3").arg(what, QDir::toNativeSeparators(path), why));
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
    const Outcome<void> copied = SafeFile::write(scratch, old);
    if (!copied) {
        cleanUp();
        return fail(copied.errorText());
    }
    QMap<QString, QVariant> expected = values(scratch);
    expected.insert(key, value);
    // A file with lines Qt cannot read reports a format error, though the write went through
    // (dropping those lines); only writing again tells whether the value is stored.
    if (store(scratch, key, value) == QSettings::FormatError)
        store(scratch, key, value);
    bool composedOk = false;
    const QByteArray text = contents(scratch, &composedOk);
    QString reason;
    bool complete = composedOk && !text.isEmpty();
    if (complete) {
        const Outcome<void> checked = SafeFile::write(check, text);
        reason = checked.errorText();
        complete = checked && values(check) == expected;
    }
    cleanUp();
    if (!complete) {
        if (reason.isEmpty()) {
            const Outcome<void> space = DiskSpace::check(folder, qint64(old.size()) * 2);
            if (!space)
                return fail(space.errorText());
        }
        return fail(reason.isEmpty() ? QStringLiteral("файл не удалось записать целиком.")
                                     : reason);
    }
    const QDateTime before = QFileInfo(path).lastModified();
    const Outcome<void> replaced = SafeFile::write(path, text);
    if (!replaced)
        return fail(replaced.errorText());
    // Qt rereads a file only when its size or its time (to the millisecond) changed.
    QFile written(path);
    if (before.isValid() && written.fileTime(QFileDevice::FileModificationTime) == before &&
        written.open(QIODevice::ReadWrite))
        written.setFileTime(before.addMSecs(1), QFileDevice::FileModificationTime);
    return {};
}

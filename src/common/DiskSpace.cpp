#include "DiskSpace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/statvfs.h>

namespace {

QString existingAncestor(const QString& folder)
{
    QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    while (!QFileInfo::exists(path) && path != QStringLiteral("/"))
        path = QFileInfo(path).absolutePath();
    return path;
}

QString kilobytes(qint64 bytes)
{
    // Digits grouped by no-break spaces, whatever the process locale.
    QString digits = QString::number(bytes / 1024);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QChar(0x00A0));
    return digits + QStringLiteral(" КБ");
}

} // namespace

Outcome<qint64> DiskSpace::available(const QString& folder)
{
    struct statvfs st;
    if (::statvfs(QFile::encodeName(existingAncestor(folder)).constData(), &st) != 0)
        return Outcome<qint64>::failure(QString::fromLocal8Bit(std::strerror(errno)));
    return qint64(st.f_bavail) * qint64(st.f_frsize);
}

Outcome<void> DiskSpace::check(const QString& folder, qint64 expected)
{
    const Outcome<qint64> free = available(folder);
    const qint64 needed = margin + std::max<qint64>(expected, 0);
    if (!free || free.value() >= needed)
        return {};
    return Outcome<void>::failure(
        QStringLiteral("в папке %1 на диске нет места: свободно %2, нужно не меньше %3.")
            .arg(QDir::toNativeSeparators(folder), kilobytes(free.value()), kilobytes(needed)));
}

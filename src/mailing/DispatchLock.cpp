#include "DispatchLock.h"

#include "AppPaths.h"
#include "SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

bool DispatchLock::s_held = false;

namespace {
QString& pathOverride()
{
    static QString path;
    return path;
}
} // namespace

DispatchLock::DispatchLock() = default;

DispatchLock::~DispatchLock()
{
    m_file.reset();
    if (m_here)
        s_held = false;
}

QString DispatchLock::path()
{
    if (!pathOverride().isEmpty())
        return pathOverride();
    return QDir(AppPaths::dataDir()).filePath("dispatch.lock");
}

void DispatchLock::setPath(const QString& path)
{
    pathOverride() = path;
}

bool DispatchLock::takeHere()
{
    if (m_here)
        return true;
    if (s_held)
        return false;
    s_held = true;
    m_here = true;
    return true;
}

DispatchLock::Result DispatchLock::take()
{
    m_error.clear();
    if (!takeHere())
        return Result::Busy;
    if (m_file)
        return Result::Taken;
    const Outcome<void> folder = SafeFile::ensureFolder(QFileInfo(path()).absolutePath());
    if (!folder) {
        m_error = folder.errorText();
        return Result::Failed;
    }
    auto file = std::make_unique<QLockFile>(path());
    file->setStaleLockTime(0);
    if (!file->tryLock(0)) {
        if (file->error() == QLockFile::LockFailedError)
            return Result::Busy;
        m_error = QStringLiteral("Не удалось создать файл блокировки %1.")
                      .arg(QDir::toNativeSeparators(path()));
        return Result::Failed;
    }
    m_file = std::move(file);
    return Result::Taken;
}

#include "SafeFile.h"

#include "FailureText.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

qint64 s_spaceLeft = -1;

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

Outcome<void> failure(const QString& what, int errorNumber)
{
    const QString words = SafeFile::reason(errorNumber);
    const QString technical = QString::fromLocal8Bit(std::strerror(errorNumber));
    return Outcome<void>::failure(words.isEmpty()
                                      ? FailureText::compose(what, technical)
                                      : QStringLiteral("%1: %2.\n%3").arg(what, words, technical));
}

// write(2) until every byte is out; a short write that cannot go on sets errno.
bool writeAll(int fd, const char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        qint64 chunk = size - done;
        if (s_spaceLeft >= 0) {
            if (s_spaceLeft == 0) {
                errno = ENOSPC;
                return false;
            }
            chunk = std::min(chunk, s_spaceLeft);
        }
        const ssize_t n = ::write(fd, data + done, size_t(chunk));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        done += n;
        if (s_spaceLeft >= 0)
            s_spaceLeft -= n;
    }
    return true;
}

bool isLink(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Removes what a folder opened as `fd` holds, links as links; closes `fd`.
bool clearFolder(int fd)
{
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    while (dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat st;
        if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            const int child =
                ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0 || !clearFolder(child) ||
                ::unlinkat(::dirfd(dir), name, AT_REMOVEDIR) != 0)
                ok = false;
        } else if (::unlinkat(::dirfd(dir), name, 0) != 0) {
            ok = false;
        }
    }
    ::closedir(dir);
    return ok;
}

} // namespace

QString SafeFile::reason(int errorNumber)
{
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("на диске нет места");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав доступа");
    case EROFS:
        return QStringLiteral("диск доступен только для чтения");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("нет такого файла или папки");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода диска");
    case EISDIR:
        return QStringLiteral("на этом месте папка");
    default:
        return {};
    }
}

void SafeFile::setSpaceLeftForTest(qint64 bytes)
{
    s_spaceLeft = bytes;
}

bool SafeFile::syncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool SafeFile::syncFolder(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

Outcome<void> SafeFile::write(const QString& path, const QByteArray& contents,
                              const QString& whatText)
{
    const QString what = whatText.isEmpty()
                             ? QStringLiteral("Не удалось записать файл %1").arg(native(path))
                             : whatText;
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (info.isDir() && !info.isSymLink())
        return failure(what, EISDIR);
    QByteArray temporary =
        QFile::encodeName(QDir(folder).filePath('.' + info.fileName() + QStringLiteral(".XXXXXX")));
    // mkstemp makes the file 0600: nobody else reads a password or a report half-written.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return failure(what, errno);
    auto fail = [&](int errorNumber, bool open) {
        if (open)
            ::close(fd);
        ::unlink(temporary.constData());
        return failure(what, errorNumber);
    };
    if (!writeAll(fd, contents.constData(), contents.size()))
        return fail(errno, true);
    if (::fsync(fd) != 0)
        return fail(errno, true);
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return fail(errno, true);
    if (st.st_size != contents.size())
        return fail(EIO, true);
    if (::close(fd) != 0)
        return fail(errno, false);
    if (::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0)
        return fail(errno, false);
    if (!syncFolder(folder))
        return failure(what, errno);
    return {};
}

Outcome<void> SafeFile::copy(const QString& from, const QString& to)
{
    const QString what = QStringLiteral("Не удалось прочитать файл %1").arg(native(from));
    const int fd = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return failure(what, errno);
    QFile source;
    QByteArray contents;
    if (source.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        contents = source.readAll();
        if (source.error() != QFileDevice::NoError)
            return failure(what, EIO);
    } else {
        ::close(fd);
        return failure(what, EIO);
    }
    return write(to, contents);
}

Outcome<void> SafeFile::ensureFolder(const QString& path)
{
    if (isLink(path))
        return Outcome<void>::failure(
            QStringLiteral("Папка %1 — символическая ссылка; запись через ссылки не выполняется.")
                .arg(native(path)));
    if (QFileInfo(path).isDir())
        return {};
    if (QFileInfo::exists(path))
        return Outcome<void>::failure(QStringLiteral("%1 — не папка.").arg(native(path)));
    if (!QDir().mkpath(path)) {
        const int errorNumber = errno;
        return failure(QStringLiteral("Не удалось создать папку %1").arg(native(path)),
                       errorNumber ? errorNumber : EACCES);
    }
    return {};
}

Outcome<void> SafeFile::removeFolder(const QString& path)
{
    const QString what = QStringLiteral("Не удалось удалить папку %1").arg(native(path));
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP || errno == ENOTDIR)
            return Outcome<void>::failure(
                QStringLiteral("%1 — не папка (или символическая ссылка); она не удаляется.")
                    .arg(native(path)));
        return failure(what, errno);
    }
    if (!clearFolder(fd) || ::rmdir(name.constData()) != 0)
        return failure(what, errno);
    return {};
}

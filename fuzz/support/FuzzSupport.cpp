#include "FuzzSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace FuzzSupport {

namespace {
// Removed when the process ends normally.
QTemporaryDir& home()
{
    static QTemporaryDir dir([] {
        const QFileInfo shm(QStringLiteral("/dev/shm"));
        const QString base = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
        return base + QStringLiteral("/kalvent-fuzz-XXXXXX");
    }());
    return dir;
}
} // namespace

void isolate()
{
    const QString dir = home().path();
    if (dir.isEmpty()) {
        std::fprintf(stderr, "fuzz: no temporary folder: %s\n", qPrintable(home().errorString()));
        std::abort();
    }
    const QByteArray root = QFile::encodeName(dir);
    qputenv("HOME", root);
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    qputenv("TZ", "UTC");
    // No session bus: a fuzzed account never reaches the desktop's secret store.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QDir().mkpath(dir + QStringLiteral("/work"));
}

QString workDir()
{
    return home().path() + QStringLiteral("/work");
}

int& appArgc()
{
    static int argc = 1;
    return argc;
}

char** appArgv()
{
    static char name[] = "kalvent-fuzz";
    static char* argv[] = {name, nullptr};
    return argv;
}

QString text(const uint8_t* data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

void fail(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

} // namespace FuzzSupport

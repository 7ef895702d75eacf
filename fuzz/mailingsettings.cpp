// The settings store read from any file: the five mailing settings read as texts whose typed
// readings are in range and stored forms read back unchanged; written back, the store returns
// the same five texts. The program's own settings file (the database path) is read too.
#include "MailingSettings.h"
#include "AppPaths.h"
#include "FuzzSupport.h"
#include "Period.h"
#include "SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <cmath>

namespace {

// QSettings keeps what it read while the file's size and time stay the same: every input
// gets a time of its own.
void replace(const QString& path, const uint8_t* data, size_t size)
{
    static qint64 generation = 0;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    FUZZ_REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_REQUIRE(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
    FUZZ_REQUIRE(file.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000 + ++generation),
                                  QFileDevice::FileModificationTime));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::isolate();
    new QCoreApplication(FuzzSupport::appArgc(), FuzzSupport::appArgv());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    replace(SettingsStore::location(), data, size);
    replace(
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Kalvent", "Kalvent").fileName(),
        data, size);
    FUZZ_REQUIRE(!AppPaths::databasePath().isEmpty());

    SettingsStore store;
    const MailingSettings settings = MailingSettings::read(store);
    if (const std::optional<double> days = settings.period())
        FUZZ_REQUIRE(std::isfinite(*days) && *days >= 0 && *days <= Period::maxDays);
    if (settings.time().isValid())
        FUZZ_REQUIRE(MailingSettings::parseTime(MailingSettings::timeText(settings.time())) ==
                     settings.time());
    if (settings.nextDate().isValid())
        FUZZ_REQUIRE(MailingSettings::parseNextDate(MailingSettings::nextDateText(
                         settings.nextDate())) == settings.nextDate());

    FUZZ_REQUIRE(settings.write(store));
    const MailingSettings reread = MailingSettings::read(store);
    for (const QString& key : MailingSettings::keys())
        FUZZ_REQUIRE(reread.text(key) == settings.text(key));
    return 0;
}

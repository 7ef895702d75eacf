// Dates and times as the program reads them from outside: the stored mailing time and next
// date (each read back unchanged from the form it is stored in), and the date and time of a
// call in an imported table (stored as a valid ISO date and an HH:mm:ss time, or refused).
#include "CallImporter.h"
#include "FuzzSupport.h"
#include "ImportHarness.h"
#include "MailingSettings.h"

#include <QCoreApplication>

namespace {

QString quoted(QString field)
{
    return QLatin1Char('"') + field.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

void importOneCall(const QString& row)
{
    ImportHarness& harness = ImportHarness::instance();
    CallImporter importer(harness.env());
    const QString table = QStringLiteral("Data,usluga,Istochnik,Zapis,Vrem\n") + row;
    if (!importer.importText(table)) {
        FUZZ_REQUIRE(importer.badInput());
        FUZZ_REQUIRE(harness.storedCalls() == 0);
        return;
    }
    FUZZ_REQUIRE(importer.imported() == 1 && harness.storedCalls() == 1);
    const QVariantList stored = harness.firstDateAndTime();
    FUZZ_REQUIRE(QDate::fromString(stored.at(0).toString(), Qt::ISODate).isValid());
    FUZZ_REQUIRE(stored.at(1).isNull() ||
                 QTime::fromString(stored.at(1).toString(), QStringLiteral("HH:mm:ss")).isValid());
    harness.clear();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::isolate();
    new QCoreApplication(FuzzSupport::appArgc(), FuzzSupport::appArgv());
    ImportHarness::instance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = FuzzSupport::text(data, size);

    const QTime time = MailingSettings::parseTime(text);
    if (time.isValid())
        FUZZ_REQUIRE(MailingSettings::parseTime(MailingSettings::timeText(time)) == time);
    const QDateTime next = MailingSettings::parseNextDate(text);
    if (next.isValid())
        FUZZ_REQUIRE(MailingSettings::parseNextDate(MailingSettings::nextDateText(next)) == next);

    importOneCall(quoted(text) + QStringLiteral(",Стрижка,Интернет,1,\n"));
    importOneCall(QStringLiteral("2026-12-06,Стрижка,Интернет,0,") + quoted(text) + '\n');
    return 0;
}

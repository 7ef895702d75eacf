// CallImporter over any text: an import either stores every row it counts or nothing, and says
// why it stored nothing; a refusal is always the input's fault on a healthy database.
#include "CallImporter.h"
#include "FuzzSupport.h"
#include "ImportHarness.h"

#include <QCoreApplication>

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
    ImportHarness& harness = ImportHarness::instance();
    CallImporter importer(harness.env());
    const bool imported = importer.importText(text);
    const int stored = harness.storedCalls();
    if (imported) {
        FUZZ_REQUIRE(importer.errorText().isEmpty());
        FUZZ_REQUIRE(stored == importer.imported());
        // One call per record after the header, and a record takes at least one line.
        FUZZ_REQUIRE(importer.imported() <= text.count(QLatin1Char('\n')));
        harness.clear();
    } else {
        FUZZ_REQUIRE(!importer.errorText().isEmpty());
        FUZZ_REQUIRE(importer.badInput());
        FUZZ_REQUIRE(stored == 0);
    }
    return 0;
}

// CsvReader over any text: it ends, numbers its records in rising lines, reports an unclosed
// quote only on the last record, and reads the same records back from a rendering that quotes
// every field.
#include "CsvReader.h"
#include "FuzzSupport.h"

#include <QList>

namespace {

QList<QStringList> readAll(const QString& text, QChar* separator)
{
    CsvReader reader(text);
    *separator = reader.separator();
    const int lines = int(text.count(QLatin1Char('\n'))) + 1;
    QList<QStringList> records;
    QStringList fields;
    int lastLine = 0;
    bool unclosed = false;
    while (reader.next(fields)) {
        FUZZ_REQUIRE(!unclosed);
        FUZZ_REQUIRE(!fields.isEmpty());
        FUZZ_REQUIRE(reader.line() > lastLine && reader.line() <= lines);
        lastLine = reader.line();
        unclosed = !reader.errorText().isEmpty();
        records << fields;
    }
    return records;
}

QString quotedEverywhere(const QList<QStringList>& records, QChar separator)
{
    QString out;
    for (const QStringList& record : records) {
        QStringList quoted;
        for (QString field : record)
            quoted << QLatin1Char('"') + field.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                          QLatin1Char('"');
        out += quoted.join(separator) + QLatin1Char('\n');
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::isolate();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = FuzzSupport::text(data, size);
    QChar separator;
    const QList<QStringList> records = readAll(text, &separator);

    const QString rendered = quotedEverywhere(records, separator);
    QChar again;
    const QList<QStringList> reread = readAll(rendered, &again);
    // The separator is guessed from the first line, which quoted fields may crowd with others.
    if (again == separator)
        FUZZ_REQUIRE(reread == records);
    return 0;
}

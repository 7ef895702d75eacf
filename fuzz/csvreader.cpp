// CsvReader over any text: it ends, numbers its records in rising lines, reports an unclosed
// quote only on the last record, and reads the same records back from a rendering that quotes
// every field, and the same records from the text handed over in pieces of any length.
#include "CsvReader.h"
#include "FuzzSupport.h"

#include <QList>
#include <algorithm>

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

// The records, lines, faults and separator of the reader over the text in pieces of 1 to 7
// characters, the lengths taken in turn from `lengths`.
QString inPieces(const QString& text, const QByteArray& lengths)
{
    qsizetype at = 0;
    int turn = 0;
    CsvReader reader([&](QString& piece) {
        if (at >= text.size())
            return false;
        const int length =
            lengths.isEmpty()
                ? 1
                : 1 + static_cast<unsigned char>(lengths.at(turn++ % lengths.size())) % 7;
        piece = text.mid(at, length);
        at += length;
        return true;
    });
    QString out = reader.separator();
    QStringList fields;
    while (reader.next(fields))
        out +=
            QString::number(reader.line()) + reader.errorText() + fields.join(QChar(0)) + QChar(1);
    return out;
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

    const QByteArray lengths(reinterpret_cast<const char*>(data),
                             qsizetype(std::min<size_t>(size, 16)));
    FUZZ_REQUIRE(inPieces(text, lengths) == inPieces(text, QByteArray(1, char(6))));
    FUZZ_REQUIRE(inPieces(text, lengths) == inPieces(text, {}));
    {
        CsvReader whole(text);
        QString out = whole.separator();
        QStringList fields;
        while (whole.next(fields))
            out += QString::number(whole.line()) + whole.errorText() + fields.join(QChar(0)) +
                   QChar(1);
        FUZZ_REQUIRE(out == inPieces(text, lengths));
    }

    const QString rendered = quotedEverywhere(records, separator);
    QChar again;
    const QList<QStringList> reread = readAll(rendered, &again);
    // The separator is guessed from the first line, which quoted fields may crowd with others.
    if (again == separator)
        FUZZ_REQUIRE(reread == records);
    return 0;
}

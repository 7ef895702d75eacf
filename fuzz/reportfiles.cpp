// The HTML and CSV report files over rows of any values. Input: one byte choosing the report
// and the CSV separator, then lines: the period text, then one row per line with its fields
// split by tabs (an integer, "#" and a decimal number, a yyyy-MM-dd date, or else text).
// No text can add markup to the HTML page, and the program's CSV reader reads back exactly the
// grid's headings, rows and totals from the CSV file.
#include "CsvReader.h"
#include "FuzzSupport.h"
#include "ReportFileWriter.h"
#include "ReportGrid.h"
#include "ReportKind.h"
#include "ReportLayouts.h"

#include <QGuiApplication>
#include <QLocale>
#include <QStandardItemModel>

namespace {

QVariant valueOf(const QString& field)
{
    bool ok = false;
    const qlonglong integer = field.toLongLong(&ok);
    if (ok)
        return integer;
    if (field.startsWith(QLatin1Char('#'))) {
        const double number = field.mid(1).toDouble(&ok);
        if (ok)
            return number;
    }
    const QDate date = QDate::fromString(field, Qt::ISODate);
    if (date.isValid())
        return date;
    return field;
}

// The rows as a model with the report's columns; `blank` empties every text value.
std::unique_ptr<QStandardItemModel> modelOf(const ReportKind& kind, const QStringList& lines,
                                            bool blank)
{
    const QStringList columns{kind.keyField(), kind.callsField(), kind.bookedField()};
    auto model = std::make_unique<QStandardItemModel>(int(lines.size()), int(columns.size()));
    model->setHorizontalHeaderLabels(columns);
    for (int row = 0; row < lines.size(); ++row) {
        const QStringList fields = lines.at(row).split(QLatin1Char('\t'));
        for (int c = 0; c < columns.size() && c < fields.size(); ++c) {
            QVariant value = valueOf(fields.at(c));
            if (blank && value.typeId() == QMetaType::QString)
                value = QString();
            model->setData(model->index(row, c), value);
        }
    }
    return model;
}

QList<QStringList> csvRecords(const QByteArray& file, QChar separator)
{
    const QString text = QString::fromUtf8(file);
    CsvReader reader(text);
    FUZZ_REQUIRE(reader.separator() == separator);
    QList<QStringList> records;
    QStringList fields;
    while (reader.next(fields)) {
        FUZZ_REQUIRE(reader.errorText().isEmpty());
        records << fields;
    }
    return records;
}

// A text a spreadsheet would take for a formula is written with an apostrophe before it.
QStringList asWritten(QStringList fields, const ReportGrid& grid, bool data)
{
    for (int c = 0; c < fields.size(); ++c) {
        const QString& field = fields.at(c);
        const bool numeric = data && grid.isNumeric(c);
        if (!numeric && !field.isEmpty() && QStringLiteral("=+-@\t\r").contains(field.at(0)))
            fields[c].prepend(QLatin1Char('\''));
    }
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::isolate();
    new QGuiApplication(FuzzSupport::appArgc(), FuzzSupport::appArgv());
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QList<ReportKind>& kinds = ReportKind::all();
    const ReportKind& kind = kinds.at(data[0] % kinds.size());
    const QChar separator = QStringLiteral(";,\t").at(data[0] / kinds.size() % 3);
    QStringList lines = FuzzSupport::text(data + 1, size - 1).split(QLatin1Char('\n'));
    const QString period = lines.takeFirst();
    const ReportLayout* layout = ReportLayouts::get(kind.layoutName());
    FUZZ_REQUIRE(layout);

    ReportGrid grid;
    FUZZ_REQUIRE(grid.build(*layout, *modelOf(kind, lines, false), period));
    ReportGrid blank;
    FUZZ_REQUIRE(blank.build(*layout, *modelOf(kind, lines, true), QString(QLatin1String(""))));

    const QString html = ReportFileWriter::html(grid);
    const QString blankHtml = ReportFileWriter::html(blank);
    FUZZ_REQUIRE(html.count(QLatin1Char('<')) == blankHtml.count(QLatin1Char('<')));
    FUZZ_REQUIRE(html.count(QLatin1Char('>')) == blankHtml.count(QLatin1Char('>')));

    QList<QStringList> expected{asWritten(grid.headings(), grid, false)};
    for (const QStringList& row : grid.rows())
        expected << asWritten(row, grid, true);
    expected << asWritten(grid.totals(), grid, true);
    FUZZ_REQUIRE(csvRecords(ReportFileWriter::csv(grid, separator), separator) == expected);
    return 0;
}

#include "CallImporter.h"

#include "CallStore.h"
#include "CsvReader.h"
#include "DataEnv.h"
#include "FailureText.h"
#include "ListNames.h"
#include "ListStore.h"
#include "Outcome.h"
#include "RowSet.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QTime>

namespace {

// "HH:MM" or "HH:MM:SS", hours of one or two digits.
QTime parseTime(QStringView text)
{
    const QList<QStringView> parts = text.split(':');
    if (parts.size() < 2 || parts.size() > 3)
        return {};
    bool ok[3] = {true, true, true};
    const int h = parts[0].toInt(&ok[0]);
    const int m = parts[1].toInt(&ok[1]);
    const int s = parts.size() == 3 ? parts[2].toInt(&ok[2]) : 0;
    if (!ok[0] || !ok[1] || !ok[2] || parts[1].size() != 2)
        return {};
    return QTime(h, m, s);
}

// YYYY-MM-DD or DD.MM.YYYY, optionally followed by a time of day (which is returned apart).
QDate parseDate(QStringView text, QTime* time = nullptr)
{
    text = text.trimmed();
    QStringView datePart = text;
    QStringView timePart;
    qsizetype cut = text.indexOf(' ');
    if (cut < 0)
        cut = text.indexOf('T');
    if (cut >= 0) {
        datePart = text.left(cut);
        timePart = text.mid(cut + 1).trimmed();
    }
    // Digits at every place but the two separators: no sign, no blank.
    const auto digitsBesides = [datePart](int first, int second) {
        for (int i = 0; i < datePart.size(); ++i)
            if (i != first && i != second && (datePart[i] < '0' || datePart[i] > '9'))
                return false;
        return true;
    };
    QDate date;
    if (datePart.size() == 10 && datePart[4] == '-' && datePart[7] == '-' && digitsBesides(4, 7))
        date =
            QDate(datePart.left(4).toInt(), datePart.mid(5, 2).toInt(), datePart.mid(8, 2).toInt());
    else if (datePart.size() == 10 && datePart[2] == '.' && datePart[5] == '.' &&
             digitsBesides(2, 5))
        date =
            QDate(datePart.mid(6, 4).toInt(), datePart.mid(3, 2).toInt(), datePart.left(2).toInt());
    if (!timePart.isEmpty()) {
        const QTime t = parseTime(timePart);
        if (!t.isValid())
            return {};
        if (time)
            *time = t;
    }
    return date;
}

Outcome<bool> parseBooked(QStringView text)
{
    // As programs write it, and as Russian spreadsheets do ("Да"/"Нет", "ИСТИНА"/"ЛОЖЬ").
    static const QStringList yes{
        "1", "-1", "true", "yes", QStringLiteral("да"), QStringLiteral("истина")};
    static const QStringList no{"0", "false", "no", QStringLiteral("нет"), QStringLiteral("ложь")};
    if (text.size() == 1 && (text[0] == '0' || text[0] == '1'))
        return text[0] == '1';
    const QString v = text.trimmed().toString().toLower();
    if (yes.contains(v))
        return true;
    if (no.contains(v))
        return false;
    return Outcome<bool>::failure(
        QStringLiteral("«%1» не отметка записи (1, 0, true, false, да, нет, истина, ложь, yes, no)")
            .arg(text));
}

} // namespace

bool CallImporter::importFile(const QString& path, ImportEncoding::Kind encoding)
{
    m_imported = 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error =
            FailureText::compose(QStringLiteral("Файл %1 не открыт").arg(path), file.errorString());
        m_badInput = true;
        return false;
    }
    // The file is read in pieces, once to check its encoding and again for each pass over it:
    // only a few megabytes of it are held however long it is.
    ImportEncoding decoder;
    if (!decoder.check(file, encoding)) {
        m_error = decoder.errorText();
        m_badInput = true;
        return false;
    }
    m_encoding = decoder.used();
    bool readFailed = false;
    return importFrom(
        [&] {
            file.seek(0);
            decoder.restart();
            return std::make_unique<CsvReader>([&](QString& piece) {
                QByteArray bytes;
                if (!ImportEncoding::readPiece(file, bytes))
                    readFailed = true;
                if (bytes.isEmpty())
                    return false;
                piece = decoder.decodeNext(bytes);
                return true;
            });
        },
        [&] {
            return readFailed
                       ? FailureText::compose(QStringLiteral("Файл %1 не прочитан").arg(path),
                                              file.errorString())
                       : QString();
        });
}

namespace {

// Where the columns stand in a row, from the header.
struct Columns
{
    int date = 0;
    int service = 0;
    int source = 0;
    int booked = 0;
    int time = -1;
    qsizetype width = 0;
};

// Reads the header row; the reason when it does not name the columns.
QString readHeader(CsvReader& reader, Columns& columns)
{
    QStringList fields;
    if (!reader.next(fields))
        return QStringLiteral("файл пуст: ожидается строка заголовка");
    QHash<QString, int> column;
    for (int i = 0; i < fields.size(); ++i)
        column.insert(fields[i].trimmed().toLower(), i);
    for (const char* name : {"Data", "usluga", "Istochnik", "Zapis"})
        if (!column.contains(QString::fromLatin1(name).toLower()))
            return QStringLiteral("строка 1: в заголовке нет столбца %1").arg(name);
    columns = {column.value("data"),  column.value("usluga"),   column.value("istochnik"),
               column.value("zapis"), column.value("vrem", -1), fields.size()};
    return {};
}

// ListNames::normalized() of a name; names repeat from row to row, so those met are kept.
QString normalizedName(const QString& name)
{
    thread_local QHash<QString, QString> known;
    const auto found = known.constFind(name);
    if (found != known.cend())
        return *found;
    if (known.size() >= 100000) // names that hardly repeat are not all kept
        known.clear();
    return *known.insert(name, ListNames::normalized(name));
}

// One row as a call with its names as ListNames stores them; the reason when it is none.
QString readRow(const QStringList& fields, const Columns& c, Call& call)
{
    if (fields.size() != c.width)
        return QStringLiteral("полей %1, а в заголовке %2").arg(fields.size()).arg(c.width);
    const QDate date = parseDate(fields[c.date]);
    if (!date.isValid())
        return QStringLiteral("«%1» не дата (ГГГГ-ММ-ДД или ДД.ММ.ГГГГ)").arg(fields[c.date]);
    const QString service = normalizedName(fields[c.service]);
    const QString source = normalizedName(fields[c.source]);
    if (service.isEmpty())
        return QStringLiteral("услуга (usluga) не указана");
    if (source.isEmpty())
        return QStringLiteral("источник (Istochnik) не указан");
    if (const QString fault = ListNames::fault(service); !fault.isEmpty())
        return QStringLiteral("услуга (usluga): %1").arg(fault);
    if (const QString fault = ListNames::fault(source); !fault.isEmpty())
        return QStringLiteral("источник (Istochnik): %1").arg(fault);
    const Outcome<bool> booked = parseBooked(fields[c.booked]);
    if (!booked)
        return booked.errorText();
    QTime time;
    if (c.time >= 0 && !fields[c.time].trimmed().isEmpty()) {
        const QStringView value = QStringView(fields[c.time]).trimmed();
        time = parseTime(value);
        if (!time.isValid() && !parseDate(value, &time).isValid())
            return QStringLiteral("«%1» не время суток").arg(fields[c.time]);
    }
    call = {date, service, source, booked.value(), time};
    return {};
}

// The next row of `reader` as a call: Row, End, or Abort with "строка N: reason" in *fault.
CallStore::Pull readCall(CsvReader& reader, const Columns& columns, QStringList& fields, Call& call,
                         QString* fault)
{
    if (!reader.next(fields))
        return CallStore::Pull::End;
    QString reason = reader.errorText();
    if (reason.isEmpty())
        reason = readRow(fields, columns, call);
    if (reason.isEmpty())
        return CallStore::Pull::Row;
    *fault = QStringLiteral("строка %1: %2").arg(reader.line()).arg(reason);
    return CallStore::Pull::Abort;
}

QString listKey(const QString& list, const QString& name)
{
    // Names repeat from row to row: their keys are kept.
    thread_local QHash<QString, QString> keys;
    auto found = keys.constFind(name);
    if (found == keys.cend()) {
        if (keys.size() >= 100000)
            keys.clear();
        found = keys.insert(name, ListNames::key(name));
    }
    return list + '\n' + *found;
}

} // namespace

bool CallImporter::importText(const QString& text)
{
    return importFrom([&] { return std::make_unique<CsvReader>(text); }, [] { return QString(); });
}

bool CallImporter::importFrom(const std::function<std::unique_ptr<CsvReader>()>& open,
                              const std::function<QString()>& readError)
{
    m_imported = 0;
    m_unknown.clear();
    m_error.clear();
    m_badInput = false;
    Columns columns;
    QStringList fields;
    Call call;
    QHash<QString, QString> listed; // list and name key -> the entry as the list writes it
    if (m_unlisted != Unlisted::Keep) {
        // Every row is read once before anything is stored, so that a name the lists do not
        // hold stops the import before it begins; the names are gathered in the order first met.
        const std::unique_ptr<CsvReader> reader = open();
        m_error = readHeader(*reader, columns);
        QList<UnknownName> names;
        QHash<QString, int> seen; // list and name key -> index in names
        auto noteName = [&](const QString& list, const QString& name) {
            const QString key = listKey(list, name);
            const auto found = seen.constFind(key);
            if (found != seen.constEnd()) {
                ++names[*found].calls;
                return;
            }
            seen.insert(key, int(names.size()));
            names << UnknownName{list, name, 1};
        };
        while (m_error.isEmpty() &&
               readCall(*reader, columns, fields, call, &m_error) == CallStore::Pull::Row) {
            noteName(QStringLiteral("Uslugi"), call.service);
            noteName(QStringLiteral("Istochnik"), call.source);
        }
        if (!m_error.isEmpty()) {
            m_badInput = true;
            return false;
        }
        if (!resolveNames(names, listed))
            return false;
    }

    const std::unique_ptr<CsvReader> reader = open();
    m_error = readHeader(*reader, columns);
    if (!m_error.isEmpty()) {
        m_badInput = true;
        return false;
    }
    int count = 0;
    const bool ok = m_env->calls().addMany([&](Call& next) {
        CallStore::Pull pulled = readCall(*reader, columns, fields, next, &m_error);
        if (pulled == CallStore::Pull::End) {
            // A file that failed midway is not taken for a shorter one.
            m_error = readError();
            if (!m_error.isEmpty())
                pulled = CallStore::Pull::Abort;
        }
        if (pulled == CallStore::Pull::Abort)
            m_badInput = true;
        if (pulled != CallStore::Pull::Row)
            return pulled;
        if (m_unlisted != Unlisted::Keep) {
            next.service = listed.value(listKey(QStringLiteral("Uslugi"), next.service));
            next.source = listed.value(listKey(QStringLiteral("Istochnik"), next.source));
        }
        ++count;
        return CallStore::Pull::Row;
    });
    if (!ok) {
        if (!m_badInput)
            m_error = m_env->calls().errorText();
        return false;
    }
    m_imported = count;
    return true;
}

bool CallImporter::resolveNames(const QList<UnknownName>& names, QHash<QString, QString>& listed)
{
    if (!m_env->connect()) {
        m_error = m_env->errorText();
        return false;
    }
    ListStore& lists = m_env->lists();
    for (const UnknownName& name : names) {
        QString entry;
        if (!lists.find(name.listCommand, name.name, &entry)) {
            m_error = lists.errorText();
            return false;
        }
        if (entry.isNull())
            m_unknown << name;
        else
            listed.insert(listKey(name.listCommand, name.name), entry);
    }
    if (m_unknown.isEmpty())
        return true;
    if (m_unlisted == Unlisted::Refuse) {
        m_error = unlistedText(m_unknown) +
                  QStringLiteral(" Ничего не импортировано (--add-missing добавит их в списки).");
        m_badInput = true;
        return false;
    }
    for (const UnknownName& name : std::as_const(m_unknown)) {
        if (!lists.add(name.listCommand, name.name)) {
            m_error = lists.errorText();
            return false;
        }
        listed.insert(listKey(name.listCommand, name.name), name.name);
    }
    return true;
}

QString CallImporter::unlistedText(const QList<UnknownName>& names)
{
    QStringList listedNames;
    for (const UnknownName& name : names)
        listedNames << QStringLiteral("%1 «%2»").arg(
            name.listCommand == "Uslugi" ? QStringLiteral("услуга") : QStringLiteral("источник"),
            name.name);
    return QStringLiteral("Нет в списках: %1.").arg(listedNames.join(QStringLiteral(", ")));
}

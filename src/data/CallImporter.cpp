#include "CallImporter.h"

#include "CallStore.h"
#include "CsvReader.h"
#include "DataEnv.h"
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
    const QString v = text.trimmed().toString().toLower();
    if (v == "1" || v == "true" || v == "-1")
        return true;
    if (v == "0" || v == "false")
        return false;
    return Outcome<bool>::failure(
        QStringLiteral("\"%1\" is not a booked flag (1, 0, true, false)").arg(text));
}

} // namespace

bool CallImporter::importFile(const QString& path, ImportEncoding::Kind encoding)
{
    m_imported = 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("%1: %2").arg(path, file.errorString());
        m_badInput = true;
        return false;
    }
    ImportEncoding decoder;
    if (!decoder.decode(file.readAll(), encoding)) {
        m_error = decoder.errorText();
        m_badInput = true;
        return false;
    }
    m_encoding = decoder.used();
    return importText(decoder.text());
}

bool CallImporter::importText(const QString& text)
{
    m_imported = 0;
    m_names.clear();
    m_error.clear();
    m_badInput = false;
    CsvReader reader(text);
    QStringList fields;
    if (!reader.next(fields)) {
        m_error = QStringLiteral("the file is empty: a header row is expected");
        m_badInput = true;
        return false;
    }
    const QStringList required{"Data", "usluga", "Istochnik", "Zapis"};
    QHash<QString, int> column;
    for (int i = 0; i < fields.size(); ++i)
        column.insert(fields[i].trimmed().toLower(), i);
    for (const QString& name : required)
        if (!column.contains(name.toLower())) {
            m_error = QStringLiteral("line 1: the header has no column %1").arg(name);
            m_badInput = true;
            return false;
        }
    const int cData = column.value("data"), cService = column.value("usluga"),
              cSource = column.value("istochnik"), cBooked = column.value("zapis");
    const int cTime = column.value("vrem", -1);
    const int width = int(fields.size());

    auto bad = [this, &reader](const QString& reason) {
        m_error = QStringLiteral("line %1: %2").arg(reader.line()).arg(reason);
        m_badInput = true;
        return CallStore::Pull::Abort;
    };
    QList<UnknownName> names;
    QHash<QString, int> seen; // list and folded name -> index in names
    auto noteName = [&](const QString& list, const QString& name) {
        const QString key = list + '\n' + name.toCaseFolded();
        const auto found = seen.constFind(key);
        if (found != seen.constEnd()) {
            ++names[*found].calls;
            return;
        }
        seen.insert(key, int(names.size()));
        names << UnknownName{list, name, 1};
    };
    int count = 0;
    const bool ok = m_env->calls().addMany([&](Call& call) {
        if (!reader.next(fields))
            return CallStore::Pull::End;
        if (!reader.errorText().isEmpty())
            return bad(reader.errorText());
        if (fields.size() != width)
            return bad(
                QStringLiteral("%1 fields where the header has %2").arg(fields.size()).arg(width));
        const QDate date = parseDate(fields[cData]);
        if (!date.isValid())
            return bad(QStringLiteral("\"%1\" is not a date (YYYY-MM-DD or DD.MM.YYYY)")
                           .arg(fields[cData]));
        const QString service = ListNames::normalized(fields[cService]);
        const QString source = ListNames::normalized(fields[cSource]);
        if (service.isEmpty())
            return bad(QStringLiteral("the service (usluga) is empty"));
        if (source.isEmpty())
            return bad(QStringLiteral("the source (Istochnik) is empty"));
        if (const QString fault = ListNames::fault(service); !fault.isEmpty())
            return bad(QStringLiteral("услуга (usluga): %1").arg(fault));
        if (const QString fault = ListNames::fault(source); !fault.isEmpty())
            return bad(QStringLiteral("источник (Istochnik): %1").arg(fault));
        const Outcome<bool> booked = parseBooked(fields[cBooked]);
        if (!booked)
            return bad(booked.errorText());
        QTime time;
        if (cTime >= 0 && !fields[cTime].trimmed().isEmpty()) {
            const QStringView value = QStringView(fields[cTime]).trimmed();
            time = parseTime(value);
            if (!time.isValid() && !parseDate(value, &time).isValid())
                return bad(QStringLiteral("\"%1\" is not a time of day").arg(fields[cTime]));
        }
        call = {date, service, source, booked.value(), time};
        noteName(QStringLiteral("Uslugi"), service);
        noteName(QStringLiteral("Istochnik"), source);
        ++count;
        return CallStore::Pull::Row;
    });
    if (!ok) {
        if (!m_badInput)
            m_error = m_env->calls().errorText();
        return false;
    }
    m_imported = count;
    m_names = names;
    return true;
}

QList<CallImporter::UnknownName> CallImporter::unknownNames() const
{
    QList<UnknownName> unknown;
    for (const UnknownName& name : m_names) {
        RowSet* list = m_env->bind(name.listCommand);
        const QString column = name.listCommand == "Uslugi" ? "Uname" : "IName";
        if (list && list->isOpen() && ListNames::existing(*list, column, name.name).isNull())
            unknown << name;
    }
    return unknown;
}

bool CallImporter::addUnknownNames()
{
    ListStore& lists = m_env->lists();
    for (const UnknownName& name : unknownNames()) {
        if (!lists.add(name.listCommand, name.name)) {
            m_error = lists.errorText();
            return false;
        }
    }
    return true;
}

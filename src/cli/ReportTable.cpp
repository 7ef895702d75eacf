#include "ReportTable.h"

#include "DataEnv.h"
#include "RowSet.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

QStringList ReportTable::kinds()
{
    return {"by-source", "by-service", "internet", "by-date"};
}

QString ReportTable::command(const QString& kind)
{
    static const QStringList commands{"ReportkolVoZv", "ReportKolvoUsl", "ReportInternet",
                                      "ReportDates"};
    const int i = int(kinds().indexOf(kind));
    return i < 0 ? QString() : commands[i];
}

QString ReportTable::layout(const QString& kind)
{
    static const QStringList layouts{"RepkolVo", "ReportKvUsl", "ReportInternet", "ReportDates"};
    const int i = int(kinds().indexOf(kind));
    return i < 0 ? QString() : layouts[i];
}

bool ReportTable::load(DataEnv* env, QString* error)
{
    const QString name = command(kind);
    const bool byDate = kind == "by-date";
    const QVariantList params = byDate ? QVariantList{from, to} : QVariantList{from, to, from, to};
    if (!env->execute(name, params)) {
        *error = env->lastError();
        return false;
    }
    RowSet* set = env->rowSet("rs" + name);
    const QString nameColumn = kind == "by-source" ? "IName" : "Uname";
    rows.clear();
    totalCalls = totalBooked = 0;
    for (int i = 0; i < set->rowCount(); ++i) {
        Row row;
        if (byDate)
            row.date = set->value(i, "Data").toDate();
        else
            row.name = set->value(i, nameColumn).toString();
        row.calls = set->value(i, byDate ? "Vsego" : "Zvonkov").toLongLong();
        row.booked = set->value(i, "zapis").toLongLong();
        totalCalls += row.calls;
        totalBooked += row.booked;
        rows << row;
    }
    return true;
}

QString ReportTable::toText() const
{
    const bool byDate = kind == "by-date";
    const QString first = byDate                ? QStringLiteral("Дата")
                          : kind == "by-source" ? QStringLiteral("Название источника")
                                                : QStringLiteral("Название услуги");
    QStringList names;
    for (const Row& row : rows)
        names << (byDate ? QLocale().toString(row.date, "dd.MM.yyyy") : row.name);
    const QString totalLabel = byDate ? QStringLiteral("Всего:") : QStringLiteral("Итого:");
    qsizetype width = qMax(first.size(), totalLabel.size());
    for (const QString& n : names)
        width = qMax(width, n.size());
    const QString calls = QStringLiteral("Кол-во звонков");
    const QString booked = QStringLiteral("Кол-во записи");
    auto line = [&](const QString& a, const QString& b, const QString& c) {
        return a.leftJustified(width) + "  " + b.rightJustified(calls.size()) + "  " +
               c.rightJustified(booked.size()) + "\n";
    };
    QString text =
        QStringLiteral("%1 - %2\n")
            .arg(QLocale().toString(from, "dd.MM.yyyy"), QLocale().toString(to, "dd.MM.yyyy"));
    text += line(first, calls, booked);
    text += QString(width + 4 + calls.size() + booked.size(), '-') + "\n";
    for (int i = 0; i < rows.size(); ++i)
        text += line(names[i], QString::number(rows[i].calls), QString::number(rows[i].booked));
    text += QString(width + 4 + calls.size() + booked.size(), '-') + "\n";
    text += line(totalLabel, QString::number(totalCalls), QString::number(totalBooked));
    return text;
}

QString ReportTable::toJson() const
{
    auto str = [](const QString& s) {
        const QByteArray array = QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact);
        return QString::fromUtf8(array.mid(1, array.size() - 2));
    };
    const bool byDate = kind == "by-date";
    QStringList items;
    for (const Row& row : rows) {
        const QString key =
            byDate ? QStringLiteral("\"date\": %1").arg(str(row.date.toString(Qt::ISODate)))
                   : QStringLiteral("\"name\": %1").arg(str(row.name));
        items << QStringLiteral("{%1, \"calls\": %2, \"booked\": %3}")
                     .arg(key)
                     .arg(row.calls)
                     .arg(row.booked);
    }
    return QStringLiteral("{\"report\": %1, \"from\": %2, \"to\": %3, \"rows\": [%4], "
                          "\"total\": {\"calls\": %5, \"booked\": %6}}\n")
        .arg(str(kind), str(from.toString(Qt::ISODate)), str(to.toString(Qt::ISODate)),
             items.join(", "))
        .arg(totalCalls)
        .arg(totalBooked);
}

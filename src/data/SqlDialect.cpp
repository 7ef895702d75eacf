#include "SqlDialect.h"

#include <QDate>
#include <QDateTime>
#include <QSqlError>
#include <QStringList>
#include <QTime>

namespace {
// Digits written directly: an import formats a date and a time for each of its calls.
void putDigits(QChar* at, int value, int count)
{
    for (int i = count - 1; i >= 0; --i, value /= 10)
        at[i] = QChar(u'0' + value % 10);
}

// YYYY-MM-DD, as Qt::ISODate writes it.
QString isoDate(const QDate& date)
{
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return date.toString(Qt::ISODate);
    QString text(10, u'-');
    putDigits(text.data(), date.year(), 4);
    putDigits(text.data() + 5, date.month(), 2);
    putDigits(text.data() + 8, date.day(), 2);
    return text;
}

// HH:mm:ss of a valid time.
QString timeOfDay(const QTime& time)
{
    QString text(8, u':');
    putDigits(text.data(), time.hour(), 2);
    putDigits(text.data() + 3, time.minute(), 2);
    putDigits(text.data() + 6, time.second(), 2);
    return text;
}
} // namespace

bool SqlDialect::failed(const QSqlQuery& query, QString* error)
{
    *error = query.lastError().databaseText().isEmpty() ? query.lastError().text()
                                                        : query.lastError().databaseText();
    return false;
}

bool SqlDialect::run(QSqlQuery& query, const QString& sql, QString* error)
{
    return query.exec(sql) || failed(query, error);
}

QVariant SqlDialect::toDb(const QVariant& value) const
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return isoDate(value.toDate());
    case QMetaType::QDateTime: {
        const QDateTime moment = value.toDateTime();
        if (moment.time() == QTime(0, 0))
            return moment.date().toString(Qt::ISODate);
        return moment.toString("yyyy-MM-dd HH:mm:ss");
    }
    case QMetaType::QTime:
        return value.toTime().isValid() ? QVariant(timeOfDay(value.toTime()))
                                        : QVariant(QMetaType::fromType<QString>());
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    default:
        return value;
    }
}

QVariant SqlDialect::dateFromDb(const QVariant& value) const
{
    const QDate date = QDate::fromString(value.toString().left(10), Qt::ISODate);
    return date.isValid() ? QVariant(date) : value;
}

QString SqlDialect::callsByHour() const
{
    // Every cell's key named, so that each is one short range of the totals' keys. Whole months
    // from the month totals, the days of the bounds' months from the day totals.
    QStringList keys;
    for (int weekday = 0; weekday <= 7; ++weekday)
        for (int hour = 0; hour <= 24; ++hour)
            keys << QString::number(weekday * 100 + hour);
    return QStringLiteral(
               "WITH p AS (SELECT CAST(? AS text) AS s, CAST(? AS text) AS e) "
               "SELECT Kl, SUM(Vsego) FROM ("
               "SELECT Kl, Vsego FROM p, ItogMes WHERE Vid = %1 AND Kl IN (%2) "
               "AND Mes > substr(p.s, 1, 7) AND Mes < substr(p.e, 1, 7) "
               "UNION ALL SELECT Kl, Vsego FROM p, ItogDen WHERE Vid = %1 AND Kl IN (%2) "
               "AND Mes IN (substr(p.s, 1, 7), substr(p.e, 1, 7)) "
               "AND Data >= p.s AND Data <= p.e) AS c "
               "WHERE NOT EXISTS (SELECT 1 FROM Base WHERE false) GROUP BY Kl "
               "HAVING SUM(Vsego) <> 0 ORDER BY Kl")
        .arg(byHourTotals)
        .arg(keys.join(','));
}

QString SqlDialect::spendEntries() const
{
    return QStringLiteral("SELECT Istochnik, Mes, Kopeek FROM Rashody ORDER BY Mes, ID");
}

QString SqlDialect::removeSpend() const
{
    return QStringLiteral("DELETE FROM Rashody WHERE kv_fold(Istochnik) = kv_fold(CAST(? AS text)) "
                          "AND Mes = CAST(? AS text)");
}

QString SqlDialect::addSpend() const
{
    return QStringLiteral("INSERT INTO Rashody (Istochnik, Mes, Kopeek) VALUES (?, ?, ?)");
}

QString SqlDialect::renameSpend() const
{
    return QStringLiteral("UPDATE Rashody SET Istochnik = CAST(? AS text) "
                          "WHERE kv_fold(Istochnik) = kv_fold(CAST(? AS text))");
}

QString SqlDialect::renameRow(const QString& table, const QString& column) const
{
    return QStringLiteral("UPDATE %1 SET %2 = ? WHERE ID = ?").arg(table, column);
}

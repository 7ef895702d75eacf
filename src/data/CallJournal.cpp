#include "CallJournal.h"

#include "DataConnection.h"

#include <QSqlQuery>

namespace {
// A stored time of day: HH:MM:SS, or a date and time as older files kept it.
QTime timeOf(const QVariant& value)
{
    const QString text = value.toString();
    QTime time = QTime::fromString(text.left(8), QStringLiteral("HH:mm:ss"));
    if (!time.isValid() && text.size() >= 19)
        time = QTime::fromString(text.mid(11, 8), QStringLiteral("HH:mm:ss"));
    return time;
}

// A call's values from `first` on, in the order Data, usluga, Istochnik, Zapis, Vrem.
Call callAt(const QSqlQuery& query, int first, const SqlDialect& dialect)
{
    Call call;
    call.date = dialect.dateFromDb(query.value(first)).toDate();
    call.service = query.value(first + 1).toString();
    call.source = query.value(first + 2).toString();
    call.booked = query.value(first + 3).toInt() == 1;
    call.time = timeOf(query.value(first + 4));
    return call;
}
} // namespace

CallJournal::CallJournal(DataConnection& connection) : DataStore(connection) {}

CallRecord CallJournal::recordAt(const QSqlQuery& query, const SqlDialect& dialect)
{
    return {query.value(0).toLongLong(), callAt(query, 1, dialect), query.value(6).toString()};
}

bool CallJournal::read(const QString& sql, const QVariantList& arguments,
                       const std::function<void(const QSqlQuery&)>& row)
{
    if (!connected())
        return false;
    return run([&] {
        QSqlQuery query(m_connection.connection());
        query.setForwardOnly(true);
        QSqlError error = m_connection.database().run(query, sql, arguments);
        if (error.isValid())
            return error;
        while (query.next())
            row(query);
        return query.lastError();
    });
}

std::optional<QVector<CallRecord>> CallJournal::page(const CallFilter& filter,
                                                     const JournalKey& after, int limit)
{
    const SqlDialect& dialect = m_connection.dialect();
    QVariantList arguments;
    const QString sql = dialect.journalPage(filter, after, limit, &arguments);
    QVector<CallRecord> records;
    if (!read(sql, arguments, [&](const QSqlQuery& query) { records << recordAt(query, dialect); }))
        return std::nullopt;
    return records;
}

std::optional<CallRecord> CallJournal::find(qint64 id)
{
    const SqlDialect& dialect = m_connection.dialect();
    std::optional<CallRecord> found;
    if (!read(dialect.callById(), {id},
              [&](const QSqlQuery& query) { found = recordAt(query, dialect); }))
        return std::nullopt;
    if (!found)
        fail(QStringLiteral("Звонка № %1 нет: он удалён.").arg(id));
    return found;
}

std::optional<QPair<int, int>> CallJournal::dayCount(const QDate& day)
{
    const QVariant date = m_connection.dialect().toDb(day);
    QPair<int, int> counts{0, 0};
    if (!read(m_connection.dialect().dayCount(), {date, date}, [&](const QSqlQuery& query) {
            counts = {query.value(0).toInt(), query.value(1).toInt()};
        }))
        return std::nullopt;
    return counts;
}

bool CallJournal::operatorMayRemove(const QVector<CallRecord>& records)
{
    if (records.size() != 1)
        return false;
    qint64 newest = 0;
    read(m_connection.dialect().lastCall(), {},
         [&](const QSqlQuery& query) { newest = query.value(0).toLongLong(); });
    return newest != 0 && records.first().id == newest;
}

QStringList CallJournal::desks()
{
    const QString sql = m_connection.dialect().desks();
    QStringList names;
    if (!sql.isEmpty())
        read(sql, {}, [&](const QSqlQuery& query) { names << query.value(0).toString(); });
    return names;
}

std::optional<QVector<CallChange>> CallJournal::changes(qint64 callId, int limit)
{
    const SqlDialect& dialect = m_connection.dialect();
    const QVariantList arguments = callId != 0 ? QVariantList{callId, limit} : QVariantList{limit};
    QVector<CallChange> entries;
    const bool done = read(dialect.changes(callId != 0), arguments, [&](const QSqlQuery& query) {
        CallChange change;
        change.id = query.value(0).toLongLong();
        const QString when = query.value(1).toString();
        change.when =
            QDateTime(QDate::fromString(when.left(10), Qt::ISODate),
                      QTime::fromString(when.mid(11, 8), QStringLiteral("HH:mm:ss")), Qt::UTC);
        change.desk = query.value(2).toString();
        change.callId = query.value(3).toLongLong();
        switch (query.value(4).toInt()) {
        case SqlDialect::changeDeleted:
            change.kind = CallChange::Kind::Deleted;
            break;
        case SqlDialect::changeRestored:
            change.kind = CallChange::Kind::Restored;
            break;
        default:
            change.kind = CallChange::Kind::Edited;
        }
        if (change.kind != CallChange::Kind::Restored)
            change.before = {change.callId, callAt(query, 5, dialect), QString()};
        if (change.kind != CallChange::Kind::Deleted)
            change.after = {change.callId, callAt(query, 10, dialect), QString()};
        entries << change;
    });
    if (!done)
        return std::nullopt;
    return entries;
}

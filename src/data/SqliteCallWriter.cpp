#include "SqliteCallWriter.h"

#include "SqliteDialect.h"
#include "TotalsKind.h"

#include <QDate>
#include <QSqlDriver>
#include <QTime>
#include <limits>
#include <sqlite3.h>

SqliteCallWriter::SqliteCallWriter(const SqliteDialect& dialect, const QSqlDatabase& db)
    : m_dialect(dialect), m_connection(db)
{
    const QVariant handle = db.driver()->handle();
    m_db = handle.isValid() ? *static_cast<sqlite3* const*>(handle.data()) : nullptr;
    if (!m_db) {
        m_error = QStringLiteral("нет соединения SQLite");
        return;
    }
    sqlite3_stmt* highest = nullptr;
    if (!prepare(m_dialect.highestCallId(), &highest))
        return;
    const int rc = sqlite3_step(highest);
    m_lastId = rc == SQLITE_ROW && sqlite3_column_type(highest, 0) != SQLITE_NULL
                   ? sqlite3_column_int64(highest, 0)
                   : std::numeric_limits<qint64>::min();
    sqlite3_finalize(highest);
    if (rc != SQLITE_ROW) {
        engineError();
        return;
    }
    // The calls go in with their keys, which the triggers would only check; they are off on
    // this connection while it writes.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    m_triggersOff = true;
    m_ready = prepare(m_dialect.insertKeyedCall(), &m_insert) &&
              prepare(m_dialect.addKey(), &m_addKey) && prepare(m_dialect.keyOf(), &m_keyOf) &&
              prepare(QStringLiteral("SELECT ") + SqlDialect::internetKey(), &m_internet);
}

SqliteCallWriter::~SqliteCallWriter()
{
    for (sqlite3_stmt* statement : {m_insert, m_addKey, m_keyOf, m_internet})
        sqlite3_finalize(statement);
    if (m_triggersOff)
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 1, nullptr);
}

bool SqliteCallWriter::engineError()
{
    m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
    return false;
}

bool SqliteCallWriter::prepare(const QString& sql, sqlite3_stmt** statement)
{
    const QByteArray text = sql.toUtf8();
    return sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), statement, nullptr) ==
               SQLITE_OK ||
           engineError();
}

// Binds a value the way the generic query path would store it.
bool SqliteCallWriter::bind(sqlite3_stmt* statement, int index, const QVariant& value)
{
    const QVariant v = m_dialect.toDb(value);
    int rc = SQLITE_OK;
    if (!v.isValid() || v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isNull())) {
        rc = sqlite3_bind_null(statement, index);
    } else {
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(statement, index, v.toLongLong());
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(statement, index, v.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = v.toByteArray();
            rc = sqlite3_bind_blob(statement, index, bytes.constData(), int(bytes.size()),
                                   SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray text = v.toString().toUtf8();
            rc = sqlite3_bind_text(statement, index, text.constData(), int(text.size()),
                                   SQLITE_TRANSIENT);
        }
        }
    }
    return rc == SQLITE_OK || engineError();
}

bool SqliteCallWriter::keyOf(const QVariant& name, qint64* key)
{
    const bool cacheable = name.typeId() == QMetaType::QString && !name.toString().isNull();
    if (cacheable) {
        const auto known = m_keys.constFind(name.toString());
        if (known != m_keys.cend()) {
            *key = *known;
            return true;
        }
    }
    if (!bind(m_addKey, 1, name) || !bind(m_keyOf, 1, name))
        return false;
    const int added = sqlite3_step(m_addKey);
    sqlite3_reset(m_addKey);
    if (added != SQLITE_DONE)
        return engineError();
    if (sqlite3_step(m_keyOf) != SQLITE_ROW) {
        sqlite3_reset(m_keyOf);
        return engineError();
    }
    *key = sqlite3_column_int64(m_keyOf, 0);
    sqlite3_reset(m_keyOf);
    if (cacheable)
        m_keys.insert(name.toString(), *key);
    // A new name may be the Internet's.
    if (m_internetKey < 0) {
        const int rc = sqlite3_step(m_internet);
        if (rc == SQLITE_ROW && sqlite3_column_type(m_internet, 0) != SQLITE_NULL)
            m_internetKey = sqlite3_column_int64(m_internet, 0);
        sqlite3_reset(m_internet);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return engineError();
    }
    return true;
}

bool SqliteCallWriter::add(const QVariantList& call)
{
    if (!m_ready)
        return false;
    qint64 serviceKey = 0;
    qint64 sourceKey = 0;
    if (call.size() != 5) {
        m_error = QStringLiteral("неверное число значений");
        return false;
    }
    if (!keyOf(call.at(1), &serviceKey) || !keyOf(call.at(2), &sourceKey))
        return false;
    for (int i = 0; i < call.size(); ++i)
        if (!bind(m_insert, i + 1, call.at(i)))
            return false;
    sqlite3_bind_int64(m_insert, 6, serviceKey);
    sqlite3_bind_int64(m_insert, 7, sourceKey);
    const int rc = sqlite3_step(m_insert);
    sqlite3_reset(m_insert);
    if (rc != SQLITE_DONE)
        return engineError();
    if (m_counting && !count(call, serviceKey, sourceKey)) {
        m_counting = false;
        m_counted = {};
    }
    return true;
}

namespace {

// A total's kind, key and day in one number; false when the key is out of its range.
bool totalKey(int kind, qint64 key, qint64 day, quint64* packed)
{
    constexpr qint64 keyLimit = qint64(1) << 34;
    if (key < 0 || key >= keyLimit)
        return false;
    *packed = (quint64(kind) << 61) | (quint64(key) << 27) | quint64(day);
    return true;
}

} // namespace

bool SqliteCallWriter::count(const QVariantList& call, qint64 serviceKey, qint64 sourceKey)
{
    // Only the values the program's own calls have, whose totals are sure to be these.
    const QVariant& date = call.at(0);
    if (date.typeId() != QMetaType::QDate || call.at(1).typeId() != QMetaType::QString ||
        call.at(2).typeId() != QMetaType::QString || call.at(1).toString().isNull() ||
        call.at(2).toString().isNull() || call.at(3).typeId() != QMetaType::Bool ||
        call.at(4).typeId() != QMetaType::QTime)
        return false;
    const QDate day = date.toDate();
    if (!day.isValid() || day.year() < 1000 || day.year() > 9999)
        return false;
    const qint64 booked = call.at(3).toBool() ? 1 : 0;
    const QTime time = call.at(4).toTime();
    // The weekday (1 Monday .. 7) and the hour (24: none), as the engine's hour key.
    const int hourKey = day.dayOfWeek() * 100 + (time.isValid() ? time.hour() : 24);
    const qint64 julian = day.toJulianDay();
    const std::pair<int, qint64> totals[] = {{TotalsKind::BySource, sourceKey},
                                             {TotalsKind::ByService, serviceKey},
                                             {TotalsKind::ByDate, 0},
                                             {TotalsKind::ByHour, hourKey},
                                             {TotalsKind::InternetByService, serviceKey}};
    const int kinds = sourceKey == m_internetKey ? 5 : 4;
    for (int i = 0; i < kinds; ++i) {
        quint64 key = 0;
        if (!totalKey(totals[i].first, totals[i].second, julian, &key))
            return false;
        std::pair<qint64, qint64>& counts = m_counted[key];
        ++counts.first;
        counts.second += booked;
    }
    return true;
}

Outcome<void> SqliteCallWriter::insertCounted(const QString& table)
{
    sqlite3_stmt* insert = nullptr;
    if (!prepare(QStringLiteral("INSERT INTO %1 (Vid, Kl, Mes, Data, Vsego, Zapis) "
                                "VALUES (?, ?, ?, ?, ?, ?)")
                     .arg(table),
                 &insert))
        return Outcome<void>::failure(m_error);
    for (auto it = m_counted.cbegin(); it != m_counted.cend(); ++it) {
        const quint64 key = it.key();
        const QByteArray day = QDate::fromJulianDay(qint64(key & ((quint64(1) << 27) - 1)))
                                   .toString(Qt::ISODate)
                                   .toLatin1();
        sqlite3_bind_int(insert, 1, int(key >> 61));
        sqlite3_bind_int64(insert, 2, qint64((key >> 27) & ((quint64(1) << 34) - 1)));
        sqlite3_bind_text(insert, 3, day.constData(), 7, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, day.constData(), int(day.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 5, it.value().first);
        sqlite3_bind_int64(insert, 6, it.value().second);
        const int rc = sqlite3_step(insert);
        sqlite3_reset(insert);
        if (rc != SQLITE_DONE) {
            engineError();
            sqlite3_finalize(insert);
            return Outcome<void>::failure(m_error);
        }
    }
    sqlite3_finalize(insert);
    return {};
}

bool SqliteCallWriter::finish()
{
    if (!m_ready)
        return false;
    const Outcome<void> added = m_counting
                                    ? m_dialect.addTotalsAfter(m_connection, m_lastId,
                                                               [this](const QString& table) {
                                                                   return insertCounted(table);
                                                               })
                                    : m_dialect.addTotalsAfter(m_connection, m_lastId);
    if (!added)
        m_error = added.errorText();
    return added.ok();
}

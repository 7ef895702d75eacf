#include "KeptCalls.h"

#include "AppPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>

namespace {
QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("KeptCalls_%1").arg(++counter);
}

const QStringList layout = {
    // The numbers start from the moment the file is made and only grow, so that a file made
    // anew never gives a key the server has already taken.
    "CREATE TABLE IF NOT EXISTS Zvonki (N INTEGER PRIMARY KEY AUTOINCREMENT, "
    "Kluch TEXT NOT NULL DEFAULT '', Data TEXT NOT NULL, usluga TEXT, Istochnik TEXT, "
    "Zapis INTEGER NOT NULL, Vrem TEXT)",
    "CREATE TABLE IF NOT EXISTS Spiski (Spisok TEXT NOT NULL, N INTEGER NOT NULL, "
    "Nazvanie TEXT NOT NULL, PRIMARY KEY (Spisok, N))",
};
} // namespace

KeptCalls::KeptCalls(const QString& serverLocation, const QString& desk)
    : m_path(AppPaths::keptCallsPath(serverLocation)), m_desk(desk),
      m_connectionName(nextConnectionName())
{
}

KeptCalls::~KeptCalls()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

bool KeptCalls::exists(const QString& serverLocation)
{
    return QFileInfo::exists(AppPaths::keptCallsPath(serverLocation));
}

bool KeptCalls::fail(const QString& reason)
{
    m_error = QStringLiteral("Файл звонков этого компьютера «%1»: %2").arg(m_path, reason);
    return false;
}

bool KeptCalls::open()
{
    m_error.clear();
    if (m_open)
        return true;
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("не удаётся создать папку «%1»").arg(info.absolutePath()));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
    if (!db.open())
        return fail(db.lastError().text());
    QSqlQuery query(db);
    // Written through to the disk at every commit.
    for (const QString& statement :
         {QStringLiteral("PRAGMA journal_mode = WAL"), QStringLiteral("PRAGMA synchronous = FULL")})
        if (!query.exec(statement))
            return fail(query.lastError().text());
    if (!db.transaction())
        return fail(db.lastError().text());
    for (const QString& statement : layout)
        if (!query.exec(statement)) {
            db.rollback();
            return fail(query.lastError().text());
        }
    query.prepare("INSERT INTO sqlite_sequence (name, seq) SELECT 'Zvonki', ? WHERE NOT "
                  "EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'Zvonki')");
    query.addBindValue(QDateTime::currentMSecsSinceEpoch());
    if (!query.exec() || !db.commit()) {
        const QString reason =
            query.lastError().isValid() ? query.lastError().text() : db.lastError().text();
        db.rollback();
        return fail(reason);
    }
    m_open = true;
    return true;
}

namespace {
QSqlError exec(QSqlQuery& query, const QString& sql, const QVariantList& arguments = {})
{
    if (!query.prepare(sql))
        return query.lastError();
    for (const QVariant& argument : arguments)
        query.addBindValue(argument);
    return query.exec() ? QSqlError() : query.lastError();
}

KeptCalls::Kept keptAt(const QSqlQuery& query)
{
    KeptCalls::Kept kept;
    kept.number = query.value(0).toLongLong();
    kept.key = query.value(1).toString();
    kept.call.date = QDate::fromString(query.value(2).toString(), Qt::ISODate);
    kept.call.service = query.value(3).toString();
    kept.call.source = query.value(4).toString();
    kept.call.booked = query.value(5).toInt() != 0;
    kept.call.time = QTime::fromString(query.value(6).toString(), QStringLiteral("HH:mm:ss"));
    return kept;
}

QVariantList columns(const Call& call)
{
    return {call.date.toString(Qt::ISODate), call.service, call.source, call.booked ? 1 : 0,
            call.time.isValid() ? QVariant(call.time.toString(QStringLiteral("HH:mm:ss")))
                                : QVariant(QMetaType::fromType<QString>())};
}

const QString goneText = QStringLiteral("звонок уже передан на сервер или удалён");

const QString selectKept =
    QStringLiteral("SELECT N, Kluch, Data, usluga, Istochnik, Zapis, Vrem FROM Zvonki ");
} // namespace

bool KeptCalls::inTransaction(const std::function<QSqlError(QSqlQuery&)>& work)
{
    if (!open())
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.transaction())
        return fail(db.lastError().text());
    QSqlQuery query(db);
    const QSqlError error = work(query);
    query.finish();
    if (!error.isValid() && db.commit())
        return true;
    const QString reason = error.isValid() ? error.text() : db.lastError().text();
    db.rollback();
    return fail(reason);
}

bool KeptCalls::keep(const Call& call, const QString& key)
{
    return inTransaction([&](QSqlQuery& query) {
        QSqlError error = exec(query,
                               "INSERT INTO Zvonki (Data, usluga, Istochnik, Zapis, Vrem) "
                               "VALUES (?, ?, ?, ?, ?)",
                               columns(call));
        if (error.isValid())
            return error;
        const qint64 number = query.lastInsertId().toLongLong();
        return exec(
            query, "UPDATE Zvonki SET Kluch = ? WHERE N = ?",
            {key.isEmpty() ? QStringLiteral("%1:%2").arg(m_desk).arg(number) : key, number});
    });
}

bool KeptCalls::waiting(QVector<Kept>* calls, int limit)
{
    calls->clear();
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    const QSqlError error = exec(query, selectKept + "ORDER BY N LIMIT ?", {limit});
    if (error.isValid())
        return fail(error.text());
    while (query.next())
        calls->append(keptAt(query));
    return true;
}

int KeptCalls::count(QDate* oldest)
{
    if (oldest)
        *oldest = QDate();
    if (!open())
        return -1;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    const QSqlError error = exec(query, "SELECT COUNT(*), MIN(Data) FROM Zvonki");
    if (error.isValid() || !query.next()) {
        fail(error.text());
        return -1;
    }
    if (oldest)
        *oldest = QDate::fromString(query.value(1).toString(), Qt::ISODate);
    return query.value(0).toInt();
}

bool KeptCalls::remove(qint64 number)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    const QSqlError error = exec(query, "DELETE FROM Zvonki WHERE N = ?", {number});
    return !error.isValid() || fail(error.text());
}

bool KeptCalls::discard(qint64 number)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    const QSqlError error = exec(query, "DELETE FROM Zvonki WHERE N = ?", {number});
    if (error.isValid())
        return fail(error.text());
    return query.numRowsAffected() > 0 || fail(goneText);
}

bool KeptCalls::newest(std::optional<Kept>* call)
{
    *call = std::nullopt;
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    const QSqlError error = exec(query, selectKept + "ORDER BY N DESC LIMIT 1");
    if (error.isValid())
        return fail(error.text());
    if (query.next())
        *call = keptAt(query);
    return true;
}

bool KeptCalls::edit(qint64 number, const Call& changed)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    QVariantList arguments = columns(changed);
    arguments << number;
    const QSqlError error = exec(query,
                                 "UPDATE Zvonki SET Data = ?, usluga = ?, Istochnik = ?, "
                                 "Zapis = ?, Vrem = ? WHERE N = ?",
                                 arguments);
    if (error.isValid())
        return fail(error.text());
    return query.numRowsAffected() > 0 || fail(goneText);
}

bool KeptCalls::storeList(const QString& list, const QStringList& names)
{
    return inTransaction([&](QSqlQuery& query) {
        QSqlError error = exec(query, "DELETE FROM Spiski WHERE Spisok = ?", {list});
        for (int i = 0; i < names.size() && !error.isValid(); ++i)
            error = exec(query, "INSERT INTO Spiski (Spisok, N, Nazvanie) VALUES (?, ?, ?)",
                         {list, i, names.at(i)});
        return error;
    });
}

QStringList KeptCalls::list(const QString& list)
{
    QStringList names;
    if (!open())
        return names;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (exec(query, "SELECT Nazvanie FROM Spiski WHERE Spisok = ? ORDER BY N", {list}).isValid())
        return names;
    while (query.next())
        names << query.value(0).toString();
    return names;
}

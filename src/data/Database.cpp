#include "Database.h"

#include "DiskSpace.h"
#include "SafeFile.h"

#include "FailureText.h"

#include "AppPaths.h"
#include "DatabaseLocation.h"
#include "PostgresDialect.h"
#include "SqliteDialect.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <atomic>
#include <cstdio>

namespace {
QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("Connection1_%1").arg(++counter);
}
} // namespace

Database::Database(const QString& path, std::unique_ptr<SqlDialect> dialect)
    : m_path(path), m_connectionName(nextConnectionName()),
      m_dialect(dialect ? std::move(dialect) : forLocation(path))
{
}

std::unique_ptr<SqlDialect> Database::forLocation(const QString& location)
{
    if (DatabaseLocation::isServerUrl(location))
        return std::make_unique<PostgresDialect>(AppPaths::deskId());
    return std::make_unique<SqliteDialect>();
}

Database::~Database()
{
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

QString Database::describe(const QSqlError& error)
{
    const QString native = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    // insufficient_privilege: a grant, a row-level policy or a guard of the server refused it.
    QString words = error.nativeErrorCode() == QLatin1String("42501")
                        ? QStringLiteral("нет прав")
                        : FailureText::russian(native);
    // A full disk, met while the engine maps or extends its files, reads as an I/O error.
    const QString path = AppPaths::databasePath();
    if (words.isEmpty() && native.contains(QLatin1String("disk I/O error"), Qt::CaseInsensitive) &&
        !DatabaseLocation::isServerUrl(path) && !DiskSpace::check(QFileInfo(path).absolutePath()))
        words = QStringLiteral("на диске нет места");
    // The reason in words, the engine's own text on a line of its own.
    return words.isEmpty() ? native : QStringLiteral("%1.\n%2").arg(words, native);
}

bool Database::fail(const QString& reason)
{
    const DatabaseLocation location(m_path);
    m_error = location.isServer()
                  ? QStringLiteral("Не удалось открыть базу данных на сервере «%1»: %2")
                        .arg(location.serverName(), reason)
                  : QStringLiteral("Не удалось открыть базу данных «%1»: %2").arg(m_path, reason);
    m_open = false;
    QSqlDatabase::database(m_connectionName, false).close();
    return false;
}

bool Database::open()
{
    if (m_open)
        return true;
    ++m_generation;
    m_error.clear();
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName); // left closed by a failed attempt
    if (m_dialect->isServer())
        return openServer();
    const QFileInfo info(m_path);
    if (info.exists() && info.isDir())
        return fail(QStringLiteral("это папка, а не файл"));
    const bool created = !info.exists() || info.size() == 0;
    if (!info.exists()) {
        if (!QDir().mkpath(info.absolutePath()))
            return fail(QStringLiteral("не удаётся создать папку «%1»").arg(info.absolutePath()));
        if (!QFileInfo(info.absolutePath()).isWritable())
            return fail(QStringLiteral("нет прав на запись в папку «%1»").arg(info.absolutePath()));
    } else if (!info.isWritable()) {
        return fail(QStringLiteral("файл доступен только для чтения"));
    }
    // The engine maps its shared-memory file: on a full disk that ends in a crash, not an error.
    const Outcome<void> space = DiskSpace::check(info.absolutePath());
    if (!space)
        return fail(space.errorText());

    QSqlDatabase db = QSqlDatabase::addDatabase(m_dialect->driverName(), m_connectionName);
    db.setDatabaseName(m_path);
    db.setConnectOptions(m_dialect->connectOptions({}));
    if (!db.open())
        return fail(describe(db.lastError()));
    const Outcome<void> prepared = m_dialect->prepareConnection(db);
    if (!prepared)
        return fail(prepared.errorText());
    QSqlQuery probe(db);
    if (!probe.exec(m_dialect->probeFile()))
        return fail(describe(probe.lastError()));
    probe.finish();
    if (created ? !createSchema(db) : (!checkSchema(db) || !upgradeSchema(db)))
        return false;
    QSqlQuery setting(db);
    for (const QString& statement : m_dialect->fileSettings())
        if (!setting.exec(statement))
            return fail(describe(setting.lastError()));
    m_open = true;
    return true;
}

bool Database::openServer()
{
    const DatabaseLocation location(m_path);
    if (!location.isValid())
        return fail(location.errorText());
    QSqlDatabase db = QSqlDatabase::addDatabase(m_dialect->driverName(), m_connectionName);
    db.setHostName(location.host());
    db.setPort(location.port());
    db.setUserName(location.user());
    db.setDatabaseName(location.databaseName());
    db.setConnectOptions(m_dialect->connectOptions(location.parameters()));
    if (!db.open())
        return fail(describe(db.lastError()));
    const Outcome<void> prepared = m_dialect->prepareConnection(db);
    if (!prepared)
        return fail(describe(QSqlError(QString(), prepared.errorText())));
    if (db.tables().isEmpty()) {
        if (createSchema(db)) {
            m_open = true;
            return true;
        }
        // Another desk may have created the tables first; else the failure stands.
        const QString creationError = m_error;
        if (!db.open() || !m_dialect->prepareConnection(db) || db.tables().isEmpty()) {
            m_error = creationError;
            db.close();
            return false;
        }
        m_error.clear();
    }
    if (!checkSchema(db))
        return false;
    // An older layout is brought up to date in one transaction; a server keeps its own backups.
    if (m_version < m_dialect->schemaVersion()) {
        if (!runInTransaction(db, m_dialect->upgrade(m_version)))
            return false;
        m_version = m_dialect->schemaVersion();
    }
    const Outcome<bool> rights = m_dialect->readRights(db);
    if (!rights)
        return fail(describe(QSqlError(QString(), rights.errorText())));
    m_ownerRights = rights.value();
    m_open = true;
    return true;
}

bool Database::reconnect()
{
    m_open = false;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    return open();
}

bool Database::createSchema(QSqlDatabase& db)
{
    if (!runInTransaction(db, m_dialect->schema()))
        return false;
    m_version = m_dialect->schemaVersion();
    return true;
}

bool Database::checkSchema(QSqlDatabase& db)
{
    const Outcome<int> version = m_dialect->readVersion(db);
    if (!version)
        return fail(version.errorText());
    m_version = version.value();
    if (m_version == SqlDialect::foreignFile)
        return fail(
            m_dialect->isServer()
                ? QStringLiteral("база данных не пуста и принадлежит другой программе: "
                                 "это не база данных Kalvent")
                : QStringLiteral("файл принадлежит другой программе: это не база данных Kalvent"));
    if (m_version > m_dialect->schemaVersion())
        return fail(QStringLiteral("файл записан более новой версией Kalvent (версия данных %1, "
                                   "эта программа понимает версии до %2); обновите программу")
                        .arg(m_version)
                        .arg(m_dialect->schemaVersion()));
    const QStringList tables = db.tables();
    for (const QString& required : m_dialect->requiredTables(m_version)) {
        const bool present = std::any_of(tables.begin(), tables.end(), [&](const QString& t) {
            return t.compare(required, Qt::CaseInsensitive) == 0;
        });
        if (!present)
            return fail(
                QStringLiteral("в файле нет таблицы %1: это не база данных Kalvent").arg(required));
    }
    return true;
}

QString Database::upgradeCopyPath(int version) const
{
    return QStringLiteral("%1.v%2.bak").arg(m_path).arg(version);
}

bool Database::upgradeSchema(QSqlDatabase& db)
{
    if (m_version >= m_dialect->schemaVersion())
        return true;
    // The file as it was, beside it, before anything is changed.
    const QString copy = upgradeCopyPath(m_version);
    const QString partial = copy + ".part";
    QFile::remove(partial);
    const Outcome<void> copied = m_dialect->copyTo(db, partial);
    if (!copied) {
        QFile::remove(partial);
        return fail(QStringLiteral("не удалось сохранить копию «%1» перед обновлением файла: %2")
                        .arg(copy, describe(QSqlError(QString(), copied.errorText()))));
    }
    // On the disk before it replaces an older copy, and before the file is changed.
    if (!SafeFile::syncFile(partial) ||
        ::rename(QFile::encodeName(partial).constData(), QFile::encodeName(copy).constData()) !=
            0 ||
        !SafeFile::syncFolder(QFileInfo(copy).absolutePath())) {
        QFile::remove(partial);
        return fail(
            QStringLiteral("не удалось сохранить копию «%1» перед обновлением файла").arg(copy));
    }
    if (!runInTransaction(db, m_dialect->upgrade(m_version)))
        return false;
    m_version = m_dialect->schemaVersion();
    return true;
}

bool Database::runInTransaction(QSqlDatabase& db, const QStringList& statements)
{
    if (!db.transaction())
        return fail(describe(db.lastError()));
    QSqlQuery query(db);
    for (const QString& statement : statements) {
        if (!query.exec(statement)) {
            const QString reason = describe(query.lastError());
            query.finish();
            db.rollback();
            return fail(reason);
        }
    }
    query.finish();
    if (!db.commit()) {
        const QString reason = describe(db.lastError());
        db.rollback();
        return fail(reason);
    }
    return true;
}

bool Database::bindArguments(QSqlQuery& query, const QVariantList& arguments) const
{
    for (const QVariant& argument : arguments)
        query.addBindValue(dialect().toDb(argument));
    return true;
}

QSqlError Database::run(QSqlQuery& query, const QString& sql, const QVariantList& arguments) const
{
    return query.prepare(sql) && bindArguments(query, arguments) && query.exec()
               ? QSqlError()
               : query.lastError();
}

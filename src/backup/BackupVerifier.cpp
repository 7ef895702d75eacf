#include "BackupVerifier.h"

#include "Database.h"
#include "SqliteDialect.h"
#include "TotalsCheck.h"

#include <QFileInfo>
#include <QSqlQuery>
#include <atomic>

bool BackupVerifier::fail(const QString& reason)
{
    m_error = QStringLiteral("Копия %1 не годится: %2").arg(m_path, reason);
    return false;
}

bool BackupVerifier::check(const RegisterFigures* source)
{
    m_error.clear();
    if (!QFileInfo(m_path).isFile())
        return fail(QStringLiteral("файла нет"));
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("BackupVerifier_%1").arg(++counter);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        ok = db.open() ? checkOpen(db) : fail(Database::describe(db.lastError()));
        if (ok && source) {
            const QString difference = m_figures.differenceFrom(*source);
            if (!difference.isEmpty())
                ok = fail(difference);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool BackupVerifier::checkOpen(QSqlDatabase& db)
{
    const SqliteDialect dialect;
    if (const Outcome<void> prepared = dialect.prepareConnection(db); !prepared)
        return fail(prepared.errorText());
    const Outcome<int> version = dialect.readVersion(db);
    if (!version)
        return fail(version.errorText());
    m_version = version.value();
    if (m_version == SqlDialect::foreignFile || m_version < 1)
        return fail(QStringLiteral("это не резервная копия Kalvent"));
    if (m_version > dialect.schemaVersion())
        return fail(QStringLiteral("она записана более новой версией Kalvent (версия данных %1, "
                                   "эта программа понимает версии до %2); обновите программу")
                        .arg(m_version)
                        .arg(dialect.schemaVersion()));
    QSqlQuery integrity(db);
    if (!integrity.exec(QStringLiteral("PRAGMA integrity_check")) || !integrity.next())
        return fail(Database::describe(integrity.lastError()));
    if (integrity.value(0).toString() != QLatin1String("ok"))
        return fail(QStringLiteral("файл повреждён (%1)").arg(integrity.value(0).toString()));
    integrity.finish();
    const Outcome<QList<TotalsDifference>> totals = TotalsCheck(dialect).run(db);
    if (!totals)
        return fail(totals.errorText());
    if (!totals.value().isEmpty())
        return fail(QStringLiteral("итоги в ней не сходятся со звонками"));
    const Outcome<RegisterFigures> figures = RegisterFigures::read(db, dialect);
    if (!figures)
        return fail(figures.errorText());
    m_figures = figures.value();
    return true;
}

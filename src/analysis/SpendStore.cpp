#include "SpendStore.h"

#include "DataEnv.h"
#include "ListNames.h"
#include "RowSet.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

SpendStore::SpendStore(DataEnv* env) : m_env(env ? env : DataEnv::instance()) {}

bool SpendStore::fail(const QString& reason)
{
    m_error = QStringLiteral("Расходы на рекламу: %1").arg(reason);
    return false;
}

QString SpendStore::monthText(const QDate& month)
{
    return month.toString("yyyy-MM");
}

QDate SpendStore::parseMonth(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}$"));
    if (!form.match(text).hasMatch())
        return {};
    return QDate::fromString(text + "-01", Qt::ISODate);
}

bool SpendStore::set(const QString& source, const QDate& month, qint64 kopecks)
{
    return apply({Entry{source, month, kopecks}});
}

bool SpendStore::remove(const QString& source, const QDate& month)
{
    return apply({Entry{source, month, -1}});
}

bool SpendStore::apply(const QList<Entry>& entries)
{
    m_error.clear();
    if (!m_env->connect()) {
        m_error = m_env->errorText();
        return false;
    }
    const SqlDialect& dialect = m_env->database().dialect();
    QSqlDatabase db = m_env->database().connection();
    if (!db.transaction())
        return fail(Database::describe(db.lastError()));
    QSqlQuery query(db);
    for (const Entry& entry : entries) {
        const QString month = monthText(entry.month);
        bool ok = query.prepare(dialect.removeSpend()) &&
                  m_env->database().bindArguments(query, {entry.source, month}) && query.exec();
        if (ok && entry.kopecks >= 0)
            ok = query.prepare(dialect.addSpend()) &&
                 m_env->database().bindArguments(query, {entry.source, month, entry.kopecks}) &&
                 query.exec();
        if (!ok) {
            const QString reason = Database::describe(query.lastError());
            query.finish();
            db.rollback();
            return fail(reason);
        }
    }
    query.finish();
    if (!db.commit()) {
        const QString reason = Database::describe(db.lastError());
        db.rollback();
        return fail(reason);
    }
    return true;
}

bool SpendStore::entries(QList<Entry>* entries)
{
    m_error.clear();
    entries->clear();
    if (!m_env->connect()) {
        m_error = m_env->errorText();
        return false;
    }
    QSqlQuery query(m_env->database().connection());
    query.setForwardOnly(true);
    if (!query.exec(m_env->database().dialect().spendEntries()))
        return fail(Database::describe(query.lastError()));
    while (query.next())
        entries->append({query.value(0).toString(), parseMonth(query.value(1).toString()),
                         query.value(2).toLongLong()});
    return true;
}

QString SpendStore::listName(const QString& source)
{
    if (!m_env->connect())
        return QString();
    RowSet* sources = m_env->bind("Istochnik");
    if (!sources || !sources->isOpen())
        return QString();
    return ListNames::existing(*sources, QStringLiteral("IName"), source);
}

bool SpendStore::listMonth(const QDate& month, QList<Entry>* amounts)
{
    amounts->clear();
    QList<Entry> stored;
    if (!entries(&stored))
        return false;
    RowSet* sources = m_env->bind("Istochnik");
    if (!sources || !sources->isOpen())
        return fail(m_env->errorText());
    const QDate first(month.year(), month.month(), 1);
    QStringList seen;
    for (int row = 0; row < sources->rowCount(); ++row) {
        const QString name = sources->value(row, "IName").toString();
        const QString folded = name.toCaseFolded();
        if (seen.contains(folded))
            continue;
        seen << folded;
        Entry amount{name, first, -1};
        for (const Entry& entry : std::as_const(stored))
            if (entry.month == first && entry.source.toCaseFolded() == folded)
                amount.kopecks = std::max<qint64>(amount.kopecks, 0) + entry.kopecks;
        amounts->append(amount);
    }
    return true;
}

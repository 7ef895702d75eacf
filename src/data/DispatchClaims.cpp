#include "DispatchClaims.h"

#include "DataConnection.h"

#include <QSqlQuery>

bool DispatchClaims::claim(const QString& due, const QString& recipient, bool* mine)
{
    m_error.clear();
    *mine = true;
    const QStringList statements = m_connection.dialect().claimDispatch();
    if (statements.isEmpty())
        return true;
    if (!connected())
        return false;
    const Database& db = m_connection.database();
    return run([&] {
        QSqlQuery claim(m_connection.connection());
        QSqlQuery holder(m_connection.connection());
        if (!db.run(claim, statements.at(0), {due, recipient}).isValid() &&
            !db.run(holder, statements.at(1), {due, recipient}).isValid() && holder.next()) {
            *mine = holder.value(0).toBool();
            return QSqlError();
        }
        const QSqlError error =
            claim.lastError().isValid() ? claim.lastError() : holder.lastError();
        return error.isValid() ? error : QSqlError(QString(), QString(), QSqlError::UnknownError);
    });
}

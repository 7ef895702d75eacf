#include "TotalsStore.h"

#include "DataConnection.h"

#include <QSqlQuery>

bool TotalsStore::check(QList<TotalsDifference>* differences)
{
    differences->clear();
    return inTransaction([&] {
        QSqlDatabase db = m_connection.connection();
        const Outcome<QList<TotalsDifference>> found = m_connection.dialect().findDifferences(db);
        if (!found)
            return QSqlError(QString(), found.errorText(), QSqlError::UnknownError);
        *differences = found.value();
        return QSqlError();
    });
}

bool TotalsStore::rebuild()
{
    return inTransaction([&] {
        QSqlQuery query(m_connection.connection());
        for (const QString& statement : m_connection.dialect().rebuildTotals())
            if (!query.exec(statement))
                return query.lastError();
        return QSqlError();
    });
}

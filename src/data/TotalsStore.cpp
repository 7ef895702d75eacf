#include "TotalsStore.h"

#include "DataConnection.h"

#include <QSqlQuery>

bool TotalsStore::check(QList<TotalsDifference>* differences)
{
    differences->clear();
    return inTransaction([&] {
        QSqlDatabase db = m_connection.connection();
        QString error;
        return m_connection.dialect().findDifferences(db, differences, &error)
                   ? QSqlError()
                   : QSqlError(QString(), error, QSqlError::UnknownError);
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

#pragma once

#include "Outcome.h"

#include <QString>
#include <QStringList>

class Database;
class QSqlQuery;

// The owner's and the operators' rights on a server database, kept by the server itself: the
// owner role owns the tables and functions; the operators' group role reads everything, adds
// calls under its own desk, removes only its desk's newest call and claims dispatches. The
// functions of the triggers that write the totals, the keys and the change log run with the
// owner's rights. Applying them again (after an upgrade too) leaves the same rights.
class ServerRoles
{
public:
    // Creates the operators' role (NOLOGIN) when missing and sets the rights, in one
    // transaction on the open database.
    static Outcome<void> apply(Database& db, const QString& owner, const QString& operators);
    // A role or other name as an SQL identifier.
    static QString identifier(const QString& name);

private:
    // The statements that follow the ownership, for the tables `tables` in `schema`.
    static QStringList rights(const QString& schema, const QStringList& tables,
                              const QString& operators);
    static QStringList guard(const QString& schema);
    static Outcome<QStringList> column(QSqlQuery& query, const QString& sql,
                                       const QVariantList& arguments = {});
};

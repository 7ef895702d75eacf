#include "ServerRoles.h"

#include "Database.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {
// The functions of the triggers that write what an operator may not: the totals, the keys and
// the change log.
const QStringList definerFunctions{"kv_count", "kv_base_added", "kv_base_changed",
                                   "kv_base_removed", "kv_base_logged"};

// Runs the statements in order, stopping at the first failure.
Outcome<void> runAll(QSqlQuery& query, const QStringList& statements)
{
    for (const QString& statement : statements)
        if (!query.exec(statement))
            return Outcome<void>::failure(Database::describe(query.lastError()));
    return {};
}
} // namespace

QString ServerRoles::identifier(const QString& name)
{
    QString escaped = name;
    escaped.replace('"', "\"\"");
    return '"' + escaped + '"';
}

Outcome<QStringList> ServerRoles::column(QSqlQuery& query, const QString& sql,
                                         const QVariantList& arguments)
{
    if (!query.prepare(sql))
        return Outcome<QStringList>::failure(Database::describe(query.lastError()));
    for (const QVariant& argument : arguments)
        query.addBindValue(argument);
    if (!query.exec())
        return Outcome<QStringList>::failure(Database::describe(query.lastError()));
    QStringList values;
    while (query.next())
        values << query.value(0).toString();
    return values;
}

QStringList ServerRoles::guard(const QString& schema)
{
    const QString path = QStringLiteral("SET search_path = %1, pg_temp").arg(identifier(schema));
    return {
        // A login role the owner binds to a desk adds and removes only under that desk's name,
        // whatever the connection's kalvent.desk says.
        "CREATE TABLE IF NOT EXISTS Pulty (Rol TEXT PRIMARY KEY, Pult TEXT NOT NULL)",
        QStringLiteral("CREATE OR REPLACE FUNCTION kv_desk() RETURNS text LANGUAGE sql STABLE "
                       "%1 AS $f$ SELECT COALESCE((SELECT Pult FROM Pulty WHERE Rol = "
                       "session_user), current_setting('kalvent.desk', true)) $f$")
            .arg(path),
        // Removal is refused aloud (a policy would skip the row in silence): an operator
        // removes only the newest call of its own desk.
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION kv_base_guard() RETURNS trigger LANGUAGE plpgsql %1 AS "
            "$f$ BEGIN IF pg_has_role(current_user, (SELECT relowner FROM pg_catalog.pg_class "
            "WHERE oid = TG_RELID), 'USAGE') THEN RETURN OLD; END IF; "
            "IF kv_desk() IS NULL OR OLD.Pult IS DISTINCT FROM kv_desk() OR OLD.ID IS DISTINCT "
            "FROM (SELECT MAX(ID) FROM Base WHERE Pult = OLD.Pult) THEN RAISE EXCEPTION USING "
            "ERRCODE = 'insufficient_privilege', "
            "MESSAGE = 'оператор удаляет только последний звонок своего пульта'; END IF; "
            "RETURN OLD; END $f$")
            .arg(path),
        "DROP TRIGGER IF EXISTS Base_Prava ON Base",
        "CREATE TRIGGER Base_Prava BEFORE DELETE ON Base FOR EACH ROW "
        "EXECUTE FUNCTION kv_base_guard()",
    };
}

QStringList ServerRoles::rights(const QString& schema, const QStringList& tables,
                                const QString& operators)
{
    const QString group = identifier(operators);
    QStringList statements;
    for (const QString& table : tables)
        statements << QStringLiteral("REVOKE ALL ON TABLE %1 FROM %2, PUBLIC").arg(table, group)
                   << QStringLiteral("GRANT SELECT ON TABLE %1 TO %2").arg(table, group);
    if (schema != QLatin1String("public"))
        statements
            << QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(identifier(schema), group);
    statements << QStringLiteral("GRANT DELETE ON TABLE Base TO %1").arg(group)
               << QStringLiteral("GRANT INSERT ON TABLE Rassylki TO %1").arg(group);
    // Row-level security: every call and claim is read; a call or a claim is added only under
    // the desk's own name.
    for (const QString& table : {QStringLiteral("Base"), QStringLiteral("Rassylki")})
        statements << QStringLiteral("ALTER TABLE %1 ENABLE ROW LEVEL SECURITY").arg(table)
                   << QStringLiteral("DROP POLICY IF EXISTS kv_chtenie ON %1").arg(table)
                   << QStringLiteral("DROP POLICY IF EXISTS kv_dobavlenie ON %1").arg(table)
                   << QStringLiteral("CREATE POLICY kv_chtenie ON %1 FOR SELECT TO %2 USING (true)")
                          .arg(table, group)
                   << QStringLiteral("CREATE POLICY kv_dobavlenie ON %1 FOR INSERT TO %2 "
                                     "WITH CHECK (Pult = kv_desk())")
                          .arg(table, group);
    statements << "DROP POLICY IF EXISTS kv_udalenie ON Base"
               << QStringLiteral("CREATE POLICY kv_udalenie ON Base FOR DELETE TO %1 USING (true)")
                      .arg(group);
    return statements;
}

Outcome<void> ServerRoles::apply(Database& db, const QString& owner, const QString& operators)
{
    QSqlDatabase connection = db.connection();
    if (!connection.transaction())
        return Outcome<void>::failure(Database::describe(connection.lastError()));
    QSqlQuery query(connection);
    auto failed = [&](const QString& reason) {
        query.finish();
        connection.rollback();
        return Outcome<void>::failure(reason);
    };
    // After any desk that is creating or upgrading the tables.
    Outcome<void> done = runAll(query, {"SELECT pg_advisory_xact_lock(4891045700)"});
    if (!done)
        return failed(done.errorText());
    const Outcome<QStringList> found = column(
        query, "SELECT rolname FROM pg_roles WHERE rolname IN (CAST(? AS text), CAST(? AS text))",
        {owner, operators});
    if (!found)
        return failed(found.errorText());
    if (!found.value().contains(owner))
        return failed(QStringLiteral("на сервере нет роли «%1»").arg(owner));
    const Outcome<QStringList> schema = column(query, "SELECT current_schema()");
    if (!schema || schema.value().isEmpty())
        return failed(schema ? QStringLiteral("нет схемы для таблиц (search_path)")
                             : schema.errorText());
    QStringList statements;
    if (!found.value().contains(operators))
        statements << QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(identifier(operators));
    // Whoever sets the rights hands the tables to the owner: an admin becomes its member first.
    const Outcome<QStringList> member =
        column(query, "SELECT pg_has_role(current_user, CAST(? AS text), 'MEMBER')", {owner});
    if (!member)
        return failed(member.errorText());
    if (member.value().value(0) != QLatin1String("true"))
        statements << QStringLiteral("GRANT %1 TO CURRENT_USER").arg(identifier(owner));
    // The owner creates what a later version of the program adds (the schema's owner, or a
    // superuser, lets it).
    const Outcome<QStringList> creates =
        column(query,
               "SELECT NOT has_schema_privilege(CAST(? AS text), nspname, 'CREATE') AND "
               "pg_has_role(current_user, nspowner, 'USAGE') FROM pg_namespace WHERE nspname = "
               "current_schema()",
               {owner});
    if (!creates)
        return failed(creates.errorText());
    if (creates.value().value(0) == QLatin1String("true"))
        statements << QStringLiteral("GRANT USAGE, CREATE ON SCHEMA %1 TO %2")
                          .arg(identifier(schema.value().first()), identifier(owner));
    statements << guard(schema.value().first());
    done = runAll(query, statements);
    if (!done)
        return failed(done.errorText());

    const QStringList tables = db.dialect().requiredTables(db.version()) + QStringList{"Pulty"};
    statements.clear();
    for (const QString& table : tables)
        statements << QStringLiteral("ALTER TABLE %1 OWNER TO %2").arg(table, identifier(owner));
    const QString inSchema =
        QStringLiteral("FROM pg_proc WHERE pronamespace = CAST(current_schema() AS regnamespace)");
    const Outcome<QStringList> functions =
        column(query, "SELECT CAST(CAST(oid AS regprocedure) AS text) " + inSchema +
                          " AND proname LIKE 'kv\\_%' ORDER BY 1");
    const Outcome<QStringList> definers =
        column(query,
               "SELECT CAST(CAST(oid AS regprocedure) AS text) " + inSchema +
                   " AND proname = ANY (string_to_array(CAST(? AS text), ',')) ORDER BY 1",
               {definerFunctions.join(',')});
    // The columns an operator writes: none of the keys, the row's number or the desk's name.
    const Outcome<QStringList> columns =
        column(query, "SELECT column_name FROM information_schema.columns WHERE table_schema = "
                      "current_schema() AND table_name = 'base' AND column_name NOT IN "
                      "('id', 'kusluga', 'kistochnik', 'pult') ORDER BY ordinal_position");
    const Outcome<QStringList> sequence =
        column(query, "SELECT pg_get_serial_sequence('base', 'id')");
    for (const auto* list : {&functions, &definers, &columns, &sequence})
        if (!*list)
            return failed(list->errorText());
    for (const QString& function : functions.value())
        statements
            << QStringLiteral("ALTER FUNCTION %1 OWNER TO %2").arg(function, identifier(owner));
    const QString path = "SET search_path = " + identifier(schema.value().first()) + ", pg_temp";
    for (const QString& function : definers.value())
        statements << QStringLiteral("ALTER FUNCTION %1 SECURITY DEFINER %2").arg(function, path)
                   << QStringLiteral("REVOKE ALL ON FUNCTION %1 FROM PUBLIC").arg(function);
    statements << rights(schema.value().first(), tables, operators);
    QStringList quotedColumns;
    for (const QString& name : columns.value())
        quotedColumns << identifier(name);
    statements << QStringLiteral("GRANT INSERT (%1) ON TABLE Base TO %2")
                      .arg(quotedColumns.join(", "), identifier(operators));
    if (!sequence.value().value(0).isEmpty())
        statements << QStringLiteral("GRANT USAGE, SELECT ON SEQUENCE %1 TO %2")
                          .arg(sequence.value().first(), identifier(operators));
    done = runAll(query, statements);
    if (!done)
        return failed(done.errorText());
    query.finish();
    if (!connection.commit()) {
        const QString reason = Database::describe(connection.lastError());
        connection.rollback();
        return Outcome<void>::failure(reason);
    }
    return {};
}

#pragma once

#include <QStringList>

// The server engine's layout: the tables, the SQL functions (the case fold kv_fold(), the
// weekday and hour kv_hour(), the counting of a call into the totals kv_count()) and the
// triggers that keep the keys and totals and announce a change of a reference list.
class PostgresSchema
{
public:
    // Statements that create an empty database of that version with its first entries;
    // changeLogFunction creates the trigger function that fills the change log.
    static QStringList statements(int version, const QString& changeLogFunction);
    // Statements that bring a database of an older version to `version`, safe to run by
    // several desks at once (the first does it, the others wait and find it done).
    static QStringList upgrade(int fromVersion, int version, const QString& changeLogFunction);
    // The tables a database of that version has.
    static QStringList tableNames(int version);
};

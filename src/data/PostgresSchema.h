#pragma once

#include <QStringList>

// The server engine's layout: the tables, the SQL functions (the case fold kv_fold(), the
// weekday and hour kv_hour(), the counting of a call into the totals kv_count()) and the
// triggers that keep the keys and totals and announce a change of a reference list.
class PostgresSchema
{
public:
    // Statements that create an empty database of that version with its first entries.
    static QStringList statements(int version);
    // The tables a database of the program has.
    static QStringList tableNames();
};

#pragma once

#include <QMap>
#include <QString>

// The connect options of the server driver: the program's own (a time limit, its name on the
// server) and a location's parameters, as one string of the client library.
class PostgresConnectionOptions
{
public:
    static QString text(const QMap<QString, QString>& parameters);
};

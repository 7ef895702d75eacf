#pragma once

#include <QString>

// One named command of the data environment.
struct CommandSpec
{
    enum class Kind
    {
        Change,    // changes data, returns nothing
        Updatable, // fills an updatable row set
        ReadOnly   // fills a read-only row set
    };

    QString name;
    QString sql;
    int parameterCount = 0;
    Kind kind = Kind::Change;
    QString table; // the table an updatable row set writes to
};

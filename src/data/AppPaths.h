#pragma once

#include "Outcome.h"

#include <QString>
#include <QVariant>

// Where the program keeps its files: the user's data folder, the database file in it (a
// program setting that can point elsewhere) and the folder of exported reports.
class AppPaths
{
public:
    static QString dataDir();
    static QString databasePath();
    static void overrideDatabasePath(const QString& path); // this run only (command line)
    static QString sendDir();
    // This installation's desk: the calls it adds are marked with it on a shared server
    // (created on first use and kept in the program settings).
    static QString deskId();
    // The file beside the settings where calls wait while the server at `serverLocation` is
    // away: one per server (user, host, port and database), so two servers never mix.
    static QString keptCallsPath(const QString& serverLocation);

    // The program's own settings (Kalvent.conf): the database's location, the desk, the sizes
    // windows were closed at. Stored whole or not at all (a full disk never empties the file
    // and with it the database's location).
    static QVariant programSetting(const QString& key);
    static Outcome<void> storeProgramSetting(const QString& key, const QVariant& value);

    static constexpr const char* databaseFileName = "KvBD.db";
};

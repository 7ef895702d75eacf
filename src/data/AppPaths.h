#pragma once

#include <QString>

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

    static constexpr const char* databaseFileName = "KvBD.db";
};

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

    static constexpr const char* databaseFileName = "KvBD.db";
};

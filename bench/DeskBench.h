#pragma once

#include <QDate>
#include <QString>

// Many desks at once: `desks` processes (this program again, in a desk's mode) each add calls
// through the program's own add at 2 a second in bursts of 10, while one more process runs every
// report and the analysis over ten years in a loop. Each desk writes down every call it was told
// is stored; at the end the database must hold exactly those, none lost and none twice.
class DeskBench
{
public:
    // The figures as one table; the exit status: 0 when no call was lost or doubled. The
    // database is a new file when `database` is empty; the CSV file `calls`, if any, is
    // imported into it first.
    static int run(const QString& program, int desks, int seconds, const QString& database,
                   const QString& calls);

    // The modes of the processes run() starts; each writes its figures to `out`.
    static int runDesk(const QString& database, int desk, int desks, qint64 start, int seconds,
                       const QString& out);
    static int runReports(const QString& database, qint64 start, int seconds, const QString& out);

    // The source naming a desk's calls, and the desk's name on the server.
    static QString deskName(int desk);
    // The day the desks' calls are on; a call's place in its desk's sequence is its time of day.
    static QDate day() { return QDate(2026, 12, 7); }
};

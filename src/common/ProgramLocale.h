#pragma once

#include <QLocale>

// The one language of everything the program writes for people: reports, files, mail and the
// command line read in Russian whatever the process locale (cron runs with LANG=C).
class ProgramLocale
{
public:
    static const QLocale& locale();
};

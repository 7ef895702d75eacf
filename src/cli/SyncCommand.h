#pragma once

class CliRunner;

// "sync": sends the calls this desk kept while its server was away; "sync --status" tells how
// many wait and the date of the oldest.
class SyncCommand
{
public:
    static void addTo(CliRunner& runner);
};

#pragma once

class CliRunner;

// "calls list", "calls edit", "calls delete", "calls log": the call journal on the command
// line.
class CallJournalCommands
{
public:
    static void addTo(CliRunner& cli);
};

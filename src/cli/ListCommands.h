#pragma once

class CliRunner;

// "service|source add|rename|list": the two reference lists from the command line.
class ListCommands
{
public:
    static void addTo(CliRunner& cli);
};

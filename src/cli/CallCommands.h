#pragma once

class CliRunner;

// "add": stores one call from the command line.
class CallCommands
{
public:
    static void addTo(CliRunner& cli);
};

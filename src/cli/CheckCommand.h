#pragma once

class CliRunner;

// "check": compares the totals the reports read, and every call's keys, with the calls;
// "check --repair" rebuilds them from the calls.
class CheckCommand
{
public:
    static void addTo(CliRunner& runner);
};

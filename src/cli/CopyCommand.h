#pragma once

class CliRunner;

// "copy --from SOURCE --to TARGET": moves a register between a file and a server (or any two
// locations) in one transaction, checked on both sides.
class CopyCommand
{
public:
    static void addTo(CliRunner& runner);
};

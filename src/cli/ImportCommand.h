#pragma once

class CliRunner;

// "import": loads calls from a CSV file.
class ImportCommand
{
public:
    static void addTo(CliRunner& cli);
};

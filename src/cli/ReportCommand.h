#pragma once

class CliRunner;

// "report": one report of the catalogue over a period, as text, CSV, JSON, HTML or PDF.
class ReportCommand
{
public:
    static void addTo(CliRunner& cli);
};

#pragma once

class CliRunner;

// The command-line commands of the advertising analysis: the spend per source and month, the
// conversion and heat map reports, and the mailing option that attaches the analysis.
class AnalysisCommands
{
public:
    static void addTo(CliRunner& cli);
};

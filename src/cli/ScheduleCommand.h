#pragma once

class CliRunner;

// "schedule on|off|status": the background mailing through the systemd user timer, and when
// the next mail is due.
class ScheduleCommand
{
public:
    static void addTo(CliRunner& runner);
};

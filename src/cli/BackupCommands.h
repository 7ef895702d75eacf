#pragma once

class CliRunner;
class QIODevice;

// "backup", "backup list", "backup status", "backup settings" and "restore": verified copies of
// the register in a backup folder and the way back from one. `input` gives the confirmation
// word of a restore that replaces a server's register.
class BackupCommands
{
public:
    static void addTo(CliRunner& runner, QIODevice* input);
};

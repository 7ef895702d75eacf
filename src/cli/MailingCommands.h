#pragma once

class CliRunner;
class QIODevice;

// The command-line commands of the scheduled mailing: export, send-now, dispatch, the mail
// account and the five mailing settings.
class MailingCommands
{
public:
    static void addTo(CliRunner& runner, QIODevice* input);
};

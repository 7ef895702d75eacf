#pragma once

class CliRunner;
class QIODevice;

// The command-line commands of the scheduled mailing: export, send-now, dispatch, the mail
// account, the five mailing settings and the summary in the mail.
class MailingCommands
{
public:
    static void addTo(CliRunner& runner, QIODevice* input);
};

#pragma once

#include <QStringList>

class CliRunner;

// The commands that switch one mailing option (a MailingSettings key): "on", "off", or nothing
// to print which it is.
class OnOffSetting
{
public:
    static int run(CliRunner& cli, const QStringList& args, const char* key);
};

#include "OnOffSetting.h"

#include "CliOptions.h"
#include "CliRunner.h"
#include "MailingSettings.h"
#include "SettingsStore.h"

int OnOffSetting::run(CliRunner& cli, const QStringList& args, const char* key)
{
    CliOptions o(args, {}, {}, {0, 1, "нужно on или off"});
    if (!o.ok())
        return cli.fail(CliRunner::Usage, o.errorText());
    SettingsStore store;
    if (o.positional().isEmpty()) {
        cli.out() << (MailingSettings::isOptionOn(store, key) ? "on" : "off") << "\n";
        return int(CliRunner::Ok);
    }
    const QString word = o.positional().first();
    if (word != "on" && word != "off")
        return cli.fail(CliRunner::Usage, "нужно on или off");
    if (!MailingSettings::setOption(store, key, word == "on"))
        return cli.fail(CliRunner::Failure, store.errorText());
    return int(CliRunner::Ok);
}

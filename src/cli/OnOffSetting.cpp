#include "OnOffSetting.h"

#include "CliOptions.h"
#include "CliRunner.h"
#include "SettingsStore.h"

int OnOffSetting::run(CliRunner& cli, const QStringList& args, const IsOn& isOn, const SetOn& setOn)
{
    CliOptions o(args, {}, {});
    if (!o.ok() || o.positional().size() > 1)
        return cli.fail(CliRunner::Usage, o.ok() ? "give on or off" : o.errorText());
    SettingsStore store;
    if (o.positional().isEmpty()) {
        cli.out() << (isOn(store) ? "on" : "off") << "\n";
        return int(CliRunner::Ok);
    }
    const QString word = o.positional().first();
    if (word != "on" && word != "off")
        return cli.fail(CliRunner::Usage, "give on or off");
    if (!setOn(store, word == "on"))
        return cli.fail(CliRunner::Failure, store.errorText());
    return int(CliRunner::Ok);
}

#pragma once

#include <QStringList>
#include <functional>

class CliRunner;
class SettingsStore;

// The commands that switch one mailing option: "on", "off", or nothing to print which it is.
class OnOffSetting
{
public:
    using IsOn = std::function<bool(const SettingsStore&)>;
    using SetOn = std::function<bool(SettingsStore&, bool)>;

    static int run(CliRunner& cli, const QStringList& args, const IsOn& isOn, const SetOn& setOn);
};

#pragma once

#include "Dialogs.h"

#include <functional>

class QWidget;
class SettingsStore;

// The start-up check: until all five mailing settings hold a value, tell the operator and
// show the settings window, reading the store afresh after each showing.
class SettingsCheck
{
public:
    using ShowSettings = std::function<void()>;

    static Dialogs::Message message();

    // Returns how many times the message and the window were shown (0 when nothing was missing).
    static int run(const SettingsStore& store, QWidget* parent, const ShowSettings& showSettings);
};

#pragma once

#include <QString>

// The entry that starts the program when the user logs in (XDG autostart):
// $XDG_CONFIG_HOME/autostart/ru.kalvent.Kalvent.desktop (~/.config when the variable is unset).
class AutostartEntry
{
public:
    static QString path();
    static bool isOn();
    // Writes the entry (on) or removes it (off); false with the reason in errorText().
    bool set(bool on);
    QString errorText() const { return m_error; }

    // The command in the entry: "kalvent" when that name on the path is this program, else
    // this program's own path.
    static QString command();

private:
    QString m_error;
};

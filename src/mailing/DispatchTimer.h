#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// The background mailing: the systemd user timer that runs "kalvent-cli dispatch" (and the
// daily backup) every five minutes, whether the window is open or not. Driven through
// "systemctl --user"; the environment variable KALVENT_SYSTEMCTL names another program (tests
// give a script that answers like it).
class DispatchTimer
{
public:
    static constexpr const char* unit = "kalvent-dispatch.timer";

    struct State
    {
        bool installed = false; // systemd knows the unit
        bool enabled = false;   // started at every login
        bool active = false;    // running now
        QDateTime nextRun;      // invalid when systemd names none
    };

    // Enables the timer and starts it at once; false with the reason in errorText().
    bool turnOn();
    // Stops the timer and disables it.
    bool turnOff();
    // What systemd says of the timer; nothing when it could not be asked (errorText()).
    std::optional<State> state();
    // True when the timer is enabled and running.
    bool isOn();

    QString errorText() const { return m_error; }

private:
    // Runs systemctl --user with the arguments; its standard output, or nothing on failure.
    std::optional<QString> systemctl(const QStringList& args, const QString& failure);

    QString m_error;
};

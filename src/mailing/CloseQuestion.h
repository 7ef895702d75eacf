#pragma once

#include <QString>

class DispatchTimer;
class SettingsStore;

// Closing the main window: while the window's timer is the only one that mails (the mailing is
// set up and the background timer is off), the user is asked whether to keep mailing in the
// background, go to the tray or quit anyway. The window shows the question; this decides.
class CloseQuestion
{
public:
    enum class Answer
    {
        Background, // turn the background timer on, then close
        Tray,       // hide the window, the program goes on
        Quit        // close anyway
    };
    enum class Step
    {
        Close,
        ToTray,
        Stay // turning the timer on failed: errorText() says why
    };

    explicit CloseQuestion(DispatchTimer& timer);

    // True when closing must ask: the stored mailing settings are usable and the timer is not
    // running (or systemd cannot tell).
    bool isNeeded(const SettingsStore& store);
    // What the window does after the answer; Background turns the timer on first.
    Step answer(Answer answer);
    QString errorText() const { return m_error; }

    static QString title();
    static QString text();
    static QString caption(Answer answer);

private:
    DispatchTimer& m_timer;
    QString m_error;
};

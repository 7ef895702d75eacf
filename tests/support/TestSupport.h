#pragma once

#include "Dialogs.h"

#include <QList>
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace TestSupport {

// Russian locale, a fixed application name; call first in initTestCase().
void pinEnvironment();

// Delivers one timeout of `timer` now, as its expiry would; tests drive timers with this and
// keep the real intervals too long to fire, so no result depends on the machine's speed.
bool fire(QTimer* timer);

// The engine the run is for: KALVENT_TEST_DATABASE holds the location of a test server
// (postgresql://USER@HOST:PORT/) when the tests run on it; unset, they run on files.
bool onServer();
// Where a test keeps its calls: `file` on the file engine, else a new empty database on the
// test server (one per call), by its location. The databases given before that nothing is
// connected to any more are dropped at each call.
QString database(const QString& file);
// Stops and starts the test server again (its connections are cut); false off the server.
bool restartServer();

// Saves a picture of the window as `name` in KALVENT_SCREENS_DIR when that is set (showing it
// first); false when it could not be saved.
bool keepPicture(QWidget& window, const QString& name);

// An interval no test run reaches.
constexpr int neverFires = 24 * 3600 * 1000;

// Records every message box and answers each with the next queued button (Ok when none).
class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();
    void answer(QMessageBox::StandardButton button) { m_answers << button; }
    const QList<Dialogs::Message>& shown() const { return m_shown; }
    void clear() { m_shown.clear(); }

private:
    QList<Dialogs::Message> m_shown;
    QList<QMessageBox::StandardButton> m_answers;
};

// Answers every text prompt with the next queued answer (cancel when none).
class PromptRecorder
{
public:
    PromptRecorder();
    ~PromptRecorder();
    void answer(const QString& text) { m_answers << Dialogs::PromptAnswer{true, text}; }
    void cancel() { m_answers << Dialogs::PromptAnswer{false, QString()}; }
    const QList<Dialogs::Prompt>& shown() const { return m_shown; }

private:
    QList<Dialogs::Prompt> m_shown;
    QList<Dialogs::PromptAnswer> m_answers;
};

// Points the program's systemctl (KALVENT_SYSTEMCTL) at support/fake-systemctl.sh, which keeps
// the user timer's state in a folder of its own, for as long as it lives.
class FakeSystemctl
{
public:
    FakeSystemctl();
    ~FakeSystemctl();
    // The argument lines it was called with since the last call.
    QStringList takeCalls();
    // Its answers: "on" (the timer enabled and running), "nobus" (no session bus), "missing"
    // (the unit not installed).
    void set(const QString& flag, bool present);

private:
    QTemporaryDir m_dir;
};

} // namespace TestSupport

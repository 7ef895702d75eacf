#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

class QTimer;

// The splash window, also the about box. Its timer ticks once a second; from the third tick of
// the run on, a tick shows the main window and closes the splash. The tick counter belongs to
// the run, not to the window, so a splash shown again closes at its first tick.
class Logo : public QWidget
{
    Q_OBJECT

public:
    using OpenMain = std::function<void()>;

    static constexpr int ticksBeforeMain = 3;

    // Shows the main window; called at the ticks that close the splash.
    static void setOpenMain(OpenMain openMain);
    // Shows the single splash window modelessly. When it is already on screen nothing changes:
    // no second copy, and its time is not prolonged.
    static Logo* showSplash();
    // The about box: the same window, shown again.
    static Logo* showAbout() { return showSplash(); }
    // The splash window on screen, or nullptr.
    static Logo* current();

    static int tickCount() { return s_ticks; }
    // Test hooks: a fresh run, and a shorter timer interval for windows shown afterwards.
    static void resetTickCount() { s_ticks = 0; }
    static void setTickInterval(int msecs) { s_interval = msecs; }
    static int tickInterval() { return s_interval; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Logo();
    ~Logo() override;

    void buildControls();
    void tick();

    static QPointer<Logo> s_current;
    static OpenMain s_openMain;
    static int s_ticks;
    static int s_interval;

    QTimer* m_timer1 = nullptr;
    // Set while a tick is showing the main window: its load can wait in dialogs while
    // further ticks arrive, and those must not show it again.
    bool m_opening = false;
};

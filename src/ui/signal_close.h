#pragma once
// SIGTERM, SIGHUP and SIGINT (a logout, kill, Ctrl+C in the terminal)
// close the main window as its close box does, so that the settings and the
// layout are saved. The handler only writes the signal's number to a socket
// pair; the event loop reads it and does the closing, step by step: open
// dialogs are closed by their close boxes, a mail in flight is given a
// moment to end and then aborted as "中止" does, then the window is closed.

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>

class QSocketNotifier;

namespace kitemail {

class MainWindow;

// How long a mail in flight may go on before it is aborted.
inline constexpr std::chrono::milliseconds kSignalSendGrace{1000};
// When the window has still not closed, the close is given up.
inline constexpr std::chrono::milliseconds kSignalCloseLimit{6000};

class SignalClose : public QObject {
public:
    // Installs the handlers; one object at a time.
    explicit SignalClose(QObject* parent = nullptr);
    // Puts the previous handlers back.
    ~SignalClose() override;
    SignalClose(const SignalClose&) = delete;
    SignalClose& operator=(const SignalClose&) = delete;

    // The window to close. A signal that came before waits for it; open
    // dialogs are closed meanwhile.
    void SetWindow(MainWindow* window);
    // Called when the window has not closed within kSignalCloseLimit (the
    // program's main ends the process there).
    void SetGiveUp(std::function<void()> giveUp);

private:
    void ReadSignals();
    void Step();

    int fds_[2] = {-1, -1}; // [0] read by the event loop, [1] written by the handler
    QSocketNotifier* notifier_ = nullptr;
    QPointer<MainWindow> window_;
    std::function<void()> giveUp_;
    bool closing_ = false; // a signal came
    bool inClose_ = false;
    bool aborted_ = false;
    bool done_ = false;
    std::chrono::steady_clock::time_point since_{};
    std::chrono::steady_clock::time_point busySince_{};
    bool busySeen_ = false;
};

} // namespace kitemail

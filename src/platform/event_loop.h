#pragma once
// The program's single event loop, seen from code that is not a window:
// posting a call to a later turn, pumping the queue from inside a long
// operation, and nested waits that keep the windows alive.

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

namespace kitemail {

// Runs fn on a later turn of the event loop. Nothing happens when context has
// been destroyed by then.
void PostCall(QObject* context, std::function<void()> fn);

// Handles every event already waiting, without blocking.
void PumpEvents();

// Blocks until at least one event has been handled or maxWait has passed,
// then handles whatever else is waiting.
void PumpEventsWaiting(std::chrono::milliseconds maxWait);

// A nested message loop: handles events until done() holds or the time-out
// passes (a negative time-out waits without limit). Returns done().
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(-1));

// A repeating or single-shot timer bound to the event loop, for code that
// counts time without being a QObject itself.
class LoopTimer {
public:
    LoopTimer();
    ~LoopTimer();
    LoopTimer(const LoopTimer&) = delete;
    LoopTimer& operator=(const LoopTimer&) = delete;

    // Starts (or restarts) the timer; the callback runs on each expiry.
    void Start(std::chrono::milliseconds interval, bool singleShot, std::function<void()> onTimeout);
    void Stop();
    [[nodiscard]] bool IsActive() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kitemail

#include "platform/event_loop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace kitemail {

void PostCall(QObject* context, std::function<void()> fn)
{
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

void PumpEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void PumpEventsWaiting(std::chrono::milliseconds maxWait)
{
    // The wake-up timer guarantees the blocking wait ends even when nothing
    // else happens.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(maxWait);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    if (done()) {
        return true;
    }
    const QDeadlineTimer deadline = timeout.count() < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                                        : QDeadlineTimer(timeout, Qt::PreciseTimer);
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        // Timers may fire a little early: re-arm for whatever time is left,
        // so the blocking wait below always has something to end it.
        if (!deadline.isForever() && !wake.isActive()) {
            wake.start(std::chrono::milliseconds(std::max<qint64>(1, deadline.remainingTime())));
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

struct LoopTimer::Impl {
    QTimer timer;
    std::function<void()> onTimeout;
};

LoopTimer::LoopTimer() : impl_(std::make_unique<Impl>())
{
    // Deadlines and waits of whole seconds: a coarse timer may be 5% off.
    impl_->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&impl_->timer, &QTimer::timeout, [this] {
        // The callback may restart or stop this timer; keep our own copy.
        auto fn = impl_->onTimeout;
        if (fn) {
            fn();
        }
    });
}

LoopTimer::~LoopTimer() = default;

void LoopTimer::Start(std::chrono::milliseconds interval, bool singleShot, std::function<void()> onTimeout)
{
    impl_->onTimeout = std::move(onTimeout);
    impl_->timer.setSingleShot(singleShot);
    impl_->timer.start(interval);
}

void LoopTimer::Stop()
{
    impl_->timer.stop();
}

bool LoopTimer::IsActive() const
{
    return impl_->timer.isActive();
}

} // namespace kitemail

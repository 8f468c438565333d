#include "ui/signal_close.h"

#include "ui/main_window.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>

#include <sys/socket.h>
#include <unistd.h>

namespace kitemail {
namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGHUP, SIGINT};
constexpr std::chrono::milliseconds kStepInterval{50};

// The handler may touch nothing but this descriptor.
volatile std::sig_atomic_t g_signalWriteFd = -1;
std::array<struct sigaction, kSignals.size()> g_previous{};

extern "C" void OnTerminationSignal(int signo)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signo);
    // Non-blocking: when the pipe is full, a signal is pending already.
    if (::write(g_signalWriteFd, &byte, 1) < 0) {
        errno = savedErrno;
    }
    errno = savedErrno;
}

} // namespace

SignalClose::SignalClose(QObject* parent) : QObject(parent)
{
    if (g_signalWriteFd != -1 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds_) != 0) {
        std::fprintf(stderr, "kitemail: signals cannot close the window\n");
        fds_[0] = fds_[1] = -1;
        return;
    }
    g_signalWriteFd = fds_[1];
    notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalClose::ReadSignals);
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &action, &g_previous[i]);
    }
}

SignalClose::~SignalClose()
{
    if (fds_[0] == -1) {
        return;
    }
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    }
    g_signalWriteFd = -1;
    delete notifier_;
    ::close(fds_[0]);
    ::close(fds_[1]);
}

void SignalClose::SetWindow(MainWindow* window)
{
    window_ = window;
    if (closing_) {
        // The limit is the window's: making it took what it took.
        since_ = std::chrono::steady_clock::now();
    }
}

void SignalClose::SetGiveUp(std::function<void()> giveUp)
{
    giveUp_ = std::move(giveUp);
}

void SignalClose::ReadSignals()
{
    unsigned char bytes[64];
    while (::read(fds_[0], bytes, sizeof bytes) > 0) {
    }
    if (closing_) {
        return; // a second signal changes nothing: the close is under way
    }
    closing_ = true;
    since_ = std::chrono::steady_clock::now();
    QTimer::singleShot(0, this, &SignalClose::Step);
}

void SignalClose::Step()
{
    if (done_) {
        return;
    }
    // A fresh timer for every step: a timer does not fire again while its
    // own slot runs, and a box opened by the close runs its loop in here.
    QTimer::singleShot(kStepInterval, this, &SignalClose::Step);
    const auto now = std::chrono::steady_clock::now();
    if (now - since_ >= kSignalCloseLimit) {
        done_ = true;
        if (giveUp_) {
            giveUp_();
        }
        return;
    }
    // Dialogs first, each by its close box (a question gets its escape
    // answer), as the window's own close box cannot be reached under them.
    if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != window_) {
        modal->close();
        return;
    }
    if (window_ == nullptr || inClose_) {
        return;
    }
    const auto closeWindow = [this] {
        inClose_ = true;
        const bool closed = window_->close();
        inClose_ = false;
        return closed;
    };
    if (window_->Sending() || window_->Workflow().Busy()) {
        if (!busySeen_) {
            busySeen_ = true;
            busySince_ = now;
            (void)closeWindow(); // refused, with the close box's status text
        }
        if (!aborted_ && now - busySince_ >= kSignalSendGrace) {
            aborted_ = true;
            emit window_->abortRequested();
        }
        return;
    }
    done_ = closeWindow();
}

} // namespace kitemail

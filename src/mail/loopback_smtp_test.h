#pragma once
// The developer's check of the mail path without the mail component: the
// message as the main window's boxes hold it, sent by plain SMTP to a
// server on this machine over the second TCP client (SmtpTestDialogue).
// Only failures are reported.

#include "mail/smtp_test_dialogue.h"
#include "net/ktcp.h"
#include "platform/user_interface.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kitemail {

// "My SMTP test": one run at a time over its own client.
class LoopbackSmtpTest {
public:
    explicit LoopbackSmtpTest(std::unique_ptr<TStarSocket> socket = TStarSocket::Create());
    ~LoopbackSmtpTest();
    LoopbackSmtpTest(const LoopbackSmtpTest&) = delete;
    LoopbackSmtpTest& operator=(const LoopbackSmtpTest&) = delete;

    // Where the server listens: this machine's port 25 unless changed.
    std::string ServerName = "127.0.0.1";
    std::uint16_t Port = 25;
    // The wait for each reply (the greeting counted from the connection).
    std::chrono::milliseconds ReplyTimeout{std::chrono::minutes(5)};
    std::chrono::milliseconds ConnectTimeout{std::chrono::minutes(1)};
    // Shows or hides "中止" around the wait.
    std::function<void(bool visible)> showAbortButton;

    // Sends message and waits for the end, handling events; `aborted` set
    // during the wait ("中止") ends it at once. A second call while a run
    // waits only says so. Returns whether the server took the message.
    bool Run(const SmtpTestMessage& message, UserInterface& ui, bool beepOnMessage, bool& aborted);

    [[nodiscard]] bool Running() const noexcept { return running_; }
    [[nodiscard]] TKTcpClient& Client() noexcept { return client_; }

private:
    TKTcpClient client_;
    bool running_ = false;
};

} // namespace kitemail

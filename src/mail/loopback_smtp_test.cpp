#include "mail/loopback_smtp_test.h"

#include "platform/event_loop.h"

#include <utility>

namespace kitemail {

LoopbackSmtpTest::LoopbackSmtpTest(std::unique_ptr<TStarSocket> socket) : client_(std::move(socket)) {}

LoopbackSmtpTest::~LoopbackSmtpTest() = default;

bool LoopbackSmtpTest::Run(const SmtpTestMessage& message, UserInterface& ui, bool beepOnMessage, bool& aborted)
{
    if (running_) {
        ui.ShowMessage("My SMTP access is now running.");
        return false;
    }
    running_ = true;
    SmtpTestDialogue dialogue(message);
    LoopTimer deadline;
    std::function<void(const SmtpTestDialogue::Reaction&)> apply;
    const auto awaitReply = [&] {
        deadline.Start(ReplyTimeout, true, [&] { apply(dialogue.Silence()); });
    };
    apply = [&](const SmtpTestDialogue::Reaction& reaction) {
        if (!reaction.send.empty()) {
            client_.SendText(reaction.send);
            awaitReply();
        }
        if (reaction.close) {
            deadline.Stop();
            client_.SetActive(false);
        }
        if (!reaction.failText.empty()) {
            Notify(ui, beepOnMessage, reaction.failText);
        }
    };
    client_.OnConnect = awaitReply;
    client_.OnRcvReady = [&] { apply(dialogue.Received(client_.ReceiveText())); };
    client_.OnError = [&](const TKError&) { apply(dialogue.NetworkError()); };
    client_.OnDisconnect = [&] {
        dialogue.Disconnected();
        deadline.Stop();
    };

    client_.ConnectTimeout = ConnectTimeout;
    client_.SetServerName(ServerName);
    client_.SetPort(Port);
    client_.SetActive(true);

    aborted = false;
    if (showAbortButton) {
        showAbortButton(true);
    }
    WaitUntil([&] { return !dialogue.Running() || aborted; });
    deadline.Stop();
    dialogue.Abort();
    client_.SetActive(false);
    // No event of this run may reach the next one.
    client_.OnConnect = nullptr;
    client_.OnRcvReady = nullptr;
    client_.OnError = nullptr;
    client_.OnDisconnect = nullptr;
    if (showAbortButton) {
        showAbortButton(false);
    }
    running_ = false;
    return dialogue.Succeeded();
}

} // namespace kitemail

#include "smtp_player.h"

#include "platform/event_loop.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <iterator>

namespace kitemail::test {

using namespace std::chrono_literals;

SmtpPlayer::SmtpPlayer()
{
    mail.SetSMTP_Server("192.0.2.25");
    mail.FROM_Address = "me@x.jp";
    mail.TO_Address = "you@x.jp";
    mail.MailText = {"hello"};
    mail.ReplyTimeout = 40ms;
    mail.DataEndTimeout = 40ms;
}

const Variables& SmtpPlayer::Names()
{
    static const Variables names = [] {
        char name[256] = {};
        const std::string host = ::gethostname(name, sizeof name - 1) == 0 ? name : "";
        return Variables{{"helo", host}, {"ehlo", host.empty() ? "localhost" : host}};
    }();
    return names;
}

Steps SmtpPlayer::Run(const Steps& steps, bool waitForTheEnd)
{
    taken_ = socket.written.size();
    inMessage_ = afterData_ = closeSeen_ = false;
    const int before = rec.doneCount;
    mail.SetAction(TMailAction::Send_Mail);
    if (socket.Attempting() && acceptConnection) {
        socket.Accept(acceptAddress);
    }
    Steps happened = Take();
    Steps serverSteps;
    std::ranges::copy_if(steps, std::back_inserter(serverSteps), [](const std::string& step) { return !step.starts_with("done"); });
    const Steps played = Replay(serverSteps, [&](const std::string& step) {
        if (step.starts_with("S: ")) {
            socket.Deliver(step.substr(3) + "\r\n");
        } else if (step.starts_with("R: ")) {
            socket.Deliver(step.substr(3));
        } else if (step == "X") {
            socket.CloseFromServer();
        } else if (step.starts_with("E ")) {
            socket.FailWith(static_cast<std::uint16_t>(std::stoi(step.substr(2))));
        } else if (step == "T") {
            WaitUntil([] { return false; }, 3 * mail.ReplyTimeout);
        } else if (step == "H") {
            socket.Hold();
        } else if (step.starts_with("D ")) {
            socket.Drain(std::stoul(step.substr(2)));
        } else if (step.starts_with("P ")) {
            WaitUntil([] { return false; }, std::chrono::milliseconds(std::stoi(step.substr(2))));
        } else if (step == "TLS") {
            socket.CompleteTls();
        } else if (step == "TLSFAIL") {
            socket.RefuseTls({{TlsProblem::Expired, TlsProblem::NameMismatch}, "AB:CD", {}});
        } else if (step == "CONNECT-DEADLINE") {
            socket.ConnectDeadlinePassed();
        } else if (step == "CANCEL") {
            mail.SetAction(TMailAction::Cancel_SendMail);
        } else {
            ADD_FAILURE() << "not a step of the mail component's transcripts: " << step;
        }
        return Take();
    });
    happened.insert(happened.end(), played.begin(), played.end());
    if (!waitForTheEnd) {
        return happened;
    }
    WaitUntil([&] { return rec.doneCount > before; }, 1s);
    WaitUntil([] { return false; }, 20ms); // a second OnDone would show
    for (int i = before; i < rec.doneCount; ++i) {
        const std::string text = rec.errors.empty() ? "" : " " + rec.errors.back().second;
        happened.push_back("done " + std::to_string(static_cast<int>(rec.errorAtDone)) + text);
    }
    return happened;
}

// The client's lines since the last look; the message as one line.
Steps SmtpPlayer::Take()
{
    Steps lines;
    for (;;) {
        if (socket.written.compare(taken_, 5, "<TLS>") == 0) { // the client started TLS here
            lines.push_back("C: <starttls>");
            taken_ += 5;
            continue;
        }
        const std::size_t end = socket.written.find("\r\n", taken_);
        if (end == std::string::npos) {
            break;
        }
        const std::string line = socket.written.substr(taken_, end - taken_);
        taken_ = end + 2;
        if (inMessage_) {
            inMessage_ = line != ".";
        } else if (afterData_) {
            afterData_ = false;
            inMessage_ = line != ".";
            lines.push_back("C: <message>");
        } else {
            afterData_ = line == "DATA";
            lines.push_back("C: " + line);
        }
    }
    if (socket.closedByClient && !closeSeen_) {
        lines.push_back("C: <close>");
    }
    closeSeen_ = socket.closedByClient;
    return lines;
}

} // namespace kitemail::test

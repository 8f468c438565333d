#include "mail/smtp_test_dialogue.h"

#include "mail/mail_types.h"
#include "mail/reply_accumulator.h"
#include "platform/text_codec.h"

#include <array>
#include <utility>

namespace kitemail {
namespace {

struct Step {
    int expected;         // the reply code that lets the run go on
    const char* failText; // UTF-8
};

// Indexed by SmtpTestState 0..6.
constexpr std::array<Step, 7> kSteps{{
    {220, "接続 に失敗しました。"},
    {250, "HELO に失敗しました。"},
    {250, "MAIL FROM: に失敗しました。"},
    {250, "RCPT TO: に失敗しました。"},
    {354, "DATA に失敗しました。"},
    {250, "Data送信 に失敗しました。"},
    {221, "QUIT に失敗しました。"},
}};

} // namespace

SmtpTestDialogue::SmtpTestDialogue(SmtpTestMessage message) : message_(std::move(message)) {}

std::string SmtpTestDialogue::MessageBlock(const SmtpTestMessage& message)
{
    std::string block = "From: " + message.from + "\r\nSubject: " + message.subject + "\r\n";
    block.reserve(block.size() + message.body.size() + 16);
    bool lineStart = true;
    for (const char c : message.body) {
        if (lineStart && c == '.') {
            block.push_back('.');
        }
        block.push_back(c);
        lineStart = c == '\n';
    }
    block += "\r\n.\r\n";
    return block;
}

SmtpTestDialogue::Reaction SmtpTestDialogue::Received(std::string_view text)
{
    if (!Running() || state_ >= kQuitAcknowledged) {
        return {};
    }
    const int code = ReplyCode(text);
    if (code < 0) {
        return {};
    }
    // What came after the reply in the same read was sent before any
    // command could be answered: it is dropped.
    lines_.Clear();
    continuedCode_ = 0;
    replyBytes_ = 0;
    const Step& step = kSteps[static_cast<std::size_t>(state_)];
    if (code != step.expected) {
        return Fail(Sj(step.failText));
    }
    const auto next = [this](std::string bytes, const std::string& value = {}) -> Reaction {
        ++state_;
        if (!FitsOnOneLine(value)) {
            return Fail(Sj(kSteps[static_cast<std::size_t>(state_)].failText));
        }
        return {std::move(bytes), {}, false};
    };
    switch (state_) {
    case 0: return next("HELO 127.0.0.1\r\n");
    case 1: return next("MAIL FROM: " + message_.from + "\r\n", message_.from);
    case 2: return next("RCPT TO:" + message_.to + "\r\n", message_.to);
    case 3: return next("DATA\r\n");
    case 4: return next(MessageBlock(message_));
    case 5: return next("QUIT\r\n");
    default: // 6: the server said goodbye; the run is over
        state_ = kQuitAcknowledged;
        End();
        return {{}, {}, true};
    }
}

int SmtpTestDialogue::ReplyCode(std::string_view text)
{
    // However many continuation lines a server sends, one reply is bounded.
    constexpr std::size_t kMaxReplyBytes = 64 * 1024;
    replyBytes_ += text.size();
    const std::vector<std::string> complete = lines_.Feed(text);
    if (lines_.Overflowed() || replyBytes_ > kMaxReplyBytes) {
        return 0;
    }
    for (const std::string& line : complete) {
        const std::optional<ReplyLine> reply = ParseReplyLine(line);
        if (!reply || (continuedCode_ != 0 && reply->code != continuedCode_)) {
            return 0;
        }
        if (reply->last) {
            return reply->code;
        }
        continuedCode_ = reply->code;
    }
    return -1;
}

SmtpTestDialogue::Reaction SmtpTestDialogue::NetworkError()
{
    return Running() ? Fail("smtp connection error.") : Reaction{};
}

SmtpTestDialogue::Reaction SmtpTestDialogue::Silence()
{
    return Running() ? Fail("smtp server did not answer in time.") : Reaction{};
}

void SmtpTestDialogue::Disconnected()
{
    if (Running()) {
        End();
    }
}

void SmtpTestDialogue::Abort()
{
    Disconnected();
}

SmtpTestDialogue::Reaction SmtpTestDialogue::Fail(std::string text)
{
    End();
    return {{}, std::move(text), true};
}

void SmtpTestDialogue::End() noexcept
{
    state_ = state_ == kWaitGreeting ? -1 : -state_;
}

} // namespace kitemail

#include "mail/pop_dialogue.h"

#include "mail/mail_types.h"
#include "platform/text_codec.h"

namespace kitemail {
PopDialogue::PopDialogue(std::string user, std::string password, bool stls)
    : user_(std::move(user)), password_(std::move(password)), stls_(stls)
{
}

PopDialogue::Reaction PopDialogue::Received(std::string_view text)
{
    if (!Running() || state_ == kQuitAcknowledged) {
        return {};
    }
    // A reply split across reads must not have its tail taken for the
    // answer to the next command.
    const std::vector<std::string> lines = lines_.Feed(text);
    if (lines.empty() && !lines_.Overflowed()) {
        return {};
    }
    const bool positive = !lines.empty() && IsPositiveStatus(lines.front());
    const bool more = lines.size() > 1 || !lines_.Pending().empty();
    lines_.Clear();
    switch (state_) {
    case kWaitGreeting:
        if (!positive) {
            return Fail(Sj("POP3接続に失敗しました。"));
        }
        if (stls_) {
            state_ = kStlsSent;
            return {"STLS\r\n", {}};
        }
        return SendUser();
    case kStlsSent:
        if (!positive) {
            return Fail(Sj("POP3サーバーがSTLSを受け付けませんでした。"));
        }
        // What came with the agreement was sent in the clear, where anyone
        // on the way could have put it (RFC 2595 4).
        if (more) {
            return Fail(Sj("POP3サーバーがSTLSの応答の後に余分なデータを送りました。"));
        }
        state_ = kTlsStarting;
        return {{}, {}, true};
    case kTlsStarting:
        return Fail(Sj("POP3サーバーがSTLSの応答の後に余分なデータを送りました。"));
    case kUserSent:
        if (!positive) {
            return Fail(Sj("ユーザー名が違います。"));
        }
        if (!FitsOnOneLine(password_)) {
            return Fail(Sj("パスワードが違います。"));
        }
        state_ = kPassSent;
        return {"PASS " + password_ + "\r\n", {}};
    case kPassSent:
        if (!positive) {
            return Fail(Sj("パスワードが違います。"));
        }
        state_ = kQuitSent;
        return {"QUIT\r\n", {}};
    default: // kQuitSent
        if (!positive) {
            return Fail("Err.");
        }
        state_ = kQuitAcknowledged;
        return {};
    }
}

PopDialogue::Reaction PopDialogue::SendUser()
{
    if (!FitsOnOneLine(user_)) {
        return Fail(Sj("ユーザー名が違います。"));
    }
    state_ = kUserSent;
    return {"USER " + user_ + "\r\n", {}};
}

PopDialogue::Reaction PopDialogue::Encrypted()
{
    if (state_ != kTlsStarting) {
        return {};
    }
    return SendUser();
}

PopDialogue::Reaction PopDialogue::TlsFailed(const TlsFailure& failure)
{
    if (!Running()) {
        return {};
    }
    return Fail(Sj("POP3サーバーと暗号化した接続ができませんでした。") + "\r\n" + TlsFailureMessage(failure));
}

PopDialogue::Reaction PopDialogue::NetworkError()
{
    if (!Running()) {
        return {};
    }
    return Fail(Sj("POP3サーバー接続に失敗しました。"));
}

PopDialogue::Reaction PopDialogue::Silence()
{
    if (state_ == kQuitAcknowledged) {
        // The login went through; only the close after QUIT is missing.
        End();
        return {};
    }
    return NetworkError();
}

void PopDialogue::Disconnected()
{
    if (Running()) {
        End();
    }
}

PopDialogue::Reaction PopDialogue::Fail(std::string text)
{
    End();
    return {{}, std::move(text)};
}

void PopDialogue::End() noexcept
{
    state_ = state_ == kWaitGreeting ? -1 : -state_;
}

} // namespace kitemail

#pragma once
// The developer's SMTP test as a dialogue without I/O: the message as the
// main window's boxes hold it, sent by plain SMTP (HELO, MAIL FROM,
// RCPT TO, DATA, QUIT). Only failures are reported.

#include "mail/reply_accumulator.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kitemail {

// The message as the boxes stand, code page 932 bytes, no encoding.
struct SmtpTestMessage {
    std::string from;    // the sender box
    std::string to;      // the direct-address box
    std::string subject; // the Subject bar
    std::string body;    // the body, CR LF line ends
};

// The dialogue without I/O: told what the server said (or that the
// connection failed, closed or stayed silent), it answers with the bytes to
// send or the text of a failure.
class SmtpTestDialogue {
public:
    static constexpr std::int32_t kWaitGreeting = 0;
    static constexpr std::int32_t kQuitAcknowledged = 7;

    struct Reaction {
        std::string send;     // bytes to send; empty for none
        std::string failText; // not empty: close, beep and show this
        bool close = false;   // the run is over: close the connection
    };

    explicit SmtpTestDialogue(SmtpTestMessage message);

    // Bytes received since the last call. A reply is judged when its last
    // line has come (RFC 5321 4.2: "250-" lines continue it, with the same
    // code).
    [[nodiscard]] Reaction Received(std::string_view text);
    [[nodiscard]] Reaction NetworkError();
    // No reply within the deadline.
    [[nodiscard]] Reaction Silence();
    void Disconnected();
    // "中止": ends the run without a message.
    void Abort();

    // SmtpTestState: 0..7 while running, negative once over.
    [[nodiscard]] std::int32_t State() const noexcept { return state_; }
    [[nodiscard]] bool Running() const noexcept { return state_ > -1; }
    [[nodiscard]] bool Succeeded() const noexcept { return state_ == -kQuitAcknowledged; }

    // The message block after DATA: From and Subject lines, the body, the
    // end mark. A body line starting with "." gets a second one, so that
    // the body cannot end the data early.
    [[nodiscard]] static std::string MessageBlock(const SmtpTestMessage& message);

private:
    [[nodiscard]] Reaction Fail(std::string text);
    void End() noexcept;
    // The reply's code once its last line is in; 0 for a malformed reply,
    // -1 while more lines are to come.
    [[nodiscard]] int ReplyCode(std::string_view text);

    SmtpTestMessage message_;
    ReplyAccumulator lines_;
    int continuedCode_ = 0;      // of the reply's lines so far
    std::size_t replyBytes_ = 0; // received for this reply
    std::int32_t state_ = kWaitGreeting;
};

} // namespace kitemail

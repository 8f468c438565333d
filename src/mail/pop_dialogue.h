#pragma once
// The POP before SMTP login as a dialogue without I/O: it is told what the
// server said (or that the connection failed or closed) and answers with the
// command to send or the text of a failure. USER, PASS and QUIT, after STLS
// (RFC 2595 4) and the handshake when asked to.

#include "mail/reply_accumulator.h"
#include "net/tls_failure.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kitemail {

class PopDialogue {
public:
    // PopState values while the dialogue runs.
    static constexpr std::int32_t kWaitGreeting = 0;
    static constexpr std::int32_t kUserSent = 1;
    static constexpr std::int32_t kPassSent = 2;
    static constexpr std::int32_t kQuitSent = 3;
    static constexpr std::int32_t kQuitAcknowledged = 4;
    static constexpr std::int32_t kStlsSent = 5;
    static constexpr std::int32_t kTlsStarting = 6; // agreed; the handshake runs
    // The one negative state that means success: closed after QUIT's reply.
    static constexpr std::int32_t kSucceeded = -kQuitAcknowledged;

    // What to do in answer to an event.
    struct Reaction {
        std::string command;  // bytes to send; empty for none
        std::string failText; // not empty: close, beep and show this (CP932)
        bool startTls = false; // start the TLS handshake, then call Encrypted()
    };

    // user and password are CP932 bytes. With stls, the greeting is answered
    // with STLS and the login waits for the encryption.
    PopDialogue(std::string user, std::string password, bool stls = false);

    // The text received since the last call. A reply is one line, judged
    // as RFC 1939 3 writes a status: "+OK" then a space or the line's end
    // is positive, anything else (a line too long included) is not. What
    // came in the same read after it was sent before any command could be
    // answered, and is dropped.
    [[nodiscard]] Reaction Received(std::string_view text);
    // The handshake after STLS finished: the login goes on encrypted.
    [[nodiscard]] Reaction Encrypted();
    // The encryption failed or the server's certificate was refused.
    [[nodiscard]] Reaction TlsFailed(const TlsFailure& failure);
    // Any socket or lookup error.
    [[nodiscard]] Reaction NetworkError();
    // The server said nothing for too long.
    [[nodiscard]] Reaction Silence();
    // The server closed the connection.
    void Disconnected();

    [[nodiscard]] std::int32_t PopState() const noexcept { return state_; }
    [[nodiscard]] bool Running() const noexcept { return state_ > -1; }
    [[nodiscard]] bool Succeeded() const noexcept { return state_ == kSucceeded; }

private:
    [[nodiscard]] Reaction Fail(std::string text);
    [[nodiscard]] Reaction SendUser();
    void End() noexcept;

    std::string user_;
    std::string password_;
    bool stls_ = false;
    ReplyAccumulator lines_;
    std::int32_t state_ = kWaitGreeting;
};

} // namespace kitemail

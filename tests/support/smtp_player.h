#pragma once
// The server's side of the mail component's transcripts (transcript.h),
// played through the fake socket layer. Its own steps: "H" the network holds
// what it is given until "D n" lets n bytes of it go, "P ms" a pause,
// "CANCEL" the abort button, "CONNECT-DEADLINE" the connect's deadline
// passing. The client's lines are written as they went
// out, the message as "C: <message>", the TLS handshake it starts as
// "C: <starttls>", its close as "C: <close>", and the end of the request as
// "done" with LastError and the text of OnMailError.

#include "fake_socket.h"
#include "mail/send_mail.h"
#include "mail_recorder.h"
#include "transcript.h"

#include <memory>
#include <string>

namespace kitemail::test {

class SmtpPlayer {
public:
    // A request from me@x.jp to you@x.jp with the body "hello", deadlines
    // of 40 ms.
    SmtpPlayer();

    // {helo} and {ehlo}: the names the component greets with.
    [[nodiscard]] static const Variables& Names();
    [[nodiscard]] static Steps Opening(std::string_view name) { return test::Opening(name, Names()); }

    // Starts a request and plays the server's side of steps; gives back the
    // whole exchange as it happened.
    Steps Run(const Steps& steps, bool waitForTheEnd = true);

private:
    std::unique_ptr<FakeSocket> owned_ = std::make_unique<FakeSocket>();

public:
    // The component owns its socket layer; the test plays its server.
    FakeSocket& socket = *owned_;
    SendMail mail{std::move(owned_)};
    MailRecorder rec{mail};
    std::string acceptAddress = "192.0.2.25";
    // false: the connection is not made, the steps tell how it fails.
    bool acceptConnection = true;

private:
    Steps Take();

    std::size_t taken_ = 0;
    bool inMessage_ = false, afterData_ = false, closeSeen_ = false;
};

} // namespace kitemail::test

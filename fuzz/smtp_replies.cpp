// A server's side of one mail, as any bytes, read by the mail component in
// pieces of any sizes. The verdict (what the client wrote, the error, one
// OnDone) never depends on where the reads were cut; the mail is reported
// sent only when a positive reply to the data's end is there to read.
//
// Input: one byte choosing the cut points, then what the server sends.

#include "fake_socket.h"
#include "fuzz_support.h"
#include "mail/send_mail.h"
#include "platform/event_loop.h"

#include <QCoreApplication>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace kitemail;

struct Verdict {
    std::string written;
    int done = 0;
    SendMailError error = SendMailError::No_Error;
    std::vector<std::string> errorTexts;

    bool operator==(const Verdict&) const = default;
};

void RunPosted()
{
    // Only the calls posted to the loop: the deadlines (minutes away) never
    // fire here, and polling for them would cost most of the run.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents();
}

// The server sends `stream` in pieces whose sizes `next` gives, then closes.
template <class Next>
Verdict Run(std::string_view stream, Next next)
{
    auto owned = std::make_unique<test::FakeSocket>();
    test::FakeSocket& socket = *owned;
    SendMail mail(std::move(owned));
    Verdict v;
    mail.OnMailError = [&v](SendMail&, SendMailError, const std::string& text) { v.errorTexts.push_back(text); };
    mail.OnDone = [&v](SendMail& m) {
        ++v.done;
        v.error = m.LastError();
    };
    mail.SetSMTP_Server("192.0.2.25");
    mail.FROM_Address = "me@x.jp";
    mail.TO_Address = "you@x.jp";
    mail.MailText = {"hello"};
    mail.SetAction(TMailAction::Send_Mail);
    socket.Accept();
    for (std::size_t pos = 0; pos < stream.size() && socket.Connected();) {
        const std::size_t take = std::min(next(), stream.size() - pos);
        socket.Deliver(stream.substr(pos, take));
        pos += take;
        RunPosted();
    }
    socket.CloseFromServer();
    RunPosted();
    v.written = socket.written;
    return v;
}

// A reply line "3xx" (the go-ahead to send the data) followed later by a
// line "2xx": the least a stream needs for the mail to count as sent.
bool HasDataAccepted(std::string_view stream)
{
    const auto isReply = [](std::string_view line, char cls) {
        return line.size() >= 3 && line[0] == cls && line[1] >= '0' && line[1] <= '9' && line[2] >= '0'
               && line[2] <= '9' && (line.size() == 3 || line[3] == ' ' || line[3] == '\r');
    };
    bool goAhead = false;
    for (std::size_t pos = 0; pos < stream.size();) {
        const std::size_t end = stream.find('\n', pos);
        if (end == std::string_view::npos) {
            break; // an unfinished line is no reply
        }
        const std::string_view line = stream.substr(pos, end - pos);
        if (goAhead && isReply(line, '2')) {
            return true;
        }
        goAhead = goAhead || isReply(line, '3');
        pos = end + 1;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_smtp_replies";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    if (size < 1) {
        return 0;
    }
    const std::string_view stream = kitemail::fuzz::Bytes(data + 1, size - 1);

    const Verdict whole = Run(stream, [] { return std::size_t(-1); });
    std::minstd_rand cuts(data[0]);
    const Verdict pieces = Run(stream, [&cuts] { return std::size_t(cuts() % 24); });
    const Verdict bytes = Run(stream, [] { return std::size_t(1); });

    FUZZ_CHECK(whole.done == 1);
    FUZZ_CHECK(whole == pieces);
    FUZZ_CHECK(whole == bytes);
    if (whole.error == SendMailError::No_Error) {
        FUZZ_CHECK(HasDataAccepted(stream));
    }
    return 0;
}

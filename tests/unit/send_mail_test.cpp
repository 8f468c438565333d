// The mail component through a socket layer the test plays the server of
// (the transcripts' player, support/smtp_player.h): what the transcripts
// in tests/data/transcripts/smtp/ do not show, the bytes on the wire, the
// recipient lists, the socket's failures, a kept connection, the flow of a
// large message. Reply lines read across pieces, a reply line's code, the
// envelope's addresses and the socket's error texts are walks (walks_test).

#include "golden.h"
#include "mail/send_mail.h"
#include "mail/smtp_dialogue.h"
#include "platform/event_loop.h"
#include "smtp_player.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace kitemail {
namespace {

using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

Lines Join(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string kHelo = "HELO " + test::SmtpPlayer::Names().at("helo");
const Lines kAccepted = test::SmtpPlayer::Opening("smtp-accepted");
const Lines kUpToData = test::SmtpPlayer::Opening("smtp-up-to-data");

class SendMailTest : public ::testing::Test, protected test::SmtpPlayer {
protected:
    using test::SmtpPlayer::Run;
};

TEST_F(SendMailTest, WithEverythingOffTheWireIsThePlainHeloDialogueByteForByte)
{
    mail.Subject = "Hi";
    mail.Headers = {"X-Mailer: Kitemail Pro Version 0.50"};
    Run(kAccepted);
    EXPECT_EQ(socket.written, kHelo + "\r\nMAIL FROM:<me@x.jp>\r\nRCPT TO:<you@x.jp>\r\nDATA\r\n"
                                  "From:  <me@x.jp>\r\nTo:  <you@x.jp>\r\nSubject: Hi  \r\nMime-Version: 1.0\r\n"
                                  "Content-Type: text/plain; charset=\"iso-2022-jp\"\r\n"
                                  "Content-Transfer-Encoding: 7bit\r\nX-Mailer: Kitemail Pro Version 0.50  \r\n\r\n"
                                  "hello\r\n\r\n.\r\nQUIT\r\n");
}

TEST_F(SendMailTest, RecipientRunsOverEveryListAndARefusalIsSkipped)
{
    const struct {
        std::string to;
        Lines listTo, cc, bcc;
        Lines rcpts;
    } runs[] = {
        {"", {}, {"c1@x", "c2@x|Two"}, {}, {"c1@x", "c2@x"}},
        {"", {}, {}, {"b1@x", "b2@x", "b3@x"}, {"b1@x", "b2@x", "b3@x"}},
        {"t1@x", {"t2@x"}, {"c1@x", "c2@x"}, {"b1@x"}, {"t1@x", "t2@x", "c1@x", "c2@x", "b1@x"}},
    };
    for (const auto& r : runs) {
        mail.TO_Address = r.to;
        mail.ListTo = r.listTo;
        mail.Listcc = r.cc;
        mail.ListBcc = r.bcc;
        Lines transcript = {"S: 220 hi", "C: " + kHelo, "S: 250 ok", "C: MAIL FROM:<me@x.jp>", "S: 250 ok"};
        for (std::size_t i = 0; i < r.rcpts.size(); ++i) {
            // The second recipient is refused; the others still get the mail.
            transcript.insert(transcript.end(), {"C: RCPT TO:<" + r.rcpts[i] + ">", i == 1 ? "S: 550 no such user" : "S: 250 ok"});
        }
        transcript.insert(transcript.end(), {"C: DATA", "S: 354 go", "C: <message>", "S: 250 ok", "C: QUIT", "X",
                                             "done 0"});
        EXPECT_EQ(Run(transcript), transcript);
    }
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_RecipientRefused), (Lines{"c2@x", "b2@x", "t2@x"}));
    // The headers list cc with its name (that Bcc stays out: the server tests).
    EXPECT_NE(socket.written.find("cc: Two <c2@x>"), std::string::npos);
}

TEST_F(SendMailTest, KeptConnectionCarriesTheNextMessageAndABusyRequestIsOnlyReported)
{
    mail.KeepConnectionOpen = true;
    const Lines first = Join(kUpToData, {"S: 250 queued", "done 0"});
    EXPECT_EQ(Run(first), first);
    EXPECT_TRUE(mail.Connected());
    mail.TO_Address = "second@x.jp";
    mail.ListTo.clear();
    const Lines second = {"C: MAIL FROM:<me@x.jp>", "S: 250 ok", "C: RCPT TO:<second@x.jp>", "S: 250 ok",
                          "C: DATA", "S: 354 go", "C: <message>", "S: 250 queued", "done 0"};
    EXPECT_EQ(Run(second), second);
    EXPECT_EQ(socket.connects, 1);
    // Writing Send_Mail while a request runs only reports it.
    mail.TO_Address = "third@x.jp";
    mail.ListTo.clear();
    mail.SetAction(TMailAction::Send_Mail);
    mail.SetAction(TMailAction::Send_Mail);
    EXPECT_EQ(rec.Infos(SendMailInfo::Info_Busy).size(), 1u);
    for (const char* reply : {"250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 ok\r\n"}) {
        socket.Deliver(reply);
    }
    ASSERT_TRUE(rec.WaitDone(1s, 20ms));
    // The server drops the idle connection: reported, but no request ends.
    const int done = rec.doneCount;
    socket.CloseFromServer();
    WaitUntil([] { return false; }, 50ms);
    EXPECT_EQ(rec.doneCount, done);
    EXPECT_EQ(mail.LastError(), SendMailError::No_Error);
    // A cancel while idle ends "a request" once; another changes nothing more.
    mail.SetAction(TMailAction::Cancel_SendMail);
    mail.SetAction(TMailAction::Cancel_SendMail);
    WaitUntil([] { return false; }, 50ms);
    EXPECT_EQ(rec.doneCount, done + 1);
    EXPECT_EQ(mail.LastError(), SendMailError::Transaction_Canceled);
}

TEST_F(SendMailTest, TheMessageFlowsAsTheNetworkTakesItAndStopsOnACancelOrAnUnreadableFile)
{
    test::TempDir dir;
    const std::string big = dir.Write("big.bin", std::string(8 << 20, 'k')).string();
    mail.AddAttachment({{}, kEncodingBase64, {}, {}, {}, big});
    mail.ReplyTimeout = 10s;
    socket.Hold();
    Run(kUpToData, false);
    // Only a little of the message waits in the socket layer at a time, and
    // more comes only as the network takes it.
    const std::size_t first = socket.written.size();
    EXPECT_LT(first, 512u * 1024);
    for (int i = 0; i < 20; ++i) {
        socket.Drain(SendMail::kWritePieceBytes);
        EXPECT_LT(socket.QueuedBytes(), 256u * 1024);
    }
    EXPECT_GT(socket.written.size(), first + 1000000);
    EXPECT_LT(socket.written.size(), 4u << 20);
    // The abort button between two pieces: nothing more, no ".", one OnDone.
    const std::size_t atCancel = socket.written.size();
    mail.SetAction(TMailAction::Cancel_SendMail);
    socket.Drain(SendMail::kWritePieceBytes);
    ASSERT_TRUE(rec.WaitDone(1s, 20ms));
    EXPECT_EQ(rec.doneCount, 1);
    EXPECT_EQ(mail.LastError(), SendMailError::Transaction_Canceled);
    EXPECT_EQ(socket.written.size(), atCancel);
    EXPECT_TRUE(socket.closedByClient);

    // A file gone (or unreadable) when its part comes fails the mail: no
    // ".", so the server keeps nothing, and the error names the file.
    const std::string gone = (dir.path() / "gone.jpg").string();
    const std::string fifo = (dir.path() / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {gone, fifo}) {
        SCOPED_TRACE(path);
        socket.Release();
        mail.ClearAttachments();
        mail.AddAttachment({{}, kEncodingBase64, {}, {}, {}, path});
        mail.TO_Address = "you@x.jp";
        rec.errors.clear();
        const Lines happened = Run(kUpToData);
        ASSERT_GE(happened.size(), 2u);
        EXPECT_EQ(happened[happened.size() - 2], "C: <close>");
        ASSERT_EQ(rec.errors.size(), 1u);
        EXPECT_EQ(rec.errors[0].first, SendMailError::Attachment_Unreadable);
        EXPECT_TRUE(rec.errors[0].second.starts_with("Attachment could not be read: " + path + ": "))
            << rec.errors[0].second;
        EXPECT_EQ(socket.written.find("\r\n.\r\n"), std::string::npos);
        EXPECT_TRUE(socket.closedByClient);
        EXPECT_EQ(rec.Infos(SendMailInfo::Info_AttachmentFailed).back(), path);
    }
}

} // namespace
} // namespace kitemail

#pragma once
// The mail component: delivers one message per request to an SMTP server
// (HELO, MAIL FROM, RCPT TO, DATA, QUIT) on the event loop, reports progress
// through OnMailInfo and failures through OnMailError, and ends every
// request with exactly one OnDone; LastError holds the outcome by then.

#include "mail/mail_types.h"
#include "mail/message_writer.h"
#include "mail/reply_accumulator.h"
#include "mail/smtp_dialogue.h"
#include "mail/starsock.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

class SendMail : public TStarSocket, private SmtpDialogueSink, private MessageSink {
public:
    static constexpr std::string_view kVersion = "SendMail 1.3.9";
    // Posted to itself to end a request (the first user message number).
    static constexpr int kCompletionMessage = kUserMessageBase;
    // Bytes gathered before one write to the socket; the event queue is
    // pumped before each write.
    static constexpr std::size_t kWriteChunkBytes = 32 * 1024;

    SendMail();
    ~SendMail() override;

    // A dotted-decimal address is connected to directly; anything else is a
    // host name to look up. An empty value changes nothing.
    void SetSMTP_Server(std::string_view server);
    [[nodiscard]] const std::string& SMTP_Server() const noexcept { return server_; }

    std::string FROM_Name;
    std::string FROM_Address;
    std::string TO_Name;
    std::string TO_Address;
    std::string Subject;
    std::uint16_t SMTP_Port = 25;

    // Send_Mail starts a request, Cancel_SendMail ends the running one.
    void SetAction(TMailAction action);
    [[nodiscard]] TMailAction Action() const noexcept { return TMailAction::None; }

    std::function<void(SendMail&, SendMailInfo, const std::string&)> OnMailInfo;
    std::function<void(SendMail&, SendMailError, const std::string&)> OnMailError;
    std::vector<std::string> MailText;
    std::vector<std::string> Listcc;
    std::vector<std::string> ListBcc;
    std::vector<std::string> ListTo;
    std::vector<std::string> Attachments;
    std::vector<std::string> Headers;
    std::function<void(SendMail&, std::string&)> OnFeedData;
    bool KeepConnectionOpen = false;
    [[nodiscard]] bool WinsockStarted() const noexcept { return IsWinsockStarted(); }
    void SetWinsockStarted(bool started);
    [[nodiscard]] static constexpr std::string_view Version() noexcept { return kVersion; }
    std::function<void(SendMail&)> OnDone;

    // How long the server may stay silent: for its greeting and the reply to
    // each command (and for its close after QUIT), and for the reply to the
    // end of the message. RFC 5321 4.5.3.2 recommends these minimums; giving
    // up sooner can make a user send a mail twice.
    std::chrono::milliseconds ReplyTimeout{std::chrono::minutes(5)};
    std::chrono::milliseconds DataEndTimeout{std::chrono::minutes(10)};

    [[nodiscard]] SendMailError LastError() const noexcept { return lastError_; }

    // At most 256 attachments; a record beyond that is ignored.
    void AddAttachment(const AttachmentRecord& record);
    void ClearAttachments();
    // The record of attachment position i (0-based), if it has one.
    [[nodiscard]] const AttachmentRecord* AttachmentRecordAt(std::size_t i) const noexcept;

    [[nodiscard]] bool Sending() const noexcept { return sending_; }
    [[nodiscard]] bool Finished() const override { return finished_; }
    [[nodiscard]] std::int32_t DialogueStep() const noexcept { return dialogue_.DialogueStep(); }

    void LookupDone() override;

private:
    void Send();
    void Finish();
    void ServerConnected();
    void ServerReadable();
    void ServerClosed();
    void ConnectTimedOut();
    [[nodiscard]] bool CheckSocketError();
    void HandleReply(std::string_view line);
    void ReportError(SendMailError error, std::string_view text);
    void PostCompletion();
    void Completed();
    [[nodiscard]] std::optional<std::string_view> FindUnsafeField() const;
    [[nodiscard]] SmtpDialogue::Envelope MakeEnvelope(int skipTo, int skipCc, int skipBcc);

    void SendString(std::string_view text);
    void Flush();
    void ArmWatchdog(std::chrono::milliseconds limit);
    void WatchdogExpired();

    // SmtpDialogueSink
    void SendCommand(const std::string& line) override;
    void WriteMessage() override;
    void Fail(SendMailError error, const std::string& text) override;
    void AcceptedKeepOpen() override;
    // both sinks
    void Info(SendMailInfo info, const std::string& text) override;
    // MessageSink
    void Write(std::string_view bytes) override;
    [[nodiscard]] bool WantsInfo() const override { return static_cast<bool>(OnMailInfo); }
    bool FeedData(std::string& data) override;

    std::string server_;
    SendMailError lastError_ = SendMailError::No_Error;
    bool sending_ = false;
    bool finished_ = false;
    bool completionPosted_ = false;
    int replyDepth_ = 0;
    SmtpDialogue dialogue_{*this};
    ReplyAccumulator replies_;
    std::vector<std::optional<AttachmentRecord>> records_;
    std::string outBuffer_;
    std::unique_ptr<LoopTimer> watchdog_;
    std::chrono::milliseconds watchdogLimit_{0};
};

} // namespace kitemail

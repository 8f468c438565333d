#pragma once
// The mail component: delivers one message per request to an SMTP server
// (HELO, MAIL FROM, RCPT TO, DATA, QUIT) on the event loop, through a
// socket layer it owns; with Submission set, over TLS and with a login
// (EHLO, STARTTLS, AUTH) before MAIL FROM; reports progress through OnMailInfo and failures
// through OnMailError, and ends every request with exactly one OnDone.
// LastError holds the outcome by then: 0 exactly when the server accepted
// the message.

#include "mail/mail_types.h"
#include "mail/message_writer.h"
#include "mail/outgoing_mail.h"
#include "mail/reply_accumulator.h"
#include "mail/smtp_dialogue.h"
#include "mail/smtp_submission.h"
#include "net/starsock.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QObject;

namespace kitemail {

class LoopTimer;

class SendMail : private SmtpDialogueSink, private SubmissionSink, private MessageSink {
public:
    static constexpr std::string_view kVersion = "SendMail 1.3.9";
    // The message is handed to the socket layer in pieces of about this
    // size, and only while less than kQueueLowWater of it waits there, so
    // that memory stays flat whatever the size of the attachments.
    static constexpr std::size_t kWritePieceBytes = 64 * 1024;
    static constexpr std::size_t kQueueLowWater = 64 * 1024;

    // A socket layer of the caller's (a test's) or the one on Qt Network.
    explicit SendMail(std::unique_ptr<TStarSocket> socket = TStarSocket::Create());
    ~SendMail() override;
    SendMail(const SendMail&) = delete;
    SendMail& operator=(const SendMail&) = delete;

    // An address written out is connected to directly; anything else is a
    // host name to look up. An empty value changes nothing.
    void SetSMTP_Server(std::string_view server);
    [[nodiscard]] const std::string& SMTP_Server() const noexcept { return server_; }

    std::string FROM_Name;
    std::string FROM_Address;
    std::string TO_Name;
    std::string TO_Address;
    std::string Subject;
    // The Date header's value, written after the To and cc lines; none when empty.
    std::string Date;
    std::uint16_t SMTP_Port = 25;

    // Fills the message's fields at once from one mail: the text, the
    // headers, the sender, the one recipient, the subject, the server and
    // the attachments. The connection's settings (port, time-outs,
    // Submission) are the caller's.
    void Load(const OutgoingMail& mail);

    // Send_Mail starts a request, Cancel_SendMail ends the running one.
    void SetAction(TMailAction action);

    std::function<void(SendMail&, SendMailInfo, const std::string&)> OnMailInfo;
    // The text is our own; a server's line in it has its control bytes removed.
    std::function<void(SendMail&, SendMailError, const std::string&)> OnMailError;
    std::vector<std::string> MailText;
    std::vector<std::string> Listcc;
    std::vector<std::string> ListBcc;
    std::vector<std::string> ListTo;
    std::vector<std::string> Attachments;
    std::vector<std::string> Headers;
    std::function<void(SendMail&, std::string&)> OnFeedData;
    bool KeepConnectionOpen = false;
    [[nodiscard]] static constexpr std::string_view Version() noexcept { return kVersion; }
    std::function<void(SendMail&)> OnDone;

    // Encryption and login; all off (the default), the wire is the plain
    // HELO dialogue byte for byte.
    SubmissionOptions Submission;
    // The steps of setting the session up (Info_TlsStarting to
    // Info_Authenticated) alone, for a status line that wants nothing else.
    std::function<void(SendMail&, SendMailInfo)> OnSessionInfo;

    // Every wait has a deadline. The connect, its lookup included. The
    // server's greeting and its reply to each command, counted from the
    // command (not restarted by each byte). While the message is written,
    // the server taking more of it restarts ReplyTimeout (the data-block
    // time-out). The reply to the end of the message, counted from the
    // moment the server has taken the "." whole. RFC 5321 4.5.3.2 gives
    // these times; giving up sooner can make a user send a mail twice.
    std::chrono::milliseconds TimeoutConnect{std::chrono::seconds(60)};
    std::chrono::milliseconds ReplyTimeout{std::chrono::minutes(5)};
    std::chrono::milliseconds DataEndTimeout{std::chrono::minutes(10)};

    [[nodiscard]] SendMailError LastError() const noexcept { return failure_.code; }
    // The last failure with our code, our text and the server's line apart.
    [[nodiscard]] const MailFailure& LastFailure() const noexcept { return failure_; }

    // At most 256 attachments; a record beyond that is ignored.
    void AddAttachment(const AttachmentRecord& record);
    void ClearAttachments();
    // The record of attachment position i (0-based), if it has one.
    [[nodiscard]] const AttachmentRecord* AttachmentRecordAt(std::size_t i) const noexcept;

    [[nodiscard]] bool Sending() const noexcept { return sending_; }
    [[nodiscard]] bool Connected() const { return socket_->Connected(); }

private:
    void Send();
    void Finish();
    void Fail(SendMailError error, std::string text, std::string serverLine = {});
    void Fail(MailFailure failure);
    void FailTls(const TlsFailure& failure);
    void TlsEstablished();
    void FailSocket(std::uint16_t wsaError);
    void Resolved();
    void ServerConnected();
    void ServerReadable();
    void ServerClosed();
    void HandleLine(const std::string& line);
    [[nodiscard]] MessageContent Content();
    void EndDelivered();
    void PostCompletion();
    void Completed();
    void PumpMessage();
    void ArmDeadline(std::chrono::milliseconds limit);
    void DeadlinePassed();
    // After the "." was handed over: how much the server still has to take.
    void WatchTheEnd();
    // The "." may have reached the server: an end without its reply is
    // then no proof of failure.
    [[nodiscard]] bool DotMayHaveArrived() const;
    void FailUnconfirmed();
    [[nodiscard]] std::optional<std::string_view> FindUnsafeField() const;
    [[nodiscard]] SmtpDialogue::Envelope MakeEnvelope(int skipTo, int skipCc, int skipBcc) const;

    // SmtpDialogueSink
    void SendCommand(const std::string& line) override;
    void WriteMessage() override;
    void Refused(const std::string& serverLine) override;
    void Accepted() override;
    void OpenSession() override;
    // SubmissionSink
    void SendSecret(const std::string& line, const std::string& shownAs) override;
    void StartTls() override;
    [[nodiscard]] bool ConnectionEncrypted() const override;
    [[nodiscard]] bool ServerOnLoopback() const override;
    [[nodiscard]] std::optional<std::uint64_t> MessageSize() override;
    void SessionFailed(const MailFailure& failure) override;
    void SessionReady() override;
    // all sinks
    void Info(SendMailInfo info, const std::string& text) override;
    // MessageSink
    [[nodiscard]] bool WantsInfo() const override { return static_cast<bool>(OnMailInfo); }
    bool FeedData(std::string& data) override;

    std::unique_ptr<TStarSocket> socket_;
    std::unique_ptr<QObject> context_; // posted completions die with the component
    std::unique_ptr<LoopTimer> deadline_;
    std::unique_ptr<LoopTimer> drainPoll_; // no event tells that the system's queue shrank
    std::string server_;
    MailFailure failure_;
    bool sending_ = false;
    bool finished_ = false;
    bool completionPosted_ = false;
    bool producing_ = false; // inside the writer, which may report progress
    bool dotGiven_ = false;     // the whole message, "." included, went to the socket layer
    bool dotInNetwork_ = false; // ... and left this process
    bool dotTaken_ = false;     // ... and the server took every byte of it
    std::size_t untaken_ = 0;   // of the message, at the last look
    int pendingReplyCode_ = 0; // of a multi-line reply under way
    SmtpDialogue dialogue_{*this};
    SmtpSubmission submission_{*this};
    std::vector<std::string> replyLines_; // of a multi-line reply the session set-up reads whole
    bool tlsAgreed_ = false; // the server agreed to STARTTLS; the handshake starts once its reply is read
    ReplyAccumulator replies_;
    std::vector<std::optional<AttachmentRecord>> records_;
    std::unique_ptr<MessageWriter> writer_;
    std::string piece_;
};

} // namespace kitemail

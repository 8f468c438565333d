#include "mail/send_mail.h"

#include "platform/event_loop.h"
#include "text/encoders.h"

#include <QObject>

#include <algorithm>
#include <limits>
#include <unistd.h>

namespace kitemail {
namespace {

// Taken from the socket layer at a time; replies are short.
constexpr std::size_t kReceiveBytes = 4096;
// Of an over-long reply line, what the error text quotes.
constexpr std::size_t kQuotedLineBytes = 512;
// Lines of one reply read whole (EHLO's capabilities); real servers send a
// dozen or two.
constexpr std::size_t kMaxReplyLines = 200;
// The message's own end, ".\r\n", which SIZE does not count (RFC 1870 3).
constexpr std::uint64_t kDotLineBytes = 3;
// How often the system's send queue is looked at once the whole message has
// been handed over.
constexpr std::chrono::milliseconds kDrainPollInterval{25};

// Counts a message without sending it, for the server's SIZE limit.
class CountingSink final : public MessageSink {
public:
    void Info(SendMailInfo, const std::string&) override {}
    [[nodiscard]] bool WantsInfo() const override { return false; }
    bool FeedData(std::string&) override { return false; }
};

std::string LocalHostName()
{
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

} // namespace

SendMail::SendMail(std::unique_ptr<TStarSocket> socket)
    : socket_(std::move(socket)), context_(std::make_unique<QObject>()), deadline_(std::make_unique<LoopTimer>()),
      drainPoll_(std::make_unique<LoopTimer>())
{
    socket_->OnSocketLookup = [this] { Resolved(); };
    socket_->OnSocketConnect = [this] { ServerConnected(); };
    socket_->OnSocketRead = [this] { ServerReadable(); };
    socket_->OnSocketWrite = [this] { PumpMessage(); };
    socket_->OnSocketClose = [this] { ServerClosed(); };
    socket_->OnSocketTimeout = [this] { Fail(SendMailError::Connection_Timeout, std::string(kTextOwnTimeout)); };
    socket_->OnSocketError = [this](std::uint16_t wsaError) { FailSocket(wsaError); };
    socket_->OnSocketEncrypted = [this] { TlsEstablished(); };
    socket_->OnSocketTlsError = [this](const TlsFailure& failure) { FailTls(failure); };
}

SendMail::~SendMail()
{
    deadline_->Stop();
    drainPoll_->Stop();
    socket_->CloseSocket();
}

void SendMail::SetSMTP_Server(std::string_view server)
{
    if (!server.empty()) {
        server_ = std::string(server);
    }
}

void SendMail::SetAction(TMailAction action)
{
    switch (action) {
    case TMailAction::Send_Mail:
        Send();
        break;
    case TMailAction::Cancel_SendMail:
        if (completionPosted_ || (sending_ && dialogue_.Accepted())) {
            return; // the server has the message (or the request has ended): that stands
        }
        if (sending_ && DotMayHaveArrived()) {
            FailUnconfirmed(); // stopping now cannot take the message back
            return;
        }
        failure_ = {SendMailError::Transaction_Canceled, {}, {}, {}};
        Finish();
        break;
    case TMailAction::None:
        break;
    }
}

void SendMail::AddAttachment(const AttachmentRecord& record)
{
    if (Attachments.size() >= kMaxAttachments) {
        return;
    }
    records_.resize(Attachments.size() + 1);
    records_.back() = record;
    Attachments.push_back(record.fileName);
}

void SendMail::ClearAttachments()
{
    records_.clear();
    Attachments.clear();
}

const AttachmentRecord* SendMail::AttachmentRecordAt(std::size_t i) const noexcept
{
    return i < records_.size() && records_[i].has_value() ? &*records_[i] : nullptr;
}

SmtpDialogue::Envelope SendMail::MakeEnvelope(int skipTo, int skipCc, int skipBcc) const
{
    SmtpDialogue::Envelope env;
    env.fromAddress = FROM_Address;
    env.firstRecipient = TO_Address;
    env.listTo = &ListTo;
    env.listCc = &Listcc;
    env.listBcc = &ListBcc;
    env.skipTo = skipTo;
    env.skipCc = skipCc;
    env.skipBcc = skipBcc;
    return env;
}

void SendMail::Send()
{
    if (sending_) {
        Info(SendMailInfo::Info_Busy, {});
        return;
    }
    finished_ = false;
    sending_ = true;
    failure_ = {};
    pendingReplyCode_ = 0;
    writer_.reset();
    dotGiven_ = dotInNetwork_ = dotTaken_ = false;
    untaken_ = 0;
    int skipTo = 0;
    int skipCc = 0;
    int skipBcc = 0;
    if (TO_Address.empty()) {
        const auto takeFirst = [this](const std::vector<std::string>& list, int& skip) {
            if (TO_Address.empty() && !list.empty()) {
                RecipientEntry r = SplitRecipient(list.front());
                TO_Address = std::move(r.address);
                TO_Name = std::move(r.name);
                skip = 1;
            }
        };
        takeFirst(ListTo, skipTo);
        takeFirst(Listcc, skipCc);
        takeFirst(ListBcc, skipBcc);
    } else {
        ListTo.insert(ListTo.begin(), TO_Address + "|" + TO_Name);
        skipTo = 1;
    }
    if (TO_Address.empty()) {
        Fail(SendMailError::No_Destination, std::string(kTextNoDestination));
        return;
    }
    if (const auto unsafe = FindUnsafeField()) {
        Fail(SendMailError::Invalid_Address, std::string(*unsafe));
        return;
    }
    replies_.Clear();
    if (socket_->Connected()) {
        // A connection kept open after the last message.
        ArmDeadline(ReplyTimeout);
        dialogue_.Resume(MakeEnvelope(skipTo, skipCc, skipBcc));
        return;
    }
    SmtpDialogue::Envelope env = MakeEnvelope(skipTo, skipCc, skipBcc);
    env.helloName = LocalHostName();
    env.extendedSession = Submission.Extended();
    dialogue_.Begin(std::move(env));
    submission_.Stop();
    tlsAgreed_ = false;
    replyLines_.clear();
    if (!IsAddressLiteral(server_)) {
        Info(SendMailInfo::Info_Resolving, server_);
    }
    if (Submission.security == SmtpSecurity::Tls) {
        Info(SendMailInfo::Info_TlsStarting, {});
        socket_->ConnectEncryptedTo(server_, SMTP_Port, TimeoutConnect, Submission.tls);
        return;
    }
    socket_->ConnectTo(server_, SMTP_Port, TimeoutConnect);
}

void SendMail::Load(const OutgoingMail& mail)
{
    MailText = {MailTextFor(mail.body)};
    Date = mail.date;
    Headers = MailHeaders(mail.messageId, mail.replyTo);
    FROM_Address = mail.from;
    // An empty name clears the one an earlier mail may have left.
    FROM_Name = mail.senderName.empty() ? std::string() : EncodeJisWord(mail.senderName);
    ListTo = {mail.to};
    Listcc.clear();
    ListBcc.clear();
    TO_Address.clear();
    Subject = EncodeJisWord(mail.subject);
    SetSMTP_Server(mail.server);
    ClearAttachments();
    for (const std::string& path : mail.attachments) {
        AddAttachment(AttachmentRecordFor(path, mail.animation));
    }
}

std::optional<std::string_view> SendMail::FindUnsafeField() const
{
    const auto badValue = [](std::string_view v) { return HasControlByte(v, true); };
    // An empty sender is the null reverse-path, MAIL FROM:<>.
    if ((!FROM_Address.empty() && !IsSafeEnvelopeAddress(FROM_Address)) || !IsSafeEnvelopeAddress(TO_Address)) {
        return kTextInvalidAddress;
    }
    for (const auto* list : {&ListTo, &Listcc, &ListBcc}) {
        for (const std::string& entry : *list) {
            const RecipientEntry r = SplitRecipient(entry);
            if (!IsSafeEnvelopeAddress(r.address)) {
                return kTextInvalidAddress;
            }
            if (badValue(r.name)) {
                return kTextInvalidHeader;
            }
        }
    }
    if (badValue(FROM_Name) || badValue(TO_Name) || badValue(Subject) || badValue(Date)) {
        return kTextInvalidHeader;
    }
    for (const std::string& h : Headers) {
        if (badValue(h)) {
            return kTextInvalidHeader;
        }
    }
    for (std::size_t i = 0; i < Attachments.size(); ++i) {
        const AttachmentRecord* rec = AttachmentRecordAt(i);
        if (rec == nullptr) {
            continue; // base64 parts carry the file name as an encoded word
        }
        if (badValue(rec->name) || badValue(rec->contentType) || badValue(rec->disposition) ||
            badValue(rec->description)) {
            return kTextInvalidHeader;
        }
        if (rec->AttachmentEncoding != kEncodingBase64 && badValue(PlainFileName(rec->fileName))) {
            return kTextInvalidHeader;
        }
    }
    return std::nullopt;
}

void SendMail::Resolved()
{
    Info(SendMailInfo::Info_Resolved, socket_->AddressText());
}

void SendMail::ServerConnected()
{
    Info(SendMailInfo::Info_Connected, socket_->AddressText());
    if (socket_->Encrypted()) {
        Info(SendMailInfo::Info_TlsEstablished, {});
    }
    replies_.Clear();
    ArmDeadline(ReplyTimeout);
}

void SendMail::ServerReadable()
{
    for (;;) {
        const std::string bytes = socket_->ReceiveData(kReceiveBytes);
        if (bytes.empty()) {
            return;
        }
        const std::vector<std::string> lines = replies_.Feed(bytes);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            HandleLine(lines[i]);
            if (!socket_->Connected()) {
                return; // the request ended on this line
            }
            if (tlsAgreed_) {
                // RFC 3207 5: what came with the agreement was sent in the
                // clear and could have been put there by anyone on the way.
                if (i + 1 < lines.size() || !replies_.Pending().empty() || replies_.Overflowed()) {
                    FailTls({{}, {}, "the server sent more after agreeing to STARTTLS"});
                    return;
                }
                tlsAgreed_ = false;
                ArmDeadline(ReplyTimeout);
                socket_->StartTls(Submission.tls);
                return;
            }
        }
        if (replies_.Overflowed()) {
            // Never cut into pieces: each would be taken for a reply.
            const std::string start = replies_.Pending().substr(0, kQuotedLineBytes);
            if (dialogue_.Accepted()) {
                EndDelivered();
            } else {
                Refused(start);
            }
            return;
        }
    }
}

void SendMail::HandleLine(const std::string& line)
{
    Info(SendMailInfo::Info_Received, line);
    if (!sending_ || completionPosted_) {
        return; // an idle kept connection: nothing was asked
    }
    if (dialogue_.Accepted()) {
        // The reply to QUIT, whatever it says: the message is delivered.
        EndDelivered();
        return;
    }
    const std::optional<ReplyLine> reply = ParseReplyLine(line);
    if (!reply || (pendingReplyCode_ != 0 && reply->code != pendingReplyCode_)) {
        Refused(line);
        return;
    }
    const bool whole = submission_.Running();
    if (whole) {
        if (replyLines_.size() >= kMaxReplyLines) {
            Refused(line);
            return;
        }
        replyLines_.push_back(line);
    }
    if (!reply->last) {
        pendingReplyCode_ = reply->code; // its deadline runs on: not restarted by each line
        return;
    }
    pendingReplyCode_ = 0;
    deadline_->Stop();
    drainPoll_->Stop();
    if (whole) {
        const std::vector<std::string> lines = std::move(replyLines_);
        replyLines_.clear();
        submission_.HandleReply(reply->code, lines);
        return;
    }
    dialogue_.HandleReply(reply->code, line);
}

void SendMail::ServerClosed()
{
    Info(SendMailInfo::Info_Disconnected, {});
    if (!sending_ || completionPosted_) {
        return; // a kept connection closed while idle: no request ends
    }
    if (dialogue_.Accepted()) {
        EndDelivered();
        return;
    }
    if (DotMayHaveArrived()) {
        FailUnconfirmed();
        return;
    }
    Fail(SendMailError::Premature_Disconnect, std::string(kTextPrematureDisconnect));
}

void SendMail::FailSocket(std::uint16_t wsaError)
{
    if (!sending_ || completionPosted_) {
        return; // a kept connection failed while idle: no request ends
    }
    if (dialogue_.Accepted()) {
        EndDelivered(); // a reset after acceptance takes nothing back
        return;
    }
    if (DotMayHaveArrived()) {
        FailUnconfirmed();
        return;
    }
    const MappedSocketError mapped = MapSocketError(wsaError);
    Fail(mapped.error, std::string(mapped.text));
}

void SendMail::Fail(SendMailError error, std::string text, std::string serverLine)
{
    Fail(MailFailure{error, std::move(text), std::move(serverLine), {}});
}

void SendMail::FailTls(const TlsFailure& failure)
{
    if (!sending_ || completionPosted_) {
        return;
    }
    Fail(MailFailure{SendMailError::Tls_Failure, TlsFailureText(failure), {}, TlsFailureMessage(failure)});
}

void SendMail::Fail(MailFailure failure)
{
    if (finished_ || completionPosted_) {
        return;
    }
    failure_ = std::move(failure);
    // Ended before anyone is told, so that nothing of this request can run
    // while a message box waits for the user.
    Finish();
    if (OnMailError) {
        OnMailError(*this, failure_.code, failure_.text);
    }
}

void SendMail::Finish()
{
    if (finished_) {
        return;
    }
    TO_Address.clear();
    TO_Name.clear();
    ListTo.clear();
    Listcc.clear();
    ListBcc.clear();
    finished_ = true;
    submission_.Stop();
    tlsAgreed_ = false;
    deadline_->Stop();
    drainPoll_->Stop();
    if (!producing_) {
        writer_.reset(); // else it goes once it has returned
    }
    socket_->CloseSocket();
    PostCompletion();
}

void SendMail::EndDelivered()
{
    deadline_->Stop();
    drainPoll_->Stop();
    socket_->CloseSocket();
    PostCompletion();
}

void SendMail::PostCompletion()
{
    if (completionPosted_) {
        return; // one OnDone per request, however many ways it ended
    }
    completionPosted_ = true;
    PostCall(context_.get(), [this] { Completed(); });
}

void SendMail::Completed()
{
    completionPosted_ = false;
    sending_ = false;
    deadline_->Stop();
    drainPoll_->Stop();
    if (OnDone) {
        OnDone(*this);
    }
}

void SendMail::SendCommand(const std::string& line)
{
    const std::string bytes = line + "\r\n";
    Info(SendMailInfo::Info_Sending, bytes);
    socket_->SendData(bytes);
    ArmDeadline(ReplyTimeout);
}

MessageContent SendMail::Content()
{
    MessageContent content;
    content.fromName = FROM_Name;
    content.fromAddress = FROM_Address;
    content.subject = Subject;
    content.date = Date;
    content.listTo = &ListTo;
    content.listCc = &Listcc;
    content.headers = &Headers;
    content.mailText = &MailText;
    content.attachments = &Attachments;
    content.records = &records_;
    return content;
}

void SendMail::WriteMessage()
{
    writer_ = std::make_unique<MessageWriter>(static_cast<MessageSink&>(*this), Content());
    ArmDeadline(ReplyTimeout);
    PumpMessage();
}

// Feeds the message to the socket layer as the network takes it: only
// while little of it waits, so a message of any size needs little memory,
// and in pieces, so the loop (and the abort button) runs in between.
void SendMail::PumpMessage()
{
    if (dotGiven_ && !dotTaken_) {
        WatchTheEnd();
        return;
    }
    if (writer_ == nullptr || producing_) {
        return;
    }
    // The network took more of the message: the server is still reading
    // (RFC 5321 4.5.3.2.5, the data-block time-out).
    ArmDeadline(ReplyTimeout);
    if (socket_->QueuedBytes() > kQueueLowWater) {
        return;
    }
    while (writer_ != nullptr && socket_->QueuedBytes() <= kQueueLowWater) {
        piece_.clear();
        producing_ = true;
        const bool more = writer_->Produce(piece_, kWritePieceBytes);
        producing_ = false;
        if (finished_) {
            writer_.reset(); // cancelled from a progress report
            return;
        }
        if (writer_->Failed()) {
            // No "." goes out, so the server drops what it has of the message.
            Fail(SendMailError::Attachment_Unreadable, std::string(kTextAttachmentUnreadable) + writer_->Failure());
            return;
        }
        if (!piece_.empty()) {
            Info(SendMailInfo::Info_Sending, piece_);
            if (finished_) {
                return;
            }
            socket_->SendData(piece_);
        }
        if (!more) {
            writer_.reset();
            dialogue_.MessageWritten();
            dotGiven_ = true;
            untaken_ = std::numeric_limits<std::size_t>::max();
            WatchTheEnd();
            return;
        }
    }
}

void SendMail::Refused(const std::string& serverLine)
{
    Fail(SendMailError::Unexpected_Response,
         std::string(kTextUnexpectedResponse) + PrintableServerLine(serverLine), serverLine);
}

void SendMail::Accepted()
{
    if (KeepConnectionOpen) {
        deadline_->Stop();
        PostCompletion();
        return;
    }
    SendCommand("QUIT");
    dialogue_.QuitSent();
}

void SendMail::Info(SendMailInfo info, const std::string& text)
{
    if (OnMailInfo) {
        OnMailInfo(*this, info, text);
    }
    if (OnSessionInfo && info >= SendMailInfo::Info_TlsStarting && info <= SendMailInfo::Info_Authenticated) {
        OnSessionInfo(*this, info);
    }
}

void SendMail::OpenSession()
{
    submission_.Begin(Submission, LocalHostName());
}

void SendMail::SendSecret(const std::string& line, const std::string& shownAs)
{
    Info(SendMailInfo::Info_Sending, shownAs + "\r\n");
    socket_->SendData(line + "\r\n");
    ArmDeadline(ReplyTimeout);
}

void SendMail::StartTls()
{
    tlsAgreed_ = true; // started once the rest of what was received has been looked at
}

void SendMail::TlsEstablished()
{
    if (!sending_ || finished_) {
        return;
    }
    deadline_->Stop();
    submission_.Encrypted();
}

bool SendMail::ConnectionEncrypted() const
{
    return socket_->Encrypted();
}

bool SendMail::ServerOnLoopback() const
{
    return IsLoopbackAddress(socket_->AddressText());
}

std::optional<std::uint64_t> SendMail::MessageSize()
{
    if (OnFeedData) {
        return std::nullopt; // its data can be asked for once only
    }
    CountingSink counter;
    MessageWriter writer(counter, Content());
    std::uint64_t total = 0;
    std::string piece;
    for (bool more = true; more;) {
        piece.clear();
        more = writer.Produce(piece, kWritePieceBytes);
        total += piece.size();
    }
    if (writer.Failed()) {
        return std::nullopt; // the real write reports it
    }
    return total > kDotLineBytes ? total - kDotLineBytes : 0;
}

void SendMail::SessionFailed(const MailFailure& failure)
{
    Fail(failure);
}

void SendMail::SessionReady()
{
    dialogue_.SessionOpened();
}

bool SendMail::FeedData(std::string& data)
{
    if (!OnFeedData) {
        return false;
    }
    OnFeedData(*this, data);
    return true;
}

void SendMail::ArmDeadline(std::chrono::milliseconds limit)
{
    deadline_->Start(limit, true, [this] { DeadlinePassed(); });
}

void SendMail::DeadlinePassed()
{
    if (!sending_ || completionPosted_) {
        return;
    }
    if (dialogue_.Accepted()) {
        EndDelivered(); // delivered; only the reply to QUIT is missing
        return;
    }
    if (dotTaken_) {
        FailUnconfirmed();
        return;
    }
    // While the message is written, only a server that stopped taking it
    // lets the deadline pass: it does not have the ".".
    const bool writing = writer_ != nullptr || dotGiven_;
    Fail(SendMailError::Connection_Timeout, std::string(writing ? kTextDataBlockTimeout : kTextOwnTimeout));
}

void SendMail::WatchTheEnd()
{
    if (finished_ || completionPosted_ || dotTaken_) {
        return;
    }
    if (socket_->QueuedBytes() == 0) {
        dotInNetwork_ = true;
    }
    const std::size_t untaken = socket_->UntakenBytes();
    if (untaken == 0) {
        dotTaken_ = true;
        drainPoll_->Stop();
        ArmDeadline(DataEndTimeout); // RFC 5321 4.5.3.2.6, from the "." taken whole
        return;
    }
    if (untaken < untaken_) {
        ArmDeadline(ReplyTimeout); // still reading: the data-block time-out starts again
    }
    untaken_ = untaken;
    if (!drainPoll_->IsActive()) {
        drainPoll_->Start(kDrainPollInterval, false, [this] { WatchTheEnd(); });
    }
}

bool SendMail::DotMayHaveArrived() const
{
    return dotGiven_ && (dotInNetwork_ || socket_->QueuedBytes() == 0);
}

void SendMail::FailUnconfirmed()
{
    Fail(SendMailError::Delivery_Unconfirmed, std::string(kTextUnconfirmed));
}

} // namespace kitemail

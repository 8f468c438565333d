#include "mail/send_mail.h"

#include "platform/event_loop.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>

namespace kitemail {
namespace {

constexpr std::size_t kReceiveBytes = 2048;
// How long one blocked write waits before looking at the queue again; the
// reply watchdog limits the whole wait.
constexpr std::chrono::milliseconds kWritableWait{500};

bool IsDottedAddress(std::string_view text)
{
    in_addr addr{};
    return inet_aton(std::string(text).c_str(), &addr) != 0;
}

// Control bytes would end a command or a header line early, letting a value
// inject commands or headers of its own.
bool HasControlByte(std::string_view s, bool allowTab)
{
    return std::any_of(s.begin(), s.end(), [allowTab](char c) {
        const auto b = static_cast<unsigned char>(c);
        return (b < 0x20 && !(allowTab && b == '\t')) || b == 0x7F;
    });
}

} // namespace

SendMail::SendMail() : watchdog_(std::make_unique<LoopTimer>())
{
    OnUserMessage = [this](int message) {
        if (message == kCompletionMessage) {
            Completed();
        }
    };
}

SendMail::~SendMail()
{
    watchdog_->Stop();
    OnSocketClose = nullptr;
    OnSocketRead = nullptr;
    OnSocketConnect = nullptr;
    OnSocketTimeout = nullptr;
}

void SendMail::SetSMTP_Server(std::string_view server)
{
    server_ = std::string(server);
    if (server.empty()) {
        return;
    }
    if (IsDottedAddress(server)) {
        ServerAddressText = server_;
        ServerHostName.clear();
    } else {
        ServerHostName = server_;
        ServerAddressText.clear();
    }
}

void SendMail::SetAction(TMailAction action)
{
    switch (action) {
    case TMailAction::Send_Mail:
        Send();
        break;
    case TMailAction::Cancel_SendMail:
        lastError_ = SendMailError::Transaction_Canceled;
        Finish();
        break;
    case TMailAction::None:
        break;
    }
}

void SendMail::SetWinsockStarted(bool started)
{
    if (started) {
        (void)StartWinsock();
    } else {
        UnloadWinsock();
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

SmtpDialogue::Envelope SendMail::MakeEnvelope(int skipTo, int skipCc, int skipBcc)
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
    env.keepConnectionOpen = KeepConnectionOpen;
    return env;
}

void SendMail::Send()
{
    if (sending_) {
        Info(SendMailInfo::Info_Busy, {});
        return;
    }
    OnSocketTimeout = [this] { ConnectTimedOut(); };
    finished_ = false;
    sending_ = true;
    lastError_ = SendMailError::No_Error;
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
        ReportError(SendMailError::No_Destination, kTextNoDestination);
        Finish();
        return;
    }
    if (const auto unsafe = FindUnsafeField()) {
        ReportError(SendMailError::Invalid_Address, *unsafe);
        Finish();
        return;
    }

    if (Connected()) {
        if (PeerStillOpen()) {
            // A connection kept open after the last message: go on with MAIL
            // FROM, there is no second greeting or HELO.
            dialogue_.Begin(MakeEnvelope(skipTo, skipCc, skipBcc), SmtpDialogue::AwaitHelo);
            replies_.Clear();
            HandleReply(" ");
            return;
        }
        CloseSocket(); // the server has gone meanwhile: start afresh
    }

    SetWinsockStarted(true);
    if (!WinsockStarted()) {
        ReportError(SendMailError::Winsock_NotInitialized, kTextStartFailed);
        Finish();
        return;
    }
    OnSocketConnect = [this] { ServerConnected(); };
    OnSocketRead = [this] { ServerReadable(); };
    OnSocketClose = [this] { ServerClosed(); };
    CreateSocket();
    if (CheckSocketError()) {
        return;
    }
    SmtpDialogue::Envelope env = MakeEnvelope(skipTo, skipCc, skipBcc);
    env.helloName = LocalHostName();
    dialogue_.Begin(std::move(env), SmtpDialogue::AwaitGreeting);
    // Bounds the lookup, the connect and the wait for the greeting, also
    // when the socket layer's own countdowns are off.
    ArmWatchdog(ReplyTimeout);
    if (!ServerAddressText.empty()) {
        SetAddress(ServerAddressText);
        SetPort(SMTP_Port);
        ConnectSocket();
        (void)CheckSocketError();
    } else {
        Info(SendMailInfo::Info_Resolving, ServerHostName);
        LookupHost(ServerHostName);
        (void)CheckSocketError();
    }
}

std::optional<std::string_view> SendMail::FindUnsafeField() const
{
    const auto badAddress = [](std::string_view a) { return HasControlByte(a, false); };
    const auto badValue = [](std::string_view v) { return HasControlByte(v, true); };
    if (badAddress(FROM_Address) || badAddress(TO_Address)) {
        return kTextInvalidAddress;
    }
    for (const auto* list : {&ListTo, &Listcc, &ListBcc}) {
        for (const std::string& entry : *list) {
            const RecipientEntry r = SplitRecipient(entry);
            if (badAddress(r.address)) {
                return kTextInvalidAddress;
            }
            if (badValue(r.name)) {
                return kTextInvalidHeader;
            }
        }
    }
    if (badValue(FROM_Name) || badValue(TO_Name) || badValue(Subject)) {
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

void SendMail::LookupDone()
{
    TStarSocket::LookupDone();
    if (finished_ || CheckSocketError()) {
        return;
    }
    SetAddressFromLookup();
    SetPort(SMTP_Port);
    ServerAddressText = AddressText();
    Info(SendMailInfo::Info_Resolved, ServerAddressText);
    ConnectSocket();
    (void)CheckSocketError();
}

void SendMail::ServerConnected()
{
    if (CheckSocketError()) {
        return;
    }
    Info(SendMailInfo::Info_Connected, ServerAddressText);
    replies_.Clear();
    ArmWatchdog(ReplyTimeout);
}

void SendMail::ServerReadable()
{
    if (replyDepth_ > 0 || finished_) {
        return;
    }
    std::array<char, kReceiveBytes> buf{};
    while (!finished_) {
        const std::size_t n = ReceiveData(buf.data(), buf.size());
        if (CheckSocketError() || n == 0) {
            return;
        }
        if (watchdog_->IsActive()) {
            ArmWatchdog(watchdogLimit_); // the server is talking
        }
        for (const std::string& line : replies_.Feed(std::string_view(buf.data(), n))) {
            HandleReply(line);
            if (finished_) {
                return;
            }
        }
    }
}

void SendMail::HandleReply(std::string_view line)
{
    ++replyDepth_;
    dialogue_.HandleReply(line);
    --replyDepth_;
}

void SendMail::ServerClosed()
{
    if (!sending_ || finished_) {
        // A connection kept open after a delivered message, closed while
        // idle: nothing to report but the close itself.
        Info(SendMailInfo::Info_Disconnected, {});
        return;
    }
    if (CheckSocketError()) {
        return;
    }
    Info(SendMailInfo::Info_Disconnected, {});
    if (!dialogue_.QuitSent()) {
        ReportError(SendMailError::Premature_Disconnect, kTextPrematureDisconnect);
        Finish();
        return;
    }
    watchdog_->Stop();
    PostCompletion();
}

void SendMail::ConnectTimedOut()
{
    ReportError(SendMailError::Connection_Timeout, kTextOwnTimeout);
    Finish();
}

bool SendMail::CheckSocketError()
{
    if (finished_) {
        return false;
    }
    if (SocketError == 0) {
        lastError_ = SendMailError::No_Error;
        return false;
    }
    const MappedSocketError mapped = MapSocketError(SocketError);
    ReportError(mapped.error, mapped.text);
    Finish();
    return true;
}

void SendMail::ReportError(SendMailError error, std::string_view text)
{
    lastError_ = error;
    if (OnMailError) {
        OnMailError(*this, error, std::string(text));
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
    watchdog_->Stop();
    CloseSocket();
    PostCompletion();
}

void SendMail::PostCompletion()
{
    if (completionPosted_) {
        return; // one OnDone per request, however many ways it ended
    }
    completionPosted_ = true;
    PostUserMessage(kCompletionMessage);
}

void SendMail::Completed()
{
    if (replyDepth_ > 0) {
        // A pump inside the write of a message got here: the request's
        // frames are still on the stack, so OnDone (which may start the next
        // request) waits until they have unwound.
        PostUserMessage(kCompletionMessage);
        return;
    }
    completionPosted_ = false;
    sending_ = false;
    watchdog_->Stop();
    if (OnDone) {
        OnDone(*this);
    }
}

void SendMail::SendCommand(const std::string& line)
{
    SendString(line + "\r\n");
    Flush();
    if (!finished_) {
        ArmWatchdog(ReplyTimeout);
    }
}

void SendMail::WriteMessage()
{
    MessageContent content;
    content.fromName = FROM_Name;
    content.fromAddress = FROM_Address;
    content.subject = Subject;
    content.listTo = &ListTo;
    content.listCc = &Listcc;
    content.headers = &Headers;
    content.mailText = &MailText;
    content.attachments = &Attachments;
    content.records = &records_;
    MessageWriter writer(*this, content);
    ArmWatchdog(ReplyTimeout);
    writer.Write();
    Flush();
    if (!finished_) {
        ArmWatchdog(DataEndTimeout);
    }
}

void SendMail::Fail(SendMailError error, const std::string& text)
{
    ReportError(error, text);
    Finish();
}

void SendMail::AcceptedKeepOpen()
{
    watchdog_->Stop();
    PostCompletion();
}

void SendMail::Info(SendMailInfo info, const std::string& text)
{
    if (OnMailInfo) {
        OnMailInfo(*this, info, text);
    }
}

void SendMail::Write(std::string_view bytes)
{
    SendString(bytes);
}

bool SendMail::FeedData(std::string& data)
{
    if (!OnFeedData) {
        return false;
    }
    OnFeedData(*this, data);
    return true;
}

void SendMail::SendString(std::string_view text)
{
    if (finished_) {
        return;
    }
    if (OnMailInfo) {
        Info(SendMailInfo::Info_Sending, std::string(text));
    }
    outBuffer_.append(text);
    if (outBuffer_.size() >= kWriteChunkBytes) {
        Flush();
    }
}

void SendMail::Flush()
{
    std::size_t sent = 0;
    while (sent < outBuffer_.size()) {
        // Keeps the windows alive and lets the abort button end the request.
        PumpEvents();
        if (finished_) {
            break;
        }
        const std::size_t n = SendData(outBuffer_.data() + sent, outBuffer_.size() - sent);
        if (CheckSocketError()) {
            break;
        }
        if (n == 0) {
            WaitWritable(kWritableWait);
            continue;
        }
        sent += n;
        ArmWatchdog(watchdogLimit_.count() > 0 ? watchdogLimit_ : ReplyTimeout);
    }
    outBuffer_.clear();
}

void SendMail::ArmWatchdog(std::chrono::milliseconds limit)
{
    watchdogLimit_ = limit;
    watchdog_->Start(limit, true, [this] { WatchdogExpired(); });
}

void SendMail::WatchdogExpired()
{
    if (!sending_ || finished_) {
        return;
    }
    if (dialogue_.QuitSent()) {
        // Delivered; only the server's close after QUIT is missing.
        CloseSocket();
        Info(SendMailInfo::Info_Disconnected, {});
        PostCompletion();
        return;
    }
    ReportError(SendMailError::Connection_Timeout, kTextOwnTimeout);
    Finish();
}

} // namespace kitemail

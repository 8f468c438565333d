#include "send/send_workflow.h"

#include "accounting/counter.h"
#include "accounting/terminal_type.h"
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "platform/user_interface.h"
#include "send/attachment_commands.h"
#include "send/history_record.h"
#include "send/message_composer.h"
#include "send/outgoing_mail.h"
#include "settings/address_book.h"
#include "settings/settings.h"
#include "text/encoders.h"

#include <algorithm>
#include <chrono>

namespace kitemail {
namespace {

// RFC 5321 4.5.3.1.6: a text line is at most 998 octets plus CR LF; the
// conversion to ISO-2022-JP adds escapes, so the typed line is held lower,
// and the converted one is held to the RFC's own limit too.
constexpr std::size_t kMaxBodyLineBytes = 990;
constexpr std::size_t kMaxWireLineBytes = 998;
constexpr std::size_t kMaxAttachmentNameBytes = 255;
// A subject goes out folded into encoded words, so no line limits it; this
// keeps its header well inside what mail systems take (Postfix: 100 KB of
// headers) and its history line readable: 2,000 full-width characters.
constexpr std::size_t kMaxSubjectBytes = 4000;
// A cancelled mail still ends with the component's completion; it comes
// within moments, and the next mail must not start before it.
constexpr std::chrono::seconds kCancelSettleLimit{10};

std::size_t CharacterCount(std::string_view sjisText)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < sjisText.size(); ++n) {
        i += (sjis::IsLeadByte(sjisText[i]) && i + 1 < sjisText.size()) ? 2 : 1;
    }
    return n;
}

bool PinLengthOk(std::string_view pin)
{
    const std::size_t n = CharacterCount(pin);
    return n == 0 || n == 4;
}

std::string CutToCharacters(std::string text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + ((sjis::IsLeadByte(text[end]) && end + 1 < text.size()) ? 2 : 1);
        if (next > maxBytes) {
            break;
        }
        end = next;
    }
    text.resize(end);
    return text;
}

bool HasNoaExtension(std::string_view path)
{
    return sjis::EndsWithIgnoringAsciiCase(path, ".noa");
}

std::string UnmappableList(const std::vector<char32_t>& chars)
{
    std::string out;
    for (const char32_t c : chars) {
        if (!out.empty()) {
            out += ", ";
        }
        out += CodePointName(c);
    }
    return out;
}

// "髙 (U+9AD9), ..." for code page 932 characters.
std::string NamedCharacters(const std::vector<std::string>& chars)
{
    std::string out;
    for (const std::string& c : chars) {
        if (!out.empty()) {
            out += ", ";
        }
        out += c + " (" + CodePointName(DecodeSjis(c).toUcs4().value(0)) + ")";
    }
    return out;
}

// How a send the user stopped ended; it replaces whatever step was shown.
const char* const kUserAbortStatus = "送信中止：ユーザーにより、処理を中断しました。";
const char* const kLongLineStatus = "本文エラー：適切に改行してください。";
const char* const kLongLineMessage = "本文に991Byte以上の行が存在します。適切に改行してください。";

} // namespace

SendWorkflow::SendWorkflow(Settings& settings, MessageComposer& composer, UserInterface& ui, SendView& view,
                           std::filesystem::path historyDir)
    : settings_(settings), composer_(composer), ui_(ui), view_(view), historyDir_(std::move(historyDir))
{
    mail_.OnMailError = [this](SendMail&, SendMailError error, const std::string&) { ReportMailError(error); };
    mail_.OnDone = [this](SendMail&) { MailDone(); };
    mail_.OnSessionInfo = [this](SendMail&, SendMailInfo info) { SessionStep(info); };
    // The window's start and every send command come this way: the place
    // to sweep what a killed writer left in the history folder.
    (void)RemoveRecordLeftovers(historyDir_);
}

SendWorkflow::~SendWorkflow()
{
    mail_.OnMailError = nullptr;
    mail_.OnDone = nullptr;
    mail_.OnSessionInfo = nullptr;
}

void SendWorkflow::ShowSending(const std::string& status, std::size_t part, std::size_t parts)
{
    outcome_ = MailOutcome{};
    outcome_.part = part;
    outcome_.parts = parts;
    sendingStatus_ = status;
    ui_.SetStatusText(status);
}

// The slow steps of a secured session show while they run; then the mail's
// own status again.
void SendWorkflow::SessionStep(SendMailInfo info)
{
    switch (info) {
    case SendMailInfo::Info_TlsStarting: ui_.SetStatusText(Sj("TLS接続中...")); break;
    case SendMailInfo::Info_Authenticating: ui_.SetStatusText(Sj("認証中...")); break;
    case SendMailInfo::Info_TlsEstablished:
    case SendMailInfo::Info_Authenticated: ui_.SetStatusText(sendingStatus_); break;
    default: break;
    }
}

bool SendWorkflow::AskSmtpPassword()
{
    smtpPassword_ = settings_.AuthPass;
    if (settings_.AuthMethod == SmtpAuth::None || !smtpPassword_.empty()) {
        return true;
    }
    std::optional<std::string> typed = ui_.PromptSmtpPassword(Sj("SMTPサーバーのパスワードを入力して下さい。"));
    if (!typed) {
        ui_.SetStatusText(Sj("送信中止：SMTP認証のパスワードが入力されませんでした。"));
        return false;
    }
    smtpPassword_ = std::move(*typed);
    return true;
}

void SendWorkflow::SetPanel(bool enabled)
{
    view_.SetMainPanelEnabled(enabled);
}

void SendWorkflow::Refuse(const std::string& status, const std::string& message)
{
    kitemail::Refuse(ui_, settings_.BeepOnMessage, status, message);
}

bool SendWorkflow::RunChecks()
{
    const std::string& body = composer_.Text(TextArea::Body).bytes;
    const std::int32_t type = composer_.TypeState().CurrentTerminalType;
    if (body.empty() && settings_.CheckBeforeSend) {
        if (!Ask(ui_, settings_.BeepOnMessage, Sj("本文が入力されていません。このまま送信しますか？"))) {
            return false;
        }
    }
    if (LongestLine(body) > kMaxBodyLineBytes || LongestWireLine(body) > kMaxWireLineBytes) {
        Refuse(Sj(kLongLineStatus), Sj(kLongLineMessage));
        return false;
    }
    if (composer_.Text(TextArea::Subject).bytes.size() > kMaxSubjectBytes) {
        Refuse(Sj("題名エラー：題名を4000Byte以下にしてください。"), Sj("題名が4000Byteを超えています。4000Byte以下にしてください。"));
        return false;
    }
    // Everything after it would be lost on its way to the server.
    if (body.find('\0') != std::string::npos) {
        Refuse(Sj("本文エラー：NUL文字（0x00）を削除してください。"), Sj("本文にNUL文字（0x00）が含まれています。削除してください。"));
        return false;
    }
    // A character the code page cannot hold would go out as something else.
    if (const auto chars = composer_.UnmappableCharacters(); !chars.empty()) {
        Refuse(Sj("文字エラー：送信できない文字を置き換えてください。(") + UnmappableList(chars) + ")",
               Sj("送信できない文字が含まれています: ") + UnmappableList(chars));
        return false;
    }
    // Vendor and user-defined characters have no 7-bit ISO-2022-JP form.
    std::vector<std::string> outside = CharactersOutsideJis(body);
    for (std::string& c : CharactersOutsideJis(composer_.Text(TextArea::Subject).bytes)) {
        if (std::find(outside.begin(), outside.end(), c) == outside.end()) {
            outside.push_back(std::move(c));
        }
    }
    if (!outside.empty()) {
        const std::string list = NamedCharacters(outside);
        Refuse(Sj("文字エラー：ISO-2022-JPで送れない文字を置き換えてください。(") + list + ")",
               Sj("ISO-2022-JPで送れない文字が含まれています: ") + list);
        return false;
    }
    if (composer_.Mode() == RecipientMode::Direct && composer_.Text(TextArea::DirectAddress).bytes.empty()) {
        Refuse(Sj("アドレスエラー：アドレスを入力してください。"), Sj("メールアドレスを入力してください。"));
        return false;
    }
    if (TerminalTypeRow(type).pinAsSubject && !PinLengthOk(composer_.Text(TextArea::Pin).bytes)) {
        Refuse(Sj("PINコードエラー：PINコードを正確に入力するか、削除してください。"), Sj("PINコードが正しくありません。"));
        return false;
    }
    if (settings_.SenderAddress.empty()) {
        Refuse(Sj("Form: エラー：送信者アドレスを設定してください。"), Sj("送信者アドレスを設定してください。"));
        return false;
    }
    if (settings_.Server.empty()) {
        Refuse(Sj("Server: エラー：SMTPサーバーを設定してください。"), Sj("SMTPサーバを設定してください。"));
        return false;
    }
    if (settings_.AuthMethod != SmtpAuth::None && settings_.AuthUser.empty()) {
        Refuse(Sj("認証エラー：SMTP認証のユーザー名を設定してください。"), Sj("SMTP認証のユーザー名を設定してください。"));
        return false;
    }
    // Before anything connects (POP before SMTP included); an address-book
    // entry's own values are checked when its mail is made.
    const std::string to =
        composer_.Mode() == RecipientMode::Direct ? composer_.Text(TextArea::DirectAddress).bytes : std::string();
    const std::string subject =
        RunSubject(type, composer_.Text(TextArea::Pin).bytes, composer_.Text(TextArea::Subject).bytes);
    if (RefuseUnsafeValues(to, settings_.SenderAddress, subject, type)) {
        return false;
    }
    if (!TerminalTypeRow(type).pinAsSubject && composer_.Text(TextArea::Subject).bytes.empty()
        && settings_.CheckBeforeSend) {
        if (!Ask(ui_, settings_.BeepOnMessage, Sj("Subject が入力されていません。このまま送信しますか？"))) {
            return false;
        }
    }
    return true;
}

bool SendWorkflow::RefuseUnsafeValues(const std::string& to, const std::string& senderAddress,
                                      const std::string& subject, std::int32_t type)
{
    const SenderParts sender = SplitSender(senderAddress);
    const struct {
        const char* field; // UTF-8
        const std::string& value;
        bool envelope;
    } values[] = {
        {"宛先アドレス", to, true},
        {"送信者アドレス", sender.from, true},
        {"返信先アドレス", sender.replyTo, false},
        {TerminalTypeRow(type).pinAsSubject ? "PINコード" : "Subject", subject, false},
        {"差出人名", settings_.FromUser, false},
        {"SMTPサーバー", settings_.Server, false},
    };
    for (const auto& v : values) {
        const std::string field = v.field;
        if (HasControlByte(v.value) || (v.envelope && v.value.find_first_of("<> ") != std::string::npos)) {
            Refuse(Sj(field + "エラー：使えない文字を削除してください。"),
                   Sj(field + (v.envelope ? "に使えない文字（<、>、空白、制御文字）が含まれています。"
                                          : "に改行などの制御文字が含まれています。")));
            return true;
        }
        // An empty address is refused by its own check, with its own words.
        if (v.envelope && !v.value.empty() && !IsSafeEnvelopeAddress(v.value)) {
            Refuse(Sj(field + "エラー：メールアドレスを1つだけ正しく入力してください。"),
                   Sj(field + "がメールアドレス1つの形になっていません（カンマ、2つ目の@などは使えません）。"));
            return true;
        }
    }
    if (!TerminalTypeRow(type).sendsAttachments) {
        return false;
    }
    for (const std::string& path : composer_.Attachments()) {
        if (HasControlByte(path)) {
            Refuse(Sj("添付ファイル名エラー：使えない文字を削除してください。"),
                   Sj("添付ファイル名に改行などの制御文字が含まれています。"));
            return true;
        }
        if (const std::string problem = AttachmentProblem(path); !problem.empty()) {
            Refuse(Sj("添付ファイルエラー：") + problem, problem);
            return true;
        }
    }
    return false;
}

void SendWorkflow::Send()
{
    if (busy_ > 0) {
        return; // one command at a time
    }
    ++busy_;
    SendAborted = false;
    ErrorCount = 0;
    UnconfirmedMailsThisCommand = 0;
    RefusedOrAborted = false;
    historyFailures_ = 0;
    popLogin_.reset();
    popNote_.clear();
    struct Done {
        SendWorkflow& w;
        ~Done() { --w.busy_; }
    } done{*this};

    if (!RunChecks() || !AskSmtpPassword()) {
        RefusedOrAborted = true;
        return;
    }
    if (settings_.UsePopBeforeSmtp) {
        PopBeforeSmtpOptions options = popOptions_;
        options.showAbortButton = [this](bool visible) { view_.SetAbortButtonVisible(visible); };
        popLogin_ = PopBeforeSmtp(settings_, ui_, tcp_, SendAborted, options);
        // The send goes on after a login that did not succeed, and the
        // final status keeps saying so: the server may yet refuse the mail.
        switch (*popLogin_) {
        case PopLoginResult::Succeeded: break;
        case PopLoginResult::Cancelled: popNote_ = Sj("POP before SMTP 認証中止"); break;
        case PopLoginResult::NotConfigured: popNote_ = Sj("POP before SMTPの設定をしてください。"); break;
        case PopLoginResult::Failed: popNote_ = Sj("POP before SMTP 認証出来ませんでした。"); break;
        }
        if (SendAborted) {
            RefusedOrAborted = true;
            return;
        }
        SendAborted = false;
        // The pause belongs to the login: some servers need a moment before
        // they accept the mail. Without a login there is nothing to wait for.
        if (settings_.POPInterval > 0 && !view_.TestSwitch()) {
            SetPanel(false);
            ui_.SetStatusText(Sj("POP認証後送信待機中..."));
            WaitSeconds(settings_.POPInterval);
            SetPanel(true);
        }
    }
    SendAborted = false;

    if (composer_.Mode() == RecipientMode::Direct) {
        SendToRecipient();
        if (SendAborted) {
            RefusedOrAborted = true;
            return;
        }
    } else {
        SendToAddressBook();
        if (SendAborted) {
            RefusedOrAborted = true;
            return;
        }
    }
    // Said only when every mail the command set out to send was accepted;
    // a message that did not go out whole is kept for sending again.
    if (ErrorCount > 0) {
        return;
    }
    if (settings_.ShowSendCompleteMessage) {
        Notify(ui_, settings_.BeepOnMessage, Sj("送信完了しました。"));
    }
    if (settings_.ClearAfterSend) {
        view_.ClearMessage();
    }
}

void SendWorkflow::SendToAddressBook()
{
    std::vector<std::string> ticked;
    for (const CheckListEntry& e : composer_.CheckList()) {
        if (e.ticked) {
            ticked.push_back(e.line);
        }
    }
    if (ticked.empty()) {
        Refuse(Sj("アドレス帳選択エラー：選択してください。"), Sj("送信先を選択してください。"));
        SendAborted = true;
        return;
    }
    for (const std::string& line : ticked) {
        const AddressBookEntry entry = ParseAddressBookEntry(line);
        composer_.SetDirectAddress(ComposedText{entry.address, {}});
        composer_.SetPin(ComposedText{entry.pin, {}});
        composer_.TypeBoxChanged(entry.type);
        const bool useBox = composer_.FromChecked() || entry.sender < 0
            || entry.sender >= static_cast<std::int32_t>(settings_.SenderList.size());
        settings_.SenderAddress =
            useBox ? view_.SenderBoxText() : settings_.SenderList[static_cast<std::size_t>(entry.sender)];
        composer_.Recount();
        view_.ComposerChanged();
        SendToRecipient();
        if (SendAborted) {
            return;
        }
    }
    composer_.SetDirectAddress(ComposedText{});
    composer_.SetTypeBoxIndex(settings_.DefaultType);
    view_.ComposerChanged();
}

void SendWorkflow::SendToRecipient()
{
    ui_.SetStatusText({});
    const std::string to = composer_.Text(TextArea::DirectAddress).bytes;
    const std::int32_t type = composer_.TypeState().CurrentTerminalType;
    const std::string& pin = composer_.Text(TextArea::Pin).bytes;
    if (to.empty()) {
        Refuse(Sj("アドレスエラー：宛先を設定してください。"), Sj("宛先を設定してください。"));
        SendAborted = true;
        return;
    }
    if (TerminalTypeRow(type).pinAsSubject && !PinLengthOk(pin)) {
        Refuse(Sj("PINコードエラー：PINコードを正確に入力するか、削除してください。"), Sj("PINコードが正しくありません。"));
        SendAborted = true;
        return;
    }
    const SenderParts sender = SplitSender(settings_.SenderAddress);
    const std::string subject = RunSubject(type, pin, composer_.Text(TextArea::Subject).bytes);
    if (RefuseUnsafeValues(to, settings_.SenderAddress, subject, type)) {
        SendAborted = true;
        return;
    }
    const std::string body = composer_.Text(TextArea::Body).bytes;
    const std::vector<std::string>& attachments = composer_.Attachments();

    mail_.ClearAttachments();
    if (TerminalTypeRow(type).sendsAttachments) {
        for (const std::string& path : attachments) {
            AttachmentRecord record;
            record.name = CutToCharacters(EncodeJisHeader(FileNamePart(path)), kMaxAttachmentNameBytes);
            record.AttachmentEncoding = 1;
            record.contentType = view_.AnimeMode() ? "image/mtn" : "application/octet-stream";
            // The full path: a cut one would name another file or none.
            record.fileName = path;
            mail_.AddAttachment(record);
        }
    }

    CountInputs in;
    in.body = body;
    in.subject = composer_.Text(TextArea::Subject).bytes;
    in.sender = settings_.SenderAddress;
    in.attachments = attachments;
    in.type = type;
    in.fixedLength = composer_.TypeState().CurrentFixedLength;
    in.options = {settings_.CountShiftBytes, settings_.AssumeSingleByteAtEnds, settings_.CountFinalLineBreakShift};
    const CountResult count = CountMessageSize(in);
    if (!count.ok) {
        Refuse(Sj("送信中止：") + count.error, count.error);
        SendAborted = true;
        return;
    }
    const std::int32_t limit = composer_.TypeState().CurrentMaxLength;

    const std::int32_t noaAllowance = TerminalTypeRow(type).noaAllowance;
    if (noaAllowance > 0 && attachments.size() == 1 && HasNoaExtension(attachments.front())
        && static_cast<std::int64_t>(count.count) < static_cast<std::int64_t>(limit) + noaAllowance) {
        ShowSending(to + Sj("へ1/1を送信中...(Quillet特例)"));
        SendOneMail(to, sender.from, sender.replyTo, subject, body);
        if (!SendAborted) {
            FinalStatus();
        }
        return;
    }

    if (count.count > limit) {
        if (!attachments.empty()) {
            const std::string message =
                Sj("送信容量が、制限を越えた添付ファイル付きメールなので送信できません。送信を中止します。");
            Refuse(Sj("送信中止：添付ファイル付きメール容量オーバー"), message);
            // The command goes on with its next entry; this mail failed all the same.
            ++ErrorCount;
            MailOutcome refused;
            refused.to = to;
            refused.refused = true;
            refused.message = message;
            refused.popLogin = popLogin_;
            view_.MailEnded(refused);
            return;
        }
        const SplitResult split = CutIntoParts(sender.from, subject);
        const std::size_t unsent = split.ok ? split.unsentBytes : 0;
        // Splitting unasked is for a body that fits nine parts: dropping its
        // end is never done without a word.
        if (settings_.AutoSplitOnOverflow && unsent == 0) {
            SendParts(to, sender.from, sender.replyTo, split);
            return;
        }
        if (settings_.BeepOnMessage) {
            ui_.Beep();
        }
        std::string question = Sj("送信容量が、制限を越えています。分割送信しますか？（最大９分割です。）");
        if (unsent > 0) {
            question += "\r\n" + Sj("９分割に収まらないため、本文の最後の") + std::to_string(unsent)
                + Sj("Byteは送信されません。");
        }
        const YesNoCancel answer = ui_.AskYesNoCancel(question, Sj("確認"));
        if (answer == YesNoCancel::Yes) {
            if (unsent > 0 && !view_.AcceptsTruncatedSplit(unsent)) {
                Refuse(Sj("分割エラー：本文が９分割に収まりません。"),
                       Sj("本文が９分割に収まりません。最後の") + std::to_string(unsent) + Sj("Byteが送信されないため、送信を中止します。"));
                SendAborted = true;
                return;
            }
            SendParts(to, sender.from, sender.replyTo, split);
            return;
        }
        if (answer == YesNoCancel::Cancel) {
            ui_.SetStatusText(Sj(kUserAbortStatus));
            SendAborted = true;
            return;
        }
    }

    ShowSending(to + Sj("へ1/1を送信中..."));
    SendOneMail(to, sender.from, sender.replyTo, subject, body);
    if (SendAborted) {
        return;
    }
    FinalStatus();
}

// The count is of the whole command so far; what else went wrong follows
// the mails' result.
void SendWorkflow::FinalStatus()
{
    std::string status =
        ErrorCount == 0 ? Sj("送信完了：エラーはありません。") : std::to_string(ErrorCount) + Sj("個のエラー");
    if (!popNote_.empty()) {
        status += Sj("　") + popNote_;
    }
    if (historyFailures_ > 0) {
        status += Sj("　履歴エラー：送信履歴を記録できませんでした。");
    }
    ui_.SetStatusText(status);
}

void SendWorkflow::SplitAndSend(const std::string& to, const std::string& from, const std::string& replyTo,
                                const std::string& subject)
{
    SendParts(to, from, replyTo, CutIntoParts(from, subject));
}

SplitResult SendWorkflow::CutIntoParts(const std::string& from, const std::string& subject)
{
    SplitInputs in;
    const std::string& body = composer_.Text(TextArea::Body).bytes;
    in.body = body;
    in.subject = subject;
    in.from = from;
    in.type = composer_.TypeState().CurrentTerminalType;
    in.fixedLength = composer_.TypeState().CurrentFixedLength;
    in.maxLength = composer_.TypeState().CurrentMaxLength;
    in.countShiftBytes = settings_.CountShiftBytes;
    in.assumeSingleByteAtEnds = settings_.AssumeSingleByteAtEnds;
    in.partNumberInSubject = settings_.PartNumberInSubject;
    return SplitMessage(in, [this](const std::string& status) {
        ui_.SetStatusText(status);
        PumpEvents();
    });
}

void SendWorkflow::SendParts(const std::string& to, const std::string& from, const std::string& replyTo,
                             const SplitResult& split)
{
    SplitParts.clear();
    if (!split.ok) {
        Refuse(Sj("分割エラー：送信者アドレスや題名が長すぎて、本文を分割できません。"),
               Sj("制限容量が小さすぎるため、分割送信できません。"));
        SendAborted = true;
        return;
    }
    // A part starts with its number and may start mid-line: its own lines
    // must fit on the wire as well.
    for (const std::string& part : split.parts) {
        if (LongestWireLine(part) > kMaxWireLineBytes) {
            Refuse(Sj(kLongLineStatus), Sj(kLongLineMessage));
            SendAborted = true;
            return;
        }
    }
    SplitParts = split.parts;
    if (settings_.ShowSplitResult && !settings_.AutoSplitOnOverflow) {
        if (!view_.ReviewSplit(composer_.Text(TextArea::Body).bytes, SplitParts)) {
            ui_.SetStatusText(Sj(kUserAbortStatus));
            SendAborted = true;
            return;
        }
    }
    const std::size_t n = SplitParts.size();
    for (std::size_t i = 1; i <= n; ++i) {
        ShowSending(to + Sj("へ") + std::to_string(i) + "/" + std::to_string(n) + Sj("を送信中..."), i, n);
        SendOneMail(to, from, replyTo, split.PartSubject(i), SplitParts[i - 1]);
        if (SendAborted) {
            return;
        }
        // Nothing went out in test mode: there is nothing to wait for.
        if (settings_.Interval > 0 && !view_.TestSwitch()) {
            SetPanel(false);
            ui_.SetStatusText(Sj("送信待機中..."));
            WaitSeconds(settings_.Interval);
            SetPanel(true);
        }
    }
    FinalStatus();
}

void SendWorkflow::SendOneMail(const std::string& to, const std::string& from, const std::string& replyTo,
                               const std::string& subject, const std::string& body)
{
    SentBody = body;
    SentSubject = subject;
    if (view_.TestSwitch()) {
        OutgoingMail mail{to, from, replyTo, subject, body, {}};
        for (std::size_t i = 0; i < mail_.Attachments.size(); ++i) {
            mail.attachments.push_back(mail_.Attachments[i]);
        }
        view_.TestMail(mail);
        return;
    }
    mail_.MailText = {MailTextFor(body)};
    // One instant for both: the history record's date is read from the stamp.
    const LocalTime now = LocalNow();
    MessageId = MakeMessageId(FormatStamp(now), from);
    mail_.Date = MailDate(now);
    mail_.Headers = MailHeaders(MessageId, replyTo);
    mail_.FROM_Address = from;
    // An empty name clears the one an earlier mail may have left.
    mail_.FROM_Name = settings_.FromUser.empty() ? std::string() : EncodeJisWord(settings_.FromUser);
    mail_.ListTo = {to};
    mail_.Listcc.clear();
    mail_.ListBcc.clear();
    mail_.TO_Address.clear();
    mail_.Subject = EncodedSubject(subject);
    mail_.SetSMTP_Server(settings_.Server);
    mail_.SMTP_Port = static_cast<std::uint16_t>(std::clamp(settings_.Port, 0, 65535));
    mail_.TimeoutConnect = std::chrono::seconds(settings_.ConnectTimeout);
    mail_.ReplyTimeout = std::chrono::seconds(settings_.ReplyTimeout);
    mail_.DataEndTimeout = std::chrono::seconds(settings_.DataTimeout);
    mail_.Submission.security = settings_.Security;
    mail_.Submission.auth = settings_.AuthMethod;
    mail_.Submission.user = settings_.AuthUser;
    mail_.Submission.password = smtpPassword_;
    mail_.Submission.tls = TlsOptions{settings_.CAFile};

    SendDone = false;
    SendAborted = false;
    ++busy_;
    view_.SetAbortButtonVisible(true);
    SetPanel(false);
    mail_.SetAction(TMailAction::Send_Mail);
    (void)WaitUntil([this] { return SendDone || SendAborted; });
    if (!SendDone) {
        mail_.SetAction(TMailAction::Cancel_SendMail);
        ui_.SetStatusText(Sj(kUserAbortStatus));
        (void)WaitUntil([this] { return SendDone; }, kCancelSettleLimit);
        Notify(ui_, settings_.BeepOnMessage, Sj("処理を中止しました。"));
        view_.SetAbortButtonVisible(false);
        SetPanel(true);
        SendAborted = true;
        --busy_;
        return;
    }
    view_.SetAbortButtonVisible(false);
    --busy_;
}

void SendWorkflow::WaitSeconds(std::int32_t seconds)
{
    IntervalElapsed = false;
    LoopTimer timer;
    timer.Start(std::chrono::milliseconds(seconds * 1000), true, [this] { IntervalElapsed = true; });
    ++busy_;
    (void)WaitUntil([this] { return IntervalElapsed; });
    --busy_;
}

void SendWorkflow::Abort()
{
    SendAborted = true;
    SetPanel(true);
    // The component may be in the middle of writing a large attachment,
    // pumping events between blocks: stop it there, not after the last one.
    if (mail_.Sending()) {
        mail_.SetAction(TMailAction::Cancel_SendMail);
    }
}

void SendWorkflow::ReportMailError(SendMailError error)
{
    std::string text = ErrorMessageText(static_cast<std::int32_t>(error));
    if (text.empty()) {
        return;
    }
    // What the server said, or which file failed, tells the user more than
    // our own words can.
    const MailFailure& failure = mail_.LastFailure();
    if (!failure.detail.empty()) {
        text += "\r\n" + failure.detail;
    }
    if (!failure.serverLine.empty()) {
        text += "\r\n" + Sj("サーバーの応答: ") + PrintableServerLine(failure.serverLine);
    } else if (error == SendMailError::Attachment_Unreadable) {
        text += "\r\n" + failure.text.substr(kTextAttachmentUnreadable.size());
    }
    outcome_.message = text;
    Notify(ui_, settings_.BeepOnMessage, text);
}

std::string SendWorkflow::PhoneTypeName() const
{
    if (composer_.Mode() == RecipientMode::AddressBook) {
        std::int32_t type = kUnspecifiedType;
        for (const CheckListEntry& e : composer_.CheckList()) {
            if (e.ticked) {
                type = TerminalTypeOfLine(e.line);
            }
        }
        return IsTerminalType(type) ? TypeBoxText(type) : std::string();
    }
    return view_.EditorTypeName();
}

void SendWorkflow::MailDone()
{
    std::string result = ResultText(static_cast<std::int32_t>(mail_.LastError()));
    const SendMailError error = mail_.LastError();
    if (error >= SendMailError::Tls_Failure && error <= SendMailError::Insecure_Authentication) {
        // Which certificate fault, which refusal: the record says it as the box did.
        result += ": " + mail_.LastFailure().text;
    }
    if (!result.empty()) {
        ++ErrorCount;
    }
    if (mail_.LastError() == SendMailError::Delivery_Unconfirmed) {
        ++UnconfirmedMailsThisCommand;
    }
    const std::string& to = composer_.Text(TextArea::DirectAddress).bytes;
    if (settings_.RecordHistory && !to.empty()) {
        HistoryRecord record;
        record.to = to;
        record.subject = SentSubject;
        record.from = mail_.FROM_Address;
        record.messageId = MessageId;
        record.phoneType = PhoneTypeName();
        record.server = mail_.SMTP_Server();
        record.attachments = mail_.Attachments;
        record.resultText = result;
        record.body = SentBody;
        const HistoryWriteResult written = WriteHistoryRecord(historyDir_, record);
        if (written.ok) {
            outcome_.historyFile = written.path;
        } else {
            // Never leave the run waiting: the mail's end is still reported,
            // with the server's result, and the missing record beside it.
            const std::string text =
                written.folderInvalid ? written.error : Sj("送信履歴を記録できません: ") + written.error;
            outcome_.message += (outcome_.message.empty() ? "" : "\r\n") + text;
            ++historyFailures_;
            Notify(ui_, settings_.BeepOnMessage, text);
        }
    }
    outcome_.popLogin = popLogin_;
    outcome_.to = to;
    outcome_.error = static_cast<std::int32_t>(mail_.LastError());
    outcome_.resultText = result;
    view_.MailEnded(outcome_);
    SendDone = true;
    SetPanel(true);
}

} // namespace kitemail

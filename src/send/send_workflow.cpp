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
#include "settings/keyring_passwords.h"
#include "send/message_composer.h"
#include "settings/address_book.h"
#include "settings/settings.h"
#include "text/encoders.h"

#include <algorithm>
#include <chrono>

namespace kitemail {
namespace {

// A cancelled mail still ends with the component's completion; it comes
// within moments, and the next mail must not start before it.
constexpr std::chrono::seconds kCancelSettleLimit{10};

bool HasNoaExtension(std::string_view path)
{
    return sjis::EndsWithIgnoringAsciiCase(path, ".noa");
}

// How a send the user stopped ended; it replaces whatever step was shown.
const char* const kUserAbortStatus = "送信中止：ユーザーにより、処理を中断しました。";

} // namespace

SendWorkflow::SendWorkflow(const Settings& settings, MessageComposer& composer, UserInterface& ui, SendView& view,
                           std::filesystem::path historyDir)
    : settings_(settings), composer_(composer), ui_(ui), view_(view), historyDir_(std::move(historyDir))
{
    component_.OnMailError = [this](SendMail&, SendMailError error, const std::string&) { ReportMailError(error); };
    component_.OnDone = [this](SendMail&) { MailDone(); };
    component_.OnSessionInfo = [this](SendMail&, SendMailInfo info) { SessionStep(info); };
    // The window's start and every send command come this way: the place
    // to sweep what a killed writer left in the history folder.
    (void)RemoveRecordLeftovers(historyDir_);
}

SendWorkflow::~SendWorkflow()
{
    component_.OnMailError = nullptr;
    component_.OnDone = nullptr;
    component_.OnSessionInfo = nullptr;
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
    if (settings_.AuthMethod == SmtpAuth::None) {
        smtpPassword_.clear();
        return true;
    }
    smtpPassword_ = PasswordForLogin(settings_, StoredPassword::Smtp, keyring_, ui_);
    if (!smtpPassword_.empty()) {
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

bool SendWorkflow::Refuse(const std::optional<Refusal>& refusal)
{
    if (refusal) {
        Refuse(refusal->status, refusal->message);
    }
    return refusal.has_value();
}

// The command's checks, before anything connects (POP before SMTP
// included); an address-book entry's own values are checked when its mail
// is made.
bool SendWorkflow::RunChecks()
{
    const std::string& body = composer_.Text(TextArea::Body).bytes;
    const std::string& typedSubject = composer_.Text(TextArea::Subject).bytes;
    const bool direct = composer_.Mode() == RecipientMode::Direct;
    const TerminalTypes types = settings_.Types();
    const Recipient recipient{composer_.Text(TextArea::DirectAddress).bytes,
                              composer_.TypeState().CurrentTerminalType, composer_.Text(TextArea::Pin).bytes,
                              composer_.Sender()};
    if (body.empty() && settings_.CheckBeforeSend) {
        if (!Ask(ui_, settings_.BeepOnMessage, Sj("本文が入力されていません。このまま送信しますか？"))) {
            return false;
        }
    }
    if (Refuse(CheckMessageText(body, typedSubject, composer_.UnmappableCharacters()))) {
        return false;
    }
    if (direct && recipient.address.empty()) {
        Refuse(Sj("アドレスエラー：アドレスを入力してください。"), Sj("メールアドレスを入力してください。"));
        return false;
    }
    if (direct && Refuse(CheckPin(recipient.type, recipient.pin, types))) {
        return false;
    }
    if (composer_.Sender().empty()) {
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
    if (Refuse(CheckCommandValues(settings_.FromUser, settings_.Server))) {
        return false;
    }
    if (direct
        && Refuse(CheckMailValues(recipient, RunSubject(recipient.type, recipient.pin, typedSubject, types),
                                  composer_.Attachments(), types))) {
        return false;
    }
    if (!types.Rules(recipient.type).pinAsSubject && typedSubject.empty() && settings_.CheckBeforeSend) {
        if (!Ask(ui_, settings_.BeepOnMessage, Sj("Subject が入力されていません。このまま送信しますか？"))) {
            return false;
        }
    }
    return true;
}

void SendWorkflow::Send()
{
    if (busy_ > 0) {
        return; // one command at a time
    }
    ++busy_;
    aborted_ = false;
    command_ = CommandOutcome{};
    historyFailures_ = 0;
    popLogin_.reset();
    popNote_.clear();
    struct Done {
        SendWorkflow& w;
        ~Done() { --w.busy_; }
    } done{*this};

    if (!RunChecks() || !AskSmtpPassword()) {
        command_.refusedOrAborted = true;
        return;
    }
    if (settings_.UsePopBeforeSmtp) {
        PopBeforeSmtpOptions options;
        options.showAbortButton = [this](bool visible) { view_.SetAbortButtonVisible(visible); };
        options.keyring = keyring_;
        popLogin_ = PopBeforeSmtp(settings_, ui_, tcp_, aborted_, options);
        // The send goes on after a login that did not succeed, and the
        // final status keeps saying so: the server may yet refuse the mail.
        switch (*popLogin_) {
        case PopLoginResult::Succeeded: break;
        case PopLoginResult::Cancelled: popNote_ = Sj("POP before SMTP 認証中止"); break;
        case PopLoginResult::NotConfigured: popNote_ = Sj("POP before SMTPの設定をしてください。"); break;
        case PopLoginResult::Failed: popNote_ = Sj("POP before SMTP 認証出来ませんでした。"); break;
        }
        if (aborted_) {
            command_.refusedOrAborted = true;
            return;
        }
        // The pause belongs to the login: some servers need a moment before
        // they accept the mail. Without a login there is nothing to wait for.
        if (settings_.POPInterval > 0 && !view_.TestSwitch()) {
            SetPanel(false);
            ui_.SetStatusText(Sj("POP認証後送信待機中..."));
            WaitSeconds(settings_.POPInterval);
            SetPanel(true);
        }
    }
    aborted_ = false;

    if (composer_.Mode() == RecipientMode::Direct) {
        SendToRecipient({composer_.Text(TextArea::DirectAddress).bytes, composer_.TypeState().CurrentTerminalType,
                         composer_.Text(TextArea::Pin).bytes, composer_.Sender()},
                        composer_.TypeState());
    } else {
        SendToAddressBook();
    }
    if (aborted_) {
        command_.refusedOrAborted = true;
        return;
    }
    // Said only when every mail the command set out to send was accepted;
    // a message that did not go out whole is kept for sending again.
    if (command_.errors > 0) {
        return;
    }
    if (settings_.ShowSendCompleteMessage) {
        Notify(ui_, settings_.BeepOnMessage, Sj("送信完了しました。"));
    }
    if (settings_.ClearAfterSend) {
        view_.ClearMessage();
    }
}

// Each ticked entry with its own address, type, PIN and sender; the
// composer's boxes are not changed.
void SendWorkflow::SendToAddressBook()
{
    std::vector<AddressBookEntry> ticked;
    for (const CheckListEntry& e : composer_.CheckList()) {
        if (e.ticked) {
            ticked.push_back(ParseAddressBookEntry(e.line));
        }
    }
    if (ticked.empty()) {
        Refuse(Sj("アドレス帳選択エラー：選択してください。"), Sj("送信先を選択してください。"));
        aborted_ = true;
        return;
    }
    const TerminalTypes types = settings_.Types();
    for (const AddressBookEntry& entry : ticked) {
        const bool useBox = composer_.FromChecked() || entry.sender < 0
            || entry.sender >= static_cast<std::int32_t>(settings_.SenderList.size());
        // A type outside the list is sent as the unspecified one.
        const Recipient recipient{entry.address, types.KnownOrUnspecified(entry.type), entry.pin,
                                  useBox ? view_.SenderBoxText()
                                         : settings_.SenderList[static_cast<std::size_t>(entry.sender)]};
        ui_.SetStatusText({});
        if (Refuse(CheckRecipient(recipient, types))
            || Refuse(CheckMailValues(recipient,
                                      RunSubject(recipient.type, recipient.pin, composer_.Text(TextArea::Subject).bytes,
                                                 types),
                                      composer_.Attachments(), types))) {
            aborted_ = true;
            return;
        }
        SendToRecipient(recipient, composer_.TypeStateFor(recipient.type));
        if (aborted_) {
            return;
        }
    }
    composer_.SetDirectAddress(ComposedText{});
    composer_.SetTypeBox(settings_.DefaultType);
    view_.ComposerChanged();
}

OutgoingMail SendWorkflow::MakeMail(const Recipient& recipient, const SenderParts& sender, std::string subject,
                                    std::string body) const
{
    OutgoingMail mail;
    mail.to = recipient.address;
    mail.from = sender.from;
    mail.replyTo = sender.replyTo;
    mail.senderName = settings_.FromUser;
    mail.subject = std::move(subject);
    mail.body = std::move(body);
    const TerminalTypes types = settings_.Types();
    if (types.Rules(recipient.type).sendsAttachments) {
        mail.attachments = composer_.Attachments();
        // The component keeps at most 256.
        mail.attachments.resize(std::min<std::size_t>(mail.attachments.size(), 256));
    }
    mail.animation = view_.AnimeMode();
    mail.typeName = types.BoxText(recipient.type);
    mail.server = settings_.Server;
    // One instant for both: the history record's date is read from the stamp.
    const LocalTime now = LocalNow();
    mail.messageId = MakeMessageId(FormatStamp(now), mail.from);
    mail.date = MailDate(now);
    return mail;
}

void SendWorkflow::SendToRecipient(const Recipient& recipient, const TerminalTypeState& type)
{
    ui_.SetStatusText({});
    const SenderParts sender = SplitSender(recipient.sender);
    const std::string subject =
        RunSubject(recipient.type, recipient.pin, composer_.Text(TextArea::Subject).bytes, settings_.Types());
    const std::string& to = recipient.address;
    const std::string& body = composer_.Text(TextArea::Body).bytes;
    const std::vector<std::string>& attachments = composer_.Attachments();

    const CountResult count = composer_.CountFor(recipient.sender, type);
    if (!count.ok) {
        Refuse(Sj("送信中止：") + count.error, count.error);
        aborted_ = true;
        return;
    }
    const std::int32_t limit = type.CurrentMaxLength;

    const std::int32_t noaAllowance = type.CurrentRules.noaAllowance;
    if (noaAllowance > 0 && attachments.size() == 1 && HasNoaExtension(attachments.front())
        && static_cast<std::int64_t>(count.count) < static_cast<std::int64_t>(limit) + noaAllowance) {
        ShowSending(to + Sj("へ1/1を送信中...(Quillet特例)"));
        SendOneMail(MakeMail(recipient, sender, subject, body));
        if (!aborted_) {
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
            ++command_.errors;
            MailOutcome refused;
            refused.to = to;
            refused.refused = true;
            refused.message = message;
            refused.popLogin = popLogin_;
            view_.MailEnded(refused);
            return;
        }
        const SplitResult split = CutIntoParts(sender.from, subject, type);
        const std::size_t unsent = split.ok ? split.unsentBytes : 0;
        // Splitting unasked is for a body that fits nine parts: dropping its
        // end is never done without a word.
        if (settings_.AutoSplitOnOverflow && unsent == 0) {
            SplitAndSend(recipient, sender, split);
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
                aborted_ = true;
                return;
            }
            SplitAndSend(recipient, sender, split);
            return;
        }
        if (answer == YesNoCancel::Cancel) {
            ui_.SetStatusText(Sj(kUserAbortStatus));
            aborted_ = true;
            return;
        }
    }

    ShowSending(to + Sj("へ1/1を送信中..."));
    SendOneMail(MakeMail(recipient, sender, subject, body));
    if (aborted_) {
        return;
    }
    FinalStatus();
}

// The count is of the whole command so far; what else went wrong follows
// the mails' result.
void SendWorkflow::FinalStatus()
{
    std::string status =
        command_.errors == 0 ? Sj("送信完了：エラーはありません。") : std::to_string(command_.errors) + Sj("個のエラー");
    if (!popNote_.empty()) {
        status += Sj("　") + popNote_;
    }
    if (historyFailures_ > 0) {
        status += Sj("　履歴エラー：送信履歴を記録できませんでした。");
    }
    ui_.SetStatusText(status);
}

SplitResult SendWorkflow::CutIntoParts(const std::string& from, const std::string& subject,
                                       const TerminalTypeState& type)
{
    const SplitInputs in = SendSplitInputs(settings_, type, composer_.Text(TextArea::Body).bytes, from, subject);
    return SplitMessage(in, [this](const std::string& status) {
        ui_.SetStatusText(status);
        PumpEvents();
    });
}

void SendWorkflow::SplitAndSend(const Recipient& recipient, const SenderParts& sender, const SplitResult& split)
{
    if (!split.ok) {
        Refuse(Sj("分割エラー：送信者アドレスや題名が長すぎて、本文を分割できません。"),
               Sj("制限容量が小さすぎるため、分割送信できません。"));
        aborted_ = true;
        return;
    }
    if (Refuse(CheckPartLines(split.parts))) {
        aborted_ = true;
        return;
    }
    if (settings_.ShowSplitResult && !settings_.AutoSplitOnOverflow) {
        if (!view_.ReviewSplit(composer_.Text(TextArea::Body).bytes, split.parts)) {
            ui_.SetStatusText(Sj(kUserAbortStatus));
            aborted_ = true;
            return;
        }
    }
    const std::size_t n = split.parts.size();
    for (std::size_t i = 1; i <= n; ++i) {
        ShowSending(recipient.address + Sj("へ") + std::to_string(i) + "/" + std::to_string(n) + Sj("を送信中..."), i,
                    n);
        SendOneMail(MakeMail(recipient, sender, split.PartSubject(i), split.parts[i - 1]));
        if (aborted_) {
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

void SendWorkflow::SendOneMail(const OutgoingMail& mail)
{
    mail_ = mail;
    if (view_.TestSwitch()) {
        view_.TestMail(mail);
        return;
    }
    component_.Load(mail);
    component_.SMTP_Port = static_cast<std::uint16_t>(std::clamp(settings_.Port, 0, 65535));
    component_.TimeoutConnect = std::chrono::seconds(settings_.ConnectTimeout);
    component_.ReplyTimeout = std::chrono::seconds(settings_.ReplyTimeout);
    component_.DataEndTimeout = std::chrono::seconds(settings_.DataTimeout);
    component_.Submission.security = settings_.Security;
    component_.Submission.auth = settings_.AuthMethod;
    component_.Submission.user = settings_.AuthUser;
    component_.Submission.password = smtpPassword_;
    component_.Submission.tls = TlsOptions{settings_.CAFile};

    mailEnded_ = false;
    aborted_ = false;
    ++busy_;
    view_.SetAbortButtonVisible(true);
    SetPanel(false);
    component_.SetAction(TMailAction::Send_Mail);
    (void)WaitUntil([this] { return mailEnded_ || aborted_; });
    if (!mailEnded_) {
        component_.SetAction(TMailAction::Cancel_SendMail);
        ui_.SetStatusText(Sj(kUserAbortStatus));
        (void)WaitUntil([this] { return mailEnded_; }, kCancelSettleLimit);
        Notify(ui_, settings_.BeepOnMessage, Sj("処理を中止しました。"));
        view_.SetAbortButtonVisible(false);
        SetPanel(true);
        aborted_ = true;
        --busy_;
        return;
    }
    view_.SetAbortButtonVisible(false);
    --busy_;
}

void SendWorkflow::WaitSeconds(std::int32_t seconds)
{
    intervalElapsed_ = false;
    LoopTimer timer;
    timer.Start(std::chrono::milliseconds(seconds * 1000), true, [this] { intervalElapsed_ = true; });
    ++busy_;
    (void)WaitUntil([this] { return intervalElapsed_; });
    --busy_;
}

void SendWorkflow::Abort()
{
    aborted_ = true;
    SetPanel(true);
    // The component may be in the middle of writing a large attachment,
    // pumping events between blocks: stop it there, not after the last one.
    if (component_.Sending()) {
        component_.SetAction(TMailAction::Cancel_SendMail);
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
    const MailFailure& failure = component_.LastFailure();
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

void SendWorkflow::MailDone()
{
    const SendMailError error = component_.LastError();
    std::string result = ResultText(static_cast<std::int32_t>(error));
    if (error >= SendMailError::Tls_Failure && error <= SendMailError::Insecure_Authentication) {
        // Which certificate fault, which refusal: the record says it as the box did.
        result += ": " + component_.LastFailure().text;
    }
    if (!result.empty()) {
        ++command_.errors;
    }
    if (error == SendMailError::Delivery_Unconfirmed) {
        ++command_.unconfirmed;
    }
    // A completion without a mail of ours (a kept connection closed) records nothing.
    const std::string to = mail_ ? mail_->to : std::string();
    if (settings_.RecordHistory && mail_) {
        const HistoryWriteResult written = WriteHistoryRecord(historyDir_, HistoryRecordFor(*mail_, result));
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
    outcome_.error = static_cast<std::int32_t>(error);
    outcome_.resultText = result;
    view_.MailEnded(outcome_);
    mailEnded_ = true;
    SetPanel(true);
}

} // namespace kitemail

#include "mail/smtp_dialogue.h"

namespace kitemail {
namespace {

bool IsNegative(std::string_view line)
{
    return !line.empty() && (line[0] == '4' || line[0] == '5' || line[0] == '-');
}

} // namespace

RecipientEntry SplitRecipient(std::string_view entry)
{
    const std::size_t bar = entry.find('|');
    if (bar == std::string_view::npos) {
        return {std::string(entry), {}};
    }
    return {std::string(entry.substr(0, bar)), std::string(entry.substr(bar + 1, 999))};
}

void SmtpDialogue::Begin(Envelope envelope, std::int32_t step)
{
    env_ = std::move(envelope);
    step_ = step;
    accepted_ = false;
    list_ = RunList::To;
    index_ = -1;
    lastIndex_ = -1;
    current_.clear();
}

void SmtpDialogue::HandleReply(std::string_view line)
{
    sink_.Info(SendMailInfo::Info_Received, std::string(line));
    if (accepted_) {
        // The message is delivered; a refused QUIT or a parting remark of an
        // idle server must not turn that into a failure.
        return;
    }
    if (IsNegative(line)) {
        if (step_ == AwaitRcpt) {
            sink_.Info(SendMailInfo::Info_RecipientRefused, current_);
        } else {
            sink_.Fail(SendMailError::Unexpected_Response, std::string(kTextUnexpectedResponse) + std::string(line));
            return;
        }
    }
    if (line.size() >= 4 && line[3] == '-') {
        return; // more lines of a multi-line reply follow
    }
    switch (step_) {
    case AwaitGreeting:
        sink_.SendCommand("HELO " + env_.helloName);
        break;
    case AwaitHelo:
        sink_.SendCommand("MAIL FROM:<" + env_.fromAddress + ">");
        break;
    case AwaitMailFrom:
        SendFirstRecipient();
        break;
    case AwaitRcpt:
        SendNextRecipient();
        return; // the step ends only through DATA
    case AwaitData:
        sink_.WriteMessage();
        break;
    case AwaitEndOfMessage:
        sink_.Info(SendMailInfo::Info_MailAccepted, {});
        if (sink_.Finished()) {
            return;
        }
        accepted_ = true;
        if (env_.keepConnectionOpen) {
            sink_.AcceptedKeepOpen();
            return;
        }
        sink_.SendCommand("QUIT");
        break;
    default:
        return;
    }
    if (!sink_.Finished()) {
        ++step_;
    }
}

void SmtpDialogue::SendFirstRecipient()
{
    current_ = env_.firstRecipient;
    sink_.SendCommand("RCPT TO:<" + env_.firstRecipient + ">");
    if (sink_.Finished()) {
        return;
    }
    list_ = RunList::To;
    index_ = -1;
    const auto* to = ListOf(RunList::To);
    lastIndex_ = static_cast<long>(to != nullptr ? to->size() : 0) - 1 - SkipOf(RunList::To);
    while (lastIndex_ < 0 && list_ != RunList::Done) {
        MoveToNextList();
    }
    sink_.Info(SendMailInfo::Info_RecipientSent, env_.firstRecipient);
}

void SmtpDialogue::SendNextRecipient()
{
    if (list_ == RunList::Done) {
        sink_.SendCommand("DATA");
        if (!sink_.Finished()) {
            step_ = AwaitData;
        }
        return;
    }
    if (index_ < lastIndex_) {
        ++index_;
        const auto& entries = *ListOf(list_);
        const RecipientEntry r = SplitRecipient(entries[static_cast<std::size_t>(index_ + SkipOf(list_))]);
        current_ = r.address;
        sink_.SendCommand("RCPT TO:<" + r.address + ">");
        if (sink_.Finished()) {
            return;
        }
        sink_.Info(SendMailInfo::Info_RecipientSent, r.address);
    }
    if (index_ >= lastIndex_) {
        do {
            MoveToNextList();
        } while (lastIndex_ < 0 && list_ != RunList::Done);
        index_ = -1;
    }
}

void SmtpDialogue::MoveToNextList()
{
    switch (list_) {
    case RunList::To: list_ = RunList::Cc; break;
    case RunList::Cc: list_ = RunList::Bcc; break;
    case RunList::Bcc:
    case RunList::Done:
        list_ = RunList::Done;
        lastIndex_ = 0;
        return;
    }
    const auto* l = ListOf(list_);
    lastIndex_ = static_cast<long>(l != nullptr ? l->size() : 0) - 1 - SkipOf(list_);
}

const std::vector<std::string>* SmtpDialogue::ListOf(RunList list) const noexcept
{
    switch (list) {
    case RunList::To: return env_.listTo;
    case RunList::Cc: return env_.listCc;
    case RunList::Bcc: return env_.listBcc;
    case RunList::Done: break;
    }
    return nullptr;
}

int SmtpDialogue::SkipOf(RunList list) const noexcept
{
    switch (list) {
    case RunList::To: return env_.skipTo;
    case RunList::Cc: return env_.skipCc;
    case RunList::Bcc: return env_.skipBcc;
    case RunList::Done: break;
    }
    return 0;
}

} // namespace kitemail

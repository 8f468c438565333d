#include "mail/smtp_dialogue.h"

namespace kitemail {
namespace {

int ReplyClass(int code)
{
    return code / 100;
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

void SmtpDialogue::Reset(Envelope envelope, Step step)
{
    env_ = std::move(envelope);
    step_ = step;
    writing_ = false;
    accepted_ = false;
    recipientsTaken_ = 0;
    lastRefusal_.clear();
    list_ = RunList::To;
    index_ = -1;
    lastIndex_ = -1;
    current_.clear();
}

void SmtpDialogue::Begin(Envelope envelope)
{
    Reset(std::move(envelope), AwaitGreeting);
}

void SmtpDialogue::Resume(Envelope envelope)
{
    Reset(std::move(envelope), AwaitMailFrom);
    sink_.SendCommand("MAIL FROM:<" + env_.fromAddress + ">");
}

void SmtpDialogue::SessionOpened()
{
    if (step_ != AwaitHelo) {
        return;
    }
    step_ = AwaitMailFrom;
    sink_.SendCommand("MAIL FROM:<" + env_.fromAddress + ">");
}

void SmtpDialogue::HandleReply(int code, std::string_view line)
{
    const std::string text(line);
    if (writing_) {
        // Nothing was asked while the message goes out: a server that
        // speaks now has given up on it.
        sink_.Refused(text);
        return;
    }
    const int cls = ReplyClass(code);
    switch (step_) {
    case AwaitGreeting:
        if (code != 220) {
            sink_.Refused(text);
            return;
        }
        step_ = AwaitHelo;
        if (env_.extendedSession) {
            sink_.OpenSession();
            return;
        }
        sink_.SendCommand("HELO " + env_.helloName);
        return;
    case AwaitHelo:
        if (cls != 2) {
            sink_.Refused(text);
            return;
        }
        step_ = AwaitMailFrom;
        sink_.SendCommand("MAIL FROM:<" + env_.fromAddress + ">");
        return;
    case AwaitMailFrom:
        if (cls != 2) {
            sink_.Refused(text);
            return;
        }
        step_ = AwaitRcpt;
        SendFirstRecipient();
        return;
    case AwaitRcpt:
        if (cls == 2) {
            ++recipientsTaken_;
        } else if (cls == 4 || cls == 5) {
            // A refused recipient is skipped; the others still get the mail.
            sink_.Info(SendMailInfo::Info_RecipientRefused, current_);
            lastRefusal_ = text;
        } else {
            sink_.Refused(text);
            return;
        }
        SendNextRecipient();
        return;
    case AwaitData:
        if (cls != 3) {
            sink_.Refused(text);
            return;
        }
        writing_ = true;
        sink_.WriteMessage();
        return;
    case AwaitEndOfMessage:
        if (cls != 2) {
            sink_.Refused(text);
            return;
        }
        accepted_ = true;
        sink_.Info(SendMailInfo::Info_MailAccepted, {});
        sink_.Accepted();
        return;
    default:
        return; // after acceptance nothing the server says changes anything
    }
}

void SmtpDialogue::MessageWritten()
{
    writing_ = false;
    step_ = AwaitEndOfMessage;
}

void SmtpDialogue::SendFirstRecipient()
{
    current_ = env_.firstRecipient;
    list_ = RunList::To;
    index_ = -1;
    const auto* to = ListOf(RunList::To);
    lastIndex_ = static_cast<long>(to != nullptr ? to->size() : 0) - 1 - SkipOf(RunList::To);
    while (lastIndex_ < 0 && list_ != RunList::Done) {
        MoveToNextList();
    }
    sink_.SendCommand("RCPT TO:<" + env_.firstRecipient + ">");
    sink_.Info(SendMailInfo::Info_RecipientSent, env_.firstRecipient);
}

void SmtpDialogue::SendNextRecipient()
{
    if (list_ == RunList::Done) {
        if (recipientsTaken_ == 0) {
            // Every recipient was refused: a message to nobody is no delivery.
            sink_.Refused(lastRefusal_);
            return;
        }
        step_ = AwaitData;
        sink_.SendCommand("DATA");
        return;
    }
    if (index_ < lastIndex_) {
        ++index_;
        const auto& entries = *ListOf(list_);
        const RecipientEntry r = SplitRecipient(entries[static_cast<std::size_t>(index_ + SkipOf(list_))]);
        current_ = r.address;
        if (index_ >= lastIndex_) {
            do {
                MoveToNextList();
            } while (lastIndex_ < 0 && list_ != RunList::Done);
            index_ = -1;
        }
        sink_.SendCommand("RCPT TO:<" + r.address + ">");
        sink_.Info(SendMailInfo::Info_RecipientSent, r.address);
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

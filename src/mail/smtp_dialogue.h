#pragma once
// The SMTP client dialogue without any I/O: it takes the server's reply
// lines one at a time and answers through a sink with commands, the message
// and progress. HELO, MAIL FROM, RCPT TO for every recipient, DATA, the
// message, QUIT.

#include "mail/mail_types.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

struct RecipientEntry {
    std::string address;
    std::string name;
};

// A list entry is an address alone or address "|" name; the name is at most
// the 999 bytes after the first bar.
[[nodiscard]] RecipientEntry SplitRecipient(std::string_view entry);

class SmtpDialogueSink {
public:
    virtual ~SmtpDialogueSink() = default;
    // One command line, without its CR LF.
    virtual void SendCommand(const std::string& line) = 0;
    // The whole message after the server's go-ahead to DATA.
    virtual void WriteMessage() = 0;
    virtual void Info(SendMailInfo info, const std::string& text) = 0;
    // A negative reply outside the recipient step ends the request.
    virtual void Fail(SendMailError error, const std::string& text) = 0;
    // The message was accepted and the connection is to stay open.
    virtual void AcceptedKeepOpen() = 0;
    // The request has ended (cancel or error); nothing more is to be done.
    [[nodiscard]] virtual bool Finished() const = 0;
};

class SmtpDialogue {
public:
    struct Envelope {
        std::string helloName;
        std::string fromAddress;
        std::string firstRecipient; // TO_Address
        const std::vector<std::string>* listTo = nullptr;
        const std::vector<std::string>* listCc = nullptr;
        const std::vector<std::string>* listBcc = nullptr;
        // 1 when the list's first entry is the first recipient.
        int skipTo = 0;
        int skipCc = 0;
        int skipBcc = 0;
        bool keepConnectionOpen = false;
    };

    enum Step : std::int32_t {
        AwaitGreeting = 0,
        AwaitHelo = 1,
        AwaitMailFrom = 2,
        AwaitRcpt = 3,
        AwaitData = 5,
        AwaitEndOfMessage = 6,
        AwaitQuit = 7,
    };

    explicit SmtpDialogue(SmtpDialogueSink& sink) : sink_(sink) {}

    // A new request; step is AwaitGreeting on a new connection, AwaitHelo on
    // one kept open from the last message.
    void Begin(Envelope envelope, std::int32_t step);
    void HandleReply(std::string_view line);

    [[nodiscard]] std::int32_t DialogueStep() const noexcept { return step_; }
    // The message has been accepted: a close is no longer premature, and
    // nothing the server says afterwards can fail the request.
    [[nodiscard]] bool QuitSent() const noexcept { return accepted_; }
    [[nodiscard]] const std::string& CurrentRecipient() const noexcept { return current_; }

private:
    enum class RunList { To = 1, Cc = 2, Bcc = 3, Done = 4 };

    void SendFirstRecipient();
    void SendNextRecipient();
    void MoveToNextList();
    [[nodiscard]] const std::vector<std::string>* ListOf(RunList list) const noexcept;
    [[nodiscard]] int SkipOf(RunList list) const noexcept;

    SmtpDialogueSink& sink_;
    Envelope env_;
    std::int32_t step_ = AwaitGreeting;
    bool accepted_ = false;
    RunList list_ = RunList::To;
    long index_ = -1;
    long lastIndex_ = -1;
    std::string current_;
};

} // namespace kitemail

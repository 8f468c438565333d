#pragma once
// The SMTP client dialogue without any I/O: it takes the server's replies
// one at a time and answers through a sink with commands, the message and
// progress. HELO, MAIL FROM, RCPT TO for every recipient, DATA, the
// message. Each reply must be of the class its step expects (RFC 5321
// 4.2, 4.3.2); anything else ends the request.

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
    // The whole message, after the server's go-ahead to DATA.
    virtual void WriteMessage() = 0;
    virtual void Info(SendMailInfo info, const std::string& text) = 0;
    // The server's reply (its last line) ends the request unsent.
    virtual void Refused(const std::string& serverLine) = 0;
    // The server accepted the message: it is delivered.
    virtual void Accepted() = 0;
    // The greeting was accepted and the envelope asks for an extended
    // session (EHLO, TLS, login): the sink sets it up and calls
    // SmtpDialogue::SessionOpened() when MAIL FROM may follow.
    virtual void OpenSession() {}
};

class SmtpDialogue {
public:
    struct Envelope {
        std::string helloName;
        // EHLO and what follows it, set up by the sink, instead of HELO.
        bool extendedSession = false;
        std::string fromAddress;
        std::string firstRecipient; // TO_Address
        const std::vector<std::string>* listTo = nullptr;
        const std::vector<std::string>* listCc = nullptr;
        const std::vector<std::string>* listBcc = nullptr;
        // 1 when the list's first entry is the first recipient.
        int skipTo = 0;
        int skipCc = 0;
        int skipBcc = 0;
    };

    // The reply each step awaits.
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

    // A new connection: the greeting is awaited.
    void Begin(Envelope envelope);
    // A connection kept open after the last message: MAIL FROM goes out at
    // once, there is no second greeting or HELO.
    void Resume(Envelope envelope);
    // The extended session stands: MAIL FROM goes out.
    void SessionOpened();
    // A whole reply, given by its code and its last line.
    void HandleReply(int code, std::string_view line);
    // The message has been written up to its "."; its reply is awaited.
    void MessageWritten();
    // After acceptance, QUIT went out.
    void QuitSent() { step_ = AwaitQuit; }

    [[nodiscard]] std::int32_t DialogueStep() const noexcept { return step_; }
    [[nodiscard]] bool Accepted() const noexcept { return accepted_; }
    [[nodiscard]] const std::string& CurrentRecipient() const noexcept { return current_; }

private:
    enum class RunList { To = 1, Cc = 2, Bcc = 3, Done = 4 };

    void Reset(Envelope envelope, Step step);
    void SendFirstRecipient();
    void SendNextRecipient();
    void MoveToNextList();
    [[nodiscard]] const std::vector<std::string>* ListOf(RunList list) const noexcept;
    [[nodiscard]] int SkipOf(RunList list) const noexcept;

    SmtpDialogueSink& sink_;
    Envelope env_;
    std::int32_t step_ = AwaitGreeting;
    bool writing_ = false;
    bool accepted_ = false;
    int recipientsTaken_ = 0;
    std::string lastRefusal_;
    RunList list_ = RunList::To;
    long index_ = -1;
    long lastIndex_ = -1;
    std::string current_;
};

} // namespace kitemail

#pragma once
// Writes one Internet message in a single pass: header lines, the body and
// the attachment parts (base64, quoted-printable, plain text, uuencode),
// the closing boundary and the terminating ".". The transport pulls the
// message a piece at a time as the network takes it, so files are streamed
// in small blocks and never held whole, whatever their size.

#include "mail/mail_types.h"
#include "text/encoders.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

inline constexpr std::string_view MimeBoundary = "==============kitemlpcg887======___";
inline constexpr std::size_t kMaxAttachments = 256;

// Encodings of an attachment part.
enum AttachmentEncodingValue : std::uint8_t {
    kEncodingDetect = 0,
    kEncodingBase64 = 1,
    kEncodingQuotedPrintable = 2,
    kEncodingPlainText = 3,
    kEncodingUuencode = 4,
};

struct AttachmentRecord {
    std::string name; // the name= parameter; empty: the file name without its folder
    std::uint8_t AttachmentEncoding = kEncodingDetect;
    std::string contentType; // empty: "application/octet-stream"
    std::string disposition; // empty: "attachment"
    std::string description; // empty: no Content-Description line
    std::string fileName;    // full path, code page 932
};

// 1 (base64) when the file holds a byte of 0x7F or above, or anything a
// plain-text part could not carry unchanged (a zero byte, a line longer
// than a mail line may be); otherwise 3 (plain text). 1 when the file
// cannot be opened.
[[nodiscard]] std::uint8_t DetectEncoding(const std::string& path);

// The file name without its folder.
[[nodiscard]] std::string PlainFileName(std::string_view path);

// Header lines longer than a mail line may be are folded at white space
// (CR LF before it); a run without white space is broken where it must be.
[[nodiscard]] std::vector<std::string> FoldHeaderLine(std::string_view line);

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void Info(SendMailInfo info, const std::string& text) = 0;
    // Whether anyone listens to progress (saves formatting numbers).
    [[nodiscard]] virtual bool WantsInfo() const = 0;
    // Asks the body data source for more; false when there is none assigned.
    virtual bool FeedData(std::string& data) = 0;
};

struct MessageContent {
    std::string_view fromName;
    std::string_view fromAddress;
    std::string_view subject;
    const std::vector<std::string>* listTo = nullptr;
    const std::vector<std::string>* listCc = nullptr;
    const std::vector<std::string>* headers = nullptr;
    const std::vector<std::string>* mailText = nullptr;
    const std::vector<std::string>* attachments = nullptr;
    // Slot i - 1 belongs to attachment i; detected encodings and defaulted
    // content types and dispositions are written back.
    std::vector<std::optional<AttachmentRecord>>* records = nullptr;
    std::string_view date; // empty: no Date line
};

class MessageWriter {
public:
    // RFC 5321 4.5.3.1.6: a text line is at most 998 octets before CR LF.
    static constexpr std::size_t kMaxLineBytes = 998;

    MessageWriter(MessageSink& sink, MessageContent content);
    ~MessageWriter();
    MessageWriter(const MessageWriter&) = delete;
    MessageWriter& operator=(const MessageWriter&) = delete;

    // Appends the next bytes of the message to out: at least `want` of them,
    // unless the message ends first. False once the message is complete
    // (its "." included) or has failed.
    bool Produce(std::string& out, std::size_t want);
    // An attachment could not be opened or read: the message cannot be
    // written as it was meant. Failure() tells which and why.
    [[nodiscard]] bool Failed() const noexcept { return !failure_.empty(); }
    [[nodiscard]] const std::string& Failure() const noexcept { return failure_; }

private:
    enum class Phase { Header, Feed, Body, NextPart, PartData, Closing, Dot, Done };
    struct Part;

    void Step();
    void WriteHeader();
    void FeedStep();
    void BodyStep();
    void StartNextPart();
    void PartStep();
    void EndPart();
    // The boundary and the part's header lines, ended by an empty line.
    void WritePartHeader(const AttachmentRecord& rec, std::string_view contentType, const std::string& name,
                         std::string_view transferEncoding, const std::string& fileName);
    void Base64Block(std::string_view block);
    void PlainTextBlock(std::string_view block);
    void Fail(const std::string& path, const std::string& reason);

    // The component's own lines: dot-stuffed, and broken rather than cut
    // when they are longer than a mail line may be.
    void SendLine(std::string_view line);
    void SendHeaderLine(std::string_view line);
    // Header lines that may carry a long encoded word.
    void SendFolded(std::string_view head, const std::vector<std::string>& words, std::string_view tail);
    void SendSubjectLine();
    void SendFromLine();
    void SendParameterLine(const std::string& head, std::string_view param, const std::string& value);
    // Encoded data of the component's own: dot-stuffed.
    void SendStuffed(std::string_view bytes);
    // The caller's body and fed data: sent unchanged.
    void Emit(std::string_view bytes);
    void InfoNumber(SendMailInfo info, std::uint64_t n);

    MessageSink& sink_;
    MessageContent in_;
    Phase phase_ = Phase::Header;
    std::string* out_ = nullptr;
    bool atLineStart_ = true;
    std::string failure_;
    // The body text and how much of it has gone.
    std::string body_;
    std::size_t bodySent_ = 0;
    std::uint64_t fed_ = 0;
    // The attachment being written.
    std::size_t partIndex_ = 0;
    std::unique_ptr<Part> part_;
    QuotedPrintableEncoder qp_;
    std::string scratch_;
};

} // namespace kitemail

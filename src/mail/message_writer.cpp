#include "mail/message_writer.h"

#include "platform/text_codec.h"
#include "text/jis.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace kitemail {
namespace {

constexpr std::string_view kTextPlainType = "Content-Type: text/plain; charset=\"iso-2022-jp\"";
constexpr std::string_view kSevenBit = "Content-Transfer-Encoding: 7bit";
constexpr std::string_view kDefaultContentType = "application/octet-stream";
// The spelling parts without a record have always carried.
constexpr std::string_view kNoRecordContentType = "application/octect-stream";
constexpr std::string_view kDefaultDisposition = "attachment";

constexpr std::size_t kBase64LineBytes = 57; // 76 characters a line, RFC 2045 6.8
constexpr std::size_t kBase64BlockBytes = 40 * kBase64LineBytes;
constexpr std::size_t kQpBlockBytes = 2048;
constexpr std::size_t kBodyPieceBytes = 2048;
constexpr std::size_t kReadBlockBytes = 2048;

// Opens a file to be read as an attachment: without blocking on a pipe,
// and only when it is a regular file (a device or a pipe may never end).
// -1 with the reason otherwise.
int OpenRegularFile(const std::string& sjisPath, struct stat& st, std::string& reason)
{
    const int fd = ::open(SjisToUtf8(sjisPath).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        reason = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        reason = "not a regular file";
    } else {
        return fd;
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return -1;
}

std::string Quoted(std::string_view s)
{
    std::string out;
    out.reserve(s.size() + 2);
    out.push_back('"');
    out.append(s);
    out.push_back('"');
    return out;
}

} // namespace

std::string PlainFileName(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::uint8_t DetectEncoding(const std::string& path)
{
    struct stat st {};
    std::string reason;
    const int fd = OpenRegularFile(path, st, reason);
    if (fd < 0) {
        return kEncodingBase64;
    }
    std::array<char, kReadBlockBytes> buf{};
    std::size_t lineLength = 0;
    std::uint8_t result = kEncodingPlainText;
    for (ssize_t got; result == kEncodingPlainText && (got = ::read(fd, buf.data(), buf.size())) != 0;) {
        if (got < 0) {
            if (errno != EINTR) {
                result = kEncodingBase64;
            }
            continue;
        }
        for (ssize_t i = 0; i < got && result == kEncodingPlainText; ++i) {
            const auto b = static_cast<unsigned char>(buf[static_cast<std::size_t>(i)]);
            lineLength = (b == '\n' || b == '\r') ? 0 : lineLength + 1;
            // A line must leave room for a doubled leading dot.
            if (b >= 0x7F || b == 0 || lineLength > MessageWriter::kMaxLineBytes - 1) {
                result = kEncodingBase64;
            }
        }
    }
    ::close(fd);
    return result;
}

std::vector<std::string> FoldHeaderLine(std::string_view line)
{
    constexpr std::size_t limit = MessageWriter::kMaxLineBytes - 1; // room for a doubled dot
    std::vector<std::string> pieces;
    std::string rest(line);
    while (rest.size() > limit) {
        std::size_t cut = std::string::npos;
        for (std::size_t i = limit; i > 1; --i) {
            if (rest[i - 1] == ' ' || rest[i - 1] == '\t') {
                cut = i - 1;
                break;
            }
        }
        if (cut == std::string::npos) {
            pieces.push_back(rest.substr(0, limit));
            rest = " " + rest.substr(limit);
        } else {
            pieces.push_back(rest.substr(0, cut));
            rest.erase(0, cut);
        }
    }
    pieces.push_back(std::move(rest));
    return pieces;
}

struct MessageWriter::Part {
    ~Part()
    {
        if (fd >= 0) {
            ::close(fd);
        }
    }

    // Reads the next block of at most `size` bytes into block; none at the
    // end. Only as many bytes as the file held when it was opened are read:
    // those are the ones counted and announced.
    bool Read(std::size_t blockBytes, std::string_view& got, std::string& reason)
    {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(blockBytes, size - done));
        block.resize(blockBytes);
        std::size_t have = 0;
        while (have < want) {
            const ssize_t n = ::read(fd, block.data() + have, want - have);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                reason = std::strerror(errno);
                return false;
            }
            if (n == 0) {
                reason = "the file became shorter while it was sent";
                return false;
            }
            have += static_cast<std::size_t>(n);
        }
        done += have;
        got = std::string_view(block.data(), have);
        return true;
    }

    int fd = -1;
    std::string path;
    AttachmentRecord rec;
    std::uint64_t size = 0;
    std::uint64_t done = 0;
    std::vector<char> block;
    std::uint64_t covered = 0; // base64: bytes of the full lines written
    std::string line;          // plain text: the line being collected
    bool pending = false;
    bool afterCr = false;
};

MessageWriter::MessageWriter(MessageSink& sink, MessageContent content) : sink_(sink), in_(content) {}

MessageWriter::~MessageWriter() = default;

bool MessageWriter::Produce(std::string& out, std::size_t want)
{
    out_ = &out;
    const std::size_t start = out.size();
    while (phase_ != Phase::Done && out.size() - start < want) {
        Step();
    }
    out_ = nullptr;
    return phase_ != Phase::Done;
}

void MessageWriter::Step()
{
    switch (phase_) {
    case Phase::Header:
        WriteHeader();
        phase_ = Phase::Feed;
        break;
    case Phase::Feed: FeedStep(); break;
    case Phase::Body: BodyStep(); break;
    case Phase::NextPart: StartNextPart(); break;
    case Phase::PartData: PartStep(); break;
    case Phase::Closing:
        SendLine("--" + std::string(MimeBoundary) + "--");
        SendLine("");
        phase_ = Phase::Dot;
        break;
    case Phase::Dot:
        Emit(".\r\n");
        phase_ = Phase::Done;
        break;
    case Phase::Done: break;
    }
}

void MessageWriter::WriteHeader()
{
    const bool withAttachments = in_.attachments != nullptr && !in_.attachments->empty();
    SendFromLine();
    const auto recipientLines = [this](const std::vector<std::string>* list, std::string_view label) {
        if (list == nullptr) {
            return;
        }
        for (const std::string& entry : *list) {
            const std::size_t bar = entry.find('|');
            if (bar == std::string::npos) {
                SendHeaderLine(std::string(label) + entry);
            } else {
                const std::string_view name = std::string_view(entry).substr(bar + 1, 999);
                SendHeaderLine(std::string(label) + EncodeQHeader(name) + " <" + entry.substr(0, bar) + ">");
            }
        }
    };
    recipientLines(in_.listTo, "To: ");
    recipientLines(in_.listCc, "cc: ");
    if (!in_.date.empty()) {
        SendHeaderLine("Date: " + std::string(in_.date));
    }
    if (!in_.subject.empty()) {
        SendSubjectLine();
    }
    SendHeaderLine("Mime-Version: 1.0");
    if (withAttachments) {
        SendHeaderLine("Content-Type: multipart/mixed; boundary=" + Quoted(MimeBoundary));
    } else {
        SendHeaderLine(kTextPlainType);
        SendHeaderLine(kSevenBit);
    }
    if (in_.headers != nullptr) {
        for (const std::string& h : *in_.headers) {
            SendHeaderLine(EncodeHeaderLine(h));
        }
    }
    SendLine("");
    const bool hasText = in_.mailText != nullptr && !in_.mailText->empty();
    if (withAttachments && hasText) {
        SendLine("--" + std::string(MimeBoundary));
        SendLine(kTextPlainType);
        SendLine(kSevenBit);
        SendLine("");
    }
}

void MessageWriter::FeedStep()
{
    std::string data;
    if (sink_.FeedData(data) && !data.empty()) {
        Emit(data);
        fed_ += data.size();
        InfoNumber(SendMailInfo::Info_BodyProgress, fed_);
        return;
    }
    phase_ = Phase::NextPart;
    if (in_.mailText == nullptr || in_.mailText->empty()) {
        return;
    }
    for (const std::string& line : *in_.mailText) {
        body_ += line;
        body_ += "\r\n";
    }
    InfoNumber(SendMailInfo::Info_BodySize, body_.size());
    phase_ = Phase::Body;
}

void MessageWriter::BodyStep()
{
    const std::size_t n = std::min(kBodyPieceBytes, body_.size() - bodySent_);
    Emit(std::string_view(body_).substr(bodySent_, n));
    bodySent_ += n;
    InfoNumber(SendMailInfo::Info_BodyProgress, bodySent_);
    if (bodySent_ == body_.size()) {
        SendLine("");
        std::string().swap(body_);
        phase_ = Phase::NextPart;
    }
}

void MessageWriter::StartNextPart()
{
    if (in_.attachments == nullptr || in_.attachments->empty()) {
        phase_ = Phase::Dot;
        return;
    }
    if (partIndex_ >= in_.attachments->size()) {
        phase_ = Phase::Closing;
        return;
    }
    const std::size_t i = partIndex_++;
    std::optional<AttachmentRecord>* slot =
        in_.records != nullptr && i < in_.records->size() ? &(*in_.records)[i] : nullptr;
    AttachmentRecord rec;
    if (slot == nullptr || !slot->has_value()) {
        rec.AttachmentEncoding = kEncodingBase64;
        rec.contentType = kNoRecordContentType;
        rec.disposition = kDefaultDisposition;
        rec.fileName = (*in_.attachments)[i];
    } else {
        AttachmentRecord& kept = **slot;
        if (kept.AttachmentEncoding == kEncodingDetect) {
            kept.AttachmentEncoding = DetectEncoding(kept.fileName);
        }
        if (kept.contentType.empty()) {
            kept.contentType = kDefaultContentType;
        }
        if (kept.disposition.empty()) {
            kept.disposition = kDefaultDisposition;
        }
        rec = kept;
    }
    if (rec.AttachmentEncoding < kEncodingBase64 || rec.AttachmentEncoding > kEncodingUuencode) {
        return; // an encoding the component does not know: no part
    }
    const std::string path = rec.fileName;
    sink_.Info(SendMailInfo::Info_AttachmentStart, path);
    auto part = std::make_unique<Part>();
    struct stat st {};
    std::string reason;
    part->fd = OpenRegularFile(path, st, reason);
    if (part->fd < 0) {
        Fail(path, reason);
        return;
    }
    part->path = path;
    part->size = static_cast<std::uint64_t>(st.st_size);
    part->rec = std::move(rec);
    part_ = std::move(part);
    const AttachmentRecord& r = part_->rec;
    const std::string plain = PlainFileName(path);
    const std::string named = r.name.empty() ? plain : r.name;
    switch (r.AttachmentEncoding) {
    case kEncodingBase64: {
        // Always an encoded word, even for a plain ASCII name.
        const std::string partName = EncodeJisWord(plain);
        WritePartHeader(r, r.contentType, partName, "base64", partName);
        InfoNumber(SendMailInfo::Info_AttachmentSize, part_->size);
        break;
    }
    case kEncodingQuotedPrintable:
        WritePartHeader(r, r.contentType, named, "Quoted-Printable", plain);
        qp_.Reset();
        break;
    case kEncodingPlainText: WritePartHeader(r, r.contentType, named, {}, plain); break;
    default: { // uuencode
        const std::size_t dot = named.rfind('.');
        const std::string uueName = (dot == std::string::npos ? named : named.substr(0, dot)) + ".uue";
        WritePartHeader(r, "application/octet-stream", uueName, {}, uueName);
        SendLine(std::string(61, '='));
        SendLine("begin 666 " + named);
        break;
    }
    }
    phase_ = Phase::PartData;
}

void MessageWriter::PartStep()
{
    static constexpr std::size_t kBlockBytes[] = {0, kBase64BlockBytes, kQpBlockBytes, kReadBlockBytes, kUuBlockSize};
    const std::uint8_t encoding = part_->rec.AttachmentEncoding;
    std::string_view block;
    std::string reason;
    if (!part_->Read(kBlockBytes[encoding], block, reason)) {
        Fail(part_->path, reason);
        return;
    }
    if (block.empty()) {
        EndPart();
        return;
    }
    switch (encoding) {
    case kEncodingBase64: Base64Block(block); break;
    case kEncodingQuotedPrintable:
        scratch_.clear();
        qp_.Encode(block, scratch_);
        SendStuffed(scratch_);
        break;
    case kEncodingPlainText: PlainTextBlock(block); break;
    default:
        scratch_.clear();
        EncodeUuBlock(block, scratch_);
        SendStuffed(scratch_);
        break;
    }
}

void MessageWriter::EndPart()
{
    switch (part_->rec.AttachmentEncoding) {
    case kEncodingQuotedPrintable: SendLine(""); break;
    case kEncodingPlainText:
        if (part_->pending) {
            SendLine(part_->line);
        }
        break;
    case kEncodingUuencode:
        SendLine("");
        SendLine("end");
        break;
    default: break; // no empty line follows base64 data
    }
    part_.reset();
    phase_ = Phase::NextPart;
}

void MessageWriter::Fail(const std::string& path, const std::string& reason)
{
    sink_.Info(SendMailInfo::Info_AttachmentFailed, path);
    failure_ = path + ": " + reason;
    part_.reset();
    phase_ = Phase::Done;
}

void MessageWriter::WritePartHeader(const AttachmentRecord& rec, std::string_view contentType,
                                    const std::string& name, std::string_view transferEncoding,
                                    const std::string& fileName)
{
    SendLine("--" + std::string(MimeBoundary));
    SendParameterLine("Content-Type: " + std::string(contentType), "name", name);
    if (!transferEncoding.empty()) {
        SendLine("Content-Transfer-Encoding: " + std::string(transferEncoding));
    }
    if (!rec.disposition.empty()) {
        SendParameterLine("Content-Disposition: " + rec.disposition, "filename", fileName);
    }
    if (!rec.description.empty()) {
        SendLine("Content-Description: " + rec.description);
    }
    SendLine("");
}

void MessageWriter::Base64Block(std::string_view block)
{
    std::string& out = *out_;
    std::size_t pos = 0;
    for (; pos + kBase64LineBytes <= block.size(); pos += kBase64LineBytes) {
        AppendBase64(out, block.substr(pos, kBase64LineBytes));
        out += "\r\n";
        part_->covered += kBase64LineBytes;
        InfoNumber(SendMailInfo::Info_AttachmentProgress, part_->covered);
    }
    if (pos < block.size()) { // only the file's last block can leave bytes over
        AppendBase64(out, block.substr(pos));
        out += "\r\n";
        part_->covered += block.size() - pos;
        InfoNumber(SendMailInfo::Info_AttachmentProgress, part_->covered);
    }
    atLineStart_ = true;
}

void MessageWriter::PlainTextBlock(std::string_view block)
{
    // The file as text: a line ends at CR LF, LF or CR, and a last line
    // without an end is a line all the same.
    Part& p = *part_;
    for (const char c : block) {
        if (c == '\n' && p.afterCr) {
            p.afterCr = false;
            continue;
        }
        p.afterCr = c == '\r';
        if (c == '\r' || c == '\n') {
            SendLine(p.line);
            p.line.clear();
            p.pending = false;
        } else {
            p.line.push_back(c);
            p.pending = true;
        }
    }
}

void MessageWriter::SendLine(std::string_view line)
{
    std::string& out = *out_;
    do {
        const bool dot = atLineStart_ && !line.empty() && line.front() == '.';
        const std::size_t room = kMaxLineBytes - (dot ? 1 : 0);
        const std::string_view piece = line.substr(0, room);
        line.remove_prefix(piece.size());
        if (dot) {
            out.push_back('.');
        }
        out.append(piece);
        out += "\r\n";
        atLineStart_ = true;
    } while (!line.empty());
}

void MessageWriter::SendHeaderLine(std::string_view line)
{
    for (const std::string& piece : FoldHeaderLine(line)) {
        SendLine(piece);
    }
}

// A header whose one encoded word would make its line longer than a line
// with encoded words may be is folded into several words, one a line; one
// that fits goes out as it always has.
void MessageWriter::SendFolded(std::string_view head, const std::vector<std::string>& words, std::string_view tail)
{
    for (std::size_t i = 0; i < words.size(); ++i) {
        SendLine((i == 0 ? std::string(head) : std::string(" ")) + words[i]
                 + (i + 1 == words.size() ? std::string(tail) : std::string()));
    }
}

void MessageWriter::SendSubjectLine()
{
    constexpr std::string_view head = "Subject: ";
    const std::string line = EncodeHeaderLine(std::string(head) + std::string(in_.subject));
    std::vector<std::string> words;
    if (head.size() + in_.subject.size() + 2 > kMaxEncodedWordLine) {
        words = SplitJisWord(in_.subject, kMaxEncodedWordLine - head.size(), kMaxEncodedWord);
    }
    if (words.empty()) {
        SendHeaderLine(line);
        return;
    }
    SendFolded(head, words, {});
}

void MessageWriter::SendFromLine()
{
    constexpr std::string_view head = "From: ";
    const std::string address = " <" + std::string(in_.fromAddress) + ">";
    const std::string line = std::string(head) + EncodeQHeader(in_.fromName) + address;
    std::vector<std::string> words;
    if (line.size() > kMaxEncodedWordLine) {
        words = SplitJisWord(in_.fromName, kMaxEncodedWordLine - head.size(), kMaxEncodedWord);
    }
    if (words.size() < 2) {
        SendHeaderLine(line);
        return;
    }
    // The address after the last word when it fits there, else on a line of its own.
    const bool fits = 1 + words.back().size() + address.size() <= kMaxEncodedWordLine;
    SendFolded(head, words, fits ? std::string_view(address) : std::string_view());
    if (!fits) {
        SendHeaderLine(address);
    }
}

// `head; param="value"`; a value too long for one encoded word goes on
// lines of its own, as several, inside its quotes. One that is a single
// word stays on the line as it always has.
void MessageWriter::SendParameterLine(const std::string& head, std::string_view param, const std::string& value)
{
    const std::string line = head + "; " + std::string(param) + "=" + Quoted(value);
    std::vector<std::string> words;
    const std::string lead = " " + std::string(param) + "=\"";
    if (line.size() > kMaxEncodedWordLine && value.size() > kMaxEncodedWord) {
        // One character less on each line: room for the closing quote.
        words = SplitJisWord(value, kMaxEncodedWordLine - lead.size() - 1, kMaxEncodedWord - 1);
    }
    if (words.empty()) {
        SendLine(line);
        return;
    }
    SendLine(head + ";");
    SendFolded(lead, words, "\"");
}

void MessageWriter::SendStuffed(std::string_view bytes)
{
    if (bytes.empty()) {
        return;
    }
    std::string& out = *out_;
    out.reserve(out.size() + bytes.size() + 16);
    bool start = atLineStart_;
    for (const char c : bytes) {
        if (start && c == '.') {
            out.push_back('.');
        }
        out.push_back(c);
        start = c == '\n';
    }
    atLineStart_ = start;
}

void MessageWriter::Emit(std::string_view bytes)
{
    if (bytes.empty()) {
        return;
    }
    out_->append(bytes);
    atLineStart_ = bytes.back() == '\n';
}

void MessageWriter::InfoNumber(SendMailInfo info, std::uint64_t n)
{
    if (sink_.WantsInfo()) {
        sink_.Info(info, std::to_string(n));
    }
}

} // namespace kitemail

#include "mail/message_writer.h"

#include "mail/jis.h"
#include "platform/text_codec.h"

#include <algorithm>
#include <array>
#include <memory>

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

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenForReading(const std::string& sjisPath)
{
    return File(std::fopen(SjisToUtf8(sjisPath).c_str(), "rb"));
}

// Fills buf as far as the file allows; false on a read error.
bool ReadBlock(std::FILE* f, char* buf, std::size_t size, std::size_t& got)
{
    got = std::fread(buf, 1, size, f);
    return got == size || std::ferror(f) == 0;
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
    File f = OpenForReading(path);
    if (!f) {
        return kEncodingBase64;
    }
    std::array<char, kReadBlockBytes> buf{};
    std::size_t lineLength = 0;
    for (;;) {
        std::size_t got = 0;
        if (!ReadBlock(f.get(), buf.data(), buf.size(), got)) {
            return kEncodingBase64;
        }
        for (std::size_t i = 0; i < got; ++i) {
            const auto b = static_cast<unsigned char>(buf[i]);
            if (b >= 0x7F || b == 0) {
                return kEncodingBase64;
            }
            lineLength = (b == '\n' || b == '\r') ? 0 : lineLength + 1;
            if (lineLength > MessageWriter::kMaxLineBytes - 1) {
                return kEncodingBase64; // leave room for a doubled leading dot
            }
        }
        if (got < buf.size()) {
            return kEncodingPlainText;
        }
    }
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

void MessageWriter::Write()
{
    atLineStart_ = true;
    WriteHeader();
    WriteBody();
    WriteAttachments();
    if (Finished()) {
        return;
    }
    Emit(".\r\n");
}

void MessageWriter::WriteHeader()
{
    const bool withAttachments = in_.attachments != nullptr && !in_.attachments->empty();
    SendHeaderLine("From: " + EncodeQHeader(in_.fromName) + " <" + std::string(in_.fromAddress) + ">");
    const auto recipientLines = [this](const std::vector<std::string>* list, std::string_view label) {
        if (list == nullptr) {
            return;
        }
        for (const std::string& entry : *list) {
            if (Finished()) {
                return;
            }
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
    if (!in_.subject.empty()) {
        SendHeaderLine(EncodeHeaderLine("Subject: " + std::string(in_.subject)));
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

void MessageWriter::WriteBody()
{
    std::uint64_t fed = 0;
    std::string data;
    for (;;) {
        if (Finished()) {
            return;
        }
        data.clear();
        if (!sink_.FeedData(data) || data.empty()) {
            break;
        }
        SendRaw(data);
        fed += data.size();
        InfoNumber(SendMailInfo::Info_BodyProgress, fed);
    }
    if (in_.mailText == nullptr || in_.mailText->empty()) {
        return;
    }
    std::string text;
    for (const std::string& line : *in_.mailText) {
        text += line;
        text += "\r\n";
    }
    text.resize(std::min(text.size(), text.find('\0'))); // a C text ends at its first zero byte
    InfoNumber(SendMailInfo::Info_BodySize, text.size());
    const std::string_view all(text);
    std::size_t sent = 0;
    while (sent < all.size()) {
        if (Finished()) {
            return;
        }
        const std::size_t n = std::min(kBodyPieceBytes, all.size() - sent);
        SendRaw(all.substr(sent, n));
        sent += n;
        InfoNumber(SendMailInfo::Info_BodyProgress, sent);
    }
    SendLine("");
}

void MessageWriter::WriteAttachments()
{
    if (in_.attachments == nullptr || in_.attachments->empty()) {
        return;
    }
    for (std::size_t i = 0; i < in_.attachments->size(); ++i) {
        if (Finished()) {
            return;
        }
        std::optional<AttachmentRecord>* slot =
            in_.records != nullptr && i < in_.records->size() ? &(*in_.records)[i] : nullptr;
        if (slot == nullptr || !slot->has_value()) {
            AttachmentRecord defaults;
            defaults.AttachmentEncoding = kEncodingBase64;
            defaults.contentType = kNoRecordContentType;
            defaults.disposition = kDefaultDisposition;
            WritePart((*in_.attachments)[i], defaults);
            continue;
        }
        AttachmentRecord& rec = **slot;
        if (rec.AttachmentEncoding == kEncodingDetect) {
            rec.AttachmentEncoding = DetectEncoding(rec.fileName);
        }
        if (rec.contentType.empty()) {
            rec.contentType = kDefaultContentType;
        }
        if (rec.disposition.empty()) {
            rec.disposition = kDefaultDisposition;
        }
        WritePart(rec.fileName, rec);
    }
    if (Finished()) {
        return;
    }
    SendLine("--" + std::string(MimeBoundary) + "--");
    SendLine("");
}

void MessageWriter::WritePart(const std::string& path, const AttachmentRecord& rec)
{
    if (rec.AttachmentEncoding < kEncodingBase64 || rec.AttachmentEncoding > kEncodingUuencode) {
        return; // an encoding the component does not know: no part
    }
    Info(SendMailInfo::Info_AttachmentStart, path);
    const File f = OpenForReading(path);
    if (!f) {
        Info(SendMailInfo::Info_AttachmentFailed, path);
        return;
    }
    switch (rec.AttachmentEncoding) {
    case kEncodingBase64: WriteBase64Part(f.get(), path, rec); break;
    case kEncodingQuotedPrintable: WriteQuotedPrintablePart(f.get(), path, rec); break;
    case kEncodingPlainText: WritePlainTextPart(f.get(), path, rec); break;
    case kEncodingUuencode: WriteUuencodePart(f.get(), path, rec); break;
    default: break;
    }
}

void MessageWriter::WritePartHeader(const AttachmentRecord& rec, std::string_view contentType,
                                    const std::string& name, std::string_view transferEncoding,
                                    const std::string& fileName)
{
    SendLine("--" + std::string(MimeBoundary));
    SendLine("Content-Type: " + std::string(contentType) + "; name=" + name);
    if (!transferEncoding.empty()) {
        SendLine("Content-Transfer-Encoding: " + std::string(transferEncoding));
    }
    if (!rec.disposition.empty()) {
        SendLine("Content-Disposition: " + rec.disposition + "; filename=" + fileName);
    }
    if (!rec.description.empty()) {
        SendLine("Content-Description: " + rec.description);
    }
    SendLine("");
}

void MessageWriter::WriteBase64Part(std::FILE* f, const std::string& path, const AttachmentRecord& rec)
{
    // Always an encoded word, even for a plain ASCII name.
    const std::string partName = Quoted(EncodeJisWord(PlainFileName(path)));
    WritePartHeader(rec, rec.contentType, partName, "base64", partName);
    if (std::fseek(f, 0, SEEK_END) == 0) {
        const long size = std::ftell(f);
        std::rewind(f);
        InfoNumber(SendMailInfo::Info_AttachmentSize, size < 0 ? 0u : static_cast<std::uint64_t>(size));
    }
    std::array<char, kBase64BlockBytes> block{};
    std::string line;
    std::uint64_t covered = 0;
    for (;;) {
        if (Finished()) {
            return;
        }
        std::size_t got = 0;
        if (!ReadBlock(f, block.data(), block.size(), got)) {
            Info(SendMailInfo::Info_AttachmentFailed, path);
            return;
        }
        std::size_t pos = 0;
        for (; pos + kBase64LineBytes <= got; pos += kBase64LineBytes) {
            if (Finished()) {
                return;
            }
            line.clear();
            AppendBase64(line, std::string_view(block.data() + pos, kBase64LineBytes));
            line += "\r\n";
            Emit(line);
            covered += kBase64LineBytes;
            InfoNumber(SendMailInfo::Info_AttachmentProgress, covered);
        }
        if (pos < got) { // only the file's last block can leave bytes over
            line.clear();
            AppendBase64(line, std::string_view(block.data() + pos, got - pos));
            line += "\r\n";
            Emit(line);
            covered += got - pos;
            InfoNumber(SendMailInfo::Info_AttachmentProgress, covered);
        }
        if (got < block.size()) {
            return;
        }
    }
}

void MessageWriter::WriteQuotedPrintablePart(std::FILE* f, const std::string& path, const AttachmentRecord& rec)
{
    const std::string plain = PlainFileName(path);
    const std::string partName = rec.name.empty() ? plain : rec.name;
    WritePartHeader(rec, rec.contentType, Quoted(partName), "Quoted-Printable", Quoted(plain));
    qp_.Reset();
    if (!SendEncodedBlocks(f, path, kQpBlockBytes,
                           [this](std::string_view in, std::string& out) { qp_.Encode(in, out); })) {
        return;
    }
    SendLine("");
}

void MessageWriter::WritePlainTextPart(std::FILE* f, const std::string& path, const AttachmentRecord& rec)
{
    const std::string plain = PlainFileName(path);
    const std::string partName = rec.name.empty() ? plain : rec.name;
    WritePartHeader(rec, rec.contentType, Quoted(partName), {}, Quoted(plain));
    // The file as text: a line ends at CR LF, LF or CR, and a last line
    // without an end is a line all the same.
    std::array<char, kReadBlockBytes> block{};
    std::string line;
    bool pending = false;
    bool afterCr = false;
    for (;;) {
        if (Finished()) {
            return;
        }
        std::size_t got = 0;
        if (!ReadBlock(f, block.data(), block.size(), got)) {
            Info(SendMailInfo::Info_AttachmentFailed, path);
            return;
        }
        for (std::size_t i = 0; i < got; ++i) {
            const char c = block[i];
            if (c == '\n' && afterCr) {
                afterCr = false;
                continue;
            }
            afterCr = c == '\r';
            if (c == '\r' || c == '\n') {
                SendLine(line);
                line.clear();
                pending = false;
            } else {
                line.push_back(c);
                pending = true;
            }
        }
        if (got < block.size()) {
            break;
        }
    }
    if (pending) {
        SendLine(line);
    }
}

void MessageWriter::WriteUuencodePart(std::FILE* f, const std::string& path, const AttachmentRecord& rec)
{
    const std::string plain = PlainFileName(path);
    const std::string partName = rec.name.empty() ? plain : rec.name;
    const std::size_t dot = partName.rfind('.');
    const std::string uueName = (dot == std::string::npos ? partName : partName.substr(0, dot)) + ".uue";
    WritePartHeader(rec, "application/octet-stream", Quoted(uueName), {}, Quoted(uueName));
    SendLine(std::string(61, '='));
    SendLine("begin 666 " + partName);
    if (!SendEncodedBlocks(f, path, kUuBlockSize, EncodeUuBlock)) {
        return;
    }
    SendLine("");
    SendLine("end");
}

bool MessageWriter::SendEncodedBlocks(std::FILE* f, const std::string& path, std::size_t blockBytes,
                                      const std::function<void(std::string_view, std::string&)>& encode)
{
    std::vector<char> block(blockBytes);
    for (;;) {
        if (Finished()) {
            return false;
        }
        std::size_t got = 0;
        if (!ReadBlock(f, block.data(), block.size(), got)) {
            Info(SendMailInfo::Info_AttachmentFailed, path);
            return false;
        }
        scratch_.clear();
        encode(std::string_view(block.data(), got), scratch_);
        SendStuffed(scratch_);
        if (got < block.size()) {
            return true;
        }
    }
}

void MessageWriter::SendLine(std::string_view line)
{
    if (Finished()) {
        return;
    }
    std::string out;
    do {
        const bool dot = atLineStart_ && !line.empty() && line.front() == '.';
        const std::size_t room = kMaxLineBytes - (dot ? 1 : 0);
        const std::string_view piece = line.substr(0, room);
        line.remove_prefix(piece.size());
        out.clear();
        if (dot) {
            out.push_back('.');
        }
        out.append(piece);
        out += "\r\n";
        Emit(out);
    } while (!line.empty());
}

void MessageWriter::SendHeaderLine(std::string_view line)
{
    for (const std::string& piece : FoldHeaderLine(line)) {
        SendLine(piece);
    }
}

void MessageWriter::SendStuffed(std::string_view bytes)
{
    if (Finished() || bytes.empty()) {
        return;
    }
    std::string out;
    out.reserve(bytes.size() + 16);
    bool start = atLineStart_;
    for (const char c : bytes) {
        if (start && c == '.') {
            out.push_back('.');
        }
        out.push_back(c);
        start = c == '\n';
    }
    Emit(out);
}

void MessageWriter::SendRaw(std::string_view bytes)
{
    Emit(bytes);
}

void MessageWriter::Emit(std::string_view bytes)
{
    if (Finished() || bytes.empty()) {
        return;
    }
    sink_.Write(bytes);
    atLineStart_ = bytes.back() == '\n';
}

void MessageWriter::Info(SendMailInfo info, const std::string& text)
{
    sink_.Info(info, text);
}

void MessageWriter::InfoNumber(SendMailInfo info, std::uint64_t n)
{
    if (sink_.WantsInfo()) {
        sink_.Info(info, std::to_string(n));
    }
}

} // namespace kitemail

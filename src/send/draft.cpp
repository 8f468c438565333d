#include "send/draft.h"

#include "accounting/counter.h"
#include "platform/file_io.h"
#include "platform/profile.h"
#include "platform/text_codec.h"
#include "send/history_folder.h"
#include "send/history_record.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace kitemail {
namespace {

constexpr std::string_view kMagic = "Kitemail-Draft: 1";
constexpr std::string_view kDraftName = "Draft.txt";

void ReplaceAll(std::string& s, std::string_view from, std::string_view to)
{
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
        s.replace(at, from.size(), to);
    }
}

std::string WithCrLf(std::string text)
{
    ReplaceAll(text, "\n", "\r\n");
    return text;
}

std::string WithoutCrLf(std::string text)
{
    ReplaceAll(text, "\r\n", "\n");
    return text;
}

// Whether the UTF-8 text survives Shift_JIS unchanged (the forms that
// encode to a Windows character decode to that one, not back).
bool FitsSjis(std::string_view utf8)
{
    const SjisEncoding encoded = Utf8ToSjis(utf8);
    return encoded.ok() && SjisToUtf8(encoded.bytes) == utf8;
}

bool OneLine(std::string_view value)
{
    return value.find_first_of("\r\n") == std::string_view::npos;
}

} // namespace

std::string FormatDraft(const Draft& d)
{
    const std::string body = WithCrLf(d.body);
    const bool sjis = std::ranges::all_of(std::initializer_list<std::string_view>{d.address, d.subject, d.pin, body},
                                          FitsSjis);
    const auto text = [sjis](std::string_view utf8) { return sjis ? Utf8ToSjis(utf8).bytes : std::string(utf8); };
    std::string out;
    const auto line = [&out](std::string_view key, std::string_view value) {
        if (OneLine(value)) {
            out.append(key).append(": ").append(value).append("\r\n");
        }
    };
    out.append(kMagic).append("\r\n");
    line("Charset", sjis ? "Shift_JIS" : "UTF-8");
    line("Mode", d.mode == RecipientMode::Direct ? "Direct" : "AddressBook");
    line("Address", text(d.address));
    line("Type", std::to_string(TerminalTypeNumber(d.type)));
    for (const std::string& entry : d.ticked) {
        line("Ticked", entry);
    }
    line("Subject", text(d.subject));
    line("PIN", text(d.pin));
    for (const std::string& path : d.attachments) {
        line("Attachment", path);
    }
    line("Animation", d.animation ? "1" : "0");
    line("Caret", std::to_string(d.caret));
    out += "\r\n";
    out += text(body);
    return out;
}

std::optional<Draft> ParseDraft(std::string_view text)
{
    std::vector<std::pair<std::string_view, std::string_view>> fields;
    std::size_t pos = 0;
    bool first = true;
    while (true) {
        const std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            return std::nullopt; // no end of the header: cut short
        }
        std::string_view lineText = text.substr(pos, end - pos);
        if (lineText.ends_with('\r')) {
            lineText.remove_suffix(1);
        }
        pos = end + 1;
        if (first) {
            if (lineText != kMagic) {
                return std::nullopt;
            }
            first = false;
            continue;
        }
        if (lineText.empty()) {
            break;
        }
        const std::size_t colon = lineText.find(": ");
        if (colon != std::string_view::npos) {
            fields.emplace_back(lineText.substr(0, colon), lineText.substr(colon + 2));
        }
    }
    bool sjis = true;
    for (const auto& [key, value] : fields) {
        if (key == "Charset") {
            sjis = value != "UTF-8";
        }
    }
    const auto utf8 = [sjis](std::string_view value) { return sjis ? SjisToUtf8(value) : std::string(value); };
    Draft d;
    for (const auto& [key, value] : fields) {
        if (key == "Mode") {
            d.mode = value == "AddressBook" ? RecipientMode::AddressBook : RecipientMode::Direct;
        } else if (key == "Address") {
            d.address = utf8(value);
        } else if (key == "Type") {
            d.type = TerminalTypeFromNumber(ParseDecimal(value).value_or(-1));
        } else if (key == "Ticked") {
            d.ticked.emplace_back(value);
        } else if (key == "Subject") {
            d.subject = utf8(value);
        } else if (key == "PIN") {
            d.pin = utf8(value);
        } else if (key == "Attachment") {
            d.attachments.emplace_back(value);
        } else if (key == "Animation") {
            d.animation = value == "1";
        } else if (key == "Caret") {
            d.caret = std::max(0, ParseDecimal(value).value_or(0));
        }
    }
    d.body = WithoutCrLf(utf8(text.substr(pos)));
    return d;
}

std::filesystem::path DraftPath(const std::filesystem::path& dataDir)
{
    return dataDir / kDraftName;
}

std::optional<std::string> WriteDraft(const std::filesystem::path& dataDir, const Draft& draft)
{
    return WriteFileAtomically(DraftPath(dataDir), FormatDraft(draft), 0600);
}

std::optional<Draft> ReadDraft(const std::filesystem::path& dataDir)
{
    std::string reason;
    const std::optional<std::string> bytes = ReadWholeFile(DraftPath(dataDir), reason);
    return bytes ? ParseDraft(*bytes) : std::nullopt;
}

void RemoveDraft(const std::filesystem::path& dataDir)
{
    std::error_code ec;
    std::filesystem::remove(DraftPath(dataDir), ec);
}

int RemoveDraftLeftovers(const std::filesystem::path& dataDir)
{
    // WriteFileAtomically's temporary names: "." + name + "." + six letters or digits.
    const std::string prefix = "." + std::string(kDraftName) + ".";
    int removed = 0;
    std::error_code ec;
    for (const std::filesystem::directory_entry& e : std::filesystem::directory_iterator(dataDir, ec)) {
        const std::string name = e.path().filename().native();
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix)
            && std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                           [](unsigned char c) { return std::isalnum(c) != 0; })
            && e.is_regular_file(ec) && std::filesystem::remove(e.path(), ec)) {
            ++removed;
        }
    }
    return removed;
}

std::vector<std::string> TakeMissingAttachments(std::vector<std::string>& paths)
{
    std::vector<std::string> missing;
    std::erase_if(paths, [&missing](const std::string& path) {
        if (AttachmentProblem(path).empty()) {
            return false;
        }
        missing.push_back(path);
        return true;
    });
    return missing;
}

std::filesystem::path RunMarkerPath(const std::filesystem::path& dataDir)
{
    return dataDir / "Kitemail.running";
}

bool BeginRun(const std::filesystem::path& dataDir)
{
    std::error_code ec;
    const bool was = std::filesystem::exists(RunMarkerPath(dataDir), ec);
    if (!was) {
        const int fd = ::open(RunMarkerPath(dataDir).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        }
    }
    return was;
}

void EndRun(const std::filesystem::path& dataDir)
{
    std::error_code ec;
    std::filesystem::remove(RunMarkerPath(dataDir), ec);
}

std::string DraftRestoredText()
{
    return Sj("前回の下書きを復元しました。");
}

std::string MissingAttachmentsText(const std::vector<std::string>& missing)
{
    return missing.empty() ? std::string() : Sj(" 見つからない添付ファイルを外しました: ") + CommaText(missing);
}

} // namespace kitemail

namespace kitemail {

Draft DraftFromRecord(std::string_view record, const TerminalTypes& types)
{
    const HistoryFields fields = ParseHistoryFields(record);
    Draft d;
    d.mode = RecipientMode::Direct;
    d.address = SjisToUtf8(fields.to);
    d.type = RecordTerminalType(fields.phoneType, types);
    d.subject = SjisToUtf8(fields.subject);
    d.body = WithoutCrLf(SjisToUtf8(HistoryBody(record)));
    if (!fields.attachments.empty()) {
        d.attachments = SplitCommaText(fields.attachments);
    }
    return d;
}

} // namespace kitemail

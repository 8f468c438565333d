#include "send/history_folder.h"

#include "platform/file_io.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "send/history_record.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <tuple>
#include <unistd.h>
#include <unordered_set>

namespace kitemail {
namespace {

// An address line is short; this only bounds what a damaged file costs.
constexpr std::size_t kMaxFirstLine = 64 * 1024;
constexpr std::size_t kReadChunk = 512;

// What a record name sorts by: the 14-digit time stamp, then the counter
// after it as a number (its text, without leading zeros, compared by length
// first, so that 99 < 100 with no bound on the digits), then the rest; each
// text part ignoring ASCII case. A name of another shape sorts the same way
// by its parts, which keeps the order total.
struct RecordSortKey {
    std::string stamp;
    std::string counter;
    std::string rest;
    std::string name; // the last word between names that differ only in case or zeros

    explicit RecordSortKey(std::string fileName) : name(std::move(fileName))
    {
        constexpr std::size_t kStampLength = 14;
        const std::size_t stampEnd = std::min(name.size(), kStampLength);
        std::size_t counterEnd = stampEnd;
        while (counterEnd < name.size() && name[counterEnd] >= '0' && name[counterEnd] <= '9') {
            ++counterEnd;
        }
        std::size_t counterStart = stampEnd;
        while (counterStart + 1 < counterEnd && name[counterStart] == '0') {
            ++counterStart;
        }
        stamp = Lower(std::string_view(name).substr(0, stampEnd));
        counter = name.substr(counterStart, counterEnd - counterStart);
        rest = Lower(std::string_view(name).substr(counterEnd));
    }

    static std::string Lower(std::string_view text)
    {
        std::string lower(text);
        std::ranges::transform(lower, lower.begin(), sjis::AsciiLower);
        return lower;
    }

    friend bool operator<(const RecordSortKey& a, const RecordSortKey& b)
    {
        if (a.stamp != b.stamp) {
            return a.stamp < b.stamp;
        }
        if (a.counter.size() != b.counter.size()) {
            return a.counter.size() < b.counter.size();
        }
        return std::tie(a.counter, a.rest, a.name) < std::tie(b.counter, b.rest, b.name);
    }
};

bool IsRecordName(const std::string& name)
{
    return sjis::EndsWithIgnoringAsciiCase(name, ".eml");
}

bool IsFile(const std::filesystem::path& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// Removes a record; one already gone counts as removed.
bool RemoveFile(const std::filesystem::path& path, std::string& error)
{
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) {
        return true;
    }
    error = path.string() + ": " + std::strerror(errno);
    return false;
}

std::string Names(const std::vector<std::filesystem::path>& paths)
{
    std::string names;
    for (const auto& p : paths) {
        names += "\r\n" + p.filename().string();
    }
    return names;
}

} // namespace

std::vector<std::filesystem::path> ListHistoryFiles(const std::filesystem::path& folder)
{
    std::vector<RecordSortKey> keys;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (IsRecordName(name)) {
            keys.emplace_back(std::move(name));
        }
    }
    std::sort(keys.begin(), keys.end());
    std::vector<std::filesystem::path> files;
    files.reserve(keys.size());
    for (const RecordSortKey& key : keys) {
        files.push_back(folder / key.name);
    }
    return files;
}

std::optional<std::string> ReadFirstLine(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string line;
    char buf[kReadChunk];
    bool ok = true;
    while (line.size() < kMaxFirstLine) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        const std::string_view chunk(buf, static_cast<std::size_t>(n));
        const std::size_t end = chunk.find_first_of("\r\n");
        line.append(chunk.substr(0, end));
        if (end != std::string_view::npos) {
            break;
        }
    }
    ::close(fd);
    if (!ok) {
        return std::nullopt; // a folder opens but does not read
    }
    return line;
}

HistoryFields ParseHistoryFields(std::string_view record)
{
    HistoryFields fields;
    const std::pair<std::string_view, std::string*> names[] = {
        {"To: ", &fields.to},
        {"Date: ", &fields.date},
        {"Subject: ", &fields.subject},
        {"X-ktml-Result: ", &fields.result},
        {"X-ktml-PhoneType: ", &fields.phoneType},
        {"X-ktml-Attachments: ", &fields.attachments},
    };
    // The first line of each name counts, even an empty one: a later line
    // of the same name is no part of the record's header as written.
    bool seen[std::size(names)] = {};
    while (!record.empty()) {
        const std::size_t end = record.find_first_of("\r\n");
        const std::string_view line = record.substr(0, end);
        if (line.empty()) {
            break;
        }
        for (std::size_t i = 0; i < std::size(names); ++i) {
            if (!seen[i] && line.starts_with(names[i].first)) {
                seen[i] = true;
                *names[i].second = std::string(line.substr(names[i].first.size()));
            }
        }
        if (end == std::string_view::npos) {
            break;
        }
        const std::size_t next = record.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
        record.remove_prefix(next);
    }
    return fields;
}

std::string HistoryBody(std::string_view record)
{
    std::size_t pos = 0;
    while (pos < record.size()) {
        const std::size_t end = record.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            return {};
        }
        const std::size_t next = record.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
        if (end == pos) {
            std::string_view body = record.substr(next);
            if (body.ends_with("\r\n")) {
                body.remove_suffix(2);
            } else if (body.ends_with('\n')) {
                body.remove_suffix(1);
            }
            return std::string(body);
        }
        pos = next;
    }
    return {};
}

TerminalType RecordTerminalType(std::string_view phoneType, const TerminalTypes& types)
{
    for (const TerminalType t : types.BoxOrder()) {
        if (!phoneType.empty() && (phoneType == types.BoxText(t) || phoneType == types.MainBoxText(t))) {
            return t;
        }
    }
    return TerminalType::Unspecified;
}

std::vector<std::string> SplitCommaText(std::string_view text)
{
    std::vector<std::string> items;
    std::size_t i = 0;
    while (i < text.size()) {
        std::string item;
        if (text[i] == '"') {
            for (++i; i < text.size(); ++i) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        item += '"';
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                } else {
                    item += text[i];
                }
            }
            while (i < text.size() && text[i] != ',') {
                ++i; // nothing the writer puts there
            }
        } else {
            const std::size_t comma = std::min(text.find(',', i), text.size());
            item = std::string(text.substr(i, comma - i));
            i = comma;
        }
        items.push_back(std::move(item));
        ++i; // the comma
    }
    return items;
}

bool EnsureHistoryFolder(const std::filesystem::path& folder)
{
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) {
        return true;
    }
    const std::filesystem::path last = folder.has_filename() ? folder : folder.parent_path();
    if (last.has_parent_path()) {
        std::filesystem::create_directories(last.parent_path(), ec);
    }
    // The records hold the mails' text: the folder is its owner's alone.
    // chmod too, since the umask may have taken the owner's bits.
    if (::mkdir(last.c_str(), 0700) == 0) {
        (void)::chmod(last.c_str(), 0700);
    }
    return std::filesystem::is_directory(folder, ec);
}

std::string HistoryFolderInvalidText()
{
    return Sj("送信履歴フォルダが不正です。");
}

std::string AllRecipientsText()
{
    return Sj("[すべての宛先]");
}

HistoryBrowser::HistoryBrowser(std::filesystem::path folder) : folder_(std::move(folder))
{
    Reset();
}

void HistoryBrowser::Reset()
{
    files_.clear();
    firstLines_.clear();
    items_.clear();
    filterItems_.assign(1, AllRecipientsText());
    filter_ = 0;
}

bool HistoryBrowser::Load(UserInterface& ui, bool beepOnMessage)
{
    if (!Reload()) {
        Notify(ui, beepOnMessage, HistoryFolderInvalidText());
        return false;
    }
    return true;
}

bool HistoryBrowser::Reload()
{
    Reset();
    if (!EnsureHistoryFolder(folder_)) {
        return false;
    }
    (void)RemoveRecordLeftovers(folder_);
    files_ = ListHistoryFiles(folder_);
    firstLines_.reserve(files_.size());
    items_.reserve(files_.size());
    // A record whose first line reads like the first item still gets an
    // entry of its own, so the first item is not among those seen. A set:
    // thousands of records to as many recipients are a common folder.
    std::unordered_set<std::string> seen;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        std::optional<std::string> line = ReadFirstLine(files_[i]);
        if (line) {
            items_.push_back({i + 1, *line});
            if (seen.insert(*line).second) {
                filterItems_.push_back(*line);
            }
        }
        firstLines_.push_back(std::move(line));
    }
    return true;
}

void HistoryBrowser::SetFilter(std::size_t index)
{
    filter_ = index < filterItems_.size() ? index : 0;
    items_.clear();
    for (std::size_t i = 0; i < files_.size(); ++i) {
        const std::optional<std::string>& line = firstLines_[i];
        if (line && (filter_ == 0 || *line == filterItems_[filter_])) {
            items_.push_back({i + 1, *line});
        }
    }
}

std::string HistoryBrowser::ItemText(const Item& item)
{
    return std::to_string(item.number) + ":" + item.firstLine;
}

std::optional<std::string> HistoryBrowser::RecordText(std::size_t row) const
{
    if (row >= items_.size()) {
        return std::nullopt;
    }
    std::string reason;
    return ReadWholeFile(files_[items_[row].number - 1], reason);
}

std::string HistoryBrowser::PositionText(std::size_t row) const
{
    return Sj("表示メール：") + std::to_string(row + 1) + "/" + std::to_string(items_.size());
}

bool HistoryBrowser::DeleteOne(std::size_t row, UserInterface& ui, bool beepOnMessage)
{
    if (row >= items_.size() || !ui.Confirm(Sj("削除しますか？"), Sj("確認"))) {
        return false;
    }
    std::string error;
    const bool deleted = DeleteRecord(items_[row].number, error);
    if (!deleted) {
        Notify(ui, beepOnMessage, Sj("履歴を削除できませんでした。") + "\r\n" + error);
    }
    return deleted;
}

bool HistoryBrowser::Clear(UserInterface& ui, bool beepOnMessage, std::vector<std::filesystem::path>* failed)
{
    if (!ui.Confirm(Sj("すべての履歴を削除しますか？"), Sj("確認"))) {
        return false;
    }
    Reset();
    if (!EnsureHistoryFolder(folder_)) {
        Notify(ui, beepOnMessage, HistoryFolderInvalidText());
        return false;
    }
    const std::vector<std::filesystem::path> left = DeleteAll();
    if (!left.empty()) {
        // Whatever could not go stays listed, and the user is told.
        Notify(ui, beepOnMessage, Sj("削除できなかった履歴があります：") + Names(left));
        (void)Reload();
    }
    if (failed != nullptr) {
        *failed = left;
    }
    return true;
}

bool HistoryBrowser::DeleteRecord(std::size_t number, std::string& error)
{
    if (number == 0 || number > files_.size() || !IsFile(files_[number - 1])) {
        error = "no record " + std::to_string(number);
        return false;
    }
    return RemoveFile(files_[number - 1], error);
}

std::vector<std::filesystem::path> HistoryBrowser::DeleteAll()
{
    std::vector<std::filesystem::path> left;
    for (const std::filesystem::path& path : ListHistoryFiles(folder_)) {
        std::string error;
        if (IsFile(path) && !RemoveFile(path, error)) {
            left.push_back(path);
        }
    }
    Reset();
    return left;
}

} // namespace kitemail

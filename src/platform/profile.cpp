#include "platform/profile.h"

#include "platform/file_io.h"

#include "platform/sjis.h"
#include "platform/text_codec.h"

#include <QFile>
#include <QString>

#include <algorithm>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kitemail {
namespace {

constexpr mode_t kProfileMode = 0600;

bool IsBlank(char c) noexcept
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) noexcept
{
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// Folds only single-byte letters: the trail byte of a double-byte
// character may look like a letter and must compare exactly.
std::string FoldName(std::string_view name)
{
    std::string folded(name);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        if (sjis::IsLeadByte(folded[i])) {
            ++i;
        } else {
            folded[i] = sjis::AsciiLower(folded[i]);
        }
    }
    return folded;
}

// The name of a "[name]" line, nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    line.remove_prefix(1);
    std::size_t i = 0;
    while (i < line.size() && line[i] != ']') {
        i += sjis::IsLeadByte(line[i]) ? 2 : 1;
    }
    return Trim(line.substr(0, std::min(i, line.size())));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line)
{
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') {
        return std::nullopt;
    }
    // "=" is below the trail-byte range, so a plain search is safe.
    const std::size_t eq = trimmed.find('=');
    if (eq == std::string_view::npos) {
        return std::nullopt;
    }
    return KeyLine{Trim(trimmed.substr(0, eq)), Trim(trimmed.substr(eq + 1))};
}

std::string_view Unquote(std::string_view value) noexcept
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value.remove_prefix(1);
        value.remove_suffix(1);
    }
    return value;
}

// Blanks at either end would be trimmed on reading, and enclosing quotes
// removed: such a value is written inside quotes to come back unchanged.
std::string StoredForm(std::string_view value)
{
    std::string clean(value);
    for (char& c : clean) {
        if (c == '\r' || c == '\n' || c == '\0') {
            c = ' ';
        }
    }
    const bool needsQuotes = !clean.empty() &&
        (IsBlank(clean.front()) || IsBlank(clean.back()) ||
         (clean.size() >= 2 && clean.front() == '"' && clean.back() == '"'));
    return needsQuotes ? "\"" + clean + "\"" : clean;
}

std::string CutValue(std::string_view value, std::size_t max)
{
    return std::string(sjis::CutToWholeCharacters(value, max));
}

std::optional<std::int32_t> ParseInt(std::string_view text)
{
    text = Trim(text);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint32_t value = 0;
        const char* first = text.data() + 2;
        const char* last = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(first, last, value, 16);
        if (ec != std::errc() || ptr != last) {
            return std::nullopt;
        }
        return static_cast<std::int32_t>(value);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    return ParseDecimal(text);
}

std::vector<std::string> SplitLines(std::string_view data)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = data.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last) {
            end = data.size();
        }
        std::string_view line = data.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        start = last ? data.size() : end + 1;
    }
    return lines;
}

std::string ErrnoText(const char* what, int err)
{
    return std::string(what) + ": " + std::strerror(err);
}

} // namespace

SaveResult SaveResult::Failure(const std::filesystem::path& path, std::string reason)
{
    SaveResult result;
    result.failedPath = path;
    result.reason = std::move(reason);
    result.message = CannotWriteMessage(path);
    return result;
}

std::string DisplayPath(const std::filesystem::path& path)
{
    const QString text = QFile::decodeName(QByteArray::fromStdString(path.native()));
    const SjisEncoding whole = EncodeSjis(text);
    if (whole.ok()) {
        return whole.bytes;
    }
    std::string out;
    for (const char32_t c : text.toUcs4()) {
        const SjisEncoding one = EncodeSjis(QString::fromUcs4(&c, 1));
        out += one.ok() ? one.bytes : CodePointName(c);
    }
    return out;
}

std::string CannotWriteMessage(const std::filesystem::path& path)
{
    return DisplayPath(path) + Sj(" に書き込めません");
}

std::optional<std::string> WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                               mode_t mode)
{
    std::filesystem::path target = path;
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
        if (!ec) {
            target = resolved;
        }
    }
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) {
        dir = ".";
    }
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0
        && ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target.c_str(), W_OK) != 0)) {
        return std::string("the file is read-only");
    }
    std::string temp = (dir / ("." + target.filename().native() + ".XXXXXX")).native();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return ErrnoText("mkstemp", errno);
    }
    int err = 0;
    const char* step = "write";
    bool ok = true;
    if (::fchmod(fd, mode) != 0) {
        err = errno;
        step = "fchmod";
        ok = false;
    }
    if (ok && !WriteAllTo(fd, bytes)) {
        err = errno;
        ok = false;
    }
    if (ok && ::fsync(fd) != 0) {
        err = errno;
        step = "fsync";
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        err = errno;
        step = "close";
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        err = errno;
        step = "rename";
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return ErrnoText(step, err);
    }
    // Makes the rename itself durable; some file systems refuse this, and
    // the data is already safe by then.
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return std::nullopt;
}

Profile::Profile(std::filesystem::path path)
    : path_(std::move(path))
{
    sections_.emplace_back();
    std::error_code ec;
    if (std::filesystem::exists(path_, ec) && !std::filesystem::is_regular_file(path_, ec)) {
        loadError_ = "not a regular file";
        return;
    }
    if (const std::optional<std::string> data = ReadWholeFile(path_, loadError_)) {
        for (std::string& line : SplitLines(*data)) {
            AddLine(std::move(line));
        }
    }
}

// Appends a line read from the file to the index.
void Profile::AddLine(std::string line)
{
    if (const std::optional<std::string_view> name = SectionName(line)) {
        sectionIndex_.emplace(FoldName(*name), sections_.size());
        Section section;
        section.header = std::move(line);
        sections_.push_back(std::move(section));
        return;
    }
    Section& current = sections_.back();
    if (current.header) {
        if (const std::optional<KeyLine> kv = ParseKeyLine(line)) {
            current.keys.emplace(FoldName(kv->key), current.lines.size());
        }
    }
    current.lines.push_back(std::move(line));
}

const Profile::Section* Profile::FindSection(std::string_view section) const
{
    const auto it = sectionIndex_.find(FoldName(section));
    return it != sectionIndex_.end() ? &sections_[it->second] : nullptr;
}

const std::string* Profile::FindLine(std::string_view section, std::string_view key) const
{
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return nullptr;
    }
    const auto it = found->keys.find(FoldName(key));
    return it != found->keys.end() ? &found->lines[it->second] : nullptr;
}

std::vector<std::pair<std::string, std::string>> Profile::SectionValues(std::string_view section) const
{
    std::vector<std::pair<std::string, std::string>> values;
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return values;
    }
    for (std::size_t i = 0; i < found->lines.size(); ++i) {
        const std::optional<KeyLine> kv = ParseKeyLine(found->lines[i]);
        // Only the first line of a key counts, as for a read.
        if (kv && found->keys.at(FoldName(kv->key)) == i) {
            values.emplace_back(std::string(kv->key), CutValue(Unquote(kv->value), kProfileMaxValueBytes));
        }
    }
    return values;
}

std::optional<std::string> Profile::RawValue(std::string_view section, std::string_view key) const
{
    const std::string* line = FindLine(section, key);
    if (line == nullptr) {
        return std::nullopt;
    }
    return std::string(Unquote(ParseKeyLine(*line)->value));
}

std::vector<Profile::Entry> Profile::Entries() const
{
    std::vector<Entry> entries;
    for (std::size_t s = 1; s < sections_.size(); ++s) {
        const Section& section = sections_[s];
        const std::string_view name = *SectionName(*section.header);
        if (sectionIndex_.at(FoldName(name)) != s) {
            continue;
        }
        for (std::size_t i = 0; i < section.lines.size(); ++i) {
            const std::optional<KeyLine> kv = ParseKeyLine(section.lines[i]);
            if (kv && section.keys.at(FoldName(kv->key)) == i) {
                entries.push_back({std::string(name), std::string(kv->key), std::string(Unquote(kv->value))});
            }
        }
    }
    return entries;
}

std::size_t Profile::FirstLineOf(std::size_t sectionIndex) const
{
    std::size_t line = 1;
    for (std::size_t s = 0; s < sectionIndex; ++s) {
        line += (sections_[s].header ? 1 : 0) + sections_[s].lines.size();
    }
    return line;
}

std::size_t Profile::LineOf(std::string_view section, std::string_view key) const
{
    const auto found = sectionIndex_.find(FoldName(section));
    if (found == sectionIndex_.end()) {
        return 0;
    }
    const Section& s = sections_[found->second];
    const auto it = s.keys.find(FoldName(key));
    return it == s.keys.end() ? 0 : FirstLineOf(found->second) + 1 + it->second;
}

std::vector<Profile::Flaw> Profile::Flaws() const
{
    std::vector<Flaw> flaws;
    for (std::size_t s = 1; s < sections_.size(); ++s) {
        const Section& section = sections_[s];
        const std::string_view name = *SectionName(*section.header);
        const std::size_t first = FirstLineOf(s);
        if (sectionIndex_.at(FoldName(name)) != s) {
            flaws.push_back({Flaw::Kind::RepeatedSection, first, std::string(name)});
            continue;
        }
        for (std::size_t i = 0; i < section.lines.size(); ++i) {
            const std::optional<KeyLine> kv = ParseKeyLine(section.lines[i]);
            if (kv && section.keys.at(FoldName(kv->key)) == i && Unquote(kv->value).size() > kProfileMaxValueBytes) {
                flaws.push_back({Flaw::Kind::LongValue, first + 1 + i, std::string(kv->key)});
            }
        }
    }
    return flaws;
}

bool Profile::HasKey(std::string_view section, std::string_view key) const
{
    return FindLine(section, key) != nullptr;
}

std::string Profile::ReadString(std::string_view section, std::string_view key, std::string_view def) const
{
    const std::string* line = FindLine(section, key);
    if (line == nullptr) {
        return CutValue(def, kProfileMaxValueBytes);
    }
    return CutValue(Unquote(ParseKeyLine(*line)->value), kProfileMaxValueBytes);
}

std::int32_t Profile::ReadInt(std::string_view section, std::string_view key, std::int32_t def) const
{
    const std::string* line = FindLine(section, key);
    if (line == nullptr) {
        return def;
    }
    return ParseInt(Unquote(ParseKeyLine(*line)->value)).value_or(def);
}

bool Profile::ReadBool(std::string_view section, std::string_view key, bool def) const
{
    return ReadInt(section, key, def ? 1 : 0) != 0;
}

void Profile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    std::string foldedSection = FoldName(section);
    auto found = sectionIndex_.find(foldedSection);
    if (found == sectionIndex_.end()) {
        Section created;
        created.header = "[" + std::string(section) + "]";
        found = sectionIndex_.emplace(std::move(foldedSection), sections_.size()).first;
        sections_.push_back(std::move(created));
    }
    Section& target = sections_[found->second];
    std::string foldedKey = FoldName(key);
    if (const auto existing = target.keys.find(foldedKey); existing != target.keys.end()) {
        // The key keeps the spelling the file gave it.
        std::string& line = target.lines[existing->second];
        line = std::string(ParseKeyLine(line)->key) + "=" + StoredForm(value);
        return;
    }
    std::string line = std::string(key) + "=" + StoredForm(value);
    // After the section's last non-blank line, so that blank lines that
    // part it from the next section stay between them. Only blank lines
    // move, so the key index stays right.
    std::size_t at = target.lines.size();
    while (at > 0 && Trim(target.lines[at - 1]).empty()) {
        --at;
    }
    target.lines.insert(target.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    target.keys.emplace(std::move(foldedKey), at);
}

void Profile::WriteInt(std::string_view section, std::string_view key, std::int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

void Profile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

std::string Profile::Serialize() const
{
    std::string out;
    for (const Section& section : sections_) {
        if (section.header) {
            out += *section.header;
            out += "\r\n";
        }
        for (const std::string& line : section.lines) {
            out += line;
            out += "\r\n";
        }
    }
    return out;
}

SaveResult Profile::Save() const
{
    if (!loadError_.empty()) {
        return SaveResult::Failure(path_, "the existing file could not be read (" + loadError_ + ")");
    }
    if (std::optional<std::string> reason = WriteFileAtomically(path_, Serialize(), kProfileMode)) {
        return SaveResult::Failure(path_, std::move(*reason));
    }
    return {};
}

} // namespace kitemail

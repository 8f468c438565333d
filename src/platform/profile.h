#pragma once
// The settings file as an INI profile: one key read or written at a time in
// memory, the whole file written back in one atomic step by Save().
//
// Everything the program does not know (other sections, other keys,
// comments, blank lines) stays where it is. Names of sections and keys
// match without regard to ASCII case. Text is code page 932 bytes.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kitemail {

// Longest string value a read returns; longer ones come back cut.
inline constexpr std::size_t kProfileMaxValueBytes = 2047;

struct SaveResult {
    std::filesystem::path failedPath; // empty when the save worked
    std::string reason;               // the system's own words, for logs
    std::string message;              // code page 932, "<path> に書き込めません"

    [[nodiscard]] bool ok() const noexcept { return failedPath.empty(); }
    [[nodiscard]] static SaveResult Failure(const std::filesystem::path& path, std::string reason);
};

// "<path> に書き込めません" as code page 932 bytes.
[[nodiscard]] std::string CannotWriteMessage(const std::filesystem::path& path);

// A path as code page 932 text for messages. A character Shift_JIS cannot
// hold shows as its "U+XXXX" name.
[[nodiscard]] std::string DisplayPath(const std::filesystem::path& path);

// Writes bytes to path through a temporary file in the same directory,
// fsync and rename, so the old file stays whole until the new one is
// complete. A symbolic link is followed and the file it names replaced.
// A file without write permission (for its owner, or for this process) is
// left as it is: the rename would replace it all the same. Returns the
// reason on failure.
[[nodiscard]] std::optional<std::string> WriteFileAtomically(const std::filesystem::path& path,
                                                             std::string_view bytes, mode_t mode);

class Profile {
public:
    // Reads the file at once; a missing file reads as empty.
    explicit Profile(std::filesystem::path path);

    [[nodiscard]] const std::filesystem::path& Path() const noexcept { return path_; }
    // The file exists but could not be read: it reads as empty, and Save
    // refuses.
    [[nodiscard]] bool ReadFailed() const noexcept { return !loadError_.empty(); }

    // The value as stored (enclosing blanks and one pair of enclosing double
    // quotes removed), cut to kProfileMaxValueBytes; def when missing.
    [[nodiscard]] std::string ReadString(std::string_view section, std::string_view key,
                                         std::string_view def) const;
    // Decimal, or hexadecimal after "0x"/"0X" when the value is longer than
    // two characters; def when missing or not a valid 32-bit integer.
    [[nodiscard]] std::int32_t ReadInt(std::string_view section, std::string_view key,
                                       std::int32_t def) const;
    // Read as an integer with default 1 or 0; non-zero is true.
    [[nodiscard]] bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    [[nodiscard]] bool HasKey(std::string_view section, std::string_view key) const;
    // Every key of the section with its value as ReadString gives it, in
    // file order; a key met twice keeps its first value, as a read would.
    [[nodiscard]] std::vector<std::pair<std::string, std::string>> SectionValues(std::string_view section) const;
    // The value as stored, not cut; nullopt when missing.
    [[nodiscard]] std::optional<std::string> RawValue(std::string_view section, std::string_view key) const;
    // Every value a read can reach (the first section of a name, the first
    // line of a key), in file order, as RawValue gives it.
    struct Entry {
        std::string section;
        std::string key;
        std::string value;
    };
    [[nodiscard]] std::vector<Entry> Entries() const;
    // The line (from 1) that holds the key a read finds; 0 when missing.
    [[nodiscard]] std::size_t LineOf(std::string_view section, std::string_view key) const;

    // What the file holds that no read can reach in full: a section met a
    // second time (its keys are never read, though a save keeps them) and
    // values longer than a read gives back.
    struct Flaw {
        enum class Kind { RepeatedSection, LongValue };
        Kind kind;
        std::size_t line; // from 1
        std::string text; // the section's name, or the key
    };
    [[nodiscard]] std::vector<Flaw> Flaws() const;

    // Sets the key, creating it at the end of its section and the section at
    // the end of the file when needed. A line break in the value would end
    // it early and turn the rest into lines of their own, so line breaks and
    // NUL bytes are written as blanks.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInt(std::string_view section, std::string_view key, std::int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    // Writes the whole file atomically with CR LF line ends and mode 0600
    // (it holds the POP3 password). A file that exists but could not be read
    // is never overwritten: its content would be lost; nor is one the user
    // made read-only.
    [[nodiscard]] SaveResult Save() const;

    // The file as Save() would write it.
    [[nodiscard]] std::string Serialize() const;

private:
    // One "[name]" line with the lines up to the next one. The part before
    // the first section has no header line.
    struct Section {
        std::optional<std::string> header;
        std::vector<std::string> lines;                      // without their line ends
        std::unordered_map<std::string, std::size_t> keys; // folded key -> first line holding it
    };

    [[nodiscard]] const Section* FindSection(std::string_view section) const;
    [[nodiscard]] const std::string* FindLine(std::string_view section, std::string_view key) const;
    [[nodiscard]] std::size_t FirstLineOf(std::size_t sectionIndex) const;
    void AddLine(std::string line);

    std::filesystem::path path_;
    std::vector<Section> sections_;                            // [0]: the part before any section
    std::unordered_map<std::string, std::size_t> sectionIndex_; // folded name -> first section
    std::string loadError_;                                     // why an existing file could not be read
};

} // namespace kitemail

// The INI profile over any bytes: it reads without a crash; writing back the
// values it read and reading the file again gives the same values; and a
// value, whatever its bytes, comes back as written without making a key or a
// section of its own. A line break or NUL inside a value is written as a
// blank, so those come back as blanks.

#include "fuzz_support.h"
#include "platform/profile.h"
#include "platform/sjis.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace kitemail;
using Values = std::vector<std::pair<std::string, std::string>>;

// Names of the "[name]" lines as a reader of the file sees them: a line
// ends at LF (one CR before it dropped), blanks around the brackets and the
// name do not count, and a "]" inside a double-byte character is no end.
std::vector<std::string> SectionNames(std::string_view file)
{
    constexpr std::string_view kBlanks = " \t";
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < file.size()) {
        std::size_t end = std::min(file.find('\n', start), file.size());
        std::string_view line = file.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        line.remove_prefix(std::min(line.find_first_not_of(kBlanks), line.size()));
        if (!line.starts_with('[')) {
            continue;
        }
        std::size_t i = 1;
        while (i < line.size() && line[i] != ']') {
            i += sjis::IsLeadByte(line[i]) ? 2 : 1;
        }
        std::string_view name = line.substr(1, std::min(i, line.size()) - 1);
        name.remove_prefix(std::min(name.find_first_not_of(kBlanks), name.size()));
        name = name.substr(0, name.find_last_not_of(kBlanks) + 1);
        names.emplace_back(name);
    }
    return names;
}

std::vector<Values> AllValues(const Profile& profile, const std::vector<std::string>& sections)
{
    std::vector<Values> all;
    for (const std::string& section : sections) {
        all.push_back(profile.SectionValues(section));
    }
    return all;
}

Profile Reread(const Profile& profile)
{
    const std::filesystem::path path = kitemail::fuzz::ScratchDir() / "reread.ini";
    kitemail::fuzz::WriteFile(path, profile.Serialize());
    return Profile(path);
}

std::string AsWritten(std::string_view value)
{
    std::string out(value.substr(0, kProfileMaxValueBytes));
    for (char& c : out) {
        if (c == '\r' || c == '\n' || c == '\0') {
            c = ' ';
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes = kitemail::fuzz::Bytes(data, size);
    const std::filesystem::path path = kitemail::fuzz::ScratchDir() / "Kiteml.ini";
    kitemail::fuzz::WriteFile(path, bytes);
    Profile profile(path);
    const std::vector<std::string> sections = SectionNames(bytes);
    const std::vector<Values> read = AllValues(profile, sections);

    // Written back as the settings are saved: the same keys, the values read.
    for (std::size_t s = 0; s < sections.size(); ++s) {
        for (const auto& [key, value] : read[s]) {
            profile.WriteString(sections[s], key, value);
            (void)profile.ReadInt(sections[s], key, 0);
        }
    }
    // A CR or NUL inside a value is written as a blank, as any line break.
    std::vector<Values> rewritten = read;
    for (Values& values : rewritten) {
        for (auto& kv : values) {
            kv.second = AsWritten(kv.second);
        }
    }
    const Profile again = Reread(profile);
    FUZZ_CHECK(AllValues(again, sections) == rewritten);

    // The whole input as one value, into the first section (or a new one),
    // and a number beside it: two more keys at the section's end, nothing
    // else changed.
    const std::string section = sections.empty() ? std::string("Fuzz") : sections.front();
    std::string key = "FuzzValue";
    while (again.HasKey(section, key) || again.HasKey(section, key + "Int")) {
        key += "+";
    }
    const std::string value(bytes.substr(0, kProfileMaxValueBytes));
    const auto number = static_cast<std::int32_t>(size) - 1000;
    Profile written = Reread(profile);
    written.WriteString(section, key, value);
    written.WriteInt(section, key + "Int", number);
    const Profile reread = Reread(written);
    FUZZ_CHECK(reread.ReadString(section, key, "-") == AsWritten(value));
    FUZZ_CHECK(reread.ReadInt(section, key + "Int", 0) == number);

    std::vector<std::string> expectedSections = sections;
    if (sections.empty()) {
        expectedSections.push_back(section);
    }
    FUZZ_CHECK(SectionNames(reread.Serialize()) == expectedSections);
    std::vector<Values> expected = rewritten;
    expected.resize(expectedSections.size());
    const std::vector<Values> got = AllValues(reread, expectedSections);
    for (std::size_t s = 0; s < expectedSections.size(); ++s) {
        // Every name that folds to the target section reads its values.
        Values grown = expected[s];
        grown.emplace_back(key, AsWritten(value));
        grown.emplace_back(key + "Int", std::to_string(number));
        FUZZ_CHECK(got[s] == expected[s] || got[s] == grown);
    }
    FUZZ_CHECK(got.front() != expected.front());
    return 0;
}

// The settings loader over any Kiteml.ini and Signature.txt: every setting
// comes out as a value in its range or its default, and saving what was
// loaded and loading again gives the same settings. It loads and compares
// the whole model, so sections and keys added to it are covered as they come.

#include "accounting/terminal_type.h"
#include "fuzz_support.h"
#include "platform/data_dir.h"
#include "settings/address_book.h"
#include "settings/settings.h"

#include <algorithm>

namespace {

using namespace kitemail;

// Lists are read up to their How count, at most 100000 items, a bound the
// unit tests hold. Long lists at every input would slow the search a
// thousandfold and reach no new code.
constexpr std::int32_t kMaxListItems = 1000;

// Saving writes a lone CR and a NUL as blanks: they would end the line for
// other readers of the file.
bool SurvivesSaving(std::string_view file)
{
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i] == '\0' || (file[i] == '\r' && i + 1 < file.size() && file[i + 1] != '\n')) {
            return false;
        }
    }
    return true;
}

void CheckRanges(const Settings& s)
{
    FUZZ_CHECK(s.Port >= 0 && s.Port <= 65535);
    FUZZ_CHECK(s.POP3Port >= 0 && s.POP3Port <= 65535);
    FUZZ_CHECK(s.FontSize >= 1 && s.FontSize <= 50);
    FUZZ_CHECK(s.Interval >= 0 && s.Interval <= 10);
    FUZZ_CHECK(s.POPInterval >= 0 && s.POPInterval <= 10);
    FUZZ_CHECK(s.VCount >= 6 && s.VCount <= 20);
    FUZZ_CHECK(s.MaxLen >= 50 && s.FixLen <= s.MaxLen);
    // The choices hold only their named values, whatever the file said.
    const auto value = [](auto choice) { return static_cast<std::int32_t>(choice); };
    FUZZ_CHECK(value(s.Security) >= 0 && s.Security <= SmtpSecurity::Tls);
    FUZZ_CHECK(value(s.AuthMethod) >= 0 && s.AuthMethod <= SmtpAuth::Login);
    FUZZ_CHECK(value(s.POP3Security) >= 0 && s.POP3Security <= Pop3Security::Tls);
    if (s.SortAddressBook) {
        FUZZ_CHECK(std::is_sorted(s.AddressBook.begin(), s.AddressBook.end(),
                                  [](const auto& a, const auto& b) { return AddressBookLineLess(a, b); }));
    }
    // Defined types: numbered 10..109 in order, each once, named, their
    // choices among the named ones.
    for (std::size_t i = 0; i < s.DefinedTypes.size(); ++i) {
        const DefinedType& d = s.DefinedTypes[i];
        FUZZ_CHECK(IsDefinedTypeNumber(d.type) && !d.name.empty());
        FUZZ_CHECK(i == 0 || value(s.DefinedTypes[i - 1].type) < value(d.type));
        FUZZ_CHECK(d.limit >= 0 && d.fixedCount >= 0);
        FUZZ_CHECK(value(d.counts.sender) >= 0 && d.counts.sender <= SenderTerm::UpToAt);
        FUZZ_CHECK(value(d.counts.subject) >= 0 && d.counts.subject <= SubjectTerm::CappedAt40);
        FUZZ_CHECK(value(d.counts.shiftBytes) >= 0 && d.counts.shiftBytes <= ShiftBytes::WhenCountShiftBytes);
        FUZZ_CHECK(value(d.counts.attachments) >= 0 && d.counts.attachments <= AttachmentTerm::SizesAndPaths);
        FUZZ_CHECK(!d.areas.noteLabel);
    }
    // An entry's type is one of the ten, a defined one, or unspecified; the
    // ten alone read a defined one as unspecified.
    const TerminalTypes types = s.Types();
    for (const std::string& line : s.AddressBook) {
        const TerminalType type = TerminalTypeOfLine(line, types);
        FUZZ_CHECK(type == TerminalType::Unspecified || types.Knows(type));
        const TerminalType withTheTen = TerminalTypeOfLine(line);
        FUZZ_CHECK(withTheTen == TerminalType::Unspecified || IsTerminalType(withTheTen));
        FUZZ_CHECK(withTheTen == type || (withTheTen == TerminalType::Unspecified && types.Defined(type) != nullptr));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes = kitemail::fuzz::Bytes(data, size);
    const std::filesystem::path& dir = kitemail::fuzz::ScratchDir();
    // The same bytes as both files: the signature reader sees any bytes too.
    kitemail::fuzz::WriteFile(SettingsFilePath(dir), bytes);
    kitemail::fuzz::WriteFile(SignaturePath(dir), bytes);

    const Profile file(SettingsFilePath(dir));
    for (const char* list : {"TEL", "MyAddress"}) {
        if (file.ReadInt(list, "How", 0) > kMaxListItems) {
            return 0;
        }
    }

    Settings loaded = LoadAllSettings(dir);
    CheckRanges(loaded);

    // The dialog closes, then the program ends: both halves written over the
    // file they came from, as the program does.
    FUZZ_CHECK(SaveDialogSettings(SettingsFilePath(dir), SignaturePath(dir), loaded).ok());
    FUZZ_CHECK(SaveMainWindowSettings(SettingsFilePath(dir), loaded).ok());
    const Settings saved = LoadAllSettings(dir);
    CheckRanges(saved);
    if (SurvivesSaving(bytes)) {
        FUZZ_CHECK(saved == loaded);
    } else {
        // Once written as blanks, they stay so.
        Settings again = saved;
        FUZZ_CHECK(SaveDialogSettings(SettingsFilePath(dir), SignaturePath(dir), again).ok());
        FUZZ_CHECK(SaveMainWindowSettings(SettingsFilePath(dir), again).ok());
        FUZZ_CHECK(LoadAllSettings(dir) == saved);
    }
    return 0;
}

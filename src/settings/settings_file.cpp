#include "settings/settings_file.h"

#include "platform/data_dir.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "settings/defined_types.h"
#include "settings/settings_editor.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace kitemail {
namespace {

constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();

// One number of the file: where it is, what range the loader keeps it to,
// and where the value used ends up.
struct NumberKey {
    std::string_view section;
    std::string_view key;
    std::int32_t min;
    std::int32_t max;
    std::int32_t Settings::*number = nullptr;
    bool Settings::*flag = nullptr;
    std::int32_t (*choice)(const Settings&) = nullptr; // the value the file holds for a choice
};

template <auto Field>
std::int32_t ChoiceValue(const Settings& s)
{
    return static_cast<std::int32_t>(s.*Field);
}

std::vector<NumberKey> NumberKeys()
{
    constexpr std::string_view c = "Configuration";
    std::vector<NumberKey> keys = {
        {c, "Port", 0, 65535, &Settings::Port},
        {c, "POP3Port", 0, 65535, &Settings::POP3Port},
        {c, "FontSize", 1, 50, &Settings::FontSize},
        {c, "Interval", 0, 10, &Settings::Interval},
        {c, "POPInterval", 0, 10, &Settings::POPInterval},
        {c, "VCount", 6, 20, &Settings::VCount},
        {c, "MaxLen", kIntMin, kIntMax, &Settings::MaxLen},
        {c, "FixLen", kIntMin, kIntMax, &Settings::FixLen},
        {c, "DefaultType", kIntMin, kIntMax, nullptr, nullptr, &ChoiceValue<&Settings::DefaultType>},
        {c, "Left", kIntMin, kIntMax, &Settings::Left},
        {c, "top", kIntMin, kIntMax, &Settings::Top},
        {c, "Width", kIntMin, kIntMax, &Settings::Width},
        {c, "Height", kIntMin, kIntMax, &Settings::Height},
        {c, "PLeft", kIntMin, kIntMax, &Settings::PLeft},
        {c, "PTop", kIntMin, kIntMax, &Settings::PTop},
        {c, "3Byte", kIntMin, kIntMax, nullptr, &Settings::CountShiftBytes},
        {"ToolBar", "MenuTop", kIntMin, kIntMax, &Settings::MenuTop},
        {"ToolBar", "MenuLeft", kIntMin, kIntMax, &Settings::MenuLeft},
        {"ToolBar", "ToolTop", kIntMin, kIntMax, &Settings::ToolTop},
        {"ToolBar", "ToolLeft", kIntMin, kIntMax, &Settings::ToolLeft},
        {"ToolBar", "FromTop", kIntMin, kIntMax, &Settings::FromTop},
        {"ToolBar", "FromLeft", kIntMin, kIntMax, &Settings::FromLeft},
        {"SubjectBar", "SubjectTop", kIntMin, kIntMax, &Settings::SubjectTop},
        {"SubjectBar", "SubjectLeft", kIntMin, kIntMax, &Settings::SubjectLeft},
        {"Developer", "ToolBar", kIntMin, kIntMax, nullptr, &Settings::DeveloperToolBar},
        {"Developer", "klab", kIntMin, kIntMax, nullptr, &Settings::DeveloperKlab},
        {"Network", "ConnectTimeout", 1, kMaxNetworkSeconds, &Settings::ConnectTimeout},
        {"Network", "ReplyTimeout", 1, kMaxNetworkSeconds, &Settings::ReplyTimeout},
        {"Network", "DataTimeout", 1, kMaxNetworkSeconds, &Settings::DataTimeout},
        {"Submission", "Security", 0, 2, nullptr, nullptr, &ChoiceValue<&Settings::Security>},
        {"Submission", "AuthMethod", 0, 3, nullptr, nullptr, &ChoiceValue<&Settings::AuthMethod>},
        {"Submission", "POP3Security", 0, 2, nullptr, nullptr, &ChoiceValue<&Settings::POP3Security>},
        {"Draft", "RestoreOnStart", kIntMin, kIntMax, nullptr, &Settings::RestoreDraftOnStart},
    };
    for (const OptionInfo& option : Options()) {
        keys.push_back({c, option.key, kIntMin, kIntMax, nullptr, option.field});
    }
    return keys;
}

// A value as a message may show it: never cut inside a character.
std::string Shown(std::string_view value)
{
    constexpr std::size_t kMax = 40;
    const std::string_view shown = sjis::CutToWholeCharacters(value, kMax);
    return shown.size() == value.size() ? std::string(value) : std::string(shown) + "...";
}

std::string LinePrefix(const std::filesystem::path& file, std::size_t line)
{
    return DisplayPath(file.filename()) + Sj(" の ") + std::to_string(line) + Sj(" 行目");
}

// The number as the loader reads it, or nullopt when it is not one.
std::optional<std::int32_t> NumberOf(const Profile& p, std::string_view section, std::string_view key)
{
    const std::int32_t low = p.ReadInt(section, key, kIntMin);
    const std::int32_t high = p.ReadInt(section, key, kIntMax);
    return low == high ? std::optional(low) : std::nullopt;
}

void CheckNumber(const Profile& p, const std::filesystem::path& file, std::string_view section, std::string_view key,
                 std::int32_t min, std::int32_t max, std::int32_t used, std::vector<std::string>& problems)
{
    const std::optional<std::string> raw = p.RawValue(section, key);
    if (!raw) {
        return;
    }
    const std::optional<std::int32_t> n = NumberOf(p, section, key);
    if (n && *n >= min && *n <= max) {
        return;
    }
    std::string text = LinePrefix(file, p.LineOf(section, key)) + " \"" + std::string(key) + "=" + Shown(*raw)
        + "\": ";
    if (min == kIntMin && max == kIntMax) {
        text += Sj("数として読めないため");
    } else {
        text += std::to_string(min) + Sj(" から ") + std::to_string(max) + Sj(" までの数ではないため");
    }
    problems.push_back(text + Sj("、") + std::to_string(used) + Sj(" として扱います。"));
}

void CheckList(const Profile& p, const std::filesystem::path& file, std::string_view section, std::size_t read,
               std::vector<std::string>& problems)
{
    const std::optional<std::string> how = p.RawValue(section, "How");
    const std::optional<std::int32_t> n = NumberOf(p, section, "How");
    if (n && *n >= 0 && static_cast<std::size_t>(*n) <= read) {
        return;
    }
    if (!how && read == 0) {
        return;
    }
    const std::size_t line = how ? p.LineOf(section, "How") : p.LineOf(section, "0");
    std::string text = LinePrefix(file, line) + " [" + std::string(section) + "]: ";
    text += how ? "\"How=" + Shown(*how) + "\"" + Sj(" が項目の数と合わないため") : Sj("How がないため");
    problems.push_back(text + Sj("、ファイルにある ") + std::to_string(read) + Sj(" 件を読みます。"));
}

// Each defined type's numbers as CheckNumber checks the others, then what
// the editing rules would refuse in the type as read.
void CheckDefinedTypes(const Profile& p, const std::filesystem::path& file, const Settings& s,
                       std::vector<std::string>& problems)
{
    const auto value = [](auto choice) { return static_cast<std::int32_t>(choice); };
    for (const DefinedType& d : s.DefinedTypes) {
        const std::string n = std::to_string(TerminalTypeNumber(d.type));
        const auto check = [&](std::string_view field, std::int32_t min, std::int32_t max, std::int32_t used) {
            CheckNumber(p, file, kDefinedTypesSection, std::string(field) + n, min, max, used, problems);
        };
        check("Limit", 0, kIntMax, d.limit);
        check("Fixed", 0, kIntMax, d.fixedCount);
        check("Sender", 0, value(SenderTerm::UpToAt), value(d.counts.sender));
        check("Subject", 0, value(SubjectTerm::CappedAt40), value(d.counts.subject));
        check("Shifts", 0, value(ShiftBytes::WhenCountShiftBytes), value(d.counts.shiftBytes));
        check("Attachments", 0, value(AttachmentTerm::SizesAndPaths), value(d.counts.attachments));
        check("FinalBreak", kIntMin, kIntMax, d.counts.finalLineBreak ? 1 : 0);
        check("SubjectBox", kIntMin, kIntMax, d.areas.subject ? 1 : 0);
        check("PinBox", kIntMin, kIntMax, d.areas.pin ? 1 : 0);
        check("AttachmentBox", kIntMin, kIntMax, d.areas.attachments ? 1 : 0);
        check("AnimationBox", kIntMin, kIntMax, d.areas.animationMode ? 1 : 0);
        if (const std::optional<std::string> problem = DefinedTypeProblem(s, d)) {
            const std::string key = "Name" + n;
            problems.push_back(LinePrefix(file, p.LineOf(kDefinedTypesSection, key)) + " \"" + key + "="
                               + Shown(d.name) + "\": " + *problem);
        }
    }
}

// Applies to out what current changed against baseline in the half, as
// the half's writer puts it in a file like disk; with fillMissing, also
// every value disk does not name yet.
void ApplyChanges(Profile& out, const Profile& disk, const Settings& baseline, const Settings& current,
                  SettingsHalf half, bool fillMissing)
{
    // A list is one value: merged item by item with another writer's list
    // it would be neither. Lists first, where a new file has them.
    for (const SettingsList& list : SettingsLists(half)) {
        if (current.*list.items != baseline.*list.items || (fillMissing && !disk.HasKey(list.section, "How"))) {
            WriteList(out, list.section, current.*list.items);
        }
    }
    Profile wanted = disk;
    WriteHalf(wanted, current, half);
    Profile before = disk;
    WriteHalf(before, baseline, half);
    for (const Profile::Entry& e : wanted.Entries()) {
        if (before.RawValue(e.section, e.key) != e.value || (fillMissing && !disk.HasKey(e.section, e.key))) {
            out.WriteString(e.section, e.key, e.value);
        }
    }
}

Settings Loaded(const Profile& p)
{
    Settings s;
    ReadMainWindowHalf(p, s);
    ReadDialogHalf(p, s);
    KeepNumbersInRange(s);
    return s;
}

// The name mkstemp gave a save's temporary file: "." + the file's name +
// "." + six letters or digits.
bool IsSaveLeftover(std::string_view name)
{
    for (const std::string_view file : {std::string_view("Kiteml.ini"), std::string_view("Signature.txt")}) {
        const std::size_t prefix = file.size() + 2;
        if (name.size() == prefix + 6 && name[0] == '.' && name.substr(1, file.size()) == file
            && name[prefix - 1] == '.'
            && std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix), name.end(), [](char c) {
                   const char lower = sjis::AsciiLower(c);
                   return (c >= '0' && c <= '9') || (lower >= 'a' && lower <= 'z');
               })) {
            return true;
        }
    }
    return false;
}

} // namespace

std::filesystem::path SettingsLockPath(const std::filesystem::path& dataDir)
{
    std::filesystem::path path = SettingsFilePath(dataDir);
    path += ".lock";
    return path;
}

std::vector<std::string> SettingsProblems(const Profile& p, const std::filesystem::path& file)
{
    return SettingsProblems(p, file, Loaded(p));
}

std::vector<std::string> SettingsProblems(const Profile& p, const std::filesystem::path& file, const Settings& s)
{
    std::vector<std::string> problems;
    for (const Profile::Flaw& flaw : p.Flaws()) {
        const std::string at = LinePrefix(file, flaw.line);
        if (flaw.kind == Profile::Flaw::Kind::RepeatedSection) {
            problems.push_back(at + " [" + flaw.text + "]: " + Sj("同じ名前の節が前にあるため、この節は読みません（ファイルには残します）。"));
        } else {
            problems.push_back(at + " \"" + flaw.text + "\": " + Sj("値が長すぎるため、先頭の ")
                               + std::to_string(kProfileMaxValueBytes)
                               + Sj(" バイトだけを使います（ファイルには残します）。"));
        }
    }
    CheckList(p, file, "TEL", s.AddressBook.size(), problems);
    CheckList(p, file, "MyAddress", s.SenderList.size(), problems);
    for (const NumberKey& k : NumberKeys()) {
        const std::int32_t used = k.number ? s.*k.number : k.choice ? k.choice(s) : (s.*k.flag ? 1 : 0);
        CheckNumber(p, file, k.section, k.key, k.min, k.max, used, problems);
    }
    for (std::size_t t = 0; t < s.TypeMaxLengths.size(); ++t) {
        CheckNumber(p, file, "Length", std::to_string(t), kIntMin, kIntMax, s.TypeMaxLengths[t], problems);
    }
    CheckDefinedTypes(p, file, s, problems);
    return problems;
}

SettingsFile::SettingsFile(std::filesystem::path dataDir) : dir_(std::move(dataDir)) {}

std::optional<std::string> SettingsFile::Hold()
{
    if (held_) {
        return std::nullopt;
    }
    FileLock lock = FileLock::Wait(SettingsLockPath(dir_), FileLock::Mode::Exclusive, kSettingsLockWait);
    if (!lock) {
        return DisplayPath(Path()) + Sj(" を読み書きできません (") + lock.Error() + ")";
    }
    held_ = std::move(lock);
    return std::nullopt;
}

int SettingsFile::RemoveLeftovers()
{
    FileLock lock;
    if (!held_) {
        lock = FileLock::Try(SettingsLockPath(dir_), FileLock::Mode::Exclusive);
        if (!lock) {
            return 0;
        }
    }
    int removed = 0;
    std::error_code ec;
    for (const std::filesystem::directory_entry& e : std::filesystem::directory_iterator(dir_, ec)) {
        if (IsSaveLeftover(e.path().filename().native()) && e.is_regular_file(ec)
            && std::filesystem::remove(e.path(), ec)) {
            ++removed;
        }
    }
    return removed;
}

void SettingsFile::LoadMainWindowHalf(Settings& settings)
{
    const Profile p(Path());
    ReadMainWindowHalf(p, settings);
    ReadMainWindowHalf(p, baseline_);
}

bool SettingsFile::LoadDialogHalf(Settings& settings)
{
    const Profile p(Path());
    for (Settings* s : {&settings, &baseline_}) {
        ReadDialogHalf(p, *s);
        KeepNumbersInRange(*s);
    }
    problems_ = SettingsProblems(p, Path());
    const bool signatureRead = ReadSignature(SignaturePath(dir_), settings);
    baseline_.SignatureText = settings.SignatureText;
    return signatureRead;
}

SaveResult SettingsFile::Save(Settings& settings, SettingsHalf half)
{
    const bool heldBefore = held_.Held();
    if (std::optional<std::string> busy = Hold()) {
        SaveResult refused = SaveResult::Failure(Path(), "the lock file is held by another program");
        refused.message = std::move(*busy);
        return refused;
    }
    const auto release = [&] {
        if (!heldBefore) {
            Release();
        }
    };
    if (half == SettingsHalf::Dialog) {
        ApplyLengthRule(settings.MaxLen, settings.FixLen);
    }
    const Profile disk(Path());
    Profile out = disk;
    ApplyChanges(out, disk, baseline_, settings, half, true);
    if (SaveResult result = out.Save(); !result.ok()) {
        release();
        return result;
    }
    if (half == SettingsHalf::Dialog && settings.SignatureText != baseline_.SignatureText) {
        if (SaveResult result = SaveSignature(SignaturePath(dir_), settings.SignatureText); !result.ok()) {
            release();
            return result;
        }
        baseline_.SignatureText = settings.SignatureText;
    }
    Merge(out, settings);
    release();
    return {};
}

bool SettingsFile::Reload(Settings& settings)
{
    // A file gone or unreadable for now says nothing about the values: the
    // ones in memory stay, and the next save says what is wrong.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(Path(), ec)) {
        return false;
    }
    const Profile disk(Path());
    if (disk.ReadFailed()) {
        return false;
    }
    const Settings before = settings;
    Settings onDisk;
    // An unreadable signature reads as empty; the user's own stays.
    if (ReadSignature(SignaturePath(dir_), onDisk) && settings.SignatureText == baseline_.SignatureText) {
        settings.SignatureText = onDisk.SignatureText;
        baseline_.SignatureText = onDisk.SignatureText;
    }
    Merge(disk, settings);
    problems_ = SettingsProblems(disk, Path(), baseline_);
    return settings != before;
}

void SettingsFile::Merge(const Profile& disk, Settings& settings)
{
    Profile merged = disk;
    for (const SettingsHalf half : {SettingsHalf::MainWindow, SettingsHalf::Dialog}) {
        ApplyChanges(merged, disk, baseline_, settings, half, false);
    }
    Settings next = Loaded(merged);
    // Not kept in Kiteml.ini.
    next.SignatureText = std::move(settings.SignatureText);
    std::string baseSignature = std::move(baseline_.SignatureText);
    baseline_ = Loaded(disk);
    baseline_.SignatureText = std::move(baseSignature);
    settings = std::move(next);
}

} // namespace kitemail

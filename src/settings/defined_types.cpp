#include "settings/defined_types.h"

#include "mail/mail_types.h"
#include "platform/profile.h"
#include "platform/sjis.h"
#include "platform/text_codec.h"
#include "settings/address_book.h"
#include "settings/settings.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace kitemail {
namespace {

std::string Key(std::string_view field, TerminalType t)
{
    return std::string(field) + std::to_string(TerminalTypeNumber(t));
}

// The number of a "NameN" key, when N can be a defined type.
std::optional<TerminalType> NameKeyNumber(std::string_view key)
{
    constexpr std::string_view kName = "name";
    if (key.size() <= kName.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < kName.size(); ++i) {
        if (sjis::AsciiLower(key[i]) != kName[i]) {
            return std::nullopt;
        }
    }
    const std::string_view digits = key.substr(kName.size());
    std::int32_t n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.front() == '0') {
        return std::nullopt;
    }
    const TerminalType t = TerminalTypeFromNumber(n);
    return IsDefinedTypeNumber(t) ? std::optional(t) : std::nullopt;
}

template <typename Choice>
Choice ReadChoice(const Profile& p, std::string_view field, TerminalType t, Choice def, Choice last)
{
    const std::int32_t n = p.ReadInt(kDefinedTypesSection, Key(field, t), static_cast<std::int32_t>(def));
    return n >= 0 && n <= static_cast<std::int32_t>(last) ? static_cast<Choice>(n) : def;
}

std::int32_t ReadBytes(const Profile& p, std::string_view field, TerminalType t, std::int32_t def)
{
    const std::int32_t n = p.ReadInt(kDefinedTypesSection, Key(field, t), def);
    return n >= 0 ? n : def;
}

bool ReadFlag(const Profile& p, std::string_view field, TerminalType t, bool def)
{
    return p.ReadBool(kDefinedTypesSection, Key(field, t), def);
}

} // namespace

std::vector<DefinedType> ReadDefinedTypes(const Profile& p)
{
    std::vector<DefinedType> types;
    for (const auto& [key, value] : p.SectionValues(kDefinedTypesSection)) {
        const std::optional<TerminalType> t = NameKeyNumber(key);
        if (!t || value.empty()
            || std::any_of(types.begin(), types.end(), [&](const DefinedType& d) { return d.type == *t; })) {
            continue;
        }
        const DefinedType def;
        DefinedType d;
        d.type = *t;
        d.name = value;
        d.limit = ReadBytes(p, "Limit", *t, def.limit);
        d.fixedCount = ReadBytes(p, "Fixed", *t, def.fixedCount);
        d.counts.sender = ReadChoice(p, "Sender", *t, def.counts.sender, SenderTerm::UpToAt);
        d.counts.subject = ReadChoice(p, "Subject", *t, def.counts.subject, SubjectTerm::CappedAt40);
        d.counts.shiftBytes = ReadChoice(p, "Shifts", *t, def.counts.shiftBytes, ShiftBytes::WhenCountShiftBytes);
        d.counts.attachments = ReadChoice(p, "Attachments", *t, def.counts.attachments, AttachmentTerm::SizesAndPaths);
        d.counts.finalLineBreak = ReadFlag(p, "FinalBreak", *t, def.counts.finalLineBreak);
        d.areas.subject = ReadFlag(p, "SubjectBox", *t, def.areas.subject);
        d.areas.pin = ReadFlag(p, "PinBox", *t, def.areas.pin);
        d.areas.attachments = ReadFlag(p, "AttachmentBox", *t, def.areas.attachments);
        d.areas.animationMode = ReadFlag(p, "AnimationBox", *t, def.areas.animationMode);
        types.push_back(std::move(d));
    }
    std::sort(types.begin(), types.end(), [](const DefinedType& a, const DefinedType& b) {
        return TerminalTypeNumber(a.type) < TerminalTypeNumber(b.type);
    });
    return types;
}

void WriteDefinedTypes(Profile& p, const std::vector<DefinedType>& types)
{
    for (const auto& [key, value] : p.SectionValues(kDefinedTypesSection)) {
        const std::optional<TerminalType> t = NameKeyNumber(key);
        if (t && !value.empty()
            && std::none_of(types.begin(), types.end(), [&](const DefinedType& d) { return d.type == *t; })) {
            p.WriteString(kDefinedTypesSection, key, "");
        }
    }
    const auto number = [&p](std::string_view field, TerminalType t, std::int32_t value) {
        p.WriteInt(kDefinedTypesSection, Key(field, t), value);
    };
    for (const DefinedType& d : types) {
        p.WriteString(kDefinedTypesSection, Key("Name", d.type), d.name);
        number("Limit", d.type, d.limit);
        number("Fixed", d.type, d.fixedCount);
        number("Sender", d.type, static_cast<std::int32_t>(d.counts.sender));
        number("Subject", d.type, static_cast<std::int32_t>(d.counts.subject));
        number("Shifts", d.type, static_cast<std::int32_t>(d.counts.shiftBytes));
        number("Attachments", d.type, static_cast<std::int32_t>(d.counts.attachments));
        number("FinalBreak", d.type, d.counts.finalLineBreak ? 1 : 0);
        number("SubjectBox", d.type, d.areas.subject ? 1 : 0);
        number("PinBox", d.type, d.areas.pin ? 1 : 0);
        number("AttachmentBox", d.type, d.areas.attachments ? 1 : 0);
        number("AnimationBox", d.type, d.areas.animationMode ? 1 : 0);
    }
}

std::optional<std::string> DefinedTypeProblem(const Settings& settings, const DefinedType& d)
{
    // What a read gives back: enclosing blanks go.
    if (d.name.empty() || d.name.front() == ' ' || d.name.back() == ' ' || d.name.front() == '"') {
        return Sj("種別名を入力してください（前後に空白や引用符は使えません）。");
    }
    if (HasControlByte(d.name) || !IsSjisText(d.name)) {
        return Sj("種別名に使えない文字があります。");
    }
    if (d.name.size() > kMaxDefinedTypeNameBytes) {
        return Sj("種別名は ") + std::to_string(kMaxDefinedTypeNameBytes) + Sj(" byte 以内にしてください。");
    }
    for (const TerminalType t : kTerminalTypes) {
        if (d.name == TypeBoxText(t) || d.name == MainTypeBoxText(t)) {
            return Sj("その種別名は既に使われています。");
        }
    }
    for (const DefinedType& other : settings.DefinedTypes) {
        if (other.type != d.type && other.name == d.name) {
            return Sj("その種別名は既に使われています。");
        }
    }
    if (d.limit < 1) {
        return Sj("文字数制限は 1 byte 以上にしてください。");
    }
    if (d.fixedCount < 0 || d.fixedCount >= d.limit) {
        return Sj("固定長は 0 以上、文字数制限より小さくしてください。");
    }
    // A box the main window hides may still hold text or files from another
    // type: counted, they would make a count of what is not sent.
    if (d.counts.subject != SubjectTerm::None && !d.areas.subject) {
        return Sj("件名を数える種別は、件名欄を使えるようにしてください。");
    }
    if (d.counts.attachments != AttachmentTerm::None && !d.areas.attachments) {
        return Sj("添付ファイルを数える種別は、添付ファイル欄を使えるようにしてください。");
    }
    return std::nullopt;
}

std::optional<TerminalType> AddDefinedType(Settings& settings, DefinedType d)
{
    const TerminalTypes types = settings.Types();
    for (std::int32_t n = kFirstDefinedType; n < kFirstDefinedType + kMaxDefinedTypes; ++n) {
        const TerminalType t = TerminalTypeFromNumber(n);
        if (types.Knows(t)) {
            continue;
        }
        d.type = t;
        if (DefinedTypeProblem(settings, d)) {
            return std::nullopt;
        }
        auto& list = settings.DefinedTypes;
        list.insert(std::upper_bound(list.begin(), list.end(), d,
                                     [](const DefinedType& a, const DefinedType& b) {
                                         return TerminalTypeNumber(a.type) < TerminalTypeNumber(b.type);
                                     }),
                    std::move(d));
        return t;
    }
    return std::nullopt;
}

bool ReplaceDefinedType(Settings& settings, const DefinedType& d)
{
    for (DefinedType& old : settings.DefinedTypes) {
        if (old.type == d.type) {
            if (DefinedTypeProblem(settings, d)) {
                return false;
            }
            old = d;
            return true;
        }
    }
    return false;
}

std::vector<std::string> EntriesUsingType(const Settings& settings, TerminalType t)
{
    std::vector<std::string> names;
    for (const std::string& line : settings.AddressBook) {
        const AddressBookEntry entry = ParseAddressBookEntry(line);
        if (entry.type == t) {
            names.push_back(entry.name);
        }
    }
    return names;
}

bool DeleteDefinedType(Settings& settings, TerminalType t)
{
    auto& list = settings.DefinedTypes;
    const auto it = std::find_if(list.begin(), list.end(), [t](const DefinedType& d) { return d.type == t; });
    if (it == list.end()) {
        return false;
    }
    list.erase(it);
    for (std::string& line : settings.AddressBook) {
        const AddressBookEntry e = ParseAddressBookEntry(line);
        if (e.type == t) {
            line = FormatAddressBookEntry(e.name, e.address, e.pin, TerminalType::Unspecified, e.sender);
        }
    }
    if (settings.DefaultType == t) {
        settings.DefaultType = TerminalType::Unspecified;
    }
    return true;
}

} // namespace kitemail

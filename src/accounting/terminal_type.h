#pragma once
// The receiving-terminal types: the ten built in and those the user
// defines, their limits, what each one counts, what it sends and which
// input areas it offers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kitemail {

// In the order of every type box; the address book and the settings file
// store a type as this number (Unspecified as -1). A number read from a
// file that names no type is kept as read, so that a save writes back what
// the file held; every lookup below takes it for Unspecified.
enum class TerminalType : std::int32_t {
    Unspecified = -1,
    VodafoneLongMail = 0,
    VodafoneFreeRange = 1,
    SkyWalker = 2,
    IMode = 3,
    HLink = 4,
    Cmail = 5,
    EZwebMail = 6,
    EZweb = 7,
    VodafoneSuperMail = 8,
    IModeFoma = 9,
};

inline constexpr std::int32_t kTerminalTypeCount = 10;

// The ten types in the order of every type box.
inline constexpr std::array<TerminalType, kTerminalTypeCount> kTerminalTypes = {
    TerminalType::VodafoneLongMail, TerminalType::VodafoneFreeRange, TerminalType::SkyWalker,
    TerminalType::IMode,            TerminalType::HLink,             TerminalType::Cmail,
    TerminalType::EZwebMail,        TerminalType::EZweb,             TerminalType::VodafoneSuperMail,
    TerminalType::IModeFoma,
};

// The number a file or a command line holds, and back; only where a type
// is read or written as text.
[[nodiscard]] constexpr TerminalType TerminalTypeFromNumber(std::int32_t n) noexcept
{
    return static_cast<TerminalType>(n);
}
[[nodiscard]] constexpr std::int32_t TerminalTypeNumber(TerminalType t) noexcept
{
    return static_cast<std::int32_t>(t);
}

// Which input areas of the main window a type makes available.
struct InputAreas {
    bool subject;
    bool pin;
    bool attachments;
    bool animationMode;
    bool noteLabel;
    friend bool operator==(const InputAreas&, const InputAreas&) = default;
};

// The terms of a type's count; the counter adds them to the fixed count F.
enum class SenderTerm : std::uint8_t {
    None,
    Whole,      // the whole sender text, reply-to part included
    CappedAt55, // the same, at most 55 bytes
    UpToAt,     // the local part with its "@"
};
enum class SubjectTerm : std::uint8_t {
    None,
    Plain,      // its bytes; its shift bytes too when ShiftBytes says so
    CappedAt40, // its bytes and shift bytes, or a flat 40 over 40 bytes
};
enum class ShiftBytes : std::uint8_t {
    Never,
    Always,             // 3 per shift of body and subject
    WhenCountShiftBytes // only with the 3Byte setting
};
enum class AttachmentTerm : std::uint8_t {
    None,
    Sizes,        // the file sizes
    SizesAndPaths // each file's size + its full path's length + 20
};

struct CountTerms {
    SenderTerm sender;
    SubjectTerm subject;
    ShiftBytes shiftBytes;
    AttachmentTerm attachments;
    // 2 more for a body that ends on a double-byte character (the closing
    // shift before the final line break), where the 12th option asks for it.
    bool finalLineBreak;
    friend bool operator==(const CountTerms&, const CountTerms&) = default;
};

// What the engine asks of a type: its limit, what it counts, what it sends
// and what the main window offers for it.
struct TypeRules {
    std::int32_t defaultLimit; // bytes; for Unspecified the MaxLen default
    std::int32_t fixedCount;   // F; for Unspecified the FixLen default
    InputAreas areas;
    CountTerms counts;
    // The listed attachments go out with the mail.
    bool sendsAttachments;
    // The PIN goes out as the Subject ("#" + PIN); the Subject box is not used.
    bool pinAsSubject;
    // With exactly one ".noa" attachment, a mail may be this many bytes over
    // the limit and still go out whole.
    std::int32_t noaAllowance;
};

struct TerminalTypeInfo {
    TerminalType type;
    const char* typeBoxText;   // UTF-8; as every type box but the main window's lists it
    const char* mainBoxText;   // UTF-8; the main window's type box ("i-mode(foma)")
    const char* statusText;    // UTF-8; shown when the type is selected
    const char* surveyText;    // UTF-8; the terminal survey's message
    TypeRules rules;
};

// One of the ten (not Unspecified, not a number that names no type).
[[nodiscard]] bool IsTerminalType(TerminalType t) noexcept;
// t when it is one of the ten, else Unspecified.
[[nodiscard]] TerminalType KnownOrUnspecified(TerminalType t) noexcept;
// Row for t; Unspecified and any number that names no type get the
// Unspecified row.
[[nodiscard]] const TerminalTypeInfo& TerminalTypeRow(TerminalType t) noexcept;

// The texts of the ten as the engine's code page 932 bytes.
[[nodiscard]] std::string TypeBoxText(TerminalType t);
[[nodiscard]] std::string MainTypeBoxText(TerminalType t);
[[nodiscard]] std::string SelectionStatusText(TerminalType t);
[[nodiscard]] std::string SurveyText(TerminalType t);

// The limit of each of the ten types, slot TypeSlot(t) for type t.
using TypeLimits = std::array<std::int32_t, kTerminalTypeCount>;
[[nodiscard]] TypeLimits DefaultTypeMaxLengths() noexcept;
// Only for one of the ten.
[[nodiscard]] constexpr std::size_t TypeSlot(TerminalType t) noexcept
{
    return static_cast<std::size_t>(t);
}

// A type the user describes for a service the ten do not name, from the
// choices the ten use. Numbered from kFirstDefinedType on, so the address
// book and the settings file store it as they store the ten.
inline constexpr std::int32_t kFirstDefinedType = 10;
inline constexpr std::int32_t kMaxDefinedTypes = 100; // numbers 10..109

struct DefinedType {
    TerminalType type = TerminalTypeFromNumber(kFirstDefinedType);
    std::string name;           // code page 932, not empty
    std::int32_t limit = 10000; // bytes
    std::int32_t fixedCount = 0;
    CountTerms counts{SenderTerm::None, SubjectTerm::Plain, ShiftBytes::Never, AttachmentTerm::None, true};
    // The subject, PIN, attachment and animation-mode areas (noteLabel is
    // the unspecified type's alone). Attachments offered are attachments
    // sent; a PIN without a subject goes out as the Subject, as SkyWalker's.
    InputAreas areas{true, false, false, false, false};
    friend bool operator==(const DefinedType&, const DefinedType&) = default;
};

[[nodiscard]] constexpr bool IsDefinedTypeNumber(TerminalType t) noexcept
{
    const std::int32_t n = TerminalTypeNumber(t);
    return n >= kFirstDefinedType && n < kFirstDefinedType + kMaxDefinedTypes;
}

[[nodiscard]] TypeRules RulesOf(const DefinedType& d) noexcept;

// The table every lookup of a type goes through: the ten, then the defined
// types in their list's order. A view: the list it was made from must
// outlive it. Made empty, it knows the ten alone.
class TerminalTypes {
public:
    TerminalTypes() noexcept = default;
    explicit TerminalTypes(std::span<const DefinedType> defined) noexcept : defined_(defined) {}

    // One of the ten or a defined type.
    [[nodiscard]] bool Knows(TerminalType t) const noexcept;
    // t when known, else Unspecified.
    [[nodiscard]] TerminalType KnownOrUnspecified(TerminalType t) const noexcept;
    // Unspecified's rules for Unspecified and any number that names no type.
    [[nodiscard]] TypeRules Rules(TerminalType t) const noexcept;
    // nullptr for the ten and unknown numbers.
    [[nodiscard]] const DefinedType* Defined(TerminalType t) const noexcept;
    [[nodiscard]] std::span<const DefinedType> DefinedTypes() const noexcept { return defined_; }

    // Every type box's order: the ten, then the defined ones.
    [[nodiscard]] std::vector<TerminalType> BoxOrder() const;
    // Position in BoxOrder, -1 for Unspecified and unknown numbers; and back.
    [[nodiscard]] int BoxIndexOf(TerminalType t) const noexcept;
    [[nodiscard]] TerminalType TypeAtBoxIndex(int index) const noexcept;

    // Code page 932. A defined type's name stands for all its texts but the
    // selection status, which follows the ten's pattern.
    [[nodiscard]] std::string BoxText(TerminalType t) const;
    [[nodiscard]] std::string MainBoxText(TerminalType t) const;
    [[nodiscard]] std::string StatusText(TerminalType t) const;
    [[nodiscard]] std::string SurveyText(TerminalType t) const;

    // The limit of t: the [Length] value for one of the ten, the defined
    // type's own, unspecified's maxLen otherwise.
    [[nodiscard]] std::int32_t Limit(TerminalType t, const TypeLimits& limits, std::int32_t maxLen) const noexcept;

private:
    std::span<const DefinedType> defined_;
};

// The main window's current type with its limit and fixed overhead.
struct TerminalTypeState {
    TerminalType CurrentTerminalType = TerminalType::VodafoneLongMail;
    std::int32_t CurrentMaxLength = 384;
    std::int32_t CurrentFixedLength = 55;
    TypeLimits TypeMaxLengths = DefaultTypeMaxLengths();

    // CurrentTerminalType's, as they were when it was applied.
    TypeRules CurrentRules = TerminalTypeRow(TerminalType::VodafoneLongMail).rules;

    // Makes t current, with maxLen/fixLen (the MaxLen and FixLen settings
    // at this moment) for the unspecified type; t may be one of types'
    // defined ones. A number that names no type changes nothing and returns
    // false.
    bool ApplyTerminalType(TerminalType t, std::int32_t maxLen, std::int32_t fixLen,
                           const TerminalTypes& types = {}) noexcept;

    [[nodiscard]] InputAreas Areas() const noexcept { return CurrentRules.areas; }
};

// The type for a set of ticked address-book entries: the common type, or
// Unspecified when they differ or nothing is ticked. An entry whose type
// reads Unspecified met before any valid one is passed over; met after one,
// it makes the set mixed.
[[nodiscard]] TerminalType DeriveTypeFromTicks(std::span<const TerminalType> tickedTypesInListOrder) noexcept;

} // namespace kitemail

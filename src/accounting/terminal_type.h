#pragma once
// The ten receiving-terminal types, their limits and what each one allows.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kitemail {

inline constexpr std::int32_t kTerminalTypeCount = 10;
inline constexpr std::int32_t kUnspecifiedType = -1;

// Which input areas of the main window a type makes available.
struct InputAreas {
    bool subject;
    bool pin;
    bool attachments;
    bool animationMode;
    bool noteLabel;
    friend bool operator==(const InputAreas&, const InputAreas&) = default;
};

struct TerminalTypeInfo {
    const char* typeBoxText;     // UTF-8; as every type box but the main window's lists it
    const char* mainBoxText;     // UTF-8; the main window's type box ("i-mode(foma)")
    const char* statusText;      // UTF-8; shown when the type is selected
    const char* surveyText;      // UTF-8; the terminal survey's message
    std::int32_t defaultLimit;   // bytes; for -1 the MaxLen default
    std::int32_t fixedCount;     // F; for -1 the FixLen default
    InputAreas areas;
};

[[nodiscard]] bool IsTerminalType(std::int32_t t) noexcept;
// Row for t in -1..9; any other value gets the unspecified row.
[[nodiscard]] const TerminalTypeInfo& TerminalTypeRow(std::int32_t t) noexcept;

// The texts as the engine's code page 932 bytes.
[[nodiscard]] std::string TypeBoxText(std::int32_t t);
[[nodiscard]] std::string MainTypeBoxText(std::int32_t t);
[[nodiscard]] std::string SelectionStatusText(std::int32_t t);
[[nodiscard]] std::string SurveyText(std::int32_t t);

using TypeLimits = std::array<std::int32_t, kTerminalTypeCount>;
[[nodiscard]] TypeLimits DefaultTypeMaxLengths() noexcept;

// The main window's current type with its limit and fixed overhead.
struct TerminalTypeState {
    std::int32_t CurrentTerminalType = 0;
    std::int32_t CurrentMaxLength = 384;
    std::int32_t CurrentFixedLength = 55;
    TypeLimits TypeMaxLengths = DefaultTypeMaxLengths();

    // Makes t current, with maxLen/fixLen (the MaxLen and FixLen settings
    // at this moment) for the unspecified type. Any t outside -1..9 changes
    // nothing and returns false.
    bool ApplyTerminalType(std::int32_t t, std::int32_t maxLen, std::int32_t fixLen) noexcept;

    [[nodiscard]] InputAreas Areas() const noexcept { return TerminalTypeRow(CurrentTerminalType).areas; }
};

// The type for a set of ticked address-book entries: the common type, or -1
// when they differ or nothing is ticked. An entry whose type reads -1 met
// before any valid one is passed over; met after one, it makes the set mixed.
[[nodiscard]] std::int32_t DeriveTypeFromTicks(std::span<const std::int32_t> tickedTypesInListOrder) noexcept;

} // namespace kitemail

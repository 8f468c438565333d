#pragma once
// Cutting an over-long message into at most nine numbered parts.

#include "accounting/terminal_type.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

inline constexpr std::int32_t kMaxSplitParts = 9;

struct SplitInputs {
    std::string_view body;     // as typed; normalised here
    std::string_view subject;  // the Subject handed to the splitter (" " when empty)
    std::string_view from;     // sender address without any reply-to part
    TerminalType type = TerminalType::VodafoneLongMail; // CurrentTerminalType
    TerminalTypes types;          // the table type is looked up in
    std::int32_t fixedLength = 0; // CurrentFixedLength
    std::int32_t maxLength = 0;   // CurrentMaxLength
    bool countShiftBytes = false;
    bool assumeSingleByteAtEnds = true;
    bool partNumberInSubject = false;
};

struct SplitResult {
    // False when no part can hold even one character of the body.
    bool ok = true;
    // The parts exactly as they go out as mail bodies (numbering included
    // when it goes into the body); at most nine.
    std::vector<std::string> parts;
    // Bytes of the (normalised) body beyond the ninth part: they would not
    // be sent.
    std::size_t unsentBytes = 0;
    // The normalised subject every part's Subject is made from.
    std::string subject;
    bool numberInSubject = false;

    // The Subject of part i (1-based) of n.
    [[nodiscard]] std::string PartSubject(std::size_t i) const;
};

// Called with each shrink step's status text ("1通目 カット部位検索389byte / 402byte",
// code page 932) so the window can repaint.
using SplitProgress = std::function<void(const std::string& statusText)>;

[[nodiscard]] SplitResult SplitMessage(const SplitInputs& in, const SplitProgress& progress = {});

// The size the cut search weighs a trial part by; part and subject are
// normalised. A part fits when this is below the limit.
[[nodiscard]] std::int64_t TrialPartSize(const SplitInputs& in, std::string_view part, std::string_view subject);

// How many bytes of the body, as given, a first part can hold: the longest
// beginning of whole characters that fits, so the rest can be marked as past
// the limit. The whole body when it all fits; 0 when no character does. One
// pass over at most the first limit's worth of the body.
[[nodiscard]] std::size_t BodyBytesThatFit(const SplitInputs& in);

} // namespace kitemail

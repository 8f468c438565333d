#pragma once
// The size of a message as the receiving service counts it.

#include "accounting/terminal_type.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kitemail {

struct CountOptions {
    bool CountShiftBytes = false;          // settings key 3Byte
    bool AssumeSingleByteAtEnds = true;    // option 11
    bool CountFinalLineBreakShift = true;  // option 12
};

struct CountInputs {
    std::string_view body;                  // CR LF line breaks, code page 932
    std::string_view subject;
    std::string_view sender;                // the whole sender text chosen now
    std::span<const std::string> attachments; // full paths, code page 932
    TerminalType type = TerminalType::VodafoneLongMail; // CurrentTerminalType
    std::int32_t fixedLength = 0;           // CurrentFixedLength
    CountOptions options;
};

struct CountResult {
    bool ok = true;
    std::int32_t count = 0;
    std::string failedPath; // code page 932, when an attachment could not be opened
    std::string error;      // code page 932, for the user
};

// Single-byte/double-byte transitions of the text, one mark per character.
[[nodiscard]] std::int32_t CountShiftSequences(std::string_view sjis, bool assumeSingleByteAtEnds) noexcept;

// Reads every attachment's size from the file system at each call.
[[nodiscard]] CountResult CountMessageSize(const CountInputs& in);

// Why a path cannot be an attachment (code page 932, for the user), or
// empty when it can: it must open and be a regular file, since a folder,
// a pipe or a device has no size to count and may never end.
[[nodiscard]] std::string AttachmentProblem(const std::string& sjisPath, std::int64_t* size = nullptr);

} // namespace kitemail

#pragma once
// The size of a message as the receiving service counts it.

#include "accounting/terminal_type.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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
    TerminalTypes types;                    // the table type is looked up in
    std::int32_t fixedLength = 0;           // CurrentFixedLength
    CountOptions options;
};

// A body or subject as counted: its text after the trip to ISO-2022-JP and
// back, N(x).
struct TextMeasure {
    std::int64_t bytes = 0;        // of N(x)
    std::int32_t shifts = 0;       // its shift sequences
    std::int64_t shiftBytes = 0;   // 3 per shift where the type counts them, else 0
    std::int32_t widenedKana = 0;  // half-width katakana in x, each full-width in N(x)
    std::int64_t widenedBytes = 0; // the bytes that added (part of `bytes`)
    bool endsWithDoubleByte = false;
};

struct AttachmentMeasure {
    std::string path;           // code page 932
    std::int64_t size = 0;
    std::int64_t pathBytes = 0; // 0 where the type counts sizes alone
    std::int64_t extra = 0;     // 20 where paths count, else 0
    [[nodiscard]] std::int64_t Term() const noexcept { return size + pathBytes + extra; }
};

// The count taken apart; Sum() is the count (before it is held to 32 bits).
struct MessageTerms {
    CountTerms rules{};        // what the type counts
    std::int64_t fixed = 0;    // F
    std::int64_t senderLength = 0; // the whole sender text
    std::int64_t sender = 0;   // the sender term
    TextMeasure subjectText;
    bool subjectFlat40 = false; // over 40 bytes: a flat 40, no shift bytes
    std::int64_t subject = 0;  // the subject term, its shift bytes included
    TextMeasure body;          // adds body.bytes + body.shiftBytes
    std::vector<AttachmentMeasure> attachments; // empty where none count
    std::int64_t finalBreak = 0; // 2 for a body ending double-byte, when that counts

    [[nodiscard]] std::int64_t Sum() const noexcept;
};

struct CountResult {
    bool ok = true;
    std::int32_t count = 0;
    MessageTerms terms;
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

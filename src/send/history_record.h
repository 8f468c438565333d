#pragma once
// One sent mail as an .eml text file in the history folder, and the words in
// which the end of a mail is reported.

#include "mail/outgoing_mail.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {

// Short English result for the history record; empty for success and for a
// value outside 1..25.
[[nodiscard]] std::string ResultText(std::int32_t sendMailError);
// The message box text of the error event (code page 932); empty when none.
[[nodiscard]] std::string ErrorMessageText(std::int32_t sendMailError);

// "<stamp>.<unique>_<from>": the send time to the second, then a part that
// keeps two mails of the same second apart, then the sender.
[[nodiscard]] std::string MakeMessageId(std::string_view stamp14, std::string_view from);

// "Fri, 05 June 2026 06:42:13" from the 14 digits of a stamp; empty when the
// stamp is not a valid date.
[[nodiscard]] std::string HistoryDate(std::string_view stamp14);

// Paths joined by ","; a path with a blank, a control character, a comma or a
// double quote is quoted, inner quotes doubled.
[[nodiscard]] std::string CommaText(const std::vector<std::string>& items);

struct HistoryRecord {
    std::string to;
    std::string subject;   // as typed, before encoding
    std::string from;      // FROM_Address
    std::string messageId; // without angle brackets
    std::string phoneType; // the mail's terminal type name, or empty
    std::string server;    // SMTP_Server
    std::vector<std::string> attachments;
    std::string resultText; // empty: "Succeed"
    std::string body;       // as typed, before conversion

    // The file's bytes: twelve CR LF lines, the body, one CR LF.
    [[nodiscard]] std::string Format() const;
};

// The record of one mail that ended with resultText (empty for success).
[[nodiscard]] HistoryRecord HistoryRecordFor(const OutgoingMail& mail, std::string resultText);

struct HistoryWriteResult {
    bool ok = false;
    bool folderInvalid = false; // the folder neither exists nor can be made
    std::filesystem::path path;
    std::string error;
};

// Writes the record under a new name "<stamp>NN.eml" in folder (created when
// missing): whole under a temporary name ".record-XXXXXX.tmp" first, then
// given its name, so the folder never holds half a record. Never replaces a
// record already there. The record is its owner's alone (0600). While its
// temporary file exists the writer holds HistoryLockPath(folder) shared.
[[nodiscard]] HistoryWriteResult WriteHistoryRecord(const std::filesystem::path& folder, const HistoryRecord& record);

// "<folder>/.lock", the lock file of the record writers (never removed).
[[nodiscard]] std::filesystem::path HistoryLockPath(const std::filesystem::path& folder);

// Removes the temporary files of writers that were killed before they
// finished: only names of the writer's own pattern, and only when no writer
// is at work (the lock file taken exclusive without waiting; nothing happens
// when it is busy or cannot be had, or when the folder does not exist).
// Returns how many went.
std::size_t RemoveRecordLeftovers(const std::filesystem::path& folder);

} // namespace kitemail

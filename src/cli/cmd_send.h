#pragma once
// The send command's options and its send, shared with history resend.

#include "accounting/terminal_type.h"
#include "cli/command.h"
#include "platform/user_interface.h"
#include "settings/settings.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kitemail::cli {

struct SendArguments {
    std::optional<std::string> to;
    std::optional<TerminalType> type;
    std::vector<std::string> entries;
    std::optional<std::string> subject;
    std::optional<std::string> pin;
    std::optional<std::string> bodyFile;
    std::vector<std::string> attachments;
    bool anime = false;
    bool fromOverride = false;
    bool sjis = false;
    bool yes = false;
    YesNoCancel split = YesNoCancel::Cancel;
    bool truncate = false; // --split truncate: yes, even when nine parts cannot hold the body
    bool dryRun = false;
    bool json = false; // one JSON object per mail on standard output
};

// Takes the current argument when it is one of the options that answer
// the send's questions or shape its output: --split, --yes, --anime,
// --from-override, --dry-run, --json.
[[nodiscard]] bool TakeSendOption(ArgReader& args, SendArguments& a);

// The mail's texts as the engine holds them (code page 932).
struct SendTexts {
    std::string address;               // with a.to: direct input to this address, of type *a.type
    std::vector<std::int32_t> ticked; // without: these address-book entries
    std::string subject;
    std::string pin;
    std::string body; // CR LF line ends
    std::vector<std::string> attachments;
};

// The send itself, after every input was read and checked: the workflow
// with its checks, questions, POP before SMTP and history records; the
// exit status.
[[nodiscard]] int SendMail(const std::filesystem::path& dataDir, Settings& settings, const SendArguments& a,
                           SendTexts texts);

} // namespace kitemail::cli

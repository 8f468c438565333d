// kitemail-cli count: the size of one message as the main window shows it,
// for a terminal type, with the limits and options of the settings file.

#include "accounting/counter.h"
#include "accounting/terminal_type.h"
#include "cli/command.h"
#include "cli/user_input.h"
#include "platform/data_dir.h"
#include "platform/text_codec.h"
#include "settings/settings.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace kitemail::cli {
namespace {

struct CountArguments {
    std::optional<TerminalType> type;
    std::optional<std::string> bodyFile;
    std::optional<std::string> subject;
    std::optional<std::string> sender;
    std::vector<std::string> attachments;
    bool sjis = false;
    bool json = false;
};

CountArguments ParseCountArguments(std::span<const std::string_view> argv)
{
    CountArguments a;
    ArgReader args(argv);
    while (!args.Done()) {
        if (const auto v = args.Value("--type")) {
            a.type = TerminalTypeFromNumber(ParseInt("--type", *v));
        } else if (const auto body = args.Value("--body-file")) {
            a.bodyFile = std::string(*body);
        } else if (const auto subject = args.Value("--subject")) {
            a.subject = std::string(*subject);
        } else if (const auto sender = args.Value("--sender")) {
            a.sender = std::string(*sender);
        } else if (const auto path = args.Value("--attach")) {
            if (path->empty()) {
                throw CommandError::Usage("--attach needs a file");
            }
            a.attachments.emplace_back(*path);
        } else if (args.Flag("--sjis")) {
            a.sjis = true;
        } else if (args.Flag("--json")) {
            a.json = true;
        } else {
            args.Unknown();
        }
    }
    if (!a.type) {
        throw CommandError::Usage("--type is required (-1 for unspecified, 0 to 9)");
    }
    if (*a.type != TerminalType::Unspecified && !IsTerminalType(*a.type)) {
        throw CommandError::Usage("--type must be -1 (unspecified) or 0 to 9, not "
                                  + std::to_string(TerminalTypeNumber(*a.type)));
    }
    return a;
}

int RunCount(const CommandContext& context)
{
    const CountArguments a = ParseCountArguments(context.args);
    const auto text = [&a](std::string_view given, std::string_view what) { return UserText(given, what, a.sjis); };

    const std::string body = a.bodyFile ? ReadBodyFile(*a.bodyFile, a.sjis) : std::string();
    const std::string subject = a.subject ? text(*a.subject, "the subject") : std::string();

    const Settings settings = LoadSettings(DataDirectory(context.dataDir));
    const std::string sender = a.sender ? text(*a.sender, "the sender") : FirstSender(settings);

    std::vector<std::string> attachments;
    attachments.reserve(a.attachments.size());
    for (const std::string& path : a.attachments) {
        attachments.push_back(AttachmentPath(path));
    }

    TerminalTypeState state;
    state.TypeMaxLengths = settings.TypeMaxLengths;
    (void)state.ApplyTerminalType(*a.type, settings.MaxLen, settings.FixLen);

    CountInputs in;
    in.body = body;
    in.subject = subject;
    in.sender = sender;
    in.attachments = attachments;
    in.type = state.CurrentTerminalType;
    in.fixedLength = state.CurrentFixedLength;
    in.options.CountShiftBytes = settings.CountShiftBytes;
    in.options.AssumeSingleByteAtEnds = settings.AssumeSingleByteAtEnds;
    in.options.CountFinalLineBreakShift = settings.CountFinalLineBreakShift;

    const CountResult result = CountMessageSize(in);
    if (!result.ok) {
        throw CommandError::BadInput(SjisToUtf8(result.error));
    }
    const std::int32_t limit = state.CurrentMaxLength;
    std::string line;
    if (a.json) {
        line = "{\"count\":" + std::to_string(result.count) + ",\"limit\":" + std::to_string(limit) +
               ",\"over\":" + (result.count > limit ? "true" : "false") +
               ",\"type\":" + std::to_string(TerminalTypeNumber(state.CurrentTerminalType)) + "}\n";
    } else {
        line = std::to_string(result.count) + " / " + std::to_string(limit) + "\n";
    }
    WriteAll(STDOUT_FILENO, line);
    return kExitOk;
}

} // namespace

extern const Command kCountCommand;
const Command kCountCommand = {
    "count",
    "count one message as the receiving service counts it",
    "Usage: kitemail-cli [--data-dir DIR] count --type N [--body-file FILE]\n"
    "           [--subject TEXT] [--sender TEXT] [--attach PATH]... [--sjis] [--json]\n"
    "\n"
    "Counts one message for terminal type N as the main window does and prints\n"
    "COUNT / LIMIT. The limits (MaxLen, FixLen, [Length]), the 3Byte setting and\n"
    "the counting options are read from Kiteml.ini in the data folder; defaults\n"
    "when it is missing.\n"
    "\n"
    "  --type N          -1 unspecified, 0 vodafone long mail, 1 vodafone free range,\n"
    "                    2 SkyWalker/SkyMessage, 3 i-mode, 4 H\"Link, 5 Cmail,\n"
    "                    6 EZweb@mail, 7 EZweb, 8 vodafone super mail, 9 i-mode(FOMA)\n"
    "  --body-file FILE  the body (- for standard input); LF, CR and CR LF line\n"
    "                    breaks all count as CR LF\n"
    "  --subject TEXT    the subject\n"
    "  --sender TEXT     the sender address (default: the first one of the\n"
    "                    settings' sender list)\n"
    "  --attach PATH     an attachment; may be given more than once\n"
    "  --sjis            texts and the body file are Shift_JIS bytes, not UTF-8\n"
    "  --json            print {\"count\":..,\"limit\":..,\"over\":..,\"type\":..}\n"
    "\n"
    "Exit status: 0 when counted (also over the limit); 2 for bad arguments, an\n"
    "attachment that cannot be opened or a character Shift_JIS cannot hold.\n",
    RunCount,
};

} // namespace kitemail::cli

// kitemail-cli diet: blanks and line breaks taken out of a body, as the
// diet dialog does, from standard input to standard output.

#include "cli/command.h"
#include "cli/user_input.h"
#include "platform/text_codec.h"
#include "tools/text_tools.h"

#include <string>

namespace kitemail::cli {
namespace {

int RunDiet(const CommandContext& context)
{
    DietOptions options;
    DietOptions given{false, false, false, false, false};
    bool sjis = false;
    ArgReader args(context.args);
    while (!args.Done()) {
        if (args.Flag("--leading")) {
            given.leadingBlanks = true;
        } else if (args.Flag("--trailing")) {
            given.trailingBlanks = true;
        } else if (args.Flag("--inner")) {
            given.innerSpaces = true;
        } else if (args.Flag("--empty-lines")) {
            given.emptyLines = true;
        } else if (args.Flag("--join")) {
            given.joinLines = true;
        } else if (args.Flag("--sjis")) {
            sjis = true;
        } else {
            args.Unknown();
        }
    }
    if (given.Any()) {
        options = given;
    }
    const std::string body = ReadBodyInput(sjis);
    if (const std::string refusal = DietRefusal(body, options); !refusal.empty()) {
        throw CommandError::Failure(SjisToUtf8(refusal));
    }
    WriteBodyOutput(DietText(body, options), sjis);
    return kExitOk;
}

} // namespace

extern const Command kDietCommand;
const Command kDietCommand = {
    "diet",
    "take blanks and line breaks out of a body, as a filter",
    "Usage: kitemail-cli diet [--leading] [--trailing] [--inner] [--empty-lines]\n"
    "           [--join] [--sjis]\n"
    "\n"
    "Reads a body from standard input and writes it to standard output with the\n"
    "options given applied in this order, as the window's diet does. Without any\n"
    "option: --trailing and --empty-lines, the window's choice at start.\n"
    "\n"
    "  --leading      blanks (space, tab, other control bytes) at each line's start\n"
    "  --trailing     blanks at each line's end\n"
    "  --inner        every ASCII space in a line\n"
    "  --empty-lines  empty lines, except the last line of the body\n"
    "  --join         all line breaks: the body becomes one line\n"
    "  --sjis         input and output are Shift_JIS with CR LF line ends, not\n"
    "                 UTF-8 with LF\n"
    "\n"
    "The full-width space is never a blank. A final line break of the input ends\n"
    "the last line; the output ends every line with a break.\n"
    "\n"
    "Exit status: 0 done; 1 for an empty body; 2 for bad arguments, input that\n"
    "is not UTF-8 (or not Shift_JIS with --sjis) or a character Shift_JIS cannot\n"
    "hold.\n",
    RunDiet,
};

} // namespace kitemail::cli

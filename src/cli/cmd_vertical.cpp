// kitemail-cli vertical: a body in vertical writing, one character per
// line, as the K tool bar's "縦書き化！" makes it.

#include "cli/command.h"
#include "cli/user_input.h"
#include "tools/text_tools.h"

#include <string>

namespace kitemail::cli {
namespace {

int RunVertical(const CommandContext& context)
{
    bool sjis = false;
    ArgReader args(context.args);
    while (!args.Done()) {
        if (args.Flag("--sjis")) {
            sjis = true;
        } else {
            args.Unknown();
        }
    }
    WriteBodyOutput(VerticalText(ReadBodyInput(sjis)), sjis);
    return kExitOk;
}

} // namespace

extern const Command kVerticalCommand;
const Command kVerticalCommand = {
    "vertical",
    "write a body one character per line, as a filter",
    "Usage: kitemail-cli vertical [--sjis]\n"
    "\n"
    "Reads a body from standard input and writes it to standard output with a\n"
    "line break after every character, as the window's \"縦書き化！\" does: a\n"
    "line break of the body becomes an empty line between the columns.\n"
    "\n"
    "  --sjis  input and output are Shift_JIS with CR LF line ends, not UTF-8\n"
    "          with LF\n"
    "\n"
    "Exit status: 0 done; 2 for bad arguments, input that is not UTF-8 (or not\n"
    "Shift_JIS with --sjis) or a character Shift_JIS cannot hold.\n",
    RunVertical,
};

} // namespace kitemail::cli

// kitemail-cli preview: a body as the preview window shows it, cut into
// rows of a phone's width.

#include "cli/command.h"
#include "cli/user_input.h"
#include "platform/data_dir.h"
#include "settings/settings.h"
#include "tools/text_tools.h"

#include <optional>
#include <string>

namespace kitemail::cli {
namespace {

int RunPreview(const CommandContext& context)
{
    std::optional<int> columns;
    bool sjis = false;
    ArgReader args(context.args);
    while (!args.Done()) {
        if (const auto v = args.Value("--columns")) {
            columns = ParseInt("--columns", *v);
        } else if (args.Flag("--sjis")) {
            sjis = true;
        } else {
            args.Unknown();
        }
    }
    if (columns && (*columns < kPreviewMinColumns || *columns > kPreviewMaxColumns)) {
        throw CommandError::Usage("--columns must be " + std::to_string(kPreviewMinColumns) + " to " +
                                  std::to_string(kPreviewMaxColumns) + ", not " + std::to_string(*columns));
    }
    if (!columns) {
        columns = LoadAllSettings(DataDirectory(context.dataDir)).VCount;
    }
    WriteLinesOutput(PreviewText(ReadBodyInput(sjis), *columns), sjis);
    return kExitOk;
}

} // namespace

extern const Command kPreviewCommand;
const Command kPreviewCommand = {
    "preview",
    "cut a body into rows of a phone's width, as a filter",
    "Usage: kitemail-cli [--data-dir DIR] preview [--columns N] [--sjis]\n"
    "\n"
    "Reads a body from standard input and writes it as the preview window shows\n"
    "it: converted to ISO-2022-JP and back as it will be sent (half-width\n"
    "katakana become full-width), every line cut into rows of at most 2 x N\n"
    "bytes, a double-byte character never split.\n"
    "\n"
    "  --columns N  full-width characters per row, 6 to 20 (default: the preview\n"
    "               window's VCount in Kiteml.ini, else 10)\n"
    "  --sjis       input and output are Shift_JIS with CR LF line ends, not\n"
    "               UTF-8 with LF\n"
    "\n"
    "Exit status: 0 done; 2 for bad arguments, input that is not UTF-8 (or not\n"
    "Shift_JIS with --sjis) or a character Shift_JIS cannot hold.\n",
    RunPreview,
};

} // namespace kitemail::cli

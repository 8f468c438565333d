// The command-line tool's commands that only read and print (count,
// convert and the text tools diet, vertical, preview), run in-process on any
// arguments and standard input: each ends with its output or a
// usage/bad-input error, and what it prints is well formed; convert prints
// exactly the conversion of its input, whatever piece size it reads in, and
// the text tools never split a character. The commands that change the
// settings are the target cli_settings.

#include "cli_run.h"
#include "platform/text_codec.h"
#include "text/jis.h"

#include <charconv>

namespace {

using namespace kitemail;

// Takes a decimal number off the front of text after `label`.
bool Number(std::string_view& text, std::string_view label, std::int64_t& value)
{
    if (!text.starts_with(label)) {
        return false;
    }
    text.remove_prefix(label.size());
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return ec == std::errc();
}

// "COUNT / LIMIT" or {"count":C,"limit":L,"over":B,"type":T}, one line.
void CheckCountLine(std::string_view line)
{
    std::int64_t count = 0;
    std::int64_t limit = 0;
    std::int64_t type = 0;
    if (line.starts_with('{')) {
        FUZZ_CHECK(Number(line, "{\"count\":", count) && Number(line, ",\"limit\":", limit));
        const std::string_view over = count > limit ? ",\"over\":true" : ",\"over\":false";
        FUZZ_CHECK(line.starts_with(over));
        line.remove_prefix(over.size());
        FUZZ_CHECK(Number(line, ",\"type\":", type) && type >= -1 && type <= 9 && line == "}\n");
    } else {
        FUZZ_CHECK(Number(line, "", count) && Number(line, " / ", limit) && line == "\n");
    }
    FUZZ_CHECK(count >= 0 && limit > 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto [args, stdinBytes] = fuzz::SplitCliInput(fuzz::Bytes(data, size));
    const cli::Command* command = fuzz::FindCommand(args.front(), {"count", "convert", "diet", "vertical", "preview"});
    if (command == nullptr || fuzz::NamesAPath(args)) {
        return 0;
    }
    // The default settings: an empty data folder.
    const auto [exit, help, out] =
        fuzz::Runner().Run(*command, std::span(args).subspan(1), stdinBytes, fuzz::ScratchDir() / "data");
    if (help) {
        FUZZ_CHECK(out.empty());
        return 0;
    }
    // Bad arguments or unusable input, never a failure of the work itself;
    // but the diet refuses an empty body.
    FUZZ_CHECK(exit == cli::kExitOk || exit == cli::kExitUsage ||
               (exit == cli::kExitFailure && command->name == "diet" && out.empty()));
    if (exit != cli::kExitOk) {
        FUZZ_CHECK(out.empty());
    } else if (command->name == "count") {
        CheckCountLine(out);
    } else if (command->name == "convert") {
        FUZZ_CHECK(out == SjisToJis(stdinBytes) || out == JisToSjis(stdinBytes));
    } else if (command->name == "preview" && stdinBytes.find('\x1b') != std::string_view::npos) {
        // An escape in the body shifts the phone's character set as it would
        // on the phone: the preview shows what the phone makes of it.
    } else if (std::ranges::find(args, "--sjis") != args.end()) {
        FUZZ_CHECK(IsSjisText(out));
    } else {
        // U+FFFD: Shift_JIS bytes that were no character.
        FUZZ_CHECK(IsUtf8Text(out) && out.find("\xEF\xBF\xBD") == std::string::npos);
    }
    return 0;
}

// kitemail-cli history: the send history as the history window shows it,
// with the same record numbers: list, show, delete one, delete all.

#include "cli/cmd_send.h"
#include "cli/command.h"
#include "cli/user_input.h"
#include "platform/data_dir.h"
#include "platform/file_io.h"
#include "platform/text_codec.h"
#include "send/draft.h"
#include "send/history_folder.h"
#include "settings/settings.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <unistd.h>

namespace kitemail::cli {
namespace {

struct HistoryArguments {
    std::string_view action;
    std::size_t number = 0;       // show, delete
    std::optional<std::string> to; // list --to
    bool sjis = false;
    bool yes = false;
    SendArguments send; // resend
};

std::size_t RecordNumber(std::string_view text)
{
    const int n = ParseInt("record number", text);
    if (n < 1) {
        throw CommandError::Usage("record numbers start at 1, not " + std::string(text));
    }
    return static_cast<std::size_t>(n);
}

HistoryArguments ParseHistoryArguments(std::span<const std::string_view> argv)
{
    HistoryArguments a;
    if (argv.empty()) {
        throw CommandError::Usage("list, show N, delete N, resend N or clear --yes is required");
    }
    if (argv.front().starts_with('-')) {
        ArgReader(argv).Unknown(); // --help, or an option before the action
    }
    a.action = argv.front();
    std::span<const std::string_view> rest = argv.subspan(1);
    const bool numbered = a.action == "show" || a.action == "delete" || a.action == "resend";
    if (!numbered && a.action != "list" && a.action != "clear") {
        throw CommandError::Usage("unknown history action '" + std::string(a.action) + "'");
    }
    if (numbered) {
        if (rest.empty() || rest.front().starts_with("-")) {
            throw CommandError::Usage(std::string(a.action) + " needs a record number");
        }
        a.number = RecordNumber(rest.front());
        rest = rest.subspan(1);
    }
    ArgReader args(rest);
    while (!args.Done()) {
        if (const auto to = a.action == "list" ? args.Value("--to") : std::nullopt) {
            a.to = std::string(*to);
        } else if (a.action != "delete" && a.action != "clear" && a.action != "resend" && args.Flag("--sjis")) {
            a.sjis = true;
        } else if (a.action == "clear" && args.Flag("--yes")) {
            a.yes = true;
        } else if (a.action == "resend" && TakeSendOption(args, a.send)) {
        } else {
            args.Unknown();
        }
    }
    if (a.action == "clear" && !a.yes) {
        throw CommandError::Usage("clear deletes every record: confirm with --yes");
    }
    return a;
}

// UTF-8 for the terminal, or the stored bytes with --sjis.
std::string Shown(std::string_view sjis, bool raw)
{
    return raw ? std::string(sjis) : SjisToUtf8(sjis);
}

// Bytes that are no Shift_JIS show as U+FFFD; the user is told which.
void WarnUndecodable(std::size_t number, std::string_view record, bool raw)
{
    if (raw) {
        return;
    }
    const std::string names = UndecodableSjisNames(record);
    if (!names.empty()) {
        std::fprintf(stderr, "%s history: record %zu holds bytes that are not Shift_JIS (shown as U+FFFD): %s\n",
                     kToolName.data(), number, SjisToUtf8(names).c_str());
    }
}

void List(const HistoryBrowser& history, const HistoryArguments& a)
{
    const std::string to = a.to ? "To: " + UserText(*a.to, "the address", a.sjis) : std::string();
    std::string out;
    for (const HistoryBrowser::Item& item : history.Items()) {
        if (a.to && item.firstLine != to) {
            continue;
        }
        std::string reason;
        const std::optional<std::string> record = ReadWholeFile(history.Files()[item.number - 1], reason);
        if (!record) {
            continue; // gone since the folder was read
        }
        const HistoryFields f = ParseHistoryFields(*record);
        const std::string recipient = item.firstLine.starts_with("To: ") ? item.firstLine.substr(4) : item.firstLine;
        out += std::to_string(item.number) + "\t" + Shown(f.date, a.sjis) + "\t" + Shown(recipient, a.sjis) + "\t" +
               Shown(f.subject, a.sjis) + "\t" + Shown(f.result, a.sjis) + "\n";
        WarnUndecodable(item.number, *record, a.sjis);
    }
    WriteAll(STDOUT_FILENO, out);
}

const HistoryBrowser::Item& FindRecord(const HistoryBrowser& history, std::size_t number)
{
    for (const HistoryBrowser::Item& item : history.Items()) {
        if (item.number == number) {
            return item;
        }
    }
    throw CommandError::Usage("no record " + std::to_string(number));
}

void Show(const HistoryBrowser& history, const HistoryArguments& a)
{
    (void)FindRecord(history, a.number);
    std::string reason;
    const std::optional<std::string> record = ReadWholeFile(history.Files()[a.number - 1], reason);
    if (!record) {
        throw CommandError::Failure("cannot read record " + std::to_string(a.number) + ": " + reason);
    }
    WarnUndecodable(a.number, *record, a.sjis);
    std::string text = Shown(*record, a.sjis);
    if (!a.sjis) {
        std::string lf;
        lf.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
                lf.push_back(text[i]);
            }
        }
        text = std::move(lf);
    }
    WriteAll(STDOUT_FILENO, text);
}

// The record's mail through the send command: its recipient as a direct
// address of the type the record names, its subject, body and the
// attachments that are still there.
int Resend(const HistoryBrowser& history, const HistoryArguments& a, const std::filesystem::path& dataDir)
{
    (void)FindRecord(history, a.number);
    std::string reason;
    const std::optional<std::string> record = ReadWholeFile(history.Files()[a.number - 1], reason);
    if (!record) {
        throw CommandError::Failure("cannot read record " + std::to_string(a.number) + ": " + reason);
    }
    const HistoryFields fields = ParseHistoryFields(*record);
    if (fields.to.empty()) {
        throw CommandError::BadInput("record " + std::to_string(a.number) + " names no recipient");
    }
    Settings settings = LoadSettings(dataDir);
    SendArguments send = a.send;
    send.to = fields.to;
    send.type = RecordTerminalType(fields.phoneType, settings.Types());
    SendTexts texts;
    texts.address = fields.to;
    texts.subject = fields.subject;
    texts.body = HistoryBody(*record);
    if (!fields.attachments.empty()) {
        texts.attachments = SplitCommaText(fields.attachments);
    }
    for (const std::string& path : TakeMissingAttachments(texts.attachments)) {
        std::fprintf(stderr, "%s history: record %zu: %s is missing and is not sent\n", kToolName.data(), a.number,
                     SjisToUtf8(path).c_str());
    }
    return SendMail(dataDir, settings, send, std::move(texts));
}

int RunHistory(const CommandContext& context)
{
    const HistoryArguments a = ParseHistoryArguments(context.args);
    HistoryBrowser history(HistoryDirPath(DataDirectory(context.dataDir)));
    if (!history.Reload()) {
        throw CommandError::Failure(SjisToUtf8(HistoryFolderInvalidText()) + " (" + history.Folder().string() + ")");
    }
    if (a.action == "list") {
        List(history, a);
    } else if (a.action == "show") {
        Show(history, a);
    } else if (a.action == "resend") {
        return Resend(history, a, DataDirectory(context.dataDir));
    } else if (a.action == "delete") {
        (void)FindRecord(history, a.number);
        std::string error;
        if (!history.DeleteRecord(a.number, error)) {
            throw CommandError::Failure("cannot delete record " + std::to_string(a.number) + ": " + error);
        }
    } else {
        const std::vector<std::filesystem::path> left = history.DeleteAll();
        for (const auto& path : left) {
            std::fprintf(stderr, "%s history: cannot delete %s\n", kToolName.data(), path.c_str());
        }
        if (!left.empty()) {
            return kExitFailure;
        }
    }
    return kExitOk;
}

} // namespace

extern const Command kHistoryCommand;
const Command kHistoryCommand = {
    "history",
    "list, show or delete the records of the send history",
    "Usage: kitemail-cli [--data-dir DIR] history list [--to ADDR] [--sjis]\n"
    "       kitemail-cli [--data-dir DIR] history show N [--sjis]\n"
    "       kitemail-cli [--data-dir DIR] history delete N\n"
    "       kitemail-cli [--data-dir DIR] history resend N [--yes] [--split ANSWER]\n"
    "           [--anime] [--from-override] [--dry-run] [--json]\n"
    "       kitemail-cli [--data-dir DIR] history clear --yes\n"
    "\n"
    "The records of the mail/ folder in the data folder, oldest first, numbered\n"
    "from 1 as the history window numbers them.\n"
    "\n"
    "  list        one line per record, fields separated by tabs: the number, the\n"
    "              send time, the recipient, the subject and the result\n"
    "  --to ADDR   only the records sent to ADDR\n"
    "  show N      record N as stored (line ends as LF)\n"
    "  delete N    deletes record N\n"
    "  resend N    sends record N again as 'send' does (see 'send --help' for the\n"
    "              options and the exit status): to its recipient as direct\n"
    "              input, with the type, subject, body and attachments it names;\n"
    "              an attachment no longer there is named and left out\n"
    "  clear --yes deletes every .eml file of the folder; other files stay\n"
    "  --sjis      ADDR is given, and texts are printed, as Shift_JIS bytes\n"
    "\n"
    "Bytes of a record that are not Shift_JIS are printed as U+FFFD and named\n"
    "on standard error.\n"
    "\n"
    "Exit status: 0 when done; 1 when a record cannot be read or deleted or the\n"
    "folder cannot be made; 2 for bad arguments or a record number not in use;\n"
    "resend N as 'send' (3: the server gave no reply after the whole mail).\n",
    RunHistory,
};

} // namespace kitemail::cli

// kitemail-cli send: the send command of the main window, run from the
// command line with the settings of the data folder.

#include "accounting/terminal_type.h"
#include "cli/cmd_send.h"
#include "cli/command.h"
#include "cli/user_input.h"
#include "platform/data_dir.h"
#include "platform/secret_store.h"
#include "platform/text_codec.h"
#include "platform/user_interface.h"
#include "send/message_composer.h"
#include "send/send_workflow.h"
#include "settings/address_book.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace kitemail::cli {

bool TakeSendOption(ArgReader& args, SendArguments& a)
{
    if (const auto split = args.Value("--split")) {
        if (*split == "yes" || *split == "truncate") {
            a.split = YesNoCancel::Yes;
            a.truncate = *split == "truncate";
        } else if (*split == "no") {
            a.split = YesNoCancel::No;
        } else if (*split == "cancel") {
            a.split = YesNoCancel::Cancel;
        } else {
            throw CommandError::Usage("--split takes yes, truncate, no or cancel, not '" + std::string(*split) + "'");
        }
    } else if (args.Flag("--anime")) {
        a.anime = true;
    } else if (args.Flag("--from-override")) {
        a.fromOverride = true;
    } else if (args.Flag("--yes")) {
        a.yes = true;
    } else if (args.Flag("--dry-run")) {
        a.dryRun = true;
    } else if (args.Flag("--json")) {
        a.json = true;
    } else {
        return false;
    }
    return true;
}

namespace {

SendArguments ParseSendArguments(std::span<const std::string_view> argv)
{
    SendArguments a;
    ArgReader args(argv);
    while (!args.Done()) {
        if (const auto to = args.Value("--to")) {
            a.to = std::string(*to);
        } else if (const auto type = args.Value("--type")) {
            a.type = TerminalTypeFromNumber(ParseInt("--type", *type));
        } else if (const auto entry = args.Value("--entry")) {
            a.entries.emplace_back(*entry);
        } else if (const auto subject = args.Value("--subject")) {
            a.subject = std::string(*subject);
        } else if (const auto pin = args.Value("--pin")) {
            a.pin = std::string(*pin);
        } else if (const auto body = args.Value("--body-file")) {
            a.bodyFile = std::string(*body);
        } else if (const auto path = args.Value("--attach")) {
            a.attachments.emplace_back(*path);
        } else if (args.Flag("--sjis")) {
            a.sjis = true;
        } else if (!TakeSendOption(args, a)) {
            args.Unknown();
        }
    }
    if (a.to && !a.entries.empty()) {
        throw CommandError::Usage("give either --to (with --type) or --entry, not both");
    }
    if (!a.to && a.entries.empty()) {
        throw CommandError::Usage("--to ADDR --type N or --entry NAME|#INDEX is required");
    }
    if (a.to && !a.type) {
        throw CommandError::Usage("--to needs --type (-1 for unspecified, 0 to 9, or a defined type)");
    }
    if (!a.to && a.type) {
        throw CommandError::Usage("--type goes with --to; an address-book entry carries its own type");
    }
    return a;
}

// Standard output or error, written straight to its descriptor. A write
// that fails (a full disk, a reader that has gone) is remembered and the
// rest of the output dropped: mails go on, and the exit status stays theirs.
class Stream {
public:
    explicit Stream(int fd) : fd_(fd) {}
    void Write(std::string_view bytes)
    {
        while (error_ == 0 && !bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno != EINTR) {
                error_ = errno;
            } else if (n > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(n));
            }
        }
    }
    [[nodiscard]] int Error() const noexcept { return error_; }

private:
    int fd_;
    int error_ = 0;
};

Stream& Out()
{
    static Stream out(STDOUT_FILENO);
    return out;
}

Stream& Err()
{
    static Stream err(STDERR_FILENO);
    return err;
}

void Print(Stream& out, const std::string& sjis)
{
    out.Write(SjisToUtf8(sjis) + "\n");
}

void PrintJson(const QJsonObject& object)
{
    Out().Write(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + "\n");
}

QJsonValue PopLoginName(const std::optional<PopLoginResult>& login)
{
    if (!login) {
        return QJsonValue();
    }
    switch (*login) {
    case PopLoginResult::Succeeded: return QStringLiteral("succeeded");
    case PopLoginResult::Failed: return QStringLiteral("failed");
    case PopLoginResult::Cancelled: return QStringLiteral("cancelled");
    case PopLoginResult::NotConfigured: return QStringLiteral("not-configured");
    }
    return QJsonValue();
}

QString Utf16(const std::string& sjis)
{
    return DecodeSjis(sjis);
}

// The mail may have been delivered: a script must not simply send again.
const char* ResultWord(std::int32_t error)
{
    if (error == static_cast<std::int32_t>(SendMailError::Delivery_Unconfirmed)) {
        return "unconfirmed";
    }
    return error == 0 ? "sent" : "failed";
}

// Status texts to standard output (to standard error with --json, whose
// objects have it to themselves), message boxes to standard error, the
// questions answered from the command line.
class CommandLineUi : public UserInterface, public SendView {
public:
    CommandLineUi(const SendArguments& args, std::string senderBox) : args_(args), senderBox_(std::move(senderBox)) {}

    void SetStatusText(const std::string& text) override
    {
        if (!text.empty()) {
            Print(args_.json ? Err() : Out(), text);
        }
    }
    void ShowMessage(const std::string& text) override { Print(Err(), text); }
    bool Confirm(const std::string& text, const std::string&) override
    {
        Print(Err(), text + (args_.yes ? " -> yes (--yes)" : " -> no (give --yes to answer yes)"));
        return args_.yes;
    }
    YesNoCancel AskYesNoCancel(const std::string& text, const std::string&) override
    {
        const char* names[] = {args_.truncate ? "truncate" : "yes", "no", "cancel"};
        Print(Err(), text + " -> " + names[static_cast<int>(args_.split)] + " (--split)");
        return args_.split;
    }
    void Beep() override {}
    std::optional<std::string> PromptPassword(const std::string& prompt) override
    {
        return Password("KITEMAIL_POP3_PASSWORD", prompt);
    }
    std::optional<std::string> PromptSmtpPassword(const std::string& prompt) override
    {
        return Password("KITEMAIL_SMTP_PASSWORD", prompt);
    }
    // From the environment variable, else asked for on the terminal.
    static std::optional<std::string> Password(const char* variable, const std::string& prompt)
    {
        if (const char* env = std::getenv(variable)) {
            // A password with a character replaced would fail the login, or
            // worse, log in as it was not meant to.
            try {
                return TextToSjis(env, variable);
            } catch (const CommandError& e) {
                Print(Err(), Sj(e.what()));
                return std::nullopt;
            }
        }
        const auto typed = ReadHiddenLine(SjisToUtf8(prompt));
        if (!typed) {
            return std::nullopt;
        }
        SjisEncoding encoded = Utf8ToSjis(*typed);
        if (!encoded.ok()) {
            Print(Err(), Sj("パスワードに使えない文字があります。"));
            return std::nullopt;
        }
        return encoded.bytes;
    }

    void SetMainPanelEnabled(bool) override {}
    void SetAbortButtonVisible(bool) override {}
    bool ReviewSplit(const std::string&, const std::vector<std::string>& parts) override
    {
        Print(Err(), std::to_string(parts.size()) + Sj("通に分割しました。"));
        return true; // the split was already chosen with --split or AutoSplitOnOverflow
    }
    bool AcceptsTruncatedSplit(std::size_t unsentBytes) override
    {
        if (!args_.truncate) {
            Print(Err(), "the body does not fit into nine parts: its last " + std::to_string(unsentBytes)
                              + " bytes would not be sent; give --split truncate to send the nine parts anyway");
        }
        return args_.truncate;
    }
    std::string SenderBoxText() const override { return senderBox_; }
    bool AnimeMode() const override { return args_.anime; }
    bool TestSwitch() const override { return args_.dryRun; }
    void MailEnded(const MailOutcome& o) override
    {
        if (!args_.json) {
            return;
        }
        QJsonObject object{
            {"recipient", Utf16(o.to)},
            {"part", static_cast<qint64>(o.part)},
            {"parts", static_cast<qint64>(o.parts)},
            {"result", o.refused ? "refused" : ResultWord(o.error)},
            {"error", o.error},
            {"resultText", Utf16(o.resultText)},
            {"message", Utf16(o.message)},
        };
        object["history"] = o.historyFile.empty() ? QJsonValue() : QJsonValue(QFile::decodeName(o.historyFile.c_str()));
        object["popLogin"] = PopLoginName(o.popLogin);
        PrintJson(object);
    }
    void TestMail(const OutgoingMail& mail) override
    {
        ++testMails_;
        if (args_.json) {
            QJsonArray attachments;
            for (const std::string& path : mail.attachments) {
                attachments.append(Utf16(path));
            }
            PrintJson({{"recipient", Utf16(mail.to)}, {"result", "dry-run"}, {"from", Utf16(mail.from)},
                       {"replyTo", Utf16(mail.replyTo)}, {"subject", Utf16(mail.subject)},
                       {"body", Utf16(mail.body)}, {"attachments", attachments}});
            return;
        }
        Print(Out(), "--- mail " + std::to_string(testMails_));
        Print(Out(), "To: " + mail.to);
        Print(Out(), "From: " + mail.from);
        Print(Out(), "Reply-To: " + mail.replyTo);
        Print(Out(), "Subject: " + mail.subject);
        for (const std::string& path : mail.attachments) {
            Print(Out(), "Attachment: " + path);
        }
        Print(Out(), "");
        Print(Out(), mail.body);
        Print(Out(), "--- end of mail " + std::to_string(testMails_));
    }

private:
    const SendArguments& args_;
    std::string senderBox_;
    int testMails_ = 0;
};

// "#3" is the entry at position 3 (0-based, as the settings file numbers
// them); anything else is the name of one.
std::int32_t FindEntry(const std::vector<std::string>& book, const std::string& wanted)
{
    if (wanted.size() > 1 && wanted.front() == '#') {
        const int index = ParseInt("--entry", std::string_view(wanted).substr(1));
        if (index < 0 || index >= static_cast<int>(book.size())) {
            throw CommandError::BadInput("--entry " + SjisToUtf8(wanted) + ": the address book has "
                                         + std::to_string(book.size()) + " entries");
        }
        return index;
    }
    for (std::size_t i = 0; i < book.size(); ++i) {
        if (ParseAddressBookEntry(book[i]).name == wanted) {
            return static_cast<std::int32_t>(i);
        }
    }
    throw CommandError::BadInput("--entry " + SjisToUtf8(wanted) + ": no address-book entry has that name");
}

// What became of the mails, whatever became of the output.
int ExitStatus(const SendWorkflow& workflow)
{
    // Before 1: a script that sends again on 1 must not send a mail twice.
    if (workflow.Outcome().unconfirmed > 0) {
        return kExitUnconfirmed;
    }
    if (workflow.Outcome().refusedOrAborted || workflow.Outcome().errors > 0) {
        return kExitFailure;
    }
    return kExitOk;
}

int RunSend(const CommandContext& context)
{
    const SendArguments a = ParseSendArguments(context.args);
    const auto text = [&a](std::string_view given, std::string_view what) { return UserText(given, what, a.sjis); };

    const std::filesystem::path dataDir = DataDirectory(context.dataDir);
    Settings settings = LoadSettings(dataDir);
    if (a.type) {
        CheckTypeOption(settings, *a.type);
    }
    // Every input is read and checked before the composer reports anything:
    // a bad one is an error with nothing printed.
    const std::string body = a.bodyFile ? ReadBodyFile(*a.bodyFile, a.sjis) : std::string();
    const std::string subject = a.subject ? text(*a.subject, "the subject") : std::string();
    const std::string pin = a.pin ? text(*a.pin, "the PIN") : std::string();
    std::vector<std::string> attachments;
    for (const std::string& path : a.attachments) {
        attachments.push_back(AttachmentPath(path));
    }
    const std::string address = a.to ? text(*a.to, "the address") : std::string();
    std::vector<std::int32_t> ticked;
    for (const std::string& entry : a.entries) {
        ticked.push_back(FindEntry(settings.AddressBook, text(entry, "--entry")));
    }
    return SendMail(dataDir, settings, a,
                    {.address = address, .ticked = std::move(ticked), .subject = subject, .pin = pin, .body = body,
                     .attachments = std::move(attachments)});
}

} // namespace

int SendMail(const std::filesystem::path& dataDir, Settings& settings, const SendArguments& a, SendTexts texts)
{
    // A reader that goes away (| head -n1) makes a write fail, not the
    // process end in the middle of a mail.
    std::signal(SIGPIPE, SIG_IGN);
    const std::unique_ptr<QCoreApplication> app = ApplicationIfNone();
    CommandLineUi ui(a, FirstSender(settings));
    MessageComposer composer(settings, ui);
    composer.SelectFirstSender();
    composer.SetBody(ComposedText{std::move(texts.body), {}});
    composer.SetSubject(ComposedText{std::move(texts.subject), {}});
    composer.SetPin(ComposedText{std::move(texts.pin), {}});
    composer.SetAttachments(std::move(texts.attachments));
    if (a.fromOverride) {
        composer.FromCheckClicked(true);
    }
    if (a.to) {
        composer.SelectDirectMode();
        composer.SetDirectAddress(ComposedText{std::move(texts.address), {}});
        composer.TypeBoxChanged(*a.type);
    } else {
        composer.SetCheckListLines(settings.AddressBook);
        composer.SelectAddressBookMode();
        for (const std::int32_t index : texts.ticked) {
            composer.SetTick(index, true);
        }
    }

    SendWorkflow workflow(settings, composer, ui, ui, HistoryDirPath(dataDir));
    const std::unique_ptr<SecretStore> keyring = DesktopKeyring(dataDir);
    workflow.UseKeyring(keyring.get());
    workflow.Send();
    if (const int err = Out().Error(); err != 0) {
        Err().Write(std::string(kToolName) + ": cannot write output: " + std::strerror(err)
                    + " (the exit status tells what became of the mails)\n");
    }
    return ExitStatus(workflow);
}

extern const Command kSendCommand;
const Command kSendCommand = {
    "send",
    "send a message as the main window's send command does",
    "Usage: kitemail-cli [--data-dir DIR] send (--to ADDR --type N | --entry NAME|#INDEX...)\n"
    "           [--subject TEXT] [--pin PIN] [--body-file FILE] [--attach PATH]...\n"
    "           [--anime] [--from-override] [--sjis] [--yes] [--split yes|truncate|no|cancel]\n"
    "           [--dry-run] [--json]\n"
    "\n"
    "Runs the send command with the server, sender and options of Kiteml.ini in\n"
    "the data folder: the checks, POP before SMTP when it is set up, the size\n"
    "check, splitting, and the history record in the data folder's mail/.\n"
    "Status texts go to standard output, message texts to standard error.\n"
    "\n"
    "  --to ADDR          send to this address (direct input) ...\n"
    "  --type N           ... counted as terminal type N (-1 to 9 or a type of\n"
    "                     'kitemail-cli types list', see 'count --help')\n"
    "  --entry NAME|#I    send to the address-book entry with this name, or to\n"
    "                     number I of 'kitemail-cli book list'; may be given more\n"
    "                     than once\n"
    "  --subject TEXT     the subject\n"
    "  --pin PIN          the 4-digit PIN (SkyWalker/SkyMessage, type 2, and\n"
    "                     defined types that offer it)\n"
    "  --body-file FILE   the body (- for standard input)\n"
    "  --attach PATH      an attachment; may be given more than once\n"
    "  --anime            send attachments as image/mtn\n"
    "  --from-override    use the first sender for every entry (the From box)\n"
    "  --sjis             texts and the body file are Shift_JIS bytes, not UTF-8\n"
    "  --yes              answer yes to the questions about an empty body or Subject\n"
    "  --split ANSWER     the answer when the message is over the limit: yes splits\n"
    "                     it (refused when nine parts cannot hold the body),\n"
    "                     truncate splits it and sends the first nine parts even\n"
    "                     then, no sends it whole, cancel (the default) sends nothing\n"
    "  --dry-run          print each mail that would be sent; send nothing, wait\n"
    "                     for nothing\n"
    "  --json             one JSON object per mail on standard output: recipient,\n"
    "                     part, parts, result (sent, failed, unconfirmed, refused\n"
    "                     or dry-run), error (the mail component's code),\n"
    "                     resultText, message (what the message boxes said, a\n"
    "                     history record that could not be written included),\n"
    "                     history (the record's path or null), popLogin\n"
    "                     (succeeded, failed, cancelled, not-configured, or null\n"
    "                     without POP before SMTP); status texts then go to\n"
    "                     standard error\n"
    "\n"
    "The POP3 password, when none is stored, comes from KITEMAIL_POP3_PASSWORD or\n"
    "is asked for on the terminal.\n"
    "\n"
    "STARTTLS or TLS and SMTP AUTH are set in Kiteml.ini's [Submission] section\n"
    "(the settings dialog's page \"セキュリティ\"): Security (0 plain, 1 STARTTLS,\n"
    "2 TLS), AuthMethod (0 none, 1 the best offered, 2 PLAIN, 3 LOGIN), AuthUser,\n"
    "AuthPass, CAFile (extra certificates to trust, PEM) and POP3Security (0\n"
    "plain, 1 STLS, 2 TLS). The SMTP password, when none is stored, comes from\n"
    "KITEMAIL_SMTP_PASSWORD or is asked for on the terminal.\n"
    "\n"
    "Exit status, by what became of the mails: 0 when the server accepted every\n"
    "mail; 1 when any failed or was refused, or the command was refused or\n"
    "aborted; 2 for bad arguments; 3 when the server gave no reply after the\n"
    "whole of a mail, which may have been delivered (check before sending it\n"
    "again). Output that cannot be written (a full disk, a closed pipe) is\n"
    "reported on standard error and does not change it.\n",
    RunSend,
};

} // namespace kitemail::cli

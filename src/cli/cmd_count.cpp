// kitemail-cli count: the size of one message as the main window shows it,
// for a terminal type, with the limits and options of the settings file.

#include "accounting/counter.h"
#include "accounting/splitter.h"
#include "accounting/terminal_type.h"
#include "cli/command.h"
#include "cli/user_input.h"
#include "platform/data_dir.h"
#include "platform/text_codec.h"
#include "send/recipient.h"
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
    bool explain = false;
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
        } else if (args.Flag("--explain")) {
            a.explain = true;
        } else {
            args.Unknown();
        }
    }
    if (!a.type) {
        throw CommandError::Usage("--type is required (-1 for unspecified, 0 to 9, or a defined type)");
    }
    return a;
}

const char* RuleName(SenderTerm rule)
{
    switch (rule) {
    case SenderTerm::None: return "none";
    case SenderTerm::Whole: return "whole";
    case SenderTerm::CappedAt55: return "capped-at-55";
    case SenderTerm::UpToAt: return "up-to-at";
    }
    return "none";
}

const char* RuleName(const MessageTerms& t)
{
    switch (t.rules.subject) {
    case SubjectTerm::None: return "none";
    case SubjectTerm::Plain: return "plain";
    case SubjectTerm::CappedAt40: return t.subjectFlat40 ? "flat-40" : "capped-at-40";
    }
    return "none";
}

std::string JsonString(std::string_view utf8)
{
    std::string out = "\"";
    for (const char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// One term a line, its bytes first: every line but the last adds to the count.
std::string ExplainLines(const MessageTerms& t, std::size_t fits)
{
    const auto n = [](auto v) { return std::to_string(v); };
    std::string s = "fixed " + n(t.fixed) + "\n";
    s += "sender " + n(t.sender) + " length=" + n(t.senderLength) + " rule=" + RuleName(t.rules.sender) + "\n";
    s += "subject " + n(t.subject) + " length=" + n(t.subjectText.bytes) + " shifts=" + n(t.subjectText.shifts)
        + " rule=" + RuleName(t) + "\n";
    s += "body " + n(t.body.bytes) + " half-width-kana=" + n(t.body.widenedKana) + " widened="
        + n(t.body.widenedBytes) + "\n";
    s += "body-shifts " + n(t.body.shiftBytes) + " shifts=" + n(t.body.shifts) + "\n";
    for (const AttachmentMeasure& a : t.attachments) {
        s += "attachment " + n(a.Term()) + " size=" + n(a.size) + " path=" + n(a.pathBytes) + " extra=" + n(a.extra)
            + " file=" + SjisToUtf8(a.path) + "\n";
    }
    s += "final-break " + n(t.finalBreak) + "\n";
    return s + "fits " + n(fits) + "\n";
}

std::string ExplainJson(const MessageTerms& t, std::size_t fits)
{
    const auto n = [](auto v) { return std::to_string(v); };
    std::string s = ",\"terms\":{\"fixed\":" + n(t.fixed);
    s += ",\"sender\":{\"term\":" + n(t.sender) + ",\"length\":" + n(t.senderLength) + ",\"rule\":\""
        + RuleName(t.rules.sender) + "\"}";
    s += ",\"subject\":{\"term\":" + n(t.subject) + ",\"length\":" + n(t.subjectText.bytes) + ",\"shifts\":"
        + n(t.subjectText.shifts) + ",\"rule\":\"" + RuleName(t) + "\"}";
    s += ",\"body\":{\"term\":" + n(t.body.bytes) + ",\"halfWidthKana\":" + n(t.body.widenedKana)
        + ",\"widened\":" + n(t.body.widenedBytes) + "}";
    s += ",\"bodyShifts\":{\"term\":" + n(t.body.shiftBytes) + ",\"shifts\":" + n(t.body.shifts) + "}";
    s += ",\"attachments\":[";
    for (const AttachmentMeasure& a : t.attachments) {
        s += (&a == t.attachments.data() ? "" : ",");
        s += "{\"term\":" + n(a.Term()) + ",\"size\":" + n(a.size) + ",\"path\":" + n(a.pathBytes)
            + ",\"extra\":" + n(a.extra) + ",\"file\":" + JsonString(SjisToUtf8(a.path)) + "}";
    }
    s += "],\"finalBreak\":" + n(t.finalBreak) + "}";
    return s + ",\"fits\":" + n(fits);
}

int RunCount(const CommandContext& context)
{
    const CountArguments a = ParseCountArguments(context.args);
    const auto text = [&a](std::string_view given, std::string_view what) { return UserText(given, what, a.sjis); };

    const std::string body = a.bodyFile ? ReadBodyFile(*a.bodyFile, a.sjis) : std::string();
    const std::string subject = a.subject ? text(*a.subject, "the subject") : std::string();

    const Settings settings = LoadSettings(DataDirectory(context.dataDir));
    CheckTypeOption(settings, *a.type);
    const TerminalTypes types = settings.Types();
    const std::string sender = a.sender ? text(*a.sender, "the sender") : FirstSender(settings);

    std::vector<std::string> attachments;
    attachments.reserve(a.attachments.size());
    for (const std::string& path : a.attachments) {
        attachments.push_back(AttachmentPath(path));
    }

    TerminalTypeState state;
    state.TypeMaxLengths = settings.TypeMaxLengths;
    (void)state.ApplyTerminalType(*a.type, settings.MaxLen, settings.FixLen, types);

    CountInputs in;
    in.body = body;
    in.subject = subject;
    in.sender = sender;
    in.attachments = attachments;
    in.type = state.CurrentTerminalType;
    in.types = types;
    in.fixedLength = state.CurrentFixedLength;
    in.options.CountShiftBytes = settings.CountShiftBytes;
    in.options.AssumeSingleByteAtEnds = settings.AssumeSingleByteAtEnds;
    in.options.CountFinalLineBreakShift = settings.CountFinalLineBreakShift;

    const CountResult result = CountMessageSize(in);
    if (!result.ok) {
        throw CommandError::BadInput(SjisToUtf8(result.error));
    }
    const std::int32_t limit = state.CurrentMaxLength;
    std::size_t fits = 0;
    if (a.explain) {
        // As the send run would cut it: From without the reply-to part, the
        // Subject it hands over.
        fits = BodyBytesThatFit(SendSplitInputs(settings, state, body, SplitSender(sender).from,
                                                RunSubject(state.CurrentTerminalType, "", subject, types)));
    }
    std::string line;
    if (a.json) {
        line = "{\"count\":" + std::to_string(result.count) + ",\"limit\":" + std::to_string(limit) +
               ",\"over\":" + (result.count > limit ? "true" : "false") +
               ",\"type\":" + std::to_string(TerminalTypeNumber(state.CurrentTerminalType)) +
               (a.explain ? ExplainJson(result.terms, fits) : std::string()) + "}\n";
    } else {
        line = std::to_string(result.count) + " / " + std::to_string(limit) + "\n";
        if (a.explain) {
            line += ExplainLines(result.terms, fits);
        }
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
    "           [--explain]\n"
    "\n"
    "Counts one message for terminal type N as the main window does and prints\n"
    "COUNT / LIMIT. The limits (MaxLen, FixLen, [Length]), the 3Byte setting and\n"
    "the counting options are read from Kiteml.ini in the data folder; defaults\n"
    "when it is missing.\n"
    "\n"
    "  --type N          -1 unspecified, 0 vodafone long mail, 1 vodafone free range,\n"
    "                    2 SkyWalker/SkyMessage, 3 i-mode, 4 H\"Link, 5 Cmail,\n"
    "                    6 EZweb@mail, 7 EZweb, 8 vodafone super mail, 9 i-mode(FOMA),\n"
    "                    10 and on: the types you define ('kitemail-cli types')\n"
    "  --body-file FILE  the body (- for standard input); LF, CR and CR LF line\n"
    "                    breaks all count as CR LF\n"
    "  --subject TEXT    the subject\n"
    "  --sender TEXT     the sender address (default: the first one of the\n"
    "                    settings' sender list)\n"
    "  --attach PATH     an attachment; may be given more than once\n"
    "  --sjis            texts and the body file are Shift_JIS bytes, not UTF-8\n"
    "  --json            print {\"count\":..,\"limit\":..,\"over\":..,\"type\":..}\n"
    "  --explain         then the terms of the count, one a line: fixed, sender,\n"
    "                    subject, body, body-shifts, attachment (one per file),\n"
    "                    final-break, each with the bytes it adds first; last\n"
    "                    fits, the body bytes (Shift_JIS, CR LF) a first part of a\n"
    "                    split would hold. With --json: \"terms\" and \"fits\"\n"
    "\n"
    "Exit status: 0 when counted (also over the limit); 2 for bad arguments, an\n"
    "attachment that cannot be opened or a character Shift_JIS cannot hold.\n",
    RunCount,
};

} // namespace kitemail::cli

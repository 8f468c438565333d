// The command-line tool's commands that read and change the settings
// (config, types, book) and send, run in-process on any arguments and standard
// input against the same data folder each time: a settings file with senders,
// address-book entries of several types (a defined one among them) and a
// signature. send always runs
// with --dry-run, so nothing is sent and nothing waits.
//
// Properties: a command ends with exit 0, 1 or 2 and prints nothing but its
// help when asked for it; a failed command and every send leave the
// settings, the signature and the history folder as they were; a command
// that changed the settings left a file that loading and saving again gives
// byte for byte (what the settings window would write for the same values);
// what is printed is UTF-8, and send --json prints one JSON object a line.

#include "cli/settings_store.h"
#include "cli_run.h"
#include "platform/data_dir.h"
#include "platform/text_codec.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <fstream>
#include <iterator>

namespace {

using namespace kitemail;

// Shift_JIS with CR LF, as the settings window writes it. Interval and the
// send history are on so that a dry run that waited or wrote would show;
// sorting is off so that entries can be moved.
constexpr std::string_view kSettings =
    "[Configuration]\r\n"
    "Server=127.0.0.1\r\nPort=1\r\n"
    "FromUser=\x8E\x52\x93\x63\x91\xBE\x98\x59\r\n"
    "SignatureA=\x8E\x52\x93\x63\r\nSignatureB=\r\n"
    "MaxLen=384\r\nFixLen=55\r\nDefaultType=3\r\nInterval=3\r\n"
    "1=1\r\n6=1\r\n8=1\r\n12=1\r\n16=0\r\n"
    "[Length]\r\n0=6000\r\n3=500\r\n"
    "[TEL]\r\nHow=5\r\n"
    "0=\x8E\x52\x93\x63\x91\xBE\x98\x59,taro@docomo.ne.jp,,3,-1\r\n"
    "1=Hanako,hanako@ezweb.ne.jp,1234,2,0\r\n"
    "2=Suzuki,ichiro@t.vodafone.ne.jp,,0,1\r\n"
    "3=\xCA\xDD\xB6\xB8,kana@example.jp,,9,\r\n"
    "4=Pager,pager@example.jp,1234,11,-1\r\n"
    "[MyAddress]\r\nHow=2\r\n0=me@example.jp\r\n1=me@example.jp,reply@example.jp\r\n"
    "[Submission]\r\nSecurity=0\r\nAuthMethod=0\r\n"
    "[TerminalTypes]\r\nName10=docomo\r\nLimit10=10000\r\nFixed10=0\r\n"
    "Name11=\x83\x7C\x83\x50\x83\x78\x83\x8B\r\nLimit11=60\r\nFixed11=5\r\nSender11=3\r\nSubject11=0\r\n"
    "SubjectBox11=0\r\nPinBox11=1\r\n";
constexpr std::string_view kSignature = "--\r\n\x8E\x52\x93\x63\r\n";

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Files {
    std::string settings;
    std::string signature;
    bool history = false; // the history folder exists
    bool operator==(const Files&) const = default;
};

Files Read(const std::filesystem::path& dir)
{
    std::error_code ec;
    return {ReadAll(SettingsFilePath(dir)), ReadAll(SignaturePath(dir)), std::filesystem::exists(HistoryDirPath(dir), ec)};
}

const std::filesystem::path& SeededDataDir()
{
    static const std::filesystem::path dir = fuzz::ScratchDir() / "data";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directory(dir);
    fuzz::WriteFile(SettingsFilePath(dir), kSettings);
    fuzz::WriteFile(SignaturePath(dir), kSignature);
    return dir;
}

void CheckJsonLines(std::string_view out)
{
    while (!out.empty()) {
        const std::size_t end = out.find('\n');
        FUZZ_CHECK(end != std::string_view::npos);
        const QJsonDocument line = QJsonDocument::fromJson(QByteArray(out.data(), static_cast<qsizetype>(end)));
        FUZZ_CHECK(line.isObject() && line.object().value("result") == "dry-run");
        out.remove_prefix(end + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_cli_settings";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    auto [args, stdinBytes] = fuzz::SplitCliInput(fuzz::Bytes(data, size));
    const cli::Command* command = fuzz::FindCommand(args.front(), {"config", "types", "book", "send"});
    const bool send = command != nullptr && command->name == "send";
    // Only send reads files: its body and attachments.
    if (command == nullptr || (send && fuzz::NamesAPath(args))) {
        return 0;
    }
    args.front() = "--dry-run";
    const std::span<const std::string_view> given = send ? std::span(args) : std::span(args).subspan(1);

    const std::filesystem::path& dir = SeededDataDir();
    const Files before = Read(dir);
    const auto [exit, help, out] = fuzz::Runner().Run(*command, given, stdinBytes, dir);
    const Files after = Read(dir);

    FUZZ_CHECK(exit == cli::kExitOk || exit == cli::kExitFailure || exit == cli::kExitUsage);
    if (help || exit == cli::kExitUsage) {
        FUZZ_CHECK(out.empty() && after == before);
        return 0;
    }
    if (send || exit != cli::kExitOk) {
        FUZZ_CHECK(after == before);
    } else if (after != before) {
        FUZZ_CHECK(!after.history);
        cli::SettingsStore again(dir, cli::SettingsStore::Access::Read);
        again.Save();
        FUZZ_CHECK(Read(dir) == after);
    }
    FUZZ_CHECK(IsUtf8Text(out));
    // With --json, standard output holds only the objects (status texts go
    // to standard error); without it, a status text comes first. "--json"
    // among the arguments may be another option's value.
    if (send && out.starts_with('{')) {
        CheckJsonLines(out);
    }
    return 0;
}

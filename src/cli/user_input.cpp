#include "cli/user_input.h"

#include "cli/command.h"
#include "platform/data_dir.h"
#include "platform/file_io.h"
#include "platform/profile.h"
#include "platform/text_codec.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "tools/text_commands.h"

#include <QCoreApplication>
#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace kitemail::cli {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// Unmappable characters named in one message; the rest are only counted.
constexpr std::size_t kNamedCharacters = 5;

// A UTF-8 text may start with a byte order mark; Shift_JIS bytes are taken
// as they are.
std::string_view WithoutBom(std::string_view text, bool sjis)
{
    if (!sjis && text.starts_with(kUtf8Bom)) {
        text.remove_prefix(kUtf8Bom.size());
    }
    return text;
}

std::string NameCharacter(char32_t c)
{
    std::string name = CodePointName(c);
    if (c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0)) {
        const char32_t one[] = {c};
        name += " (" + QString::fromUcs4(one, 1).toStdString() + ")";
    }
    return name;
}

} // namespace

std::string TextToSjis(std::string_view utf8, std::string_view what)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
    if (decoder.hasError()) {
        throw CommandError::BadInput(std::string(what) + " is not valid UTF-8 (give --sjis for Shift_JIS bytes)");
    }
    SjisEncoding encoded = EncodeSjis(text);
    if (!encoded.ok()) {
        std::vector<char32_t> distinct;
        for (const char32_t c : encoded.unmappable) {
            if (std::find(distinct.begin(), distinct.end(), c) == distinct.end()) {
                distinct.push_back(c);
            }
        }
        std::string message = std::string(what) + " holds characters Shift_JIS cannot hold: ";
        for (std::size_t i = 0; i < distinct.size() && i < kNamedCharacters; ++i) {
            message += (i > 0 ? ", " : "") + NameCharacter(distinct[i]);
        }
        if (distinct.size() > kNamedCharacters) {
            message += " and " + std::to_string(distinct.size() - kNamedCharacters) + " more";
        }
        throw CommandError::BadInput(message);
    }
    return std::move(encoded.bytes);
}

std::string ToCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            out += "\r\n";
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string AttachmentPath(std::string_view argument)
{
    const std::filesystem::path full = std::filesystem::absolute(std::filesystem::path(argument)).lexically_normal();
    return TextToSjis(full.string(), "the attachment path '" + std::string(argument) + "'");
}

std::string UserText(std::string_view given, std::string_view what, bool sjis)
{
    return sjis ? std::string(given) : TextToSjis(given, what);
}

std::string ReadBodyFile(const std::string& path, bool sjis)
{
    const std::string raw = ReadFileBytes(path);
    return ToCrLf(UserText(WithoutBom(raw, sjis), "the body file", sjis));
}

std::string ReadBodyInput(bool sjis)
{
    const std::string raw = ReadFileBytes("-");
    if (sjis && !IsSjisText(raw)) {
        throw CommandError::BadInput("standard input is not Shift_JIS text");
    }
    return BodyLines(UserText(WithoutBom(raw, sjis), "standard input", sjis));
}

void WriteLinesOutput(std::string_view lines, bool sjis)
{
    if (sjis) {
        WriteAll(STDOUT_FILENO, lines);
        return;
    }
    std::string utf8 = SjisToUtf8(lines);
    std::erase(utf8, '\r');
    WriteAll(STDOUT_FILENO, utf8);
}

void WriteBodyOutput(std::string_view body, bool sjis)
{
    WriteLinesOutput(body.empty() ? std::string() : std::string(body) + "\r\n", sjis);
}

void CheckSettingsFile(const std::filesystem::path& dataDir)
{
    const std::filesystem::path file = SettingsFilePath(dataDir);
    std::string reason;
    const std::optional<std::string> bytes = ReadWholeFile(file, reason);
    const std::string name = SjisToUtf8(DisplayPath(file));
    if (!bytes) {
        if (!reason.empty()) {
            throw CommandError::BadInput("cannot read the settings file " + name + ": " + reason);
        }
        return;
    }
    if (!IsSjisText(*bytes)) {
        throw CommandError::BadInput("the settings file " + name + " is not Shift_JIS text"
                                     + (IsUtf8Text(*bytes) ? " (it is UTF-8)" : "")
                                     + "; 'kitemail-cli config' writes it as it must be");
    }
}

void WarnSettingsProblems(const std::vector<std::string>& problems)
{
    for (const std::string& problem : problems) {
        std::fprintf(stderr, "%s: warning: %s\n", kToolName.data(), SjisToUtf8(problem).c_str());
    }
}

Settings LoadSettings(const std::filesystem::path& dataDir)
{
    CheckSettingsFile(dataDir);
    WarnSettingsProblems(SettingsProblems(Profile(SettingsFilePath(dataDir)), SettingsFilePath(dataDir)));
    return LoadAllSettings(dataDir);
}

std::optional<std::string> ReadHiddenLine(const std::string& promptUtf8)
{
    std::FILE* tty = std::fopen("/dev/tty", "r+");
    if (tty == nullptr) {
        return std::nullopt;
    }
    const int fd = fileno(tty);
    termios saved{};
    const bool isTerminal = tcgetattr(fd, &saved) == 0;
    if (isTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::fputs((promptUtf8 + " ").c_str(), tty);
    std::fflush(tty);
    std::string line;
    bool got = false;
    for (int c = std::fgetc(tty); c != EOF; c = std::fgetc(tty)) {
        got = true;
        if (c == '\n') {
            break;
        }
        line.push_back(static_cast<char>(c));
    }
    if (isTerminal) {
        tcsetattr(fd, TCSAFLUSH, &saved);
    }
    std::fputs("\n", tty);
    std::fclose(tty);
    if (!got) {
        return std::nullopt;
    }
    return line;
}

std::unique_ptr<QCoreApplication> ApplicationIfNone()
{
    static int argc = 1;
    static char name[] = "kitemail-cli";
    static char* argv[] = {name, nullptr};
    return QCoreApplication::instance() == nullptr ? std::make_unique<QCoreApplication>(argc, argv) : nullptr;
}

void CheckTypeOption(const Settings& settings, TerminalType type)
{
    if (type != TerminalType::Unspecified && !settings.Types().Knows(type)) {
        throw CommandError::Usage("--type must be -1 (unspecified), 0 to 9 or a type of 'kitemail-cli types list', not "
                                  + std::to_string(TerminalTypeNumber(type)));
    }
}

} // namespace kitemail::cli

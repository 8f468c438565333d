#pragma once
// Texts, files and paths the user hands the command line, as the engine's
// code page 932 bytes. Every failure is a CommandError naming what was wrong.

#include "accounting/terminal_type.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail {
struct Settings;
}

class QCoreApplication;

namespace kitemail::cli {

// UTF-8 text as code page 932; a character Shift_JIS cannot hold is named in
// the error, never replaced. `what` names the text in the message.
[[nodiscard]] std::string TextToSjis(std::string_view utf8, std::string_view what);

// TextToSjis, or the bytes as they are when they are Shift_JIS already.
[[nodiscard]] std::string UserText(std::string_view given, std::string_view what, bool sjis);

// LF, CR and CR LF all become CR LF, as the body memo holds its lines.
[[nodiscard]] std::string ToCrLf(std::string_view text);

// A body file ("-" for standard input) with CR LF line breaks; a UTF-8 byte
// order mark is dropped.
[[nodiscard]] std::string ReadBodyFile(const std::string& path, bool sjis);

// Standard input as a body, as the window opens a body file: UTF-8, or
// Shift_JIS bytes (checked) with sjis; lines ended by CR LF, none after
// the last.
[[nodiscard]] std::string ReadBodyInput(bool sjis);

// Text whose every line ends in CR LF to standard output: as it is with
// sjis, otherwise in UTF-8 with LF line ends.
void WriteLinesOutput(std::string_view lines, bool sjis);
// A body to standard output as the window saves a body file: every line,
// the last one too, followed by a line break.
void WriteBodyOutput(std::string_view body, bool sjis);

// The full path of an attachment as the attachment list holds it.
[[nodiscard]] std::string AttachmentPath(std::string_view argument);

// Kiteml.ini of the data folder when it exists but cannot be read, or is
// not Shift_JIS text: a bad-input error naming the file and why. Left alone,
// it would read as all defaults and the first complaint would be a missing
// sender or server.
void CheckSettingsFile(const std::filesystem::path& dataDir);

// The settings file's problems (SettingsProblems), each a warning on
// standard error.
void WarnSettingsProblems(const std::vector<std::string>& problems);

// Both halves of the settings of the data folder, as the windows load them,
// after CheckSettingsFile, its problems warned of.
[[nodiscard]] Settings LoadSettings(const std::filesystem::path& dataDir);

// A --type option's type: Unspecified (-1), one of the ten or a type the
// settings define; a usage error otherwise.
void CheckTypeOption(const Settings& settings, TerminalType type);

// A line typed on the terminal with echo off, after the prompt (UTF-8);
// nullopt without a terminal.
[[nodiscard]] std::optional<std::string> ReadHiddenLine(const std::string& promptUtf8);

// The application object the event loop needs (the keyring and the servers
// answer through it) when the process has none yet, as when the fuzz targets
// run a command without main(); null when there is one.
[[nodiscard]] std::unique_ptr<QCoreApplication> ApplicationIfNone();

} // namespace kitemail::cli

#pragma once
// Where the settings file, the signature and the history folder live.
//
// In order: the --data-dir option, the environment variable KITEMAIL_HOME,
// the program's own directory when it holds a Kiteml.ini already (a portable
// copy) or is the build folder it was built in, else the XDG data folder
// ($XDG_DATA_HOME/kitemail, by default ~/.local/share/kitemail; created
// when missing). An installed program never writes beside its binary.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace kitemail {

// The outside world the rule looks at, replaceable in tests.
struct DataDirProbe {
    // The value of an environment variable, nullopt when unset.
    std::function<std::optional<std::string>(const char* name)> getEnv;
    // The directory of the running executable, nullopt when unknown.
    std::function<std::optional<std::filesystem::path>()> programDir;
    // True when the file exists (of any kind).
    std::function<bool(const std::filesystem::path&)> exists;
    // Creates the directory and its parents; false on failure.
    std::function<bool(const std::filesystem::path&)> createDirs;
};

// The probe of the real process.
[[nodiscard]] DataDirProbe SystemDataDirProbe();

// The data directory. commandLineDir is the --data-dir value when given.
// A directory named by the option or the variable is created when missing;
// a failure shows later, when something is written there.
[[nodiscard]] std::filesystem::path ResolveDataDir(const std::optional<std::filesystem::path>& commandLineDir,
                                                   const DataDirProbe& probe);

// ResolveDataDir with the real process's probe.
[[nodiscard]] std::filesystem::path DataDirectory(const std::optional<std::filesystem::path>& commandLineDir);

[[nodiscard]] std::filesystem::path SettingsFilePath(const std::filesystem::path& dataDir);
[[nodiscard]] std::filesystem::path SignaturePath(const std::filesystem::path& dataDir);
[[nodiscard]] std::filesystem::path HistoryDirPath(const std::filesystem::path& dataDir);

} // namespace kitemail

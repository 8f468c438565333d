#include "platform/data_dir.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace kitemail {
namespace {

std::optional<std::filesystem::path> ExecutableDir()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && !exe.empty()) {
        return exe.parent_path();
    }
    if (QCoreApplication::instance() != nullptr) {
        const QString dir = QCoreApplication::applicationDirPath();
        if (!dir.isEmpty()) {
            return std::filesystem::path(QFile::encodeName(dir).toStdString());
        }
    }
    return std::nullopt;
}

std::filesystem::path HomeDir(const DataDirProbe& probe)
{
    if (const std::optional<std::string> home = probe.getEnv("HOME"); home && !home->empty()) {
        return *home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "/tmp";
}

std::filesystem::path Absolute(const std::filesystem::path& p)
{
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(p, ec);
    return ec ? p : abs.lexically_normal();
}

} // namespace

DataDirProbe SystemDataDirProbe()
{
    DataDirProbe probe;
    probe.getEnv = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    };
    probe.programDir = ExecutableDir;
    probe.exists = [](const std::filesystem::path& file) {
        std::error_code ec;
        return std::filesystem::exists(file, ec);
    };
    probe.createDirs = [](const std::filesystem::path& dir) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        return !ec && std::filesystem::is_directory(dir, ec);
    };
    return probe;
}

std::filesystem::path ResolveDataDir(const std::optional<std::filesystem::path>& commandLineDir,
                                     const DataDirProbe& probe)
{
    if (commandLineDir && !commandLineDir->empty()) {
        const std::filesystem::path dir = Absolute(*commandLineDir);
        (void)probe.createDirs(dir);
        return dir;
    }
    if (const std::optional<std::string> home = probe.getEnv("KITEMAIL_HOME"); home && !home->empty()) {
        const std::filesystem::path dir = Absolute(*home);
        (void)probe.createDirs(dir);
        return dir;
    }
    // CMake leaves its cache in the build folder, beside the programs.
    if (const std::optional<std::filesystem::path> own = probe.programDir();
        own && (probe.exists(SettingsFilePath(*own)) || probe.exists(*own / "CMakeCache.txt"))) {
        return *own;
    }
    const std::optional<std::string> xdg = probe.getEnv("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and ignored.
    const std::filesystem::path dataHome = xdg && xdg->starts_with('/') ? std::filesystem::path(*xdg)
                                                                          : HomeDir(probe) / ".local" / "share";
    const std::filesystem::path dir = dataHome / "kitemail";
    (void)probe.createDirs(dir);
    return dir;
}

std::filesystem::path DataDirectory(const std::optional<std::filesystem::path>& commandLineDir)
{
    return ResolveDataDir(commandLineDir, SystemDataDirProbe());
}

std::filesystem::path SettingsFilePath(const std::filesystem::path& dataDir)
{
    return dataDir / "Kiteml.ini";
}

std::filesystem::path SignaturePath(const std::filesystem::path& dataDir)
{
    return dataDir / "Signature.txt";
}

std::filesystem::path HistoryDirPath(const std::filesystem::path& dataDir)
{
    return dataDir / "mail";
}

} // namespace kitemail

#pragma once
// Kiteml.ini as several programs share it: the window, the command line and
// scripts running at once. Every change is a read-modify-write of the file
// as it is on disk, under one exclusive lock (Kiteml.ini.lock beside it),
// and writes only what this program's user changed since it last read the
// file: nothing another writer saved is undone by a stale copy.
//
// A SettingsFile remembers the settings as it read them (the baseline). A
// value of the live Settings that differs from the baseline is the user's
// change; every other value follows the file.

#include "platform/data_dir.h"
#include "platform/file_lock.h"
#include "settings/settings.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kitemail {

// How long a writer waits for another to finish; they hold the lock for
// milliseconds.
inline constexpr std::chrono::milliseconds kSettingsLockWait{10000};

[[nodiscard]] std::filesystem::path SettingsLockPath(const std::filesystem::path& dataDir);

// What the loader could not use as the file writes it, one code page 932
// line each naming the file's line: a repeated section, a list's How that
// does not count its entries, a number out of its range or not a number, a
// value longer than a read gives back. The file itself keeps them all.
[[nodiscard]] std::vector<std::string> SettingsProblems(const Profile& profile, const std::filesystem::path& file);
// The same for settings already loaded from the profile (both halves, the
// numbers in their boxes' ranges), without reading them again.
[[nodiscard]] std::vector<std::string> SettingsProblems(const Profile& profile, const std::filesystem::path& file,
                                                        const Settings& loaded);

class SettingsFile {
public:
    explicit SettingsFile(std::filesystem::path dataDir);

    [[nodiscard]] const std::filesystem::path& Dir() const noexcept { return dir_; }
    [[nodiscard]] std::filesystem::path Path() const { return SettingsFilePath(dir_); }

    // Holds the lock until Release or destruction, for a writer whose
    // whole run is one change (the command line). The reason, code page
    // 932, when it could not be had in time.
    [[nodiscard]] std::optional<std::string> Hold();
    void Release() noexcept { held_.Release(); }

    // Removes the temporary files of saves of Kiteml.ini and Signature.txt
    // that a killed writer left ("." name "." six characters), only when no
    // writer holds the lock now. How many were removed.
    int RemoveLeftovers();

    // Each half read into settings and into the baseline; the dialog's
    // half with its numbers in their boxes' ranges and Signature.txt (false
    // when that exists but cannot be read). The problems of the whole file
    // as the dialog's half (always read second) or Reload read it are kept
    // for Problems().
    void LoadMainWindowHalf(Settings& settings);
    bool LoadDialogHalf(Settings& settings);
    [[nodiscard]] const std::vector<std::string>& Problems() const noexcept { return problems_; }

    // Under the lock: the file as it is now, with every value of the half
    // (and its lists, each as a whole) that the user changed, and the
    // values the file does not name yet. Afterwards settings holds the
    // file's values wherever its user changed nothing (see Reload).
    [[nodiscard]] SaveResult Save(Settings& settings, SettingsHalf half);

    // After another program's save: settings takes the file's values
    // wherever its user changed nothing; the user's changes stay, to be
    // saved later. True when settings changed.
    bool Reload(Settings& settings);

private:
    void Merge(const Profile& disk, Settings& settings);

    std::filesystem::path dir_;
    Settings baseline_;
    std::vector<std::string> problems_;
    FileLock held_;
};

} // namespace kitemail

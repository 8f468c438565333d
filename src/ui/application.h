#pragma once
// The program's windows, created in their fixed order; each may use the
// ones created before it.

#include "settings/settings.h"
#include "settings/settings_file.h"

#include <QStringList>

class QLocale;
class QTranslator;

#include <filesystem>
#include <memory>
#include <optional>

class QFileSystemWatcher;
class QTimer;

namespace kitemail {

class AboutBox;
class DietDialog;
class HistoryViewer;
class MainWindow;
class PreviewWindow;
class SettingsDialog;

struct ProgramWindows {
    Settings settings; // the live settings, edited by the settings dialog
    std::unique_ptr<SettingsFile> settingsFile;
    std::unique_ptr<MainWindow> mainWindow;
    std::unique_ptr<AboutBox> aboutBox;
    std::unique_ptr<DietDialog> dietDialog;
    std::unique_ptr<PreviewWindow> previewWindow;
    std::unique_ptr<SettingsDialog> settingsDialog;
    std::unique_ptr<HistoryViewer> historyViewer;
    // Follows other programs' saves of Kiteml.ini (a rename in the folder).
    std::unique_ptr<QFileSystemWatcher> watcher;
    std::unique_ptr<QTimer> reloadTimer;

    ProgramWindows();
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;
};

// Qt's own texts (file dialogs, standard buttons, the text boxes' context
// menus) in the language of the locale, from the translations Qt is
// installed with, installed into the application; null when Qt has none
// for it. The translation stays while the translator lives.
[[nodiscard]] std::unique_ptr<QTranslator> InstallQtTranslation(const QLocale& locale);

// The command line: "--data-dir DIR" anywhere, then the first remaining
// argument is the one the setup switch is looked for in.
struct CommandLine {
    std::optional<std::filesystem::path> dataDir;
    QString firstArgument;
    bool ok = true;
    QString error;
};
[[nodiscard]] CommandLine ParseCommandLine(const QStringList& arguments);

// Whether a data folder without Kiteml.ini (a first start) opens the
// settings dialog, on the page of the server and the sender, before the
// main window shows.
enum class FirstStart { OpenSettings, Skip };

// Creates the windows in order and loads the settings; when the first
// argument is the setup switch, or at a first start, the settings dialog is
// shown modally before this returns. The main window is not shown yet. What the settings file
// holds that the loader could not use is told once, before anything is
// saved. From then on, while the settings dialog is closed and no mail is
// in flight, a save of the file by another program is read again and the
// windows follow it; values the user changed here stay as changed.
[[nodiscard]] std::unique_ptr<ProgramWindows> CreateProgramWindows(const std::filesystem::path& dataDir,
                                                                   const QString& firstArgument,
                                                                   FirstStart firstStart = FirstStart::OpenSettings);

} // namespace kitemail

#include "ui/application.h"

#include "platform/data_dir.h"
#include "platform/sjis.h"
#include "platform/socket_library.h"
#include "platform/text_codec.h"
#include "ui/about_box.h"
#include "ui/diet_dialog.h"
#include "ui/history_viewer.h"
#include "ui/main_window.h"
#include "ui/preview_window.h"
#include "ui/settings_dialog.h"

#include <QFile>
#include <QCoreApplication>
#include <QFileSystemWatcher>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <filesystem>
#include <string_view>
#include <system_error>

namespace kitemail {
namespace {

// A first argument "/setup" or "-setup", in any ASCII case.
bool IsSetupSwitch(std::string_view firstArgument) noexcept
{
    return !firstArgument.empty() && (firstArgument[0] == '/' || firstArgument[0] == '-')
        && sjis::EqualsIgnoringAsciiCase(firstArgument.substr(1), "setup");
}

// Another program's save is a rename into the folder: the folder is
// watched, not the file, whose watch the rename would end.
void FollowSettingsFile(ProgramWindows& windows)
{
    windows.reloadTimer = std::make_unique<QTimer>();
    QTimer& timer = *windows.reloadTimer;
    timer.setSingleShot(true);
    timer.setInterval(200);
    windows.watcher = std::make_unique<QFileSystemWatcher>();
    windows.watcher->addPath(QFile::decodeName(QByteArray::fromStdString(windows.settingsFile->Dir().native())));
    QObject::connect(windows.watcher.get(), &QFileSystemWatcher::directoryChanged, &timer,
                     [&timer] { timer.start(); });
    QObject::connect(&timer, &QTimer::timeout, windows.mainWindow.get(), [&windows, &timer] {
        MainWindow& main = *windows.mainWindow;
        // The dialog edits the live settings and saves them as it closes;
        // a send reads them as it goes: both are waited for.
        if (windows.settingsDialog->isVisible() || main.Sending() || main.Workflow().Busy()) {
            timer.start();
            return;
        }
        if (windows.settingsFile->Reload(windows.settings)) {
            main.ShowSignatureCaptions();
            main.FollowSettings();
        }
    });
}

} // namespace

ProgramWindows::ProgramWindows() = default;

// The dialog refers to the main window: it goes first.
ProgramWindows::~ProgramWindows()
{
    if (mainWindow) {
        mainWindow->SetAddToAddressBookCommand(nullptr);
        mainWindow->SetOpener(Opener::Settings, nullptr);
        mainWindow->SetOpener(Opener::About, nullptr);
        mainWindow->SetOpener(Opener::Diet, nullptr);
        mainWindow->SetOpener(Opener::Preview, nullptr);
        mainWindow->SetOpener(Opener::History, nullptr);
    }
    watcher.reset();
    reloadTimer.reset();
    historyViewer.reset();
    settingsDialog.reset();
    previewWindow.reset();
    dietDialog.reset();
    aboutBox.reset();
    mainWindow.reset();
}

std::unique_ptr<QTranslator> InstallQtTranslation(const QLocale& locale)
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        || !QCoreApplication::installTranslator(translator.get())) {
        return nullptr;
    }
    return translator;
}

CommandLine ParseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    bool haveFirst = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--data-dir")) {
            if (i + 1 >= arguments.size()) {
                line.ok = false;
                line.error = QStringLiteral("--data-dir needs a directory");
                return line;
            }
            line.dataDir = std::filesystem::path(QFile::encodeName(arguments[++i]).toStdString());
        } else if (arg.startsWith(QLatin1String("--data-dir="))) {
            line.dataDir = std::filesystem::path(QFile::encodeName(arg.mid(11)).toStdString());
        } else if (!haveFirst) {
            line.firstArgument = arg;
            haveFirst = true;
        }
    }
    return line;
}

std::unique_ptr<ProgramWindows> CreateProgramWindows(const std::filesystem::path& dataDir,
                                                     const QString& firstArgument, FirstStart firstStart)
{
    // Without the file nothing says a server and a sender are needed: the
    // dialog asks for them first.
    std::error_code error;
    const bool isFirstStart =
        firstStart == FirstStart::OpenSettings && !std::filesystem::exists(SettingsFilePath(dataDir), error) && !error;
    // As the program loads: whether the socket library can be used.
    const SocketLibraryInfo socketLibrary = ProbeSocketLibrary();
    auto windows = std::make_unique<ProgramWindows>();
    windows->settingsFile = std::make_unique<SettingsFile>(dataDir);
    (void)windows->settingsFile->RemoveLeftovers();
    windows->mainWindow = std::make_unique<MainWindow>(windows->settings, *windows->settingsFile);
    MainWindow& main = *windows->mainWindow;

    windows->aboutBox = std::make_unique<AboutBox>(&main);
    AboutBox& about = *windows->aboutBox;
    main.SetOpener(Opener::About, [&about] { return about.exec() == QDialog::Accepted; });

    windows->dietDialog =
        std::make_unique<DietDialog>([&main](const DietOptions& options) { return main.ApplyDiet(options); }, &main);
    DietDialog& diet = *windows->dietDialog;
    main.SetOpener(Opener::Diet, [&diet] { return diet.exec() == QDialog::Accepted; });

    windows->previewWindow = std::make_unique<PreviewWindow>(
        windows->settings, [&main] { return main.Composer().Text(TextArea::Body).bytes; }, &main);
    PreviewWindow& preview = *windows->previewWindow;
    main.SetOpener(Opener::Preview, [&preview] {
        preview.Toggle();
        return true;
    });
    main.SetOpenerChecked(Opener::Preview, false);
    QObject::connect(&preview, &PreviewWindow::shownChanged, &main,
                     [&main](bool shown) { main.SetOpenerChecked(Opener::Preview, shown); });
    QObject::connect(&main, &MainWindow::recounted, &preview, &PreviewWindow::BodyRecounted);
    // The split result viewer and the POP3 password prompt are the main
    // window's own.

    windows->settingsDialog = std::make_unique<SettingsDialog>(windows->settings, main.Composer(), *windows->settingsFile, main,
                                                               socketLibrary, &main);
    SettingsDialog& dialog = *windows->settingsDialog;
    main.SetOpener(Opener::Settings, [&dialog] { return dialog.exec() == QDialog::Accepted; });
    main.SetAddToAddressBookCommand(
        [&dialog](const std::string& address, TerminalType type) { dialog.AddToAddressBook(address, type); });
    // Loaded with the dialog's half of the settings.
    preview.ApplySettings();
    if (const std::vector<std::string>& problems = windows->settingsFile->Problems(); !problems.empty()) {
        std::string text = Sj("設定ファイルに、書かれたとおりには使えない値があります。");
        for (const std::string& problem : problems) {
            text += "\n" + problem;
        }
        main.ShowMessage(text);
    }
    if (isFirstStart) {
        dialog.ExecOnPage(SettingsDialog::kSendPage1);
    } else if (IsSetupSwitch(firstArgument.toStdString())) {
        dialog.exec();
    }

    windows->historyViewer =
        std::make_unique<HistoryViewer>(windows->settings, HistoryDirPath(dataDir), main, &main);
    HistoryViewer& history = *windows->historyViewer;
    main.SetOpener(Opener::History, [&history] { return history.exec() == QDialog::Accepted; });
    history.SetResend([&main](const std::string& record) {
        // The message being written is not thrown away unasked.
        if (main.MessageInProgress()
            && !main.Confirm(Sj("作成中のメールを送信履歴のメールで置き換えますか？"), Sj("再送信"))) {
            return false;
        }
        const std::vector<std::string> missing = main.LoadDraft(DraftFromRecord(record, main.LiveSettings().Types()));
        main.SetStatusText(Sj("送信履歴のメールを読み込みました。") + MissingAttachmentsText(missing));
        return true;
    });
    FollowSettingsFile(*windows);
    main.KeepDraft(BeginRun(dataDir));
    return windows;
}

} // namespace kitemail

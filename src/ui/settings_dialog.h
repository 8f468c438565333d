#pragma once
// The settings dialog "設定". It owns the dialog's half of the settings
// through a SettingsEditor: it loads them when it is created and saves them
// every time it closes, whatever closed it, then pushes the address book,
// the sender list and the Subject bar into the main window. Its widgets
// write each change into the settings at once; what happens beyond that is
// the editor's.
//
// The pages are listed in one table (kPages in the .cpp): a new page is a
// row there and a function that builds it.

#include "platform/socket_library.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "settings/settings_editor.h"
#include "ui/dialog_user_interface.h"
#include "ui/settings_dialog_host.h"

#include <QDialog>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kitemail {

class AddressBookPage;
class DefinedTypesPage;
class NumberBox;
class PageTabs;

class SettingsDialog : public QDialog, public DialogUserInterface {
    Q_OBJECT
public:
    // sender: the sender chosen now, which the sender entry box shows.
    SettingsDialog(Settings& settings, SenderChoice& sender, SettingsFile& settingsFile, SettingsDialogHost& host,
                   const SocketLibraryInfo& socketLibrary, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    // Every close saves: the close box, Escape, or done() from anywhere.
    void done(int result) override;

    // "アドレス帳に追加": a new entry preset with the address (code page 932)
    // and the type, then the dialog, modal, on the address-book page.
    void AddToAddressBook(const std::string& address, TerminalType type);

    [[nodiscard]] SettingsEditor& Editor() noexcept { return editor_; }
    [[nodiscard]] PageTabs* Pages() const noexcept { return pages_; }
    [[nodiscard]] AddressBookPage* BookPage() const noexcept { return bookPage_; }
    [[nodiscard]] DefinedTypesPage* TypesPage() const noexcept { return typesPage_; }

    // The address-book page comes first and is shown at every opening;
    // the first start opens on the server and sender page instead.
    static constexpr int kAddressBookPage = 0;
    static constexpr int kSendPage1 = 1;

    // Opens the dialog, modal, on the page given (this once).
    int ExecOnPage(int page);

signals:
    // The body's font size changed (the history viewer follows it).
    void fontSizeChanged(int points);

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct PageRow {
        const char* title;
        QWidget* (SettingsDialog::*build)();
    };
    static const PageRow kPages[];

    // pages
    QWidget* BuildAddressBookPage();
    QWidget* BuildSendPage1();
    QWidget* BuildSendPage2();
    QWidget* BuildSecurityPage();
    QWidget* BuildSignaturePage();
    QWidget* BuildBehaviourPage();
    QWidget* BuildDisplayPage();
    QWidget* BuildLengthPage();
    QWidget* BuildDefinedTypesPage();
    QWidget* BuildSystemPage();

    // widgets bound to one setting each: they show it and write it back
    NumberBox* Number(std::int32_t Settings::*field, const char* objectName);
    QCheckBox* Check(bool Settings::*field, const char* objectName);
    QLineEdit* Text(std::string Settings::*field, const char* objectName);
    QPushButton* Button(const char* text, const char* objectName, std::function<void()> action);
    // A drop-down list whose index is the setting.
    // A combo box whose item index is the choice's value in the settings file.
    template <typename Value>
    QComboBox* Choice(Value ProgramOptions::*field, const char* objectName, std::initializer_list<const char*> items);

    // Every bound widget shows its setting again (after the editor acted).
    void ShowValues();
    void ShowSenders();
    void ShowLengthEditor();
    void TestPopLogin();
    // The password box with its "キーリングに保存" beside it.
    QWidget* KeyringRow(QLineEdit* password, StoredPassword which, const char* objectName);

    Settings& settings_;
    SenderChoice& sender_;
    SettingsFile& settingsFile_;
    std::filesystem::path dataDir_;
    SettingsDialogHost& host_;
    SocketLibraryInfo socketLibrary_;
    SettingsEditor editor_;
    PageTabs* pages_ = nullptr;
    int openingPage_ = kAddressBookPage;
    AddressBookPage* bookPage_ = nullptr;
    DefinedTypesPage* typesPage_ = nullptr;
    std::vector<std::function<void()>> showValue_;

    QListWidget* senderList_ = nullptr;
    QLineEdit* senderEntry_ = nullptr;
    bool showingSenders_ = false; // the list follows the editor, not the user
    QCheckBox* showSplitResult_ = nullptr;
    QComboBox* lengthType_ = nullptr;
    NumberBox* lengthBox_ = nullptr;
    QPushButton* popTest_ = nullptr;
    bool popTestRunning_ = false;
    bool popTestAborted_ = false; // ends the login's wait
    bool popTestStopped_ = false; // the dialog closed during the login
};

} // namespace kitemail

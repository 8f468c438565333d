#pragma once
// The main window: bars, the recipient/subject/file tabs, the body and the
// status line. It binds its widgets to a MessageComposer and talks to the
// user for the engine through UserInterface.
// Its menus and bars are built in main_window_menus.cpp, the Subject page in
// main_window_pages.cpp, the body's commands are in main_window_body.cpp, the
// UserInterface and SendView methods in main_window_adapters.cpp; the To page
// is a RecipientPage.

#include "platform/secret_store.h"
#include "send/attachment_commands.h"
#include "send/draft.h"
#include "send/message_composer.h"
#include "send/send_workflow.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "tools/text_commands.h"
#include "ui/settings_dialog_host.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QShortcut;
class QPlainTextEdit;
class QSplitter;
class QTabWidget;
class QTimer;

namespace kitemail {

class AddressBookEditor;
class AttachmentPage;
class Bar;
class BarArea;
class CountExplainer;
class DeveloperTools;
class RecipientPage;
class SplitResultViewer;
class StatusLine;
class LinePrompt;

// The other windows the main window opens, each from its menu item and,
// where it has one, its tool button.
enum class Opener { About, Settings, Diet, Preview, History };

class MainWindow : public QWidget, public SettingsDialogHost, public SendView {
    Q_OBJECT
public:
    // Loads the window's half of the settings into settings.
    MainWindow(Settings& settings, SettingsFile& settingsFile, QWidget* parent = nullptr);
    ~MainWindow() override;

    // ---- UserInterface (through SettingsDialogHost)
    void SetStatusText(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    [[nodiscard]] bool Confirm(const std::string& text, const std::string& title) override;
    [[nodiscard]] YesNoCancel AskYesNoCancel(const std::string& text, const std::string& title) override;
    void Beep() override;
    [[nodiscard]] std::optional<std::string> PromptPassword(const std::string& prompt) override;
    [[nodiscard]] std::optional<std::string> PromptLine(const std::string& caption, const std::string& prompt,
                                                        const std::string& initial) override;
    [[nodiscard]] std::optional<std::string> PromptSmtpPassword(const std::string& prompt) override;

    // ---- SendView
    void SetMainPanelEnabled(bool enabled) override;
    void SetAbortButtonVisible(bool visible) override;
    [[nodiscard]] bool ReviewSplit(const std::string& body, const std::vector<std::string>& parts) override;
    [[nodiscard]] std::string SenderBoxText() const override;
    [[nodiscard]] bool AnimeMode() const override;
    [[nodiscard]] bool TestSwitch() const override;
    void ClearMessage() override;
    void ComposerChanged() override;

    [[nodiscard]] MessageComposer& Composer() noexcept { return composer_; }
    [[nodiscard]] SendWorkflow& Workflow() noexcept { return *workflow_; }
    [[nodiscard]] SplitResultViewer* SplitViewer() noexcept { return splitViewer_; }
    [[nodiscard]] Settings& LiveSettings() noexcept { return settings_; }
    [[nodiscard]] DeveloperTools& Developer() noexcept { return *developerTools_; }

    // ---- SettingsDialogHost: what the settings dialog pushes in
    void ApplySettings() override;
    void ShowSignatureCaptions() override;
    void SetBodyFontSize(int points) override;
    void SetTabHighlighting(bool on) override;
    void SetBodyText(const std::string& sjis) override;
    void SetAddressBookEditor(AddressBookEditor* editor) override;
    void RestoreBarLayout() override;
    [[nodiscard]] SecretStore* Keyring() override { return keyring_; }
    // The desktop's keyring unless told otherwise (tests give a fake).
    void UseKeyring(SecretStore* keyring);

    // ApplySettings after another program's save: ticked entries still
    // listed stay ticked, the chosen sender stays chosen while it is listed.
    void FollowSettings();
    // How a window is opened; its menu item and tool button stay greyed
    // until it is given. open returns whether the window closed with OK.
    void SetOpener(Opener which, std::function<bool()> open);
    // A window shown beside this one: its menu item carries a check mark
    // and its tool button shows pressed while it is shown.
    void SetOpenerChecked(Opener which, bool checked);
    // The diet dialog's OK: the body after the options, undoable in one
    // step; false, the user told why, when it refused.
    [[nodiscard]] bool ApplyDiet(const DietOptions& options);
    // "アドレス帳に追加": a new entry from the direct address (code page
    // 932) and the type box's index, completed in the settings dialog.
    void SetAddToAddressBookCommand(std::function<void(const std::string& address, TerminalType type)> add);

    // ---- a mail in flight: the abort button shows and the rest is locked
    void SetSending(bool sending);
    [[nodiscard]] bool Sending() const noexcept { return sending_; }
    // Closes, saving as the close box does, even with a mail in flight:
    // the last resort of a close asked for by a signal.
    void ForceClose();

    // The bars' stored positions.
    void StoreLayoutInto(Settings& settings) const;

    // ---- the draft (main_window_draft.cpp)
    // From now on the message is kept in the data folder's draft; the one
    // there comes back first when the previous run ended abnormally or the
    // settings ask for it (a normal close leaves one only then).
    void KeepDraft(bool previousRunEndedAbnormally);
    // How long after the last change the draft is written.
    void SetDraftDelay(std::chrono::milliseconds delay);
    [[nodiscard]] Draft CurrentDraft() const;
    // Whether the message differs from the one the window started or was
    // cleared with (the caret aside).
    [[nodiscard]] bool MessageInProgress() const;
    // The window shows the draft; attachments that can no longer be read
    // are left out and returned.
    std::vector<std::string> LoadDraft(Draft draft);

signals:
    void beeped();
    // The count display was brought up to date with the message.
    void recounted();
    void abortRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // building
    void BuildMenus();
    void BuildBars();
    QWidget* BuildSubjectTab();
    void BuildEditMenu(QMenu* edit);
    void ApplyStartupLayout();
    // The panel enabled exactly when the send allows it and nothing is in flight.
    void LockPanel();
    // A menu item; with a command it acts, without one it waits greyed.
    QAction* AddMenuAction(QMenu* menu, const QString& text, const char* objectName,
                           std::function<void()> command = {}, const QKeySequence& shortcut = {});

    // text commands
    void RunClear();
    void RunOpener(Opener which);
    // The body, the address box, either subject box or the PIN box when it
    // has the focus: what the edit commands act on.
    [[nodiscard]] QWidget* EditTarget() const;
    void SyncEditActions();
    void QuotedPaste();
    // At the caret, replacing the selection, undoable like typing.
    void InsertIntoBody(const QString& text);
    void InsertSjis(const std::string& sjis);
    void OpenBody();
    void SaveBody();
    // The whole body replaced in one step that Undo takes back.
    void ReplaceBody(const QString& text);
    void RunVerticalWriting();

    // handlers
    void BodyChanged();
    void SubjectChanged();
    void SubjectBarChanged();
    void PinChanged();
    void SenderBoxChanged(int index);
    void TimerTick();
    void SaveDraft();
    void EndDraft();

    // the view follows the composer
    void SyncCount();
    void SyncAreas();
    void SyncAll();
    void SyncTexts();

    Settings& settings_;
    SettingsFile& settingsFile_;
    std::filesystem::path dataDir_;
    MessageComposer composer_;
    TextCommands textCommands_;
    AttachmentCommands attachmentCommands_;
    std::unique_ptr<SendWorkflow> workflow_;
    std::unique_ptr<SecretStore> desktopKeyring_;
    SecretStore* keyring_ = nullptr;
    SplitResultViewer* splitViewer_ = nullptr;
    LinePrompt* passwordPrompt_ = nullptr;
    LinePrompt* smtpPasswordPrompt_ = nullptr;
    bool sending_ = false;
    bool closeForced_ = false;
    bool panelEnabled_ = true; // as the send asks; locked anyway while sending_
    QPointer<QWidget> focusBeforeLock_;
    bool firstShowDone_ = false;
    struct OpenerSlot {
        QAction* menuItem = nullptr;
        QAction* toolButton = nullptr;
        std::function<bool()> open;
    };
    std::array<OpenerSlot, 5> openers_{};
    AddressBookEditor* bookEditor_ = nullptr;
    std::vector<std::string> senderItems_; // code page 932, as the sender box lists them

    // bars
    BarArea* barArea_ = nullptr;
    Bar* menuBar_ = nullptr;
    Bar* toolBar_ = nullptr;
    Bar* senderBar_ = nullptr;
    Bar* subjectBar_ = nullptr;
    Bar* developerBar_ = nullptr;
    DeveloperTools* developerTools_ = nullptr;
    Bar* klabBar_ = nullptr;
    QWidget* mainPanel_ = nullptr;

    // tabs and body
    QTabWidget* tabs_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QPlainTextEdit* bodyBox_ = nullptr;
    RecipientPage* recipientPage_ = nullptr;
    QGroupBox* subjectGroup_ = nullptr;
    QLineEdit* subjectBox_ = nullptr; // on the Subject tab
    QGroupBox* pinGroup_ = nullptr;
    QLineEdit* pinBox_ = nullptr;
    QLabel* noteLabel_ = nullptr;
    AttachmentPage* attachmentPage_ = nullptr;
    QCheckBox* fromCheck_ = nullptr;
    QComboBox* senderBox_ = nullptr; // on the sender bar
    QLineEdit* subjectBarBox_ = nullptr; // on the Subject bar, a copy of the tab's box
    StatusLine* statusLine_ = nullptr;
    CountExplainer* countExplainer_ = nullptr; // the terms window and the over-limit mark
    QShortcut* escape_ = nullptr; // presses "中止"
    QTimer* timer_ = nullptr;
    QTimer* draftTimer_ = nullptr; // null until KeepDraft
    Draft clearedDraft_;           // the message as it starts or is cleared: no draft is kept of it

    // menus
    QAction* sendAction_ = nullptr;
    QAction* sendButton_ = nullptr;
    QAction* openAttachmentAction_ = nullptr;
    std::vector<QAction*> editActions_; // undo, cut, copy, paste, select all
    // The input area the edit commands act on while the menu line holds
    // the keyboard (Alt+E takes the focus to it).
    QPointer<QWidget> editFocus_;
    QAction* quotedPasteAction_ = nullptr;
    QAction* signatureAAction_ = nullptr;
    QAction* signatureBAction_ = nullptr;
};

} // namespace kitemail

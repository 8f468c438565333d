#pragma once
// The main window's "To :" page: the direct address with its terminal type,
// or ticks in the address book, with the two boxes' context menus. It binds
// its boxes to the composer's recipient and tells the window what changed.

#include "accounting/terminal_type.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QRadioButton;

namespace kitemail {

class AddressBookEditor;
class CheckListBox;
class MessageComposer;

class RecipientPage : public QWidget {
    Q_OBJECT
public:
    explicit RecipientPage(MessageComposer& composer, QWidget* parent = nullptr);

    // The mode buttons, the type box and the check list follow the composer.
    void Sync();
    void SyncCheckList();
    // The direct address follows the composer (when it can be shown).
    void SyncAddress();
    // "本文中に挿入" reads the highlighted entry from the editor.
    void SetAddressBookEditor(AddressBookEditor* editor) { bookEditor_ = editor; }
    // "アドレス帳に追加": the direct address (code page 932) and the type
    // box's index; greyed until given.
    void SetAddToAddressBookCommand(std::function<void(const std::string& address, TerminalType type)> add);

    [[nodiscard]] QLineEdit* AddressBox() const noexcept { return addressBox_; }

signals:
    // The mode, a tick or the type changed: the whole window follows.
    void changed();
    // The direct address was edited: the count follows.
    void addressEdited();
    // A type was chosen: the input areas and the count follow.
    void typeChosen();
    // Text (UTF-16) to insert into the body at the caret.
    void insertRequested(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildContextMenus();
    void SelectMode(bool direct);
    void ShowCheckListMenu(QPoint pos);

    MessageComposer& composer_;
    AddressBookEditor* bookEditor_ = nullptr;
    std::function<void(const std::string&, TerminalType)> addToAddressBook_;

    QGroupBox* directGroup_ = nullptr;
    QGroupBox* bookGroup_ = nullptr;
    QRadioButton* bookModeButton_ = nullptr;   // "アドレス帳選択"
    QRadioButton* directModeButton_ = nullptr; // "直接入力"
    QLabel* addressLabel_ = nullptr;
    QLineEdit* addressBox_ = nullptr; // the direct address
    QLabel* typeLabel_ = nullptr;
    QComboBox* typeBox_ = nullptr;
    QLabel* bookLabel_ = nullptr;
    CheckListBox* bookList_ = nullptr; // the address book

    QMenu* checkListMenu_ = nullptr;
    QAction* surveyAction_ = nullptr;
    QAction* insertEntryAction_ = nullptr;
    QMenu* addressMenu_ = nullptr;
    QAction* addToBookAction_ = nullptr;
};

} // namespace kitemail

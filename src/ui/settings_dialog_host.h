#pragma once
// What the settings dialog needs of the window it belongs to: the window
// talks to the user for it (status line, beep, password prompts, the save's
// message after the dialog closed) and takes what the dialog pushes in.

#include "platform/user_interface.h"

#include <string>

namespace kitemail {

class AddressBookEditor;
class SecretStore;

class SettingsDialogHost : public UserInterface {
public:
    // Address book, sender list and Subject bar from the settings.
    virtual void ApplySettings() = 0;
    // The one-line signature items of the menu name the signatures.
    virtual void ShowSignatureCaptions() = 0;
    virtual void SetBodyFontSize(int points) = 0;
    // Hot tracking of the recipient/subject/file tab captions.
    virtual void SetTabHighlighting(bool on) = 0;
    // Replaces the body with code page 932 text.
    virtual void SetBodyText(const std::string& sjis) = 0;
    // The dialog's address-book editor, through which the types of the
    // ticked entries are read; nullptr when it is gone.
    virtual void SetAddressBookEditor(AddressBookEditor* editor) = 0;
    // "ツールバーの配置を復元": the bars back to their designed places.
    virtual void RestoreBarLayout() = 0;
    // Where passwords kept in the keyring are; none: no keyring can be used.
    [[nodiscard]] virtual SecretStore* Keyring() { return nullptr; }
};

} // namespace kitemail

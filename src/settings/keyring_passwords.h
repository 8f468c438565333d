#pragma once
// The two passwords (POP3 and SMTP) kept either in Kiteml.ini or in the
// desktop's keyring: moving one between the two, and finding the one a
// login uses. Moving changes the password and its place in the settings
// together, so that one save of the settings file writes both.

#include "platform/secret_store.h"
#include "settings/settings.h"

#include <optional>
#include <string>
#include <string_view>

namespace kitemail {

class UserInterface;

enum class StoredPassword { Pop3, Smtp };

// The setting, its place and its name in the keyring.
struct PasswordSlot {
    std::string ProgramOptions::*password;
    bool ProgramOptions::*inKeyring;
    std::string_view keyringName;
};
[[nodiscard]] PasswordSlot SlotOf(StoredPassword which) noexcept;

// What went wrong with the keyring, in the user's words (code page 932):
// reading a password, or storing one.
[[nodiscard]] std::string KeyringReadFailure(SecretError error);
[[nodiscard]] std::string KeyringStoreFailure(SecretError error);

// The password into the keyring (toKeyring) or back into the settings.
// Nothing changes on failure, and the message says why; a password the
// keyring does not have comes back empty (asked for at each login). The
// keyring's copy stays after a move back until ForgetKeyringCopy, once the
// settings file holds the password.
[[nodiscard]] std::optional<std::string> MovePassword(ProgramOptions& settings, StoredPassword which,
                                                      bool toKeyring, SecretStore& keyring);
void ForgetKeyringCopy(StoredPassword which, SecretStore& keyring);

// The password a login uses: the settings' own, or the keyring's. Empty
// when it is to be asked for; a keyring that cannot give it (none at all
// included) has said so in one message first.
[[nodiscard]] std::string PasswordForLogin(const ProgramOptions& settings, StoredPassword which,
                                           SecretStore* keyring, UserInterface& ui);

} // namespace kitemail

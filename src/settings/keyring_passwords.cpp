#include "settings/keyring_passwords.h"

#include "platform/text_codec.h"
#include "platform/user_interface.h"

#include <utility>

namespace kitemail {
namespace {

std::string Reason(SecretError error)
{
    switch (error) {
    case SecretError::None: break;
    case SecretError::NoService: return Sj("キーリングのサービスが動いていません");
    case SecretError::Refused: return Sj("キーリングに拒否されました");
    case SecretError::NotFound: return Sj("キーリングに保存されていません");
    }
    return {};
}

} // namespace

PasswordSlot SlotOf(StoredPassword which) noexcept
{
    return which == StoredPassword::Pop3
        ? PasswordSlot{&ProgramOptions::POP3PASS, &ProgramOptions::POP3PassInKeyring, "POP3PASS"}
        : PasswordSlot{&ProgramOptions::AuthPass, &ProgramOptions::AuthPassInKeyring, "AuthPass"};
}

std::string KeyringReadFailure(SecretError error)
{
    return Sj("キーリングからパスワードを読めません（") + Reason(error) + Sj("）。");
}

std::string KeyringStoreFailure(SecretError error)
{
    return Sj("パスワードをキーリングに保存できません（") + Reason(error) + Sj("）。");
}

std::optional<std::string> MovePassword(ProgramOptions& s, StoredPassword which, bool toKeyring, SecretStore& keyring)
{
    const PasswordSlot slot = SlotOf(which);
    if (s.*slot.inKeyring == toKeyring) {
        return std::nullopt;
    }
    if (toKeyring) {
        if (const SecretResult stored = keyring.Store(slot.keyringName, s.*slot.password); !stored.ok()) {
            return KeyringStoreFailure(stored.error);
        }
        (s.*slot.password).clear();
    } else {
        SecretResult read = keyring.Read(slot.keyringName);
        if (!read.ok() && read.error != SecretError::NotFound) {
            return KeyringReadFailure(read.error);
        }
        s.*slot.password = std::move(read.secret);
    }
    s.*slot.inKeyring = toKeyring;
    return std::nullopt;
}

void ForgetKeyringCopy(StoredPassword which, SecretStore& keyring)
{
    // A copy left behind holds nothing the settings need.
    (void)keyring.Remove(SlotOf(which).keyringName);
}

std::string PasswordForLogin(const ProgramOptions& s, StoredPassword which, SecretStore* keyring, UserInterface& ui)
{
    const PasswordSlot slot = SlotOf(which);
    if (!(s.*slot.inKeyring)) {
        return s.*slot.password;
    }
    SecretResult read = keyring != nullptr ? keyring->Read(slot.keyringName) : SecretResult{SecretError::NoService, {}, {}};
    if (!read.ok()) {
        ui.ShowMessage(KeyringReadFailure(read.error));
        return {};
    }
    return std::move(read.secret);
}

} // namespace kitemail

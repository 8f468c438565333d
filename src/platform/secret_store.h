#pragma once
// Passwords kept outside Kiteml.ini, in a secret store: the desktop's
// keyring (the Secret Service, through QtKeychain) or a test's fake. Each
// call waits for its answer on the event loop, with a deadline; a locked
// keyring is unlocked by the desktop's own prompt meanwhile.

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace kitemail {

enum class SecretError {
    None,
    NoService, // no keyring runs, or none answered in time
    Refused,   // the keyring (or its user, at the unlock prompt) said no
    NotFound,  // nothing is stored under the name
};

struct SecretResult {
    SecretError error = SecretError::None;
    std::string secret; // what Read found
    std::string detail; // the keyring's own words (UTF-8), for the command line; may be empty

    [[nodiscard]] bool ok() const noexcept { return error == SecretError::None; }
};

class SecretStore {
public:
    virtual ~SecretStore() = default;
    // The bytes as given: code page 932 passwords come back unchanged.
    [[nodiscard]] virtual SecretResult Store(std::string_view name, std::string_view secret) = 0;
    [[nodiscard]] virtual SecretResult Read(std::string_view name) = 0;
    [[nodiscard]] virtual SecretResult Remove(std::string_view name) = 0;
};

// How long the desktop's keyring may take, its unlock prompt included.
inline constexpr std::chrono::seconds kKeyringDeadline{120};

// The desktop's keyring. The names are those of one data folder: two data
// folders keep two passwords apart.
[[nodiscard]] std::unique_ptr<SecretStore> DesktopKeyring(const std::filesystem::path& dataDir,
                                                          std::chrono::milliseconds deadline = kKeyringDeadline);

} // namespace kitemail

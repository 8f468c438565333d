#pragma once
// A keyring in memory behind the same interface as the desktop's, which can
// be told to fail every call as a missing or refusing keyring does.

#include "platform/secret_store.h"

#include <map>
#include <string>
#include <string_view>

namespace kitemail::test {

class FakeKeyring final : public SecretStore {
public:
    std::map<std::string, std::string, std::less<>> secrets;
    SecretError failure = SecretError::None; // every call fails so while set

    SecretResult Store(std::string_view name, std::string_view secret) override
    {
        if (failure == SecretError::None) {
            secrets[std::string(name)] = secret;
        }
        return {failure, {}, {}};
    }
    SecretResult Read(std::string_view name) override
    {
        if (failure != SecretError::None) {
            return {failure, {}, {}};
        }
        const auto found = secrets.find(name);
        return found == secrets.end() ? SecretResult{SecretError::NotFound, {}, {}}
                                      : SecretResult{SecretError::None, found->second, {}};
    }
    SecretResult Remove(std::string_view name) override
    {
        if (failure != SecretError::None) {
            return {failure, {}, {}};
        }
        return {secrets.erase(std::string(name)) == 0 ? SecretError::NotFound : SecretError::None, {}, {}};
    }
};

} // namespace kitemail::test

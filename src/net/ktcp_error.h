#pragma once
// Errors of the TCP client family: a Windows Sockets error number and its
// text for the user. The numbers stay those of Windows Sockets on every
// platform, so the texts the user sees do not depend on the system.

#include <cstdint>
#include <string>

namespace kitemail {

class TKError {
public:
    TKError(std::int32_t code, std::string message) : Code(code), Message(std::move(message)) {}
    virtual ~TKError() = default;
    TKError(const TKError&) = default;
    TKError& operator=(const TKError&) = default;

    std::int32_t Code;
    std::string Message; // code page 932
};

// An error whose text comes from the Windows Sockets error text table.
class TKWinSockError : public TKError {
public:
    explicit TKWinSockError(std::int32_t code);
};

// One row of the error text table (the text in UTF-8).
struct TWinSockErrorStr {
    std::int32_t code;
    const char* text;
};

// The table's text for code (code page 932), or "エラーコード: " followed
// by the code in decimal for a code not in the table.
[[nodiscard]] std::string WinSockErrorText(std::int32_t code);

} // namespace kitemail

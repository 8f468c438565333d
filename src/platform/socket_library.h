#pragma once
// Whether the system's socket library can be used, and its version, for the
// settings dialog's system page. Probed once as the program starts.

#include <string>

namespace kitemail {

struct SocketLibraryInfo {
    bool usable = false;
    int major = 0;
    int minor = 0;
};

// Opens and closes one TCP socket; the version is the C library's, which
// provides the socket calls.
[[nodiscard]] SocketLibraryInfo ProbeSocketLibrary();

// "使えます" or "使えません" (code page 932).
[[nodiscard]] std::string SocketUsabilityLine(const SocketLibraryInfo& info);
// "Ver major.minor".
[[nodiscard]] std::string SocketVersionLine(const SocketLibraryInfo& info);

} // namespace kitemail

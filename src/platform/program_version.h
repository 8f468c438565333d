#pragma once
// The program's version: the about box shows it, the settings file records
// it, and every mail and history record names it in X-Mailer.

#include <string_view>

namespace kitemail {

inline constexpr std::string_view ProgramVersion = "0.50";

} // namespace kitemail

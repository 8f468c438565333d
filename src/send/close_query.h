#pragma once
// Whether the main window may close now.

#include "platform/user_interface.h"

namespace kitemail {

struct ProgramOptions;

// While a mail is in flight the close is refused with a status text (and
// the beep when wanted), and no box: the user ends or aborts the send first.
[[nodiscard]] bool MainWindowCloseQuery(bool mailInFlight, const ProgramOptions& settings, UserInterface& ui);

} // namespace kitemail

#include "platform/user_interface.h"

namespace kitemail {

void Notify(UserInterface& ui, bool beepOnMessage, const std::string& message)
{
    if (beepOnMessage) {
        ui.Beep();
    }
    ui.ShowMessage(message);
}

void Refuse(UserInterface& ui, bool beepOnMessage, const std::string& statusText, const std::string& message)
{
    ui.SetStatusText(statusText);
    Notify(ui, beepOnMessage, message);
}

} // namespace kitemail

#include "platform/user_interface.h"

#include "platform/text_codec.h"

namespace kitemail {

void Notify(UserInterface& ui, bool beepOnMessage, const std::string& message)
{
    if (beepOnMessage) {
        ui.Beep();
    }
    ui.ShowMessage(message);
}

bool Ask(UserInterface& ui, bool beepOnMessage, const std::string& question)
{
    if (beepOnMessage) {
        ui.Beep();
    }
    return ui.Confirm(question, Sj("確認"));
}

void Refuse(UserInterface& ui, bool beepOnMessage, const std::string& statusText, const std::string& message)
{
    ui.SetStatusText(statusText);
    Notify(ui, beepOnMessage, message);
}

} // namespace kitemail

#include "send/close_query.h"

#include "platform/text_codec.h"
#include "settings/settings.h"

namespace kitemail {

bool MainWindowCloseQuery(bool mailInFlight, const ProgramOptions& settings, UserInterface& ui)
{
    if (!mailInFlight) {
        return true;
    }
    if (settings.BeepOnMessage) {
        ui.Beep();
    }
    ui.SetStatusText(Sj("送信中：終了できません。完了or中止してから終了してください。"));
    return false;
}

} // namespace kitemail

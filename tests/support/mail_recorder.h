#pragma once
// Records what a SendMail reports, and runs the event loop until its
// request is done.

#include "mail/send_mail.h"

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kitemail::test {

class MailRecorder {
public:
    explicit MailRecorder(SendMail& mail);

    // Runs the loop until OnDone (false when it did not come), then a little
    // longer so that a second OnDone would be seen too.
    bool WaitDone(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000),
                  std::chrono::milliseconds settle = std::chrono::milliseconds(150));

    // Texts of the infos of one kind (Sending and progress infos are only
    // counted).
    [[nodiscard]] std::vector<std::string> Infos(SendMailInfo info) const;
    [[nodiscard]] bool Has(SendMailInfo info) const { return !Infos(info).empty(); }

    // True when a call posted to the loop runs within a second.
    [[nodiscard]] static bool LoopResponsive();

    std::vector<std::pair<SendMailInfo, std::string>> infos;
    std::vector<std::pair<SendMailError, std::string>> errors;
    int doneCount = 0;
    int progressCount = 0;
    SendMailError errorAtDone = SendMailError::No_Error;
    bool sendingAtDone = true;
    // Extra reaction to each info, e.g. a cancel at some point.
    std::function<void(SendMailInfo, const std::string&)> onInfo;

private:
    SendMail& mail_;
};

} // namespace kitemail::test

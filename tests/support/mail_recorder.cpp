#include "mail_recorder.h"

#include "platform/event_loop.h"
#include "qt_app.h"

#include <QObject>

namespace kitemail::test {

MailRecorder::MailRecorder(SendMail& mail) : mail_(mail)
{
    EnsureCoreApplication();
    mail.OnMailInfo = [this](SendMail&, SendMailInfo info, const std::string& text) {
        switch (info) {
        case SendMailInfo::Info_Sending:
            break;
        case SendMailInfo::Info_AttachmentProgress:
        case SendMailInfo::Info_BodyProgress:
            ++progressCount;
            break;
        default:
            infos.emplace_back(info, text);
            break;
        }
        if (onInfo) {
            onInfo(info, text);
        }
    };
    mail.OnMailError = [this](SendMail&, SendMailError error, const std::string& text) {
        errors.emplace_back(error, text);
    };
    mail.OnDone = [this](SendMail& m) {
        ++doneCount;
        errorAtDone = m.LastError();
        sendingAtDone = m.Sending();
    };
}

bool MailRecorder::WaitDone(std::chrono::milliseconds timeout, std::chrono::milliseconds settle)
{
    const int before = doneCount;
    const bool done = WaitUntil([&] { return doneCount > before; }, timeout);
    if (done) {
        WaitUntil([] { return false; }, settle);
    }
    return done;
}

std::vector<std::string> MailRecorder::Infos(SendMailInfo info) const
{
    std::vector<std::string> out;
    for (const auto& [i, text] : infos) {
        if (i == info) {
            out.push_back(text);
        }
    }
    return out;
}

bool MailRecorder::LoopResponsive()
{
    QObject context;
    bool ran = false;
    PostCall(&context, [&ran] { ran = true; });
    return WaitUntil([&ran] { return ran; }, std::chrono::milliseconds(1000));
}

} // namespace kitemail::test

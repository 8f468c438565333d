// Sends one message with one attachment through the mail component:
//   kitemail_smtp_send HOST PORT FROM TO FILE
// Exit code 0 when the server accepted it; the outcome on standard error.

#include "mail/message_writer.h"
#include "mail/send_mail.h"
#include "platform/event_loop.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s HOST PORT FROM TO FILE\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    kitemail::SendMail mail;
    mail.SetSMTP_Server(argv[1]);
    mail.SMTP_Port = static_cast<std::uint16_t>(std::strtoul(argv[2], nullptr, 10));
    mail.FROM_Address = argv[3];
    mail.TO_Address = argv[4];
    mail.Subject = "attachment";
    mail.MailText = {"The file is attached."};
    kitemail::AttachmentRecord record;
    record.fileName = argv[5];
    record.AttachmentEncoding = kitemail::kEncodingBase64;
    mail.AddAttachment(record);
    std::string error;
    bool done = false;
    mail.OnMailError = [&error](kitemail::SendMail&, kitemail::SendMailError, const std::string& text) {
        error = text;
    };
    mail.OnDone = [&done](kitemail::SendMail&) { done = true; };
    mail.SetAction(kitemail::TMailAction::Send_Mail);
    kitemail::WaitUntil([&done] { return done; });
    if (mail.LastError() != kitemail::SendMailError::No_Error) {
        std::fprintf(stderr, "failed: %d %s\n", static_cast<int>(mail.LastError()), error.c_str());
        return 1;
    }
    return 0;
}

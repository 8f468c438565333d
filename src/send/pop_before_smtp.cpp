#include "send/pop_before_smtp.h"

#include "mail/pop_dialogue.h"
#include "platform/event_loop.h"
#include "platform/text_codec.h"
#include "settings/keyring_passwords.h"
#include "settings/settings.h"

#include <algorithm>
#include <utility>

namespace kitemail {
namespace {

// The client's events belong to one login while it runs; whatever was
// assigned before is put back afterwards, so that a late event of this
// connection can never reach a login that has ended.
class ClientEventsGuard {
public:
    explicit ClientEventsGuard(TKTcpClient& client)
        : client_(client),
          onRcvReady_(std::exchange(client.OnRcvReady, nullptr)),
          onError_(std::exchange(client.OnError, nullptr)),
          onDisconnect_(std::exchange(client.OnDisconnect, nullptr)),
          onConnect_(std::exchange(client.OnConnect, nullptr)),
          onEncrypted_(std::exchange(client.OnEncrypted, nullptr)),
          onTlsError_(std::exchange(client.OnTlsError, nullptr))
    {
    }
    ~ClientEventsGuard()
    {
        client_.OnRcvReady = std::move(onRcvReady_);
        client_.OnError = std::move(onError_);
        client_.OnDisconnect = std::move(onDisconnect_);
        client_.OnConnect = std::move(onConnect_);
        client_.OnEncrypted = std::move(onEncrypted_);
        client_.OnTlsError = std::move(onTlsError_);
    }
    ClientEventsGuard(const ClientEventsGuard&) = delete;
    ClientEventsGuard& operator=(const ClientEventsGuard&) = delete;

private:
    TKTcpClient& client_;
    TKNotifyEvent onRcvReady_;
    TKErrorEvent onError_;
    TKNotifyEvent onDisconnect_;
    TKNotifyEvent onConnect_;
    TKNotifyEvent onEncrypted_;
    std::function<void(const TlsFailure&)> onTlsError_;
};

std::uint16_t PortNumber(std::int32_t port)
{
    return static_cast<std::uint16_t>(std::clamp(port, 0, 65535));
}

void ShowAbortButton(const PopBeforeSmtpOptions& options, bool visible)
{
    if (options.showAbortButton) {
        options.showAbortButton(visible);
    }
}

void EnableCommand(const PopBeforeSmtpOptions& options, bool enabled)
{
    if (options.enableCommand) {
        options.enableCommand(enabled);
    }
}

} // namespace

bool PopAuthenticate(TKTcpClient& client, const std::string& server, std::int32_t port, const std::string& user,
                     const std::string& password, UserInterface& ui, bool beepOnMessage, bool& sendAborted,
                     const PopBeforeSmtpOptions& options)
{
    PopDialogue dialogue(user, password, options.security == Pop3Security::Stls);
    ClientEventsGuard guard(client);
    // Counted from the connection for the greeting and from each command
    // for its reply; a server that drips bytes does not hold it back.
    LoopTimer deadline;
    std::function<void(const PopDialogue::Reaction&)> apply;
    const auto awaitReply = [&] {
        deadline.Start(options.replyTimeout, true, [&] { apply(dialogue.Silence()); });
    };
    apply = [&](const PopDialogue::Reaction& reaction) {
        if (!reaction.command.empty()) {
            client.SendText(reaction.command);
            awaitReply();
        }
        if (reaction.startTls) {
            client.StartTls();
            awaitReply(); // the handshake has the same time as a reply
        }
        if (!dialogue.Running()) {
            deadline.Stop();
        }
        if (!reaction.failText.empty()) {
            client.SetActive(false);
            Notify(ui, beepOnMessage, reaction.failText);
        }
    };

    client.OnConnect = awaitReply;
    client.OnRcvReady = [&] { apply(dialogue.Received(client.ReceiveText())); };
    client.OnError = [&](const TKError&) { apply(dialogue.NetworkError()); };
    client.OnEncrypted = [&] { apply(dialogue.Encrypted()); };
    client.OnTlsError = [&](const TlsFailure& failure) { apply(dialogue.TlsFailed(failure)); };
    client.OnDisconnect = [&] {
        dialogue.Disconnected();
        deadline.Stop();
    };

    // A new connection for every login, even when the last one was left open.
    client.SetActive(false);
    client.TlsFromConnect = options.security == Pop3Security::Tls;
    client.Tls = TlsOptions{options.caFile};
    client.SetServerName(server);
    client.SetPort(PortNumber(port));
    client.SetActive(true);

    sendAborted = false;
    ShowAbortButton(options, true);
    WaitUntil([&] { return !dialogue.Running() || sendAborted; });
    deadline.Stop();
    const bool aborted = dialogue.Running();
    client.SetActive(false);
    ShowAbortButton(options, false);
    return !aborted && dialogue.Succeeded();
}

PopLoginResult PopBeforeSmtp(const ProgramOptions& settings, UserInterface& ui, TKTcpClient& client, bool& sendAborted,
                             const PopBeforeSmtpOptions& options)
{
    const bool beep = settings.BeepOnMessage;
    if (settings.POP3USER.empty() || settings.POP3Server.empty()) {
        Notify(ui, beep, Sj("POP before SMTPの設定をしてください。"));
        return PopLoginResult::NotConfigured;
    }
    EnableCommand(options, false);
    ui.SetStatusText(Sj("POP before SMTP 認証中..."));

    std::string password = PasswordForLogin(settings, StoredPassword::Pop3, options.keyring, ui);
    if (password.empty()) {
        std::optional<std::string> typed = ui.PromptPassword(Sj("パスワードを入力して下さい。"));
        if (!typed) {
            EnableCommand(options, true);
            ui.SetStatusText(Sj("POP before SMTP 認証中止"));
            return PopLoginResult::Cancelled;
        }
        password = std::move(*typed);
    }

    PopBeforeSmtpOptions timed = options;
    timed.replyTimeout = std::chrono::seconds(settings.ReplyTimeout);
    timed.security = settings.POP3Security;
    timed.caFile = settings.CAFile;
    client.ConnectTimeout = std::chrono::seconds(settings.ConnectTimeout);
    const bool ok = PopAuthenticate(client, settings.POP3Server, settings.POP3Port, settings.POP3USER, password, ui,
                                    beep, sendAborted, timed);
    PopLoginResult result = PopLoginResult::Succeeded;
    if (ok) {
        ui.SetStatusText(Sj("POP before SMTP 認証完了"));
    } else {
        const std::string text = Sj("POP before SMTP 認証出来ませんでした。");
        Notify(ui, beep, text);
        ui.SetStatusText(text);
        result = PopLoginResult::Failed;
    }
    EnableCommand(options, true);
    return result;
}

PopLoginResult PopBeforeSmtp(const ProgramOptions& settings, UserInterface& ui, bool& sendAborted,
                             const PopBeforeSmtpOptions& options)
{
    TKTcpClient client;
    return PopBeforeSmtp(settings, ui, client, sendAborted, options);
}

} // namespace kitemail

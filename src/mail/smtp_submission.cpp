#include "mail/smtp_submission.h"

#include "text/encoders.h"
#include "platform/text_codec.h"

#include <charconv>

namespace kitemail {
namespace {

std::string Upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// The words of one capability line after its "250-" or "250 ".
std::vector<std::string> Words(std::string_view line)
{
    std::vector<std::string> words;
    line.remove_prefix(std::min<std::size_t>(4, line.size()));
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', at);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(line.find(' ', start), line.size());
        words.push_back(Upper(line.substr(start, end - start)));
        at = end;
    }
    return words;
}

} // namespace

EhloCapabilities ParseEhloReply(const std::vector<std::string>& lines)
{
    EhloCapabilities caps;
    // The first line names the server; the others are one keyword each.
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::vector<std::string> words = Words(lines[i]);
        if (words.empty()) {
            continue;
        }
        std::string keyword = words.front();
        if (keyword.starts_with("AUTH=")) {
            words.push_back(keyword.substr(5));
            keyword = "AUTH";
        }
        if (keyword == "STARTTLS") {
            caps.startTls = true;
        } else if (keyword == "AUTH") {
            caps.anyAuth = true;
            for (std::size_t w = 1; w < words.size(); ++w) {
                caps.authPlain = caps.authPlain || words[w] == "PLAIN";
                caps.authLogin = caps.authLogin || words[w] == "LOGIN";
            }
        } else if (keyword == "SIZE" && words.size() > 1) {
            std::uint64_t limit = 0;
            const std::string& n = words[1];
            const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), limit);
            // RFC 1870 4: "SIZE 0" (or none) means no fixed limit.
            if (ec == std::errc() && end == n.data() + n.size() && limit > 0) {
                caps.sizeLimit = limit;
            }
        }
    }
    return caps;
}

void SmtpSubmission::Begin(SubmissionOptions options, std::string helloName)
{
    options_ = std::move(options);
    // EHLO needs a domain or an address literal (RFC 5321 4.1.1.1).
    helloName_ = helloName.empty() ? std::string("localhost") : std::move(helloName);
    capabilities_ = {};
    authBeforeTls_ = false;
    step_ = Step::AwaitEhlo;
    sink_.SendCommand("EHLO " + helloName_);
}

void SmtpSubmission::HandleReply(int code, const std::vector<std::string>& lines)
{
    const std::string last = lines.empty() ? std::string() : lines.back();
    switch (step_) {
    case Step::AwaitEhlo:
        if (code != 250) {
            Fail(SendMailError::Unexpected_Response, std::string(kTextUnexpectedResponse) + PrintableServerLine(last),
                 nullptr, last);
            return;
        }
        Capabilities(lines);
        return;
    case Step::AwaitStartTls:
        if (code != 220) {
            Fail(SendMailError::Tls_Failure, "the server refused STARTTLS: " + PrintableServerLine(last),
                 "サーバーがSTARTTLSを受け付けませんでした。", last);
            return;
        }
        step_ = Step::AwaitTls;
        sink_.StartTls();
        return;
    case Step::AwaitLoginUser:
    case Step::AwaitLoginPassword:
        if (code != 334) {
            break;
        }
        if (step_ == Step::AwaitLoginUser) {
            step_ = Step::AwaitLoginPassword;
            sink_.SendSecret(EncodeBase64(options_.user), EncodeBase64(options_.user));
        } else {
            step_ = Step::AwaitAuthResult;
            sink_.SendSecret(EncodeBase64(options_.password), "****");
        }
        return;
    case Step::AwaitAuthResult:
        if (code == 235) {
            sink_.Info(SendMailInfo::Info_Authenticated, {});
            Ready();
            return;
        }
        break;
    case Step::AwaitTls:
        // Nothing may come between the agreement and the handshake.
        Fail(SendMailError::Tls_Failure, "the server spoke during the TLS handshake: " + PrintableServerLine(last),
             nullptr, last);
        return;
    case Step::Idle: return;
    }
    // A refusal during authentication (535 and the like), or a 334 where
    // the exchange is over.
    Fail(SendMailError::Authentication_Failed, "authentication failed: " + PrintableServerLine(last), nullptr, last);
}

void SmtpSubmission::Encrypted()
{
    if (step_ != Step::AwaitTls) {
        return;
    }
    sink_.Info(SendMailInfo::Info_TlsEstablished, {});
    // RFC 3207 4.2: what was learnt before the handshake is forgotten.
    capabilities_ = {};
    step_ = Step::AwaitEhlo;
    sink_.SendCommand("EHLO " + helloName_);
}

void SmtpSubmission::Capabilities(const std::vector<std::string>& lines)
{
    capabilities_ = ParseEhloReply(lines);
    const bool encrypted = sink_.ConnectionEncrypted();
    if (!encrypted) {
        authBeforeTls_ = capabilities_.anyAuth;
    }
    if (options_.security == SmtpSecurity::StartTls && !encrypted) {
        if (!capabilities_.startTls) {
            Fail(SendMailError::Tls_Failure, "the server does not offer STARTTLS",
                 "サーバーがSTARTTLSに対応していません。ポート番号とセキュリティの設定を確認して下さい。");
            return;
        }
        step_ = Step::AwaitStartTls;
        sink_.Info(SendMailInfo::Info_TlsStarting, {});
        sink_.SendCommand("STARTTLS");
        return;
    }
    if (options_.auth != SmtpAuth::None) {
        Authenticate();
        return;
    }
    Ready();
}

void SmtpSubmission::Authenticate()
{
    if (!sink_.ConnectionEncrypted() && !sink_.ServerOnLoopback()) {
        Fail(SendMailError::Insecure_Authentication, "no password is sent over an unencrypted connection",
             "暗号化されていない接続ではパスワードを送りません。セキュリティの設定でSTARTTLSかSSL/TLSを選んで下さい。");
        return;
    }
    if (!capabilities_.anyAuth) {
        if (authBeforeTls_) {
            Fail(SendMailError::Authentication_Failed, "the server offers AUTH only before STARTTLS",
                 "サーバーが暗号化した接続でSMTP認証（AUTH）を提供していません。");
        } else {
            Fail(SendMailError::Authentication_Failed, "the server offers no authentication (AUTH)",
                 "サーバーがSMTP認証（AUTH）を提供していません。認証方式の設定を確認して下さい。");
        }
        return;
    }
    bool plain = false;
    switch (options_.auth) {
    case SmtpAuth::Best:
        if (!capabilities_.authPlain && !capabilities_.authLogin) {
            Fail(SendMailError::Authentication_Failed, "the server offers neither AUTH PLAIN nor AUTH LOGIN",
                 "サーバーが認証方式 PLAIN にも LOGIN にも対応していません。");
            return;
        }
        plain = capabilities_.authPlain;
        break;
    case SmtpAuth::Plain:
        if (!capabilities_.authPlain) {
            Fail(SendMailError::Authentication_Failed, "the server does not offer AUTH PLAIN",
                 "サーバーが認証方式 PLAIN に対応していません。");
            return;
        }
        plain = true;
        break;
    case SmtpAuth::Login:
        if (!capabilities_.authLogin) {
            Fail(SendMailError::Authentication_Failed, "the server does not offer AUTH LOGIN",
                 "サーバーが認証方式 LOGIN に対応していません。");
            return;
        }
        break;
    case SmtpAuth::None: return;
    }
    // PLAIN separates the names with NUL (RFC 4616 2): one inside would
    // shift what the server reads.
    if (options_.user.find('\0') != std::string::npos || options_.password.find('\0') != std::string::npos) {
        Fail(SendMailError::Authentication_Failed, "the user name or the password holds a NUL byte",
             "ユーザー名かパスワードに使えない文字（NUL）があります。");
        return;
    }
    sink_.Info(SendMailInfo::Info_Authenticating, {});
    if (plain) {
        step_ = Step::AwaitAuthResult;
        const std::string response = std::string(1, '\0') + options_.user + std::string(1, '\0') + options_.password;
        sink_.SendSecret("AUTH PLAIN " + EncodeBase64(response), "AUTH PLAIN ****");
    } else {
        step_ = Step::AwaitLoginUser;
        sink_.SendCommand("AUTH LOGIN");
    }
}

void SmtpSubmission::Ready()
{
    if (capabilities_.sizeLimit) {
        const std::optional<std::uint64_t> size = sink_.MessageSize();
        if (size && *size > *capabilities_.sizeLimit) {
            const std::string n = std::to_string(*size);
            const std::string limit = std::to_string(*capabilities_.sizeLimit);
            step_ = Step::Idle;
            sink_.SessionFailed({SendMailError::Message_Too_Large,
                                 "message of " + n + " bytes, the server accepts " + limit + " (SIZE)", {},
                                 Sj("メールの大きさ ") + n + Sj(" Byte が、サーバーの受け付ける上限 ") + limit
                                     + Sj(" Byte を超えています。")});
            return;
        }
    }
    step_ = Step::Idle;
    sink_.SessionReady();
}

void SmtpSubmission::Fail(SendMailError error, std::string text, const char* detailUtf8, const std::string& serverLine)
{
    step_ = Step::Idle;
    sink_.SessionFailed({error, std::move(text), serverLine, detailUtf8 != nullptr ? Sj(detailUtf8) : std::string()});
}

} // namespace kitemail

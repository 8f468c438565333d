#include "net/tls_failure.h"

#include "platform/text_codec.h"

namespace kitemail {
namespace {

struct ProblemWords {
    const char* english;
    const char* japanese; // UTF-8
};

ProblemWords WordsOf(TlsProblem problem)
{
    switch (problem) {
    case TlsProblem::Expired: return {"certificate expired", "サーバー証明書の有効期限が切れています。"};
    case TlsProblem::NotYetValid: return {"certificate not yet valid", "サーバー証明書の有効期間がまだ始まっていません。"};
    case TlsProblem::NameMismatch:
        return {"host name mismatch", "サーバー証明書がサーバー名と一致しません。"};
    case TlsProblem::UnknownIssuer:
        return {"unknown issuer", "サーバー証明書の発行者が信頼されていません（CAFileで追加できます）。"};
    case TlsProblem::Other: break;
    }
    return {"certificate not accepted", "サーバー証明書を確認できません。"};
}

} // namespace

std::string TlsFailureText(const TlsFailure& failure)
{
    std::string text;
    for (const TlsProblem p : failure.problems) {
        text += (text.empty() ? "" : ", ") + std::string(WordsOf(p).english);
    }
    if (!failure.detail.empty()) {
        text += (text.empty() ? "" : " (") + failure.detail + (failure.problems.empty() ? "" : ")");
    }
    if (text.empty()) {
        text = "TLS handshake failed";
    }
    if (!failure.fingerprint.empty()) {
        text += "; SHA-256 " + failure.fingerprint;
    }
    return text;
}

std::string TlsFailureMessage(const TlsFailure& failure)
{
    std::string text;
    for (const TlsProblem p : failure.problems) {
        text += Sj(WordsOf(p).japanese) + "\r\n";
    }
    if (failure.problems.empty()) {
        text += Sj("暗号化（TLS）の接続を確立できませんでした。") + "\r\n";
    }
    if (!failure.detail.empty()) {
        text += "(" + failure.detail + ")\r\n";
    }
    if (!failure.fingerprint.empty()) {
        text += Sj("証明書の SHA-256: ") + failure.fingerprint + "\r\n";
    }
    text.resize(text.size() - 2);
    return text;
}

std::string FingerprintText(std::string_view digest)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : digest) {
        const auto b = static_cast<unsigned char>(c);
        if (!text.empty()) {
            text += ':';
        }
        text += kHex[b >> 4];
        text += kHex[b & 0x0F];
    }
    return text;
}

} // namespace kitemail

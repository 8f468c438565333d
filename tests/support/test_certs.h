#pragma once
// The certificates made for the TLS tests at build time (see
// tests/servers/make_test_certs.sh): "ca" signed "server" (localhost,
// 127.0.0.1, ::1), "wrongname" (another host) and "expired".

#include <fstream>
#include <string>

namespace kitemail::test {

// The PEM file of a certificate ("ca", "server", ...) or of the key ("server.key").
[[nodiscard]] inline std::string CertFile(const std::string& name)
{
    return std::string(KITEMAIL_TEST_CERT_DIR "/") + name + (name.find('.') == std::string::npos ? ".pem" : "");
}

// Its SHA-256 fingerprint as openssl writes it, "AB:CD:...".
[[nodiscard]] inline std::string CertFingerprint(const std::string& name)
{
    std::ifstream in(std::string(KITEMAIL_TEST_CERT_DIR "/") + name + ".sha256");
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace kitemail::test

// The SMTP password in a real Secret Service: GNOME Keyring in a private
// D-Bus session (tests/servers/keyring_session.sh), stored by the command
// line and read back by a send with AUTH; and a send with no keyring to ask.

#include "file_bytes.h"
#include "platform/text_codec.h"
#include "process_runner.h"
#include "settings/settings.h"
#include "smtp_sink.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace kitemail::test {
namespace {

const std::string kSession = std::string(KITEMAIL_SOURCE_DIR) + "/tests/servers/keyring_session.sh";

TEST(KeyringTest, PasswordStoredByTheCommandLineLogsInAndNoKeyringAsksForIt)
{
    SmtpSink sink;
    ASSERT_TRUE(sink.Start("127.0.0.1", {"none", "taro", "s3cret"})) << sink.Error();
    TempDir home;
    TempDir keyringHome;
    const auto ini = home.Write("Kiteml.ini", Sj("[Configuration]\r\nServer=127.0.0.1\r\nPort=" + std::to_string(sink.Port())
                                                 + "\r\n[MyAddress]\r\nHow=1\r\n0=me@example.jp\r\n"
                                                   "[Submission]\r\nAuthMethod=1\r\nAuthUser=taro\r\n"));
    const std::string body = home.Write("body.txt", "こんにちは\n").string();
    const std::vector<std::string> send = {"send", "--to", "you@example.jp", "--type", "0", "--subject", "s", "--body-file", body};
    const auto inSession = [&](std::vector<std::string> args, const std::string& input) {
        args.insert(args.begin(), {keyringHome.path().string(), KITEMAIL_CLI_PATH});
        return RunProcess(kSession, args, AtHome(home.path(), input));
    };

    // Stored: the file says where, and holds nothing of the password.
    ProcessResult r = inSession({"config", "password", "smtp", "--keyring"}, "s3cret\n");
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::string file = ReadBytes(ini);
    EXPECT_NE(file.find("AuthPass=\r\n"), std::string::npos) << file;
    EXPECT_NE(file.find("AuthPassIn=keyring\r\n"), std::string::npos) << file;
    EXPECT_EQ(file.find(EncodePop3Password("s3cret")), std::string::npos);

    // A later session finds it: the login needs no prompt (there is no
    // terminal to ask at).
    r = inSession(send, "");
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(sink.WaitForMessages(1, std::chrono::seconds(5)), 1);

    // No keyring to ask: said once, then the password is asked for as when
    // none is stored; with nobody to answer, nothing is sent.
    ProcessOptions noKeyring = AtHome(home.path());
    noKeyring.setEnv = {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (home.path() / "no-bus").string()}};
    const std::string said = "キーリングからパスワードを読めません（キーリングのサービスが動いていません）。";
    r = RunCli(send, noKeyring);
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("送信中止：SMTP認証のパスワードが入力されませんでした。"), std::string::npos) << r.out;
    noKeyring.setEnv.emplace_back("KITEMAIL_SMTP_PASSWORD", "s3cret");
    r = RunCli(send, noKeyring);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
    EXPECT_EQ(sink.WaitForMessages(2, std::chrono::seconds(5)), 2);
}

} // namespace
} // namespace kitemail::test

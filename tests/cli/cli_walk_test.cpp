// Walks of kitemail-cli as a user takes them, one command after another on
// one data folder, against a real SMTP server on loopback (or a scripted
// peer): tests/data/cli_walks/NAME.walk, one test each. A walk is lines:
//
//   # a comment
//   server: TLS USER PASSWORD  a server of the walk's own (smtp_sink.h);
//                              else the suite's one in the clear
//   peer: STEP                 a step of the scripted peer's (scripted_peer.h)
//   home: NAME                 the data folder starts as tests/data/cli/NAME.home
//   file: NAME TEXT            writes TEXT as NAME in the data folder (code
//                              page 932 for Kiteml.ini, else as written)
//   shell: FRAGMENT            the next run goes through /bin/sh -c FRAGMENT,
//                              the tool as "$0" and its arguments as "$@"
//   $ [NAME=VALUE...] ARG...   a run in the data folder, with more of the
//                              environment; blanks separate the words
//   < TEXT                     its standard input, a line
//   exit: N                    its exit status (0 when not said)
//   out: TEXT / err: TEXT      its whole standard output / error, a line
//                              each ("out:" alone: none)
//   out~ TEXT / err~ TEXT      ... holds TEXT
//   json KEY: VALUE / ~        standard output as one JSON object: a field
//   mails: N                   messages the server stored during the walk
//   mail N KEY: VALUE / ~      the Nth of them: subject or body as Python's
//                              email package reads them, from and rcpt (the
//                              envelope's sender and first recipient)
//   records: N                 records in the history folder
//   golden: AREA NAME FILE     the data folder's FILE is
//                              tests/data/AREA/NAME.expected, <port> for the port
//
// Every text takes the escapes and repetitions of the tables (golden.h) and
// the values {port} (the server's), {peer} (the peer's), {closed} (a port nothing
// listens on), {home}, {ca} (the test authority's file) and {source}.

#include "file_bytes.h"
#include "golden.h"
#include "platform/text_codec.h"
#include "process_runner.h"
#include "scripted_peer.h"
#include "send/history_folder.h"
#include "smtp_sink.h"
#include "temp_dir.h"
#include "test_certs.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include <optional>
#include <sstream>

namespace kitemail::test {
namespace {

namespace fs = std::filesystem;
// A JSON value as a walk writes it.
std::string AsText(const QJsonValue& value)
{
    if (value.isDouble()) {
        return std::to_string(value.toInteger());
    }
    return value.isNull() ? "null" : value.toString().toStdString();
}

class CliWalk : public SmtpSinkSuite, public ::testing::WithParamInterface<std::string> {
protected:
    TempDir home_;
    std::optional<SmtpSink> own_;
    std::optional<ScriptedPeer> peer_;
};

TEST_P(CliWalk, EveryStepAsWritten)
{
    std::vector<std::string> lines, peerSteps;
    std::istringstream in(GoldenInput("cli_walks", GetParam() + ".walk"));
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
        if (line.starts_with("server: ")) {
            std::istringstream words(line.substr(8));
            std::string tls;
            SmtpSinkOptions options;
            words >> tls >> options.user >> options.password;
            options.tls = tls == "starttls" ? "starttls" : tls == "tls" ? "tls" : "none";
            ASSERT_TRUE(own_.emplace().Start("127.0.0.1", options)) << own_->Error();
        } else if (line.starts_with("peer: ")) {
            peerSteps.push_back(line.substr(6));
        }
    }
    if (!peerSteps.empty()) {
        peer_.emplace(peerSteps);
    }
    SmtpSink& server = own_ ? *own_ : *sink_;
    const std::string port = std::to_string(server.Port());
    const Variables values = {{"port", port}, {"peer", peer_ ? std::to_string(peer_->Port()) : ""},
                              {"closed", std::to_string(ClosedLoopbackPort())}, {"home", home_.path().string()},
                              {"ca", CertFile("ca")}, {"source", KITEMAIL_SOURCE_DIR}};
    const int baseline = server.WaitForMessages(0, std::chrono::milliseconds(0));
    std::vector<std::string> shell;
    std::optional<ProcessResult> run;
    std::optional<std::string> out, err;
    int exitCode = 0;
    // The last run's exit status and whole output, once all its lines are read.
    const auto settle = [&] {
        if (run) {
            EXPECT_EQ(run->exitCode, exitCode) << run->out << run->err;
            EXPECT_EQ(run->out, out.value_or(run->out));
            EXPECT_EQ(run->err, err.value_or(run->err));
        }
        run.reset();
        out.reset();
        err.reset();
        exitCode = 0;
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i + 1) + ": " + lines[i]);
        if (lines[i].starts_with("$ ")) {
            settle();
            ProcessOptions options = AtHome(home_.path());
            options.workingDir = home_.path().string();
            std::vector<std::string> args = shell;
            std::istringstream words(lines[i].substr(2));
            for (std::string word; words >> word;) {
                const std::size_t equals = word.find('=');
                if (args.size() == shell.size() && equals != std::string::npos && !word.starts_with('-')) {
                    options.setEnv.emplace_back(word.substr(0, equals), Unescape(word.substr(equals + 1), values));
                } else {
                    args.push_back(Unescape(word, values));
                }
            }
            if (i + 1 < lines.size() && lines[i + 1].starts_with("< ")) {
                options.input = Unescape(lines[++i].substr(2), values) + "\n";
            }
            run = shell.empty() ? RunCli(args, options) : RunProcess("/bin/sh", args, options);
            shell.clear();
            continue;
        }
        const std::string line = Unescape(lines[i], values);
        const std::size_t at = line.find_first_of(":~");
        if (line.empty() || line.starts_with('#') || at == std::string::npos) {
            EXPECT_TRUE(line.empty() || line.starts_with('#')) << "not a line of a walk";
            continue;
        }
        const std::string key = line.substr(0, at), text = line.substr(std::min(at + 2, line.size()));
        const auto expect = [&](const std::string& actual) {
            if (line[at] == ':') {
                EXPECT_EQ(actual, text);
            } else {
                EXPECT_NE(actual.find(text), std::string::npos) << actual;
            }
        };
        if (key == "home") {
            fs::copy(GoldenPath("cli", text + ".home"), home_.path(), fs::copy_options::recursive);
        } else if (key == "file") {
            const std::string name = text.substr(0, text.find(' ')), bytes = text.substr(name.size() + 1);
            home_.Write(name, name == "Kiteml.ini" ? Sj(bytes) : bytes);
        } else if (key == "shell") {
            shell = {"-c", text, KITEMAIL_CLI_PATH};
        } else if (key == "exit") {
            exitCode = std::stoi(text);
        } else if ((key == "out" || key == "err") && line[at] == ':') {
            std::optional<std::string>& whole = key == "out" ? out : err;
            whole = whole.value_or("") + (text.empty() ? "" : text + "\n");
        } else if (key == "out" || key == "err") {
            ASSERT_TRUE(run);
            expect(key == "out" ? run->out : run->err);
        } else if (key.starts_with("json ")) {
            ASSERT_TRUE(run);
            expect(AsText(QJsonDocument::fromJson(QByteArray::fromStdString(run->out))[QString::fromStdString(key.substr(5))]));
        } else if (key == "mails") {
            const int n = std::stoi(text);
            EXPECT_EQ(server.WaitForMessages(baseline + n, std::chrono::seconds(5)) - baseline, n);
        } else if (key.starts_with("mail ")) {
            const int n = baseline + std::stoi(key.substr(5));
            const std::string field = key.substr(key.rfind(' ') + 1);
            const QJsonObject mail = server.Envelope(n);
            std::string actual = field == "from"   ? AsText(mail["mail_from"])
                                 : field == "rcpt" ? AsText(mail["rcpt_tos"].toArray().first())
                                                   : AsText(mail[QString::fromStdString(field)]);
            expect(field == "subject" ? actual.substr(0, actual.find_last_not_of(' ') + 1) : actual);
        } else if (key == "records") {
            EXPECT_EQ(ListHistoryFiles(home_.path() / "mail").size(), std::stoul(text));
        } else if (key == "golden") {
            std::istringstream words(text);
            std::string area, name, file;
            words >> area >> name >> file;
            std::string bytes = ReadBytes(home_.path() / file);
            for (std::size_t found; (found = bytes.find("=" + port + "\r\n")) != std::string::npos;) {
                bytes.replace(found + 1, port.size(), "<port>");
            }
            ExpectGolden(area, name, bytes);
        } else if (key != "server" && key != "peer") {
            ADD_FAILURE() << "not a line of a walk";
        }
    }
    settle();
    if (peer_) {
        EXPECT_TRUE(peer_->Join());
        EXPECT_EQ(peer_->Failures(), std::vector<std::string>{});
    }
}

INSTANTIATE_TEST_SUITE_P(Data, CliWalk, ::testing::ValuesIn(GoldenNames("cli_walks", ".walk")), GoldenRowName());

} // namespace
} // namespace kitemail::test

// The developer tool bar's wiring: "My SMTP test" against scripted peers
// (one that never answers among them, ended by its deadline or by
// "中止"), "POP3認証" alone, the "Test" switch, and "for test".

#include "gui_support.h"

#include "platform/text_codec.h"
#include "scripted_peer.h"
#include "ui/developer_tools.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kitemail::test {
namespace {

class DeveloperToolBarTest : public ::testing::Test {
protected:
    void Start(int replyTimeout = 1, const std::string& more = {})
    {
        program.WriteIni("[Developer]\nToolBar=1\n[Network]\nReplyTimeout=" + std::to_string(replyTimeout) +
                         "\n[MyAddress]\nHow=1\n0=me@example.jp\n" + more);
        program.Start();
        Commit(program.Find<QLineEdit>("Edit1"), QStringLiteral("you@example.jp"));
        Commit(program.Find<QLineEdit>("Edit2"), QString::fromUtf8("件名"));
        Commit(program.Find<QPlainTextEdit>("Memo1"), QString::fromUtf8("本文\n.dot"));
    }
    // Presses the button; boxes on the way are logged and closed.
    QStringList Press(const char* button, std::uint16_t port, const std::function<void()>& during = {})
    {
        program.Main().Developer().SmtpTest().Port = port;
        Boxes boxes;
        ModalWatcher watcher([&boxes](QWidget* modal) { Answer(modal, boxes); });
        if (during) {
            QTimer::singleShot(300, &program.Main(), during);
        }
        program.Find<QAction>(button)->trigger();
        return boxes.texts;
    }

    Program program;
};

// Each reply's handling is the dialogue's (unit/smtp_test_dialogue_test);
// here, real sockets, the boxes and the reply deadline.
TEST_F(DeveloperToolBarTest, SmtpTestSendsTheBoxesAndSaysOnlyFailures)
{
    Start();
    EXPECT_TRUE(program.Find<QWidget>("DeveloperBar")->isVisible());
    EXPECT_EQ(program.Main().Developer().SmtpTest().ServerName, "127.0.0.1");
    EXPECT_EQ(program.Main().Developer().SmtpTest().Port, 25);
    const struct {
        const char* name;
        std::vector<std::string> script;
        QStringList boxes;
    } rows[] = {
        {"Delivered",
         {"S: 220 hi", "C: HELO 127.0.0.1", "S: 250 ok", "C: MAIL FROM: me@example.jp", "S: 250 ok",
          "C: RCPT TO:you@example.jp", "S: 250 ok", "C: DATA", "S: 354 go", "DATA", "S: 250 queued", "C: QUIT",
          "S: 221 bye", "EXPECT_CLOSE"},
         {}},
        {"NeverAnswers", {"SLEEP 2500"}, {"smtp server did not answer in time."}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedPeer peer(row.script);
        EXPECT_EQ(Press("SmtpTestButton", peer.Port()), row.boxes);
        EXPECT_FALSE(program.Main().Developer().SmtpTest().Running());
        EXPECT_TRUE(program.Find<QPushButton>("AbortButton")->isHidden());
        peer.Join();
        EXPECT_EQ(peer.Failures(), std::vector<std::string>());
        if (std::string(row.name) == "Delivered") {
            EXPECT_EQ(peer.Data(), "From: me@example.jp\r\nSubject: " + Sj("件名") + "\r\n" + Sj("本文") +
                                       "\r\n..dot\r\n");
        }
    }
    EXPECT_EQ(Press("SmtpTestButton", ClosedLoopbackPort()), QStringList({"smtp connection error."}));
}

// A server that takes the connection and says nothing: "中止" ends the
// wait at once, and pressing the button meanwhile only says a run is on.
TEST_F(DeveloperToolBarTest, AbortEndsASilentServersWaitAndASecondPressIsRefused)
{
    Start(60);
    ScriptedPeer peer({"SLEEP 3000"});
    QElapsedTimer clock;
    clock.start();
    const QStringList boxes = Press("SmtpTestButton", peer.Port(), [this] {
        EXPECT_FALSE(program.Find<QPushButton>("AbortButton")->isHidden());
        program.Find<QAction>("SmtpTestButton")->trigger();
        program.Find<QPushButton>("AbortButton")->click();
    });
    EXPECT_LT(clock.elapsed(), 2800);
    EXPECT_EQ(boxes, QStringList({"My SMTP access is now running."}));
    EXPECT_TRUE(program.Find<QPushButton>("AbortButton")->isHidden());
    EXPECT_TRUE(program.Main().close()) << "nothing left running";
}

TEST_F(DeveloperToolBarTest, PopLoginAloneTestSwitchAndTheInertButton)
{
    ScriptedPeer pop({"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret", "S: +OK", "C: QUIT", "S: +OK bye",
                      "CLOSE"});
    Start(1, "[Configuration]\nServer=127.0.0.1\nPort=" + std::to_string(ClosedLoopbackPort()) +
          "\nPOP3USER=alice\nPOP3Server=127.0.0.1\nPOP3Port=" + std::to_string(pop.Port()) +
          "\nPOP3PASS=" + EncodePop3Password("secret") + "\n");
    auto* status = program.Find<QLabel>("StatusLabel");
    EXPECT_EQ(Press("PopAuthButton", 0), QStringList());
    EXPECT_EQ(status->text(), QString::fromUtf8("POP before SMTP 認証完了"));
    EXPECT_TRUE(program.Find<QAction>("PopAuthButton")->isEnabled());
    pop.Join();
    EXPECT_EQ(pop.Failures(), std::vector<std::string>());

    // "Test": every step but the mail component; the closed port would fail a real send.
    program.Find<QCheckBox>("TestCheck")->setChecked(true);
    Boxes boxes;
    {
        ModalWatcher watcher([&boxes](QWidget* modal) { Answer(modal, boxes); });
        program.Find<QAction>("Send1")->trigger();
    }
    EXPECT_EQ(boxes.texts, QStringList({QString::fromUtf8("送信完了しました。")}));
    EXPECT_EQ(status->text(), QString::fromUtf8("送信完了：エラーはありません。"));

    QAction* forTest = program.Find<QAction>("ForTestButton");
    EXPECT_EQ(forTest->text(), QStringLiteral("for test"));
    EXPECT_EQ(Press("ForTestButton", 0), QStringList());
}

} // namespace
} // namespace kitemail::test

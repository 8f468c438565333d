// Sending from the window: the abort button and Esc, dropped files sent,
// the split viewer; the developer tool bar's SMTP test and POP3 login.
// (The new user's road with Ctrl+G is a walk: tests/data/walks.)

#include "fake_keyring.h"
#include "gui_support.h"

#include "scripted_peer.h"
#include "smtp_sink.h"
#include "ui/developer_tools.h"
#include "ui/split_result_viewer.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QToolButton>

namespace kitemail::test {
namespace {

class WindowSendTest : public SmtpSinkSuite {
protected:
    void StartWith(int port, const QString& body, const std::string& options = {})
    {
        program.WriteIni(SendingIni(port, options));
        program.Start();
        program.FillMail(body);
    }

    int Stored() const { return sink_->WaitForMessages(0, std::chrono::milliseconds(0)); }

    Program program;
};

TEST_F(WindowSendTest, AbortButtonOrEscStopsAMailInFlight)
{
    const std::pair<const char*, std::function<void(QPushButton*)>> presses[] = {
        {"click", [](QPushButton* abort) { abort->click(); }},
        {"Esc", [this](QPushButton*) { QTest::keyClick(&program.Main(), Qt::Key_Escape); }},
    };
    for (const auto& [how, press] : presses) {
        SCOPED_TRACE(how);
        // The server is asked for the message and says nothing: the mail stays
        // in flight, and stopping it now is a plain stop. (After the whole
        // message has gone out it would be unconfirmed instead.)
        ScriptedPeer peer({"S: 220 hi", "C: HELO*", "S: 250 ok", "C: MAIL FROM:<me@example.jp>", "S: 250 ok",
                           "C: RCPT TO:<you@example.jp>", "S: 250 ok", "C: DATA", "SLEEP 800"});
        StartWith(peer.Port(), QStringLiteral("body"));
        ASSERT_TRUE(QTest::qWaitForWindowActive(&program.Main()));

        bool panelLockedWhileSending = false;
        QStringList enabledWhileSending; // tool buttons and menus shown usable
        const auto usable = [&] {
            QStringList names;
            for (const QToolButton* b : program.Find<QWidget>(kToolBar)->findChildren<QToolButton*>()) {
                if (b->isVisible() && b->isEnabled() && b->defaultAction() != nullptr) {
                    names << b->defaultAction()->objectName();
                }
            }
            if (program.Find<QWidget>(kMenuLine)->isEnabled()) {
                names << kMenuLine;
            }
            return names;
        };
        QTimer presser;
        presser.setInterval(10);
        QObject::connect(&presser, &QTimer::timeout, [&] {
            auto* abort = program.Find<QPushButton>(kAbortButton);
            if (!abort->isHidden() && QApplication::activeModalWidget() == nullptr) {
                // Once: until the cancelled mail has ended the button stays, over a locked panel.
                presser.stop();
                panelLockedWhileSending = !program.Find<QWidget>(kMainPanel)->isEnabled();
                enabledWhileSending = usable();
                press(abort);
            }
        });
        presser.start();
        EXPECT_EQ(Answering([&] { program.Trigger(kSend); }), QStringList{QStringLiteral("処理を中止しました。")});
        presser.stop();
        EXPECT_TRUE(panelLockedWhileSending);
        EXPECT_EQ(enabledWhileSending, QStringList());
        EXPECT_EQ(program.Status(), QStringLiteral("送信中止：ユーザーにより、処理を中断しました。"));
        EXPECT_TRUE(program.Find<QWidget>(kMainPanel)->isEnabled());
        EXPECT_TRUE(program.Find<QPushButton>(kAbortButton)->isHidden());
        EXPECT_EQ(usable().size(), 7) << usable().join(u' ').toStdString(); // six buttons, the menu line
        EXPECT_TRUE(program.Close()); // nothing in flight any more
    }
}

// Files dropped on the list go out with the mail; the clear after sending
// is the whole clear, with its question. Then the split viewer shows the
// parts, and its Cancel sends nothing.
TEST_F(WindowSendTest, DroppedFilesAreSentTheClearAfterSendingIsTheFullOneAndTheSplitViewerCancels)
{
    StartWith(sink_->Port(), QString::fromUtf8("本文"), "20=1\n");
    const std::string photo("\xFF\xD8 picture \x00 bytes", 18);
    DropFiles(program, {program.File("photo.jpg", photo)});
    ASSERT_EQ(program.Find<QListWidget>(kAttachmentList)->count(), 1);

    const int before = Stored();
    const QStringList boxes = Answering([&] { program.Trigger(kSend); }, {true});
    ASSERT_EQ(sink_->WaitForMessages(before + 1, std::chrono::seconds(5)), before + 1);
    const QJsonArray parts = ParseStoredMail(sink_->MessagePath(before + 1))["parts"].toArray();
    ASSERT_EQ(parts.size(), 1);
    EXPECT_EQ(parts[0].toObject()["filename"].toString(), QStringLiteral("photo.jpg"));
    EXPECT_EQ(DecodedBytes(parts[0].toObject(), "payload_b64"), photo);

    EXPECT_EQ(boxes, QStringList{QString::fromUtf8("クリアしますか？")});
    EXPECT_EQ(program.Find<QListWidget>(kAttachmentList)->count(), 0);
    for (const char* box : {kAddress, kSubject}) {
        EXPECT_TRUE(program.Find<QLineEdit>(box)->text().isEmpty()) << box;
    }
    EXPECT_TRUE(program.Find<QPlainTextEdit>(kBody)->toPlainText().isEmpty());

    QString body;
    for (int i = 0; i < 25; ++i) {
        body += QString(40, QChar(u'a' + i)) + u'\n';
    }
    program.FillMail(body);
    program.Main().Composer().TypeBoxChanged(TerminalType::IMode); // 500 bytes

    std::vector<bool> enabled;
    QString resultBefore;
    QString part2;
    QString source;
    Boxes split{{}, {true}}; // the over-limit question: split
    ModalWatcher watcher([&](QWidget* modal) {
        if (auto* viewer = qobject_cast<SplitResultViewer*>(modal)) {
            for (int k = 1; k <= 9; ++k) {
                enabled.push_back(viewer->PartButton(k)->isEnabled());
            }
            resultBefore = viewer->ResultMemo()->toPlainText();
            source = viewer->SourceMemo()->toPlainText();
            viewer->PartButton(2)->click();
            part2 = viewer->ResultMemo()->toPlainText();
            viewer->reject();
        } else {
            Answer(modal, split);
        }
    });
    program.Trigger(kSend);
    ASSERT_EQ(enabled.size(), 9u);
    EXPECT_EQ(enabled, (std::vector<bool>{true, true, true, false, false, false, false, false, false}));
    EXPECT_TRUE(resultBefore.isEmpty());
    EXPECT_TRUE(part2.startsWith(QStringLiteral("[2/3]"))) << part2.toStdString();
    EXPECT_EQ(source, body);
    EXPECT_EQ(Stored(), before + 1);
    EXPECT_TRUE(program.Main().Workflow().Aborted());
    // How it ended, not the splitter's last step.
    EXPECT_EQ(program.Status(), QString::fromUtf8("送信中止：ユーザーにより、処理を中断しました。"));
}

// The whole road of a new user: walks/ANewUserSetsUpAndSendsDirectlyAndToTickedEntries.

// ------------------------------------------------------------ the developer tool bar

// "My SMTP test" against scripted peers (one that never answers among them,
// ended by its deadline or by "中止"), "POP3認証" alone, the "Test" switch,
// and "for test".
class DeveloperToolBarTest : public WindowTest {
protected:
    void Start(int replyTimeout = 1, const std::string& more = {})
    {
        program.WriteIni("[Developer]\nToolBar=1\n[Network]\nReplyTimeout=" + std::to_string(replyTimeout) +
                         "\n[MyAddress]\nHow=1\n0=me@example.jp\n" + more);
        program.Start();
        program.FillMail(QString::fromUtf8("本文\n.dot"));
    }
    // Presses the button; boxes on the way are logged and closed.
    QStringList Press(const char* button, std::uint16_t port, const std::function<void()>& during = {})
    {
        program.Main().Developer().SmtpTest().Port = port;
        if (during) {
            QTimer::singleShot(300, &program.Main(), during);
        }
        return Answering([&] { program.Trigger(button); });
    }
};

// Each reply's handling is the dialogue's (unit/smtp_test_dialogue_test);
// here, real sockets, the boxes and the reply deadline.
TEST_F(DeveloperToolBarTest, SmtpTestSendsTheBoxesAndSaysOnlyFailures)
{
    Start();
    EXPECT_TRUE(program.Find<QWidget>(kDeveloperBar)->isVisible());
    EXPECT_EQ(program.Main().Developer().SmtpTest().ServerName, "127.0.0.1");
    EXPECT_EQ(program.Main().Developer().SmtpTest().Port, 25);
    const struct {
        const char* name;
        std::vector<std::string> script;
        QStringList boxes;
        std::string data; // the message the server was given
    } rows[] = {
        {"Delivered",
         {"S: 220 hi", "C: HELO 127.0.0.1", "S: 250 ok", "C: MAIL FROM: me@example.jp", "S: 250 ok",
          "C: RCPT TO:you@example.jp", "S: 250 ok", "C: DATA", "S: 354 go", "DATA", "S: 250 queued", "C: QUIT",
          "S: 221 bye", "EXPECT_CLOSE"},
         {},
         "From: me@example.jp\r\nSubject: " + Sj("件名") + "\r\n" + Sj("本文") + "\r\n..dot\r\n"},
        {"NeverAnswers", {"SLEEP 2500"}, {"smtp server did not answer in time."}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedPeer peer(row.script);
        EXPECT_EQ(Press(kSmtpTestButton, peer.Port()), row.boxes);
        EXPECT_FALSE(program.Main().Developer().SmtpTest().Running());
        EXPECT_TRUE(program.Find<QPushButton>(kAbortButton)->isHidden());
        peer.Join();
        EXPECT_EQ(peer.Failures(), std::vector<std::string>());
        EXPECT_EQ(peer.Data(), row.data);
    }
    EXPECT_EQ(Press(kSmtpTestButton, ClosedLoopbackPort()), QStringList({"smtp connection error."}));
}

// A server that takes the connection and says nothing: "中止" ends the
// wait at once, and pressing the button meanwhile only says a run is on.
TEST_F(DeveloperToolBarTest, AbortEndsASilentServersWaitAndASecondPressIsRefused)
{
    Start(60);
    ScriptedPeer peer({"SLEEP 3000"});
    QElapsedTimer clock;
    clock.start();
    const QStringList boxes = Press(kSmtpTestButton, peer.Port(), [this] {
        EXPECT_FALSE(program.Find<QPushButton>(kAbortButton)->isHidden());
        program.Trigger(kSmtpTestButton);
        program.Find<QPushButton>(kAbortButton)->click();
    });
    EXPECT_LT(clock.elapsed(), 2800);
    EXPECT_EQ(boxes, QStringList({"My SMTP access is now running."}));
    EXPECT_TRUE(program.Find<QPushButton>(kAbortButton)->isHidden());
    EXPECT_TRUE(program.Main().close()) << "nothing left running";
}

TEST_F(DeveloperToolBarTest, PopLoginAloneTestSwitchAndTheInertButton)
{
    ScriptedPeer pop({"S: +OK ready", "C: USER alice", "S: +OK", "C: PASS secret", "S: +OK", "C: QUIT", "S: +OK bye",
                      "CLOSE"});
    Start(1, "[Configuration]\nServer=127.0.0.1\nPort=" + std::to_string(ClosedLoopbackPort()) +
          "\nPOP3USER=alice\nPOP3Server=127.0.0.1\nPOP3Port=" + std::to_string(pop.Port()) +
          "\nPOP3PassIn=keyring\n");
    // The button finds the password where the window keeps it.
    FakeKeyring keyring;
    keyring.secrets["POP3PASS"] = "secret";
    program.Main().UseKeyring(&keyring);
    auto* status = program.Find<QLabel>(kStatusLabel);
    EXPECT_EQ(Press(kPopAuthButton, 0), QStringList());
    EXPECT_EQ(status->text(), QString::fromUtf8("POP before SMTP 認証完了"));
    EXPECT_TRUE(program.Find<QAction>(kPopAuthButton)->isEnabled());
    pop.Join();
    EXPECT_EQ(pop.Failures(), std::vector<std::string>());

    // "Test": every step but the mail component; the closed port would fail a real send.
    program.Find<QCheckBox>(kTestCheck)->setChecked(true);
    EXPECT_EQ(Answering([&] { program.Trigger(kSend); }), QStringList({QString::fromUtf8("送信完了しました。")}));
    EXPECT_EQ(status->text(), QString::fromUtf8("送信完了：エラーはありません。"));

    EXPECT_EQ(Press(kForTestButton, 0), QStringList());
}

} // namespace
} // namespace kitemail::test

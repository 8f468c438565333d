// The main window as the user meets it: typing into the real widgets and
// reading what the window shows.

#include "gui_support.h"

#include "ui/bar_area.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace kitemail::test {
namespace {

QColor Base(const QWidget* w)
{
    return w->palette().color(QPalette::Base);
}

// "+" for an input area open to typing (enabled, window colour), "-" for a
// closed one (disabled, button face), "?" for anything between.
QString Look(const QWidget* w)
{
    const QPalette& app = QApplication::palette();
    if (w->isEnabled() && Base(w) == app.color(QPalette::Base)) {
        return QStringLiteral("+");
    }
    return !w->isEnabled() && Base(w) == app.color(QPalette::Button) ? QStringLiteral("-") : QStringLiteral("?");
}

QString Flag(bool on)
{
    return on ? QStringLiteral("+") : QStringLiteral("-");
}

class MainWindowTest : public ::testing::Test {
protected:
    Program program;

    QString Count() { return program.Find<QLabel>("CountOfChr")->text(); }
    QColor CountColour() { return program.Find<QLabel>("CountOfChr")->palette().color(QPalette::WindowText); }
    QString Limit() { return program.Find<QLabel>("Label6")->text(); }
    QString Status() { return program.Find<QLabel>("StatusLabel")->text(); }
    QPlainTextEdit* Body() { return program.Find<QPlainTextEdit>("Memo1"); }
    QComboBox* TypeBox() { return program.Find<QComboBox>("ComboBox1"); }
};

// ------------------------------------------------------------ live count

TEST_F(MainWindowTest, CountIsBlackAtTheLimitAndRedOneByteOver)
{
    // Option 12 off: no allowance for a body that ends double-byte.
    program.WriteIni("[Configuration]\nDefaultType=3\n12=0\n[Length]\n3=10\n");
    program.Start();
    EXPECT_EQ(Limit(), "/ 10");
    auto* gauge = program.Find<QProgressBar>("Gauge1");
    Commit(Body(), QString::fromUtf8("あいうえお"));
    EXPECT_EQ(Count(), "10");
    EXPECT_EQ(CountColour(), QColor(0, 0, 0));
    EXPECT_EQ(gauge->maximum(), 10);
    EXPECT_EQ(gauge->value(), 10);

    TypeKey(Body(), QStringLiteral("a"));
    EXPECT_EQ(Count(), "11");
    EXPECT_EQ(CountColour(), QColor(255, 0, 0));
    EXPECT_EQ(gauge->value(), 10);

    QTest::keyClick(Body(), Qt::Key_Backspace);
    EXPECT_EQ(Count(), "10");
    EXPECT_EQ(CountColour(), QColor(0, 0, 0));
}

TEST_F(MainWindowTest, BodyIsCountedAsItWillBeSent)
{
    program.WriteIni("[Configuration]\nDefaultType=3\n");
    program.Start();
    const struct { const char* text; const char* count; std::vector<char32_t> unmappable; } rows[] = {
        {"a\nb", "4", {}}, // a line break goes out as CR LF
        // Half-width kana go out full-width, ka with its voiced mark as ga:
        // 2, and 2 for ending with a double-byte character.
        {"ｶﾞ", "4", {}},
        {"〜−x", "5", {}}, // as an input method gives them: ordinary characters
        // No Shift_JIS code: counted as its placeholder, named in the status.
        {"a😀b", "4", {0x1F600}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        Body()->clear();
        Commit(Body(), QString::fromUtf8(row.text));
        EXPECT_EQ(Count(), row.count);
        EXPECT_EQ(program.Main().Composer().UnmappableCharacters(), row.unmappable);
    }
    EXPECT_TRUE(Status().startsWith(QString::fromUtf8("本文：")) && Status().contains(QStringLiteral("U+1F600")))
        << Status().toStdString();
    // The text in the box is never touched.
    EXPECT_EQ(Body()->toPlainText(), QString::fromUtf8("a😀b"));
    Body()->clear();
    EXPECT_EQ(Count(), "0");
}

// ------------------------------------------------------------ types and input areas

TEST_F(MainWindowTest, TypeBoxDecidesTheInputAreasAndTheLimit)
{
    // FOMA has a slot of its own; no type takes MaxLen.
    program.WriteIni("[Configuration]\nMaxLen=700\n[Length]\n8=12001\n9=4444\n");
    program.Start();
    auto* tabs = program.Find<QTabWidget>("PageControl1");
    // Subject (box and bar), PIN, attachment page, animation, note; the limit.
    const auto shown = [&] {
        return Look(program.Find<QLineEdit>("Edit2")) + Look(program.Find<QLineEdit>("Edit4")) +
               Look(program.Find<QLineEdit>("Edit3")) + Flag(tabs->isTabVisible(2)) +
               Flag(program.Find<QWidget>("AnimeCheck")->isEnabled()) +
               Flag(!program.Find<QLabel>("NoteLabel")->isHidden()) + " " + Limit();
    };
    const std::pair<int, const char*> rows[] = {
        {0, "++-++- / 6000"}, {1, "++---- / 384"},  {2, "--+--- / 384"},   {3, "++---- / 500"},
        {4, "++-+-- / 20000"}, {8, "++-++- / 12001"}, {9, "++-+-- / 4444"}, {-1, "++++-+ / 700"}};
    for (const auto& [type, expected] : rows) {
        if (type >= 0) {
            TypeBox()->setCurrentIndex(type);
        } else { // a double click on the box's label empties it
            QTest::mouseDClick(program.Find<QLabel>("Label4"), Qt::LeftButton);
            EXPECT_EQ(TypeBox()->currentIndex(), -1);
        }
        EXPECT_EQ(program.Main().Composer().TypeState().CurrentTerminalType, type);
        EXPECT_EQ(shown(), QString::fromUtf8(expected)) << type;
    }
}

TEST_F(MainWindowTest, TicksDeriveTheTypeAndModesSwapColours)
{
    program.WriteIni("[TEL]\nHow=3\n0=A,a@x,,3,-1\n1=B,b@x,,3,-1\n2=C,c@x,,6,-1\n");
    program.Start();
    auto* list = program.Find<QListWidget>("CheckListBox1");
    auto* edit1 = program.Find<QLineEdit>("Edit1");
    auto* byList = program.Find<QRadioButton>("RadioButton1");
    EXPECT_EQ(Base(list), QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(Look(edit1), "+");

    QTest::mouseClick(byList, Qt::LeftButton);
    EXPECT_TRUE(byList->isChecked());
    EXPECT_EQ(Base(list), QApplication::palette().color(QPalette::Base));
    EXPECT_EQ(Base(edit1), QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(Status(), QString::fromUtf8("方式を特定出来ません"));

    list->item(0)->setCheckState(Qt::Checked);
    list->item(1)->setCheckState(Qt::Checked);
    EXPECT_EQ(Status(), QString::fromUtf8("i-mode Mail 方式を選択"));
    EXPECT_EQ(Limit(), "/ 500");
    list->item(2)->setCheckState(Qt::Checked);
    EXPECT_EQ(Status(), QString::fromUtf8("方式を特定出来ません"));
    EXPECT_EQ(Limit(), "/ 384");

    // Typing in the address box does not switch back; a click does.
    Commit(edit1, QStringLiteral("x"));
    EXPECT_TRUE(byList->isChecked());
    QTest::mouseClick(edit1, Qt::LeftButton);
    EXPECT_TRUE(program.Find<QRadioButton>("RadioButton2")->isChecked());
    EXPECT_EQ(Status(), QString::fromUtf8("直接入力：Emailアドレスを入力してください。"));
    EXPECT_EQ(Limit(), "/ 6000");
}

TEST_F(MainWindowTest, SubjectBoxAndSubjectBarMirrorEachOther)
{
    program.WriteIni("[Configuration]\n19=1\n");
    program.Start();
    auto* edit2 = program.Find<QLineEdit>("Edit2");
    auto* edit4 = program.Find<QLineEdit>("Edit4");
    EXPECT_FALSE(program.Find<QWidget>("SubjectBar")->isHidden());
    const int before = Count().toInt();
    Commit(edit2, QString::fromUtf8("件名"));
    EXPECT_EQ(edit4->text(), QString::fromUtf8("件名"));
    // Type 0: 4 bytes and their two shift sequences.
    EXPECT_EQ(Count().toInt(), before + 4 + 6);
    edit4->selectAll();
    Commit(edit4, QStringLiteral("Hi"));
    EXPECT_EQ(edit2->text(), QStringLiteral("Hi"));
    EXPECT_EQ(Count().toInt(), before + 2);
}

TEST_F(MainWindowTest, DialogAndDeveloperSettingsReachTheWindow)
{
    program.WriteIni("[Configuration]\nDefaultType=3\nFontSize=14\n14=1\n22=1\nSignatureA=Taro\n"
                     "[Developer]\nToolBar=1\n");
    WriteSjisFile(program.Dir() / "Signature.txt", "署名です\nabc\n");
    program.Start();
    // Each line of the file ends with CR LF; the last one ends the text.
    EXPECT_EQ(Body()->toPlainText(), QString::fromUtf8("署名です\nabc"));
    EXPECT_EQ(Count(), "13"); // 8 + CR LF + 3
    EXPECT_EQ(Body()->font().pointSize(), 14);
    EXPECT_EQ(program.Find<QAction>("SignatureA")->text(), QStringLiteral("TypeA(&A) : Taro"));
    EXPECT_EQ(program.Find<QAction>("SignatureB")->text(), QString::fromUtf8("TypeB(&B) : 設定されていません。"));
    EXPECT_FALSE(program.Find<QTabWidget>("PageControl1")->tabBar()->styleSheet().isEmpty());
    EXPECT_FALSE(program.Find<Bar>("DeveloperBar")->isHidden());
    EXPECT_TRUE(program.Find<Bar>("KlabBar")->isHidden());
}

TEST_F(MainWindowTest, DefaultTypeOutsideTheTableStartsUnspecified)
{
    program.WriteIni("[Configuration]\nDefaultType=12\nMaxLen=900\nFixLen=20\n");
    program.Start();
    EXPECT_EQ(TypeBox()->currentIndex(), -1);
    EXPECT_EQ(Limit(), "/ 900");
    EXPECT_EQ(Count(), "20");
}

TEST_F(MainWindowTest, SettingsClosingPushesTheSenderListIn)
{
    program.WriteIni("[MyAddress]\nHow=2\n0=first@example.jp\n1=second@example.jp,reply@example.jp\n");
    program.Start();
    auto* senders = program.Find<QComboBox>("ComboBox2");
    ASSERT_EQ(senders->count(), 2);
    senders->setCurrentIndex(1);
    EXPECT_EQ(program.Main().LiveSettings().SenderAddress, "second@example.jp,reply@example.jp");
    // Type 0 counts the whole sender text (34 bytes) on top of F = 55.
    EXPECT_EQ(Count(), "89");
    ModalWatcher watcher([](QWidget* modal) { modal->close(); });
    program.Find<QAction>("Settings1")->trigger();
    EXPECT_EQ(watcher.Seen(), 1);
    EXPECT_EQ(senders->currentIndex(), 0);
    EXPECT_EQ(program.Main().LiveSettings().SenderAddress, "first@example.jp");
    EXPECT_EQ(Count(), "71");
}

// ------------------------------------------------------------ close and restart

TEST_F(MainWindowTest, WhileAMailIsInFlightCtrlGIsIgnoredAndCloseIsRefused)
{
    program.Start();
    int beeps = 0;
    QObject::connect(&program.Main(), &MainWindow::beeped, [&beeps] { ++beeps; });
    int sent = 0;
    QObject::connect(program.Find<QAction>("Send1"), &QAction::triggered, [&sent] { ++sent; });
    program.Main().SetSending(true);
    ModalWatcher noBoxes([](QWidget* w) {
        ADD_FAILURE() << "unexpected box " << w->objectName().toStdString();
        w->close();
    });
    QTest::keyClick(&program.Main(), Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(sent, 0);
    EXPECT_FALSE(program.Close());
    EXPECT_TRUE(program.Main().isVisible());
    EXPECT_EQ(Status(), QString::fromUtf8("送信中：終了できません。完了or中止してから終了してください。"));
    EXPECT_EQ(beeps, 1);
    EXPECT_FALSE(std::filesystem::exists(program.Ini()));

    program.Main().SetSending(false);
    EXPECT_TRUE(program.Close());
    EXPECT_TRUE(std::filesystem::exists(program.Ini()));
}

TEST_F(MainWindowTest, LayoutSurvivesARestart)
{
    program.WriteIni("[Configuration]\n8=1\n9=1\n19=1\n");
    program.Start();
    program.Main().move(40, 30);
    program.Main().resize(700, 450);

    // Drag the sender bar by its grip one row down.
    auto* senderBar = program.Find<Bar>("SenderBar");
    const QPoint start = senderBar->Position();
    QWidget* grip = senderBar->childAt(3, 10);
    ASSERT_NE(grip, nullptr);
    QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(3, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 10 + 24), grip->mapToGlobal(QPointF(3, 10 + 24)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grip, &move);
    QTest::mouseRelease(grip, Qt::LeftButton, {}, QPoint(3, 34));
    const QPoint moved = senderBar->Position();
    EXPECT_EQ(moved.y(), start.y() + 24);

    const QPoint subjectPos = program.Find<Bar>("SubjectBar")->Position();
    program.Restart();

    EXPECT_EQ(program.Main().pos(), QPoint(40, 30));
    EXPECT_EQ(program.Main().size(), QSize(700, 450));
    EXPECT_EQ(program.Find<Bar>("SenderBar")->Position(), moved);
    EXPECT_EQ(program.Find<Bar>("SubjectBar")->Position(), subjectPos);
}

TEST_F(MainWindowTest, FirstStartUsesTheDesignedSizeAtTheOrigin)
{
    program.Start();
    EXPECT_EQ(program.Main().pos(), QPoint(0, 0));
    EXPECT_EQ(program.Main().size(), QSize(640, 403));
    EXPECT_TRUE(program.Find<QWidget>("SubjectBar")->isHidden()); // option 19 off
    // Without option 9 the stored size is written but not applied.
    program.Main().resize(800, 500);
    program.Restart();
    EXPECT_EQ(program.Main().size(), QSize(640, 403));
    EXPECT_NE(ReadSjisFile(program.Ini()).find("Width=800"), std::string::npos);
}

TEST_F(MainWindowTest, UnwritableSettingsFileIsReportedAndTheWindowStillCloses)
{
    program.Start();
    // A folder where the file should be: every write of it fails.
    std::filesystem::create_directory(program.Ini());
    QString shown;
    ModalWatcher watcher([&shown](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            shown = box->text();
        }
        modal->close();
    });
    EXPECT_TRUE(program.Close());
    EXPECT_EQ(watcher.Seen(), 1);
    EXPECT_TRUE(shown.endsWith(QString::fromUtf8(" に書き込めません")) && shown.contains(QStringLiteral("Kiteml.ini")))
        << shown.toStdString();
}

// ------------------------------------------------------------ the setup switch

TEST(SetupSwitch, OpensTheSettingsBeforeTheMainWindowShows)
{
    const std::pair<const char*, bool> rows[] = {
        {"/SeTuP", true}, {"-SETUP", true}, {"setup", false}, {"/setup2", false}, {"", false}};
    for (const auto& [argument, opens] : rows) {
        SCOPED_TRACE(argument);
        Program program;
        bool mainVisibleMeanwhile = true;
        QString modalName;
        ModalWatcher watcher([&](QWidget* modal) {
            modalName = modal->objectName();
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->objectName() == QLatin1String("MainWindow")) {
                    mainVisibleMeanwhile = w->isVisible();
                }
            }
            modal->close();
        });
        auto windows = CreateProgramWindows(program.Dir(), QString::fromUtf8(argument));
        EXPECT_EQ(modalName, opens ? QStringLiteral("SettingsDialog") : QString());
        EXPECT_EQ(watcher.Seen(), opens ? 1 : 0);
        EXPECT_EQ(mainVisibleMeanwhile, !opens);
        // Closing the dialog saved its half.
        EXPECT_EQ(std::filesystem::exists(program.Ini()), opens);
        if (opens) {
            EXPECT_NE(ReadSjisFile(program.Ini()).find("Ver=0.50"), std::string::npos);
        }
        EXPECT_FALSE(windows->mainWindow->isVisible());
    }
}

TEST(CommandLine, DataDirAnywhereAndTheFirstOtherArgument)
{
    const CommandLine a = ParseCommandLine({"kitemail", "--data-dir", "/tmp/x", "/setup"});
    ASSERT_TRUE(a.ok);
    EXPECT_EQ(a.dataDir, std::filesystem::path("/tmp/x"));
    EXPECT_EQ(a.firstArgument, QStringLiteral("/setup"));
    const CommandLine b = ParseCommandLine({"kitemail", "-Setup", "--data-dir=/d", "more"});
    EXPECT_EQ(b.dataDir, std::filesystem::path("/d"));
    EXPECT_EQ(b.firstArgument, QStringLiteral("-Setup"));
    EXPECT_FALSE(ParseCommandLine({"kitemail", "--data-dir"}).ok);
    EXPECT_FALSE(ParseCommandLine({"kitemail"}).dataDir.has_value());
}

} // namespace
} // namespace kitemail::test

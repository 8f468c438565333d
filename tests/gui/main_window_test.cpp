// The main window as the user meets it: typing into the real widgets and
// reading what the window shows.

#include "gui_support.h"

#include "ui/about_box.h"
#include "ui/bar_area.h"
#include "ui/check_list_box.h"
#include "ui/settings_dialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
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

QColor ButtonFace()
{
    return QApplication::palette().color(QPalette::Button);
}

QColor WindowColour()
{
    return QApplication::palette().color(QPalette::Base);
}

class MainWindowTest : public ::testing::Test {
protected:
    Program program;

    QString Count() { return program.Find<QLabel>("CountOfChr")->text(); }
    QColor CountColour() { return program.Find<QLabel>("CountOfChr")->palette().color(QPalette::WindowText); }
    QString Limit() { return program.Find<QLabel>("Label6")->text(); }
    QString Status() { return program.Find<QLabel>("StatusLabel")->text(); }
    QPlainTextEdit* Body() { return program.Find<QPlainTextEdit>("Memo1"); }
};

// ------------------------------------------------------------ live count

TEST_F(MainWindowTest, CountIsBlackAtTheLimitAndRedOneByteOver)
{
    // Option 12 off: no allowance for a body that ends double-byte.
    program.WriteIni("[Configuration]\nDefaultType=3\n12=0\n[Length]\n3=10\n");
    program.Start();
    EXPECT_EQ(Count(), "0");
    EXPECT_EQ(Limit(), "/ 10");

    Commit(Body(), QString::fromUtf8("あいうえお"));
    EXPECT_EQ(Count(), "10");
    EXPECT_EQ(CountColour(), QColor(0, 0, 0));
    auto* gauge = program.Find<QProgressBar>("Gauge1");
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
    // A line break goes out as CR LF: two bytes.
    Commit(Body(), QStringLiteral("a\nb"));
    EXPECT_EQ(Count(), "4");
    Body()->clear();
    // Half-width kana are sent full-width; with its voiced mark ka becomes ga.
    Commit(Body(), QString::fromUtf8("ｶﾞ"));
    EXPECT_EQ(Count(), "4"); // 2, and 2 for ending with a double-byte character
    Body()->clear();
    EXPECT_EQ(Count(), "0");
}

TEST_F(MainWindowTest, CharacterWithoutShiftJisCodeIsShownAndCounted)
{
    program.WriteIni("[Configuration]\nDefaultType=3\n");
    program.Start();
    Commit(Body(), QString::fromUtf8("a😀b"));
    EXPECT_EQ(Count(), "4");
    EXPECT_TRUE(Status().contains(QStringLiteral("U+1F600"))) << Status().toStdString();
    EXPECT_TRUE(Status().startsWith(QString::fromUtf8("本文："))) << Status().toStdString();
    EXPECT_EQ(program.Main().Composer().UnmappableCharacters(), (std::vector<char32_t>{0x1F600}));
    // The text in the box is never touched.
    EXPECT_EQ(Body()->toPlainText(), QString::fromUtf8("a😀b"));
}

TEST_F(MainWindowTest, WaveDashFromAnInputMethodIsAnOrdinaryCharacter)
{
    program.WriteIni("[Configuration]\nDefaultType=3\n");
    program.Start();
    Commit(Body(), QString::fromUtf8("〜−x"));
    EXPECT_EQ(Count(), "5");
    EXPECT_TRUE(program.Main().Composer().UnmappableCharacters().empty());
}

// ------------------------------------------------------------ types and input areas

TEST_F(MainWindowTest, TypeBoxDecidesTheInputAreas)
{
    program.Start();
    auto* box = program.Find<QComboBox>("ComboBox1");
    auto* edit2 = program.Find<QLineEdit>("Edit2");
    auto* edit3 = program.Find<QLineEdit>("Edit3");
    auto* edit4 = program.Find<QLineEdit>("Edit4");
    auto* tabs = program.Find<QTabWidget>("PageControl1");
    auto* anime = program.Find<QWidget>("AnimeCheck");
    auto* note = program.Find<QLabel>("NoteLabel");
    EXPECT_EQ(box->itemText(9), QStringLiteral("i-mode(foma)"));

    struct Row {
        int type;
        bool subject, pin, attachments, anime, note;
    };
    const Row rows[] = {
        {0, true, false, true, true, false},  {1, true, false, false, false, false},
        {2, false, true, false, false, false}, {3, true, false, false, false, false},
        {4, true, false, true, false, false}, {8, true, false, true, true, false},
        {9, true, false, true, false, false}, {-1, true, true, true, false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.type);
        box->setCurrentIndex(r.type);
        EXPECT_EQ(edit2->isEnabled(), r.subject);
        EXPECT_EQ(edit4->isEnabled(), r.subject);
        EXPECT_EQ(Base(edit2), r.subject ? WindowColour() : ButtonFace());
        EXPECT_EQ(Base(edit4), r.subject ? WindowColour() : ButtonFace());
        EXPECT_EQ(edit3->isEnabled(), r.pin);
        EXPECT_EQ(Base(edit3), r.pin ? WindowColour() : ButtonFace());
        EXPECT_EQ(tabs->isTabVisible(2), r.attachments);
        EXPECT_EQ(anime->isEnabled(), r.anime);
        EXPECT_EQ(!note->isHidden(), r.note);
    }
}

TEST_F(MainWindowTest, FomaUsesItsOwnLimitAndTheLabelDoubleClickEmptiesTheBox)
{
    program.WriteIni("[Configuration]\nMaxLen=700\n[Length]\n8=12000\n9=5000\n");
    program.Start();
    EXPECT_EQ(Limit(), "/ 6000"); // DefaultType 0
    auto* box = program.Find<QComboBox>("ComboBox1");
    box->setCurrentIndex(9);
    EXPECT_EQ(Limit(), "/ 5000");

    box->setCurrentIndex(0);
    QTest::mouseDClick(program.Find<QLabel>("Label4"), Qt::LeftButton);
    EXPECT_EQ(box->currentIndex(), -1);
    EXPECT_EQ(Limit(), "/ 700");
    EXPECT_EQ(program.Main().Composer().TypeState().CurrentTerminalType, -1);
}

TEST_F(MainWindowTest, TicksDeriveTheTypeAndModesSwapColours)
{
    program.WriteIni("[TEL]\nHow=3\n0=A,a@x,,3,-1\n1=B,b@x,,3,-1\n2=C,c@x,,6,-1\n");
    program.Start();
    auto* list = program.Find<QListWidget>("CheckListBox1");
    auto* edit1 = program.Find<QLineEdit>("Edit1");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(Base(list), ButtonFace());
    EXPECT_EQ(Base(edit1), WindowColour());

    QTest::mouseClick(program.Find<QRadioButton>("RadioButton1"), Qt::LeftButton);
    EXPECT_TRUE(program.Find<QRadioButton>("RadioButton1")->isChecked());
    EXPECT_FALSE(program.Find<QRadioButton>("RadioButton2")->isChecked());
    EXPECT_EQ(Base(list), WindowColour());
    EXPECT_EQ(Base(edit1), ButtonFace());
    EXPECT_EQ(Status(), QString::fromUtf8("方式を特定出来ません"));

    list->item(0)->setCheckState(Qt::Checked);
    list->item(1)->setCheckState(Qt::Checked);
    EXPECT_EQ(Status(), QString::fromUtf8("i-mode Mail 方式を選択"));
    EXPECT_EQ(Limit(), "/ 500");

    list->item(2)->setCheckState(Qt::Checked);
    EXPECT_EQ(Status(), QString::fromUtf8("方式を特定出来ません"));
    EXPECT_EQ(Limit(), "/ 384");
    EXPECT_TRUE(program.Find<QLineEdit>("Edit3")->isEnabled());
    EXPECT_FALSE(program.Find<QLabel>("NoteLabel")->isHidden());

    // Typing in the address box does not switch back; a click does.
    Commit(edit1, QStringLiteral("x"));
    EXPECT_TRUE(program.Find<QRadioButton>("RadioButton1")->isChecked());
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
    const QString before = Count();

    Commit(edit2, QString::fromUtf8("件名"));
    EXPECT_EQ(edit4->text(), QString::fromUtf8("件名"));
    // Type 0: 4 bytes and their two shift sequences.
    EXPECT_EQ(Count().toInt(), before.toInt() + 4 + 6);

    edit4->selectAll();
    Commit(edit4, QStringLiteral("Hi"));
    EXPECT_EQ(edit2->text(), QStringLiteral("Hi"));
    EXPECT_EQ(Count().toInt(), before.toInt() + 2);
}

TEST_F(MainWindowTest, SubjectBarHiddenUnlessTheOptionIsOn)
{
    program.Start();
    EXPECT_TRUE(program.Find<QWidget>("SubjectBar")->isHidden());
}

TEST_F(MainWindowTest, DialogHalfOfTheSettingsReachesTheWindow)
{
    program.WriteIni("[Configuration]\nDefaultType=3\nFontSize=14\n14=1\n22=1\nSignatureA=Taro\n");
    WriteSjisFile(program.Dir() / "Signature.txt", "署名です\nabc\n");
    program.Start();
    // Each line of the file ends with CR LF; the last one ends the text.
    EXPECT_EQ(Body()->toPlainText(), QString::fromUtf8("署名です\nabc"));
    EXPECT_EQ(Count(), "13"); // 8 + CR LF + 3
    EXPECT_EQ(Body()->font().pointSize(), 14);
    EXPECT_EQ(program.Find<QAction>("SignatureA")->text(), QStringLiteral("TypeA(&A) : Taro"));
    EXPECT_EQ(program.Find<QAction>("SignatureB")->text(), QString::fromUtf8("TypeB(&B) : 設定されていません。"));
    EXPECT_FALSE(program.Find<QTabWidget>("PageControl1")->tabBar()->styleSheet().isEmpty());
}

// ------------------------------------------------------------ close and restart

TEST_F(MainWindowTest, CloseIsRefusedWhileAMailIsInFlight)
{
    program.Start();
    int beeps = 0;
    QObject::connect(&program.Main(), &MainWindow::beeped, [&beeps] { ++beeps; });
    program.Main().SetSending(true);
    EXPECT_FALSE(program.Find<QPushButton>("AbortButton")->isHidden());
    EXPECT_FALSE(program.Find<QWidget>("MainPanel")->isEnabled());

    ModalWatcher noBoxes([](QWidget* w) {
        ADD_FAILURE() << "unexpected box " << w->objectName().toStdString();
        w->close();
    });
    EXPECT_FALSE(program.Close());
    EXPECT_TRUE(program.Main().isVisible());
    EXPECT_EQ(Status(), QString::fromUtf8("送信中：終了できません。完了or中止してから終了してください。"));
    EXPECT_EQ(beeps, 1);
    EXPECT_FALSE(std::filesystem::exists(program.Ini()));

    program.Main().SetSending(false);
    EXPECT_TRUE(program.Find<QPushButton>("AbortButton")->isHidden());
    EXPECT_TRUE(program.Close());
    EXPECT_TRUE(std::filesystem::exists(program.Ini()));
}

TEST_F(MainWindowTest, LayoutAndAddressBookSurviveARestart)
{
    program.WriteIni("[Configuration]\n8=1\n9=1\n16=0\n19=1\n[TEL]\nHow=3\n0=A,a@x,,3,-1\n1=B,b@x,,3,-1\n"
                     "2=C,c@x,,6,-1\n[Length]\n9=4444\n");
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

    // Drag the last address-book entry to the top.
    auto* list = program.Find<QListWidget>("CheckListBox1");
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
    program.Find<CheckListBox>("CheckListBox1")->DropAt(list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("C,c@x,,6,-1"));

    const QPoint subjectPos = program.Find<Bar>("SubjectBar")->Position();
    program.Restart();

    EXPECT_EQ(program.Main().pos(), QPoint(40, 30));
    EXPECT_EQ(program.Main().size(), QSize(700, 450));
    EXPECT_EQ(program.Find<Bar>("SenderBar")->Position(), moved);
    EXPECT_EQ(program.Find<Bar>("SubjectBar")->Position(), subjectPos);
    auto* again = program.Find<QListWidget>("CheckListBox1");
    ASSERT_EQ(again->count(), 3);
    EXPECT_EQ(again->item(0)->text(), QStringLiteral("C,c@x,,6,-1"));
    program.Find<QComboBox>("ComboBox1")->setCurrentIndex(9);
    EXPECT_EQ(Limit(), "/ 4444");
}

TEST_F(MainWindowTest, FirstStartUsesTheDesignedSizeAtTheOrigin)
{
    program.Start();
    EXPECT_EQ(program.Main().pos(), QPoint(0, 0));
    EXPECT_EQ(program.Main().size(), QSize(640, 403));
    EXPECT_EQ(program.Main().windowTitle(), QStringLiteral("Kitemail Pro"));
    EXPECT_EQ(program.Find<QTabWidget>("PageControl1")->currentIndex(), 0);
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
    EXPECT_TRUE(shown.endsWith(QString::fromUtf8(" に書き込めません"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Kiteml.ini"))) << shown.toStdString();
}

TEST_F(MainWindowTest, DefaultTypeOutsideTheTableStartsUnspecified)
{
    program.WriteIni("[Configuration]\nDefaultType=12\nMaxLen=900\nFixLen=20\n");
    program.Start();
    EXPECT_EQ(program.Find<QComboBox>("ComboBox1")->currentIndex(), -1);
    EXPECT_EQ(Limit(), "/ 900");
    EXPECT_EQ(Count(), "20");
}

TEST_F(MainWindowTest, HiddenDeveloperBarComesBackAtTheNextStart)
{
    program.WriteIni("[Developer]\nToolBar=1\n");
    program.Start();
    auto* bar = program.Find<Bar>("DeveloperBar");
    EXPECT_FALSE(bar->isHidden());
    EXPECT_TRUE(program.Find<Bar>("KlabBar")->isHidden());
    program.Find<QAction>("HideDeveloperBar")->trigger();
    EXPECT_TRUE(bar->isHidden());
    program.Restart();
    EXPECT_FALSE(program.Find<Bar>("DeveloperBar")->isHidden());
}

// ------------------------------------------------------------ the setup switch

class SetupSwitch : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(SetupSwitch, OpensTheSettingsBeforeTheMainWindowShows)
{
    const auto [argument, opens] = GetParam();
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
    EXPECT_EQ(watcher.Seen(), opens ? 1 : 0);
    if (opens) {
        EXPECT_EQ(modalName, QStringLiteral("SettingsDialog"));
        EXPECT_FALSE(mainVisibleMeanwhile);
        // Closing the dialog saved its half.
        EXPECT_NE(ReadSjisFile(program.Ini()).find("Ver=0.50"), std::string::npos);
    } else {
        EXPECT_FALSE(std::filesystem::exists(program.Ini()));
    }
    EXPECT_FALSE(windows->mainWindow->isVisible());
}

INSTANTIATE_TEST_SUITE_P(MainWindow, SetupSwitch,
                         ::testing::Values(std::make_pair("/setup", true), std::make_pair("/SeTuP", true),
                                           std::make_pair("-SETUP", true), std::make_pair("setup", false),
                                           std::make_pair("/setup2", false), std::make_pair("", false)));

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

// ------------------------------------------------------------ menus

TEST_F(MainWindowTest, ShortcutsReachTheMenuWithTheFocusInTheBody)
{
    program.Start();
    program.Main().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&program.Main()));
    Body()->setFocus();

    auto* send = program.Find<QAction>("Send1");
    EXPECT_TRUE(send->isEnabled());
    EXPECT_EQ(send->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
    int sent = 0;
    QObject::connect(send, &QAction::triggered, [&sent] { ++sent; });
    ModalWatcher watcher([](QWidget* modal) { modal->close(); }); // the empty-body question: no
    QTest::keyClick(Body(), Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(sent, 1);
    EXPECT_TRUE(Body()->toPlainText().isEmpty());

    // While a mail is in flight only the abort button acts.
    program.Main().SetSending(true);
    QTest::keyClick(&program.Main(), Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(sent, 1);
    program.Main().SetSending(false);
}

TEST_F(MainWindowTest, AboutBoxShowsTheVersion)
{
    program.Start();
    QString shown;
    ModalWatcher watcher([&shown](QWidget* modal) {
        if (auto* label = modal->findChild<QLabel*>(QStringLiteral("VersionLabel"))) {
            shown = label->text();
        }
        modal->close();
    });
    program.Find<QAction>("About1")->trigger();
    EXPECT_EQ(watcher.Seen(), 1);
    EXPECT_EQ(shown, QStringLiteral("Version 0.50"));
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

} // namespace
} // namespace kitemail::test

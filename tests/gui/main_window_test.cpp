// The main window as the user meets it: typing into the real widgets and
// reading what the window shows; the "To :" page's check list, its menu and
// dragging, the carrier suffixes of the address box, and the From check.

#include "golden.h"
#include "gui_support.h"
#include "process_runner.h"

#include "ui/bar_area.h"
#include "ui/check_list_box.h"
#include "ui/page_tabs.h"
#include "ui/row_drag.h"
#include "ui/sjis_field.h"
#include "ui/window_placement.h"

#include <QClipboard>
#include <QRadioButton>

#include <algorithm>
#include <sstream>
#include <tuple>

namespace kitemail::test {
namespace {

class MainWindowTest : public WindowTest {};

// ------------------------------------------------------------ live count

// The count as the user types: walks/SignatureAndBodyAreCountedAsTheyWillBeSent.

// ------------------------------------------------------------ types and input areas

// The type box, the areas and the limit: walks/TypeBoxDecidesTheInputAreasAndTheLimit.
// The sender bar and the modes: walks/SenderListSubjectBarAndModes.

// ------------------------------------------------------------ layout and close

// The first size at the origin; every bar whole inside the bar area and none
// over another there, at the least size the window takes and back; the
// status line's timer; no close while a mail is in flight; the size kept
// only with option 9; a save that fails still closes.
TEST_F(MainWindowTest, BarsStatusTimerAndWhatEachCloseKeeps)
{
    program.WriteIni("[Configuration]\n19=1\n");
    program.Start();
    EXPECT_EQ(QRect(program.Main().pos(), program.Main().size()), QRect(0, 0, 640, 403));
    auto* area = program.Find<BarArea>(kBarArea);
    const auto check = [&](const char* when) {
        QApplication::processEvents();
        std::vector<QRect> shown;
        for (const Bar* bar : area->findChildren<Bar*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (bar->isHidden()) {
                continue;
            }
            const QRect g = bar->geometry();
            const std::string name = when + (" " + bar->objectName().toStdString());
            EXPECT_TRUE(area->rect().contains(g)) << name;
            EXPECT_GE(bar->Content()->width(), bar->Content()->sizeHint().width()) << name;
            EXPECT_TRUE(std::ranges::none_of(shown, [&g](const QRect& other) { return g.intersects(other); })) << name;
            shown.push_back(g);
        }
        EXPECT_EQ(shown.size(), 4u) << when;
        // The body starts below the bars.
        EXPECT_GE(program.Find<QWidget>(kSplitter)->y(), area->y() + area->height()) << when;
    };
    check("640 px");
    const QPoint sender = program.Find<Bar>(kSenderBar)->Position();
    program.Main().resize(1, 1); // as small as the window lets itself be
    check("least size");
    program.Main().resize(640, 403);
    check("640 px again");
    EXPECT_EQ(program.Find<Bar>(kSenderBar)->Position(), sender) << "a wrap is not stored";

    // A long status scrolls by ten pixels at each tick of 200 ms.
    program.Main().SetStatusText(std::string(300, 'y'));
    QTest::qWait(450);
    EXPECT_LE(program.Find<QLabel>(kStatusLabel)->x(), -10);
    EXPECT_EQ(program.Find<QLabel>(kStatusLabel)->x() % 10, 0);

    int sent = 0;
    QObject::connect(program.Find<QAction>(kSend), &QAction::triggered, [&sent] { ++sent; });
    program.Main().SetSending(true);
    const QStringList noBoxes = Answering([&] {
        QTest::keyClick(&program.Main(), Qt::Key_G, Qt::ControlModifier);
        EXPECT_FALSE(program.Close());
    });
    EXPECT_EQ(noBoxes, QStringList());
    EXPECT_EQ(sent, 0);
    EXPECT_TRUE(program.Main().isVisible());
    EXPECT_EQ(program.Status(), QString::fromUtf8("送信中：終了できません。完了or中止してから終了してください。"));
    EXPECT_EQ(ReadSjisFile(program.Ini()), "[Configuration]\r\n19=1\r\n") << "nothing saved";
    program.Main().SetSending(false);

    // Without option 9 the stored size is written but not applied.
    program.Main().resize(800, 500);
    program.Restart();
    EXPECT_EQ(program.Main().size(), QSize(640, 403));
    EXPECT_NE(ReadSjisFile(program.Ini()).find("Width=800"), std::string::npos);
    ASSERT_TRUE(program.Close());
    program.WriteIni("[Configuration]\n9=1\n");
    program.Start();
    program.Main().move(40, 30);
    program.Main().resize(700, 450);
    program.Restart();
    EXPECT_EQ(QRect(program.Main().pos(), program.Main().size()), QRect(40, 30, 700, 450));

    // A folder where the file should be: every write of it fails, is
    // reported, and the window closes all the same.
    std::filesystem::remove(program.Ini());
    std::filesystem::create_directory(program.Ini());
    const QStringList boxes = Answering([&] { EXPECT_TRUE(program.Close()); });
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].endsWith(QString::fromUtf8("Kiteml.ini に書き込めません"))) << boxes[0].toStdString();
}

// ------------------------------------------------------------ the setup switch

// The switch opens the settings before the main window shows; without
// Kiteml.ini (a first start) the dialog opens, switch or not, on the page of
// the server and the sender.
class SetupSwitch : public ::testing::TestWithParam<TableRow> {};

TEST_P(SetupSwitch, OpensTheSettingsBeforeTheMainWindowShows)
{
    const TableRow& row = GetParam();
    const int wanted = row[2] == "book"    ? SettingsDialog::kAddressBookPage
                       : row[2] == "send1" ? SettingsDialog::kSendPage1 : -1;
    Program program;
    if (row[1] == "ini") {
        program.WriteIni("[Configuration]\n");
    }
    bool mainVisibleMeanwhile = true;
    int page = -1;
    std::unique_ptr<ProgramWindows> windows;
    {
        ModalWatcher watcher([&](QWidget* modal) {
            EXPECT_EQ(modal->objectName(), kSettingsDialog);
            mainVisibleMeanwhile = std::ranges::any_of(QApplication::topLevelWidgets(), [](QWidget* w) {
                return w->objectName() == kMainWindow && w->isVisible();
            });
            const auto* dialog = qobject_cast<SettingsDialog*>(modal);
            page = dialog != nullptr ? dialog->Pages()->CurrentIndex() : -2;
            modal->close();
        });
        windows = CreateProgramWindows(program.Dir(), QString::fromStdString(row[0]));
    }
    EXPECT_EQ(page, wanted);
    EXPECT_EQ(mainVisibleMeanwhile, wanted < 0);
    // Closing the dialog saved its half; the next opening is on the address book again.
    const bool saved = std::filesystem::exists(program.Ini());
    EXPECT_EQ(saved && ReadSjisFile(program.Ini()).find("Ver=0.50") != std::string::npos, wanted >= 0);
    if (wanted >= 0) {
        SettingsDialog* dialog = windows->settingsDialog.get();
        InDialog(dialog, [dialog] { dialog->exec(); },
                 [dialog] { EXPECT_EQ(dialog->Pages()->CurrentIndex(), SettingsDialog::kAddressBookPage); });
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SetupSwitch, ::testing::ValuesIn(ReadTable("setup_switch")), TableRowName());

// "x y w h" (or "x y") as a rectangle.
QRect RectOf(const std::string& cell)
{
    std::istringstream in(cell);
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    in >> x >> y >> w >> h;
    return {x, y, w, h};
}

// Frames placed on two screens, alone or beside an anchor: the table says where.
class WindowPlacement : public ::testing::TestWithParam<TableRow> {};

TEST_P(WindowPlacement, FramesGoInsideTheAvailableAreaOfAScreen)
{
    const QList<QRect> screens = {QRect(0, 0, 1920, 1040), QRect(1920, 100, 1280, 1024)};
    const TableRow& row = GetParam();
    const QRect frame = RectOf(row[0]);
    const QRect placed = row[1].empty() ? PlaceOnScreen(frame, screens) : PlaceBeside(frame, RectOf(row[1]), screens);
    EXPECT_EQ(placed, QRect(RectOf(row[2]).topLeft(), frame.size()));
}

INSTANTIATE_TEST_SUITE_P(Rows, WindowPlacement, ::testing::ValuesIn(ReadTable("window_placement")), TableRowName());

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
}

// ------------------------------------------------------------ the "To :" page and the sender bar

class RecipientTest : public WindowTest {
protected:
    void SetUp() override
    {
        program.WriteIni("[Configuration]\n16=0\n[TEL]\nHow=3\n0=A,a@x,,4,-1\n1=B,b@x,,3,-1\n2=C,c@x,,9,-1\n");
        program.Start();
    }
    CheckListBox* List() { return program.Find<CheckListBox>(kBookList); }
    QAction* MenuItem(const char* menu, const char* text)
    {
        const QList<QAction*> items = program.Find<QMenu>(menu)->actions();
        const auto found = std::ranges::find(items, QString::fromUtf8(text), &QAction::text);
        EXPECT_TRUE(found != items.end()) << "no item " << text;
        return found == items.end() ? nullptr : *found;
    }
    // Each entry's text and whether it is ticked ("x") or not ("-").
    QStringList Entries()
    {
        QStringList entries;
        for (int i = 0; i < List()->count(); ++i) {
            entries << (List()->item(i)->checkState() == Qt::Checked ? "x " : "- ") + List()->item(i)->text();
        }
        return entries;
    }
    QPoint At(int row) { return List()->visualItemRect(List()->item(row)).center(); }
    QPoint BelowTheLast() { return {5, List()->viewport()->height() - 2}; }
};

// Another program's save while the window is open: walks/AnotherProgramsSaveIsFollowedAndKeptAtClose.

// The choices and the dragging themselves are the composer's; these drive
// them through the real widgets.
TEST_F(RecipientTest, CheckListMenuDraggingFromCheckAndAddressMenu)
{
    MenuItem(kCheckListMenu, "全てにチェックを入れる")->trigger();
    EXPECT_EQ(Entries(), (QStringList{"x A,a@x,,4,-1", "x B,b@x,,3,-1", "x C,c@x,,9,-1"}));
    MenuItem(kCheckListMenu, "全てのチェックを外す")->trigger();
    EXPECT_EQ(Entries(), (QStringList{"- A,a@x,,4,-1", "- B,b@x,,3,-1", "- C,c@x,,9,-1"}));

    // A move down, a drop below the last entry, a press outside every entry.
    List()->item(0)->setCheckState(Qt::Checked);
    const QStringList moved{"- B,b@x,,3,-1", "- C,c@x,,9,-1", "x A,a@x,,4,-1"};
    const std::tuple<QPoint, QPoint, int> drags[] = {
        {At(0), At(2), 2}, {At(0), BelowTheLast(), -1}, {BelowTheLast(), At(0), 0}};
    for (const auto& [from, to, highlighted] : drags) { // a press (and release) on from, the drop at to
        QTest::mousePress(List()->viewport(), Qt::LeftButton, {}, from);
        QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, from);
        List()->Drag()->DropAt(to);
        EXPECT_EQ(Entries(), moved);
        EXPECT_EQ(List()->currentRow(), highlighted);
    }

    // The survey of the highlighted entry; over no entry it is disabled.
    QAction* survey = MenuItem(kCheckListMenu, "使用端末調査");
    for (const int row : {-1, 2}) { // 2: A, moved there
        List()->setCurrentRow(row);
        QMetaObject::invokeMethod(List(), "customContextMenuRequested", Q_ARG(QPoint, QPoint(5, 5)));
        EXPECT_EQ(survey->isEnabled(), row == 2);
        program.Find<QMenu>(kCheckListMenu)->close();
    }
    EXPECT_EQ(Answering([survey] { survey->trigger(); }), QStringList{QString::fromUtf8("DDI Pocket H\"Link 対応端末")});

    // The From check says which sender wins.
    for (const char* status : {"ここでの設定優先", "アドレス帳の設定優先"}) {
        QTest::mouseClick(program.Find<QCheckBox>(kFromCheck), Qt::LeftButton);
        EXPECT_EQ(program.Find<QLabel>(kStatusLabel)->text(), QString::fromUtf8(status));
    }

    // A suffix goes in at the caret, over the selection.
    auto* edit1 = program.Find<QLineEdit>(kAddress);
    edit1->setText(QStringLiteral("taroXYZ"));
    edit1->setSelection(4, 3); // "XYZ"
    QMenu* docomo = program.Find<QMenu>(kAddressMenu)->actions().front()->menu();
    ASSERT_NE(docomo, nullptr);
    docomo->actions().front()->trigger();
    EXPECT_EQ(edit1->text(), QStringLiteral("taro@docomo.ne.jp"));
    EXPECT_EQ(program.Main().Composer().Text(TextArea::DirectAddress).bytes, "taro@docomo.ne.jp");
    edit1->setSelection(0, 4);
    MenuItem(kAddressMenu, "切り取り")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("taro"));
    EXPECT_EQ(edit1->text(), QStringLiteral("@docomo.ne.jp"));
}

// ------------------------------------------------------------ text of the boxes

TEST(ComposeSjis, MarksEachUnmappableCharacterInItsPlace)
{
    const ComposedText mixed = ComposeSjis(QString::fromUtf8("😀xあ☃"));
    EXPECT_EQ(mixed.bytes, std::string(kUnmappablePlaceholder) + "x\x82\xa0" + std::string(kUnmappablePlaceholder));
    EXPECT_EQ(mixed.unmappable, (std::vector<char32_t>{0x1F600, 0x2603}));
}

} // namespace
} // namespace kitemail::test

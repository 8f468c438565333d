// The main window as the user meets it where a script cannot say it (the
// walks are in tests/data/walks): the bars' geometry and what each close
// keeps, the setup switch, where windows are placed.

#include "golden.h"
#include "gui_support.h"

#include "ui/bar_area.h"
#include "ui/page_tabs.h"
#include "ui/sjis_field.h"
#include "ui/window_placement.h"

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

// Its check list, menu and dragging, the From check and the address menu:
// walks/CheckListMenuDraggingFromCheckAndAddressMenu.

// ------------------------------------------------------------ text of the boxes

TEST(ComposeSjis, MarksEachUnmappableCharacterInItsPlace)
{
    const ComposedText mixed = ComposeSjis(QString::fromUtf8("😀xあ☃"));
    EXPECT_EQ(mixed.bytes, std::string(kUnmappablePlaceholder) + "x\x82\xa0" + std::string(kUnmappablePlaceholder));
    EXPECT_EQ(mixed.unmappable, (std::vector<char32_t>{0x1F600, 0x2603}));
}

} // namespace
} // namespace kitemail::test

#include "settings/settings.h"

#include "platform/data_dir.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kitemail {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteBytes(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class SettingsFileTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    fs::path dir{tmp.path().toStdString()};
    fs::path ini = SettingsFilePath(dir);
    fs::path signature = SignaturePath(dir);

    Settings LoadBoth(MainWindowStartup* startup = nullptr)
    {
        Settings s;
        const MainWindowStartup st = LoadMainWindowSettings(ini, s);
        if (startup != nullptr) {
            *startup = st;
        }
        EXPECT_TRUE(LoadDialogSettings(ini, signature, s));
        return s;
    }

    Settings LoadWith(std::string_view configuration)
    {
        WriteBytes(ini, "[Configuration]\r\n" + std::string(configuration));
        return LoadBoth();
    }
};

TEST_F(SettingsFileTest, FirstStartWithoutAFileGivesTheDocumentedDefaults)
{
    MainWindowStartup startup;
    const Settings s = LoadBoth(&startup);
    EXPECT_TRUE(startup.applyPosition); // the window opens at 0,0
    EXPECT_FALSE(startup.applySize);
    EXPECT_EQ(s.Left, 0);
    EXPECT_EQ(s.Top, 0);
    EXPECT_EQ(s.Port, 25);
    EXPECT_EQ(s.POP3Port, 110);
    EXPECT_EQ(s.MaxLen, 384);
    EXPECT_EQ(s.FixLen, 55);
    EXPECT_EQ(s.FontSize, 9);
    EXPECT_EQ(s.VCount, 10);
    EXPECT_EQ(s.DefaultType, 0);
    EXPECT_FALSE(s.CountShiftBytes);
    EXPECT_EQ(s.TypeMaxLengths, (TypeLimits{6000, 384, 384, 500, 20000, 100, 10000, 5000, 12000, 5000}));
    EXPECT_EQ(s, Settings{}); // the struct's own defaults agree with the file's
    EXPECT_FALSE(fs::exists(ini));
}

TEST_F(SettingsFileTest, OptionDefaultsAndTheirKeys)
{
    // Written out here rather than taken from the option table, so that a
    // wrong row in the table shows.
    const Settings s = LoadBoth();
    const std::pair<bool Settings::*, bool> expected[] = {
        {&Settings::ShowSendCompleteMessage, true}, {&Settings::ScrollLongStatusHints, true},
        {&Settings::ConfirmClear, true},            {&Settings::ShowSplitResult, true},
        {&Settings::BeepOnMessage, true},           {&Settings::RecordHistory, true},
        {&Settings::AutoSplitOnOverflow, false},    {&Settings::RememberWindowPosition, false},
        {&Settings::RememberWindowSize, false},     {&Settings::AssumeSingleByteAtEnds, true},
        {&Settings::CountFinalLineBreakShift, true}, {&Settings::AttachmentDoubleClickProperties, true},
        {&Settings::HighlightTabs, false},          {&Settings::SortAddressBook, true},
        {&Settings::PartNumberInSubject, false},    {&Settings::CheckBeforeSend, true},
        {&Settings::ShowSubjectBar, false},         {&Settings::ClearAfterSend, false},
        {&Settings::UsePopBeforeSmtp, false},       {&Settings::AutoInsertSignature, false},
        {&Settings::AutoReplaceOnInput, false},
    };
    for (const auto& [field, value] : expected) {
        EXPECT_EQ(s.*field, value);
    }

    // Each key reaches its own field: flip one at a time.
    for (const OptionInfo& option : Options()) {
        const Settings flipped = LoadWith(std::string(option.key) + "=" + (option.defaultValue ? "0" : "1") + "\r\n");
        EXPECT_NE(flipped.*option.field, s.*option.field) << "key " << option.key;
        Settings back = flipped;
        back.*option.field = s.*option.field;
        EXPECT_EQ(back, s) << "key " << option.key << " changed another setting";
    }
}

TEST_F(SettingsFileTest, ValuesOutOfRangeAreClampedOnLoading)
{
    struct Row {
        const char* line;
        std::int32_t Settings::*field;
        std::int32_t expected;
    };
    const Row rows[] = {
        {"FontSize=80", &Settings::FontSize, 50},  {"FontSize=0", &Settings::FontSize, 1},
        {"Interval=30", &Settings::Interval, 10},  {"Interval=-2", &Settings::Interval, 0},
        {"POPInterval=11", &Settings::POPInterval, 10},
        {"VCount=3", &Settings::VCount, 6},        {"VCount=21", &Settings::VCount, 20},
        {"Port=0x19", &Settings::Port, 25},        {"Port=99999", &Settings::Port, 65535},
        {"Port=-1", &Settings::Port, 0},           {"Port=smtp", &Settings::Port, 25},
        {"POP3Port=10025", &Settings::POP3Port, 10025},
        {"DefaultType=12", &Settings::DefaultType, 12}, // no range: the main window handles it
        {"PLeft=-300", &Settings::PLeft, -300},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(LoadWith(std::string(row.line) + "\r\n").*row.field, row.expected) << row.line;
    }
}

TEST_F(SettingsFileTest, UnspecifiedTypeLimitsFollowTheirRuleInBothHalves)
{
    struct Row {
        const char* stored;
        std::int32_t maxLen;
        std::int32_t fixLen;
    };
    const Row rows[] = {
        {"MaxLen=40\r\nFixLen=10\r\n", 384, 55},
        {"MaxLen=40\r\nFixLen=900\r\n", 384, 55},
        {"MaxLen=100\r\nFixLen=200\r\n", 100, 0},
        {"MaxLen=49\r\n", 384, 55},
        {"MaxLen=50\r\nFixLen=50\r\n", 50, 50},
        {"MaxLen=50\r\n", 50, 0}, // FixLen's default 55 is over the limit
        {"MaxLen=x\r\nFixLen=7\r\n", 384, 7},
    };
    for (const Row& row : rows) {
        WriteBytes(ini, std::string("[Configuration]\r\n") + row.stored);
        Settings mainOnly;
        (void)LoadMainWindowSettings(ini, mainOnly);
        EXPECT_EQ(mainOnly.MaxLen, row.maxLen) << row.stored;
        EXPECT_EQ(mainOnly.FixLen, row.fixLen) << row.stored;
        const Settings both = LoadBoth();
        EXPECT_EQ(both.MaxLen, row.maxLen) << row.stored;
        EXPECT_EQ(both.FixLen, row.fixLen) << row.stored;
    }

    // The dialog's values are corrected on saving too.
    Settings s;
    s.MaxLen = 30;
    s.FixLen = 3;
    ASSERT_TRUE(SaveDialogSettings(ini, signature, s).ok());
    EXPECT_EQ(s.MaxLen, 384);
    EXPECT_EQ(s.FixLen, 55);
    EXPECT_NE(ReadBytes(ini).find("MaxLen=384\r\n"), std::string::npos);
}

TEST_F(SettingsFileTest, WindowOptionsReadDifferentlyInTheTwoHalves)
{
    MainWindowStartup startup;
    WriteBytes(ini, "[Configuration]\r\nLeft=100\r\ntop=50\r\nWidth=700\r\nHeight=500\r\n9=1\r\n");
    Settings s = LoadBoth(&startup);
    EXPECT_TRUE(startup.applyPosition);
    EXPECT_TRUE(startup.applySize);
    EXPECT_FALSE(s.RememberWindowPosition); // the dialog's reading of a missing "8"
    EXPECT_EQ(s.Left, 100);
    EXPECT_EQ(s.Top, 50);
    EXPECT_EQ(s.Width, 700);
    EXPECT_EQ(s.Height, 500);

    WriteBytes(ini, "[Configuration]\r\n8=0\r\n");
    s = LoadBoth(&startup);
    EXPECT_FALSE(startup.applyPosition);
    EXPECT_FALSE(startup.applySize);
}

TEST_F(SettingsFileTest, DeveloperSwitchesAreReadButNeverWritten)
{
    WriteBytes(ini, "[Developer]\r\nToolBar=1\r\nklab=1\r\n");
    Settings s = LoadBoth();
    EXPECT_TRUE(s.DeveloperToolBar);
    EXPECT_TRUE(s.DeveloperKlab);

    WriteBytes(ini, "");
    s.DeveloperToolBar = true;
    ASSERT_TRUE(SaveDialogSettings(ini, signature, s).ok());
    ASSERT_TRUE(SaveMainWindowSettings(ini, s).ok());
    EXPECT_EQ(ReadBytes(ini).find("Developer"), std::string::npos);
}

TEST(Pop3PasswordTest, EveryByteValueAtEveryKeyPositionComesBack)
{
    std::string all;
    for (int round = 0; round < 8; ++round) {
        for (int b = 0; b < 256; ++b) {
            all += static_cast<char>(b);
        }
        all += 'x'; // shifts the byte values against the eight key positions
    }
    const std::string stored = EncodePop3Password(all);
    EXPECT_EQ(stored.find_first_not_of("abcdefghijk"), std::string::npos);
    EXPECT_EQ(DecodePop3Password(stored), all);
    EXPECT_EQ(TryDecodePop3Password(stored), all);
}

TEST(Pop3PasswordTest, StoredFormOfShortPasswords)
{
    EXPECT_EQ(EncodePop3Password(""), "");
    EXPECT_EQ(DecodePop3Password(""), "");

    // One character: its value plus the key's second digit, as letters, then "k".
    const std::int32_t value = 'A' + PasswordKeyDigits[1];
    ASSERT_GE(value, 10);
    ASSERT_LE(value, 99);
    const std::string expected = {static_cast<char>('a' + value / 10), static_cast<char>('a' + value % 10), 'k'};
    EXPECT_EQ(EncodePop3Password("A"), expected);
    EXPECT_EQ(DecodePop3Password(expected), "A");

    // Position 8 uses the key's first digit.
    const std::string eight = EncodePop3Password("AAAAAAAA");
    const std::int32_t last = 'A' + PasswordKeyDigits[0];
    EXPECT_TRUE(eight.ends_with(std::string{static_cast<char>('a' + last / 10), static_cast<char>('a' + last % 10), 'k'}));
}

TEST(Pop3PasswordTest, StoredTextsThatDoNotDecodeGiveAnEmptyPassword)
{
    const char* bad[] = {
        "xyz",                // not a letter of the mapping
        "GIK",                // upper case is not mapped
        "aak",                // 0 minus the key: below 0
        "cjjk",               // 299 minus any digit: above 255
        "jjjjjjjjjjjjjjjjk",  // too large for any integer
        "gi k",               // a blank inside
    };
    for (const char* stored : bad) {
        EXPECT_EQ(TryDecodePop3Password(stored), std::nullopt) << stored;
        EXPECT_EQ(DecodePop3Password(stored), "") << stored;
    }
    // Empty items are skipped but still count as positions.
    const std::string second = EncodePop3Password("AB").substr(EncodePop3Password("A").size());
    EXPECT_EQ(DecodePop3Password("k" + second), "B");
}

TEST_F(SettingsFileTest, APasswordThatDoesNotDecodeLoadsEmpty)
{
    EXPECT_EQ(LoadWith("POP3PASS=hello\r\n").POP3PASS, "");
    EXPECT_EQ(LoadWith("POP3PASS=" + EncodePop3Password("p@ss") + "\r\n").POP3PASS, "p@ss");
}

TEST_F(SettingsFileTest, ListsAreBoundedByHow)
{
    WriteBytes(ini, "[MyAddress]\r\nHow=3\r\n0=a@example.jp\r\n1=b@example.jp,reply@example.jp\r\n"
                    "[TEL]\r\nHow=-4\r\n0=x,y,,3,-1\r\n");
    Settings s = LoadBoth();
    EXPECT_EQ(s.SenderList, (std::vector<std::string>{"a@example.jp", "b@example.jp,reply@example.jp", ""}));
    EXPECT_TRUE(s.AddressBook.empty());

    // A list that shrank leaves its old keys, which How hides.
    s.AddressBook = {"a,1,,0,-1", "b,2,,0,-1", "c,3,,0,-1", "d,4,,0,-1", "e,5,,0,-1"};
    ASSERT_TRUE(SaveDialogSettings(ini, signature, s).ok());
    s.AddressBook.resize(3);
    ASSERT_TRUE(SaveMainWindowSettings(ini, s).ok());
    const std::string file = ReadBytes(ini);
    EXPECT_NE(file.find("How=3\r\n"), std::string::npos);
    EXPECT_NE(file.find("3=d,4,,0,-1\r\n"), std::string::npos);
    EXPECT_NE(file.find("4=e,5,,0,-1\r\n"), std::string::npos);
    EXPECT_EQ(LoadBoth().AddressBook, (std::vector<std::string>{"a,1,,0,-1", "b,2,,0,-1", "c,3,,0,-1"}));

    // A damaged count does not exhaust memory.
    WriteBytes(ini, "[TEL]\r\nHow=2147483647\r\n");
    EXPECT_LE(LoadBoth().AddressBook.size(), 100000u);
}

TEST_F(SettingsFileTest, TheAddressBookLoadsSortedWhileSortingIsOn)
{
    WriteBytes(ini, "[TEL]\r\nHow=3\r\n0=suzuki,s@x,,3,-1\r\n1=Aoki,a@x,,3,-1\r\n2=Sato,t@x,,3,-1\r\n");
    EXPECT_EQ(LoadBoth().AddressBook,
              (std::vector<std::string>{"Aoki,a@x,,3,-1", "Sato,t@x,,3,-1", "suzuki,s@x,,3,-1"}));
    WriteBytes(ini, "[TEL]\r\nHow=3\r\n0=suzuki,s@x,,3,-1\r\n1=Aoki,a@x,,3,-1\r\n2=Sato,t@x,,3,-1\r\n"
                    "[Configuration]\r\n16=0\r\n");
    EXPECT_EQ(LoadBoth().AddressBook,
              (std::vector<std::string>{"suzuki,s@x,,3,-1", "Aoki,a@x,,3,-1", "Sato,t@x,,3,-1"}));
}

TEST_F(SettingsFileTest, SignatureFileExistsOnlyWhileThereIsASignature)
{
    Settings s;
    s.SignatureText = Sj("山田\r\n090-0000-0000");
    ASSERT_TRUE(SaveDialogSettings(ini, signature, s).ok());
    EXPECT_EQ(ReadBytes(signature), Sj("山田\r\n090-0000-0000\r\n"));
    EXPECT_EQ(LoadBoth().SignatureText, s.SignatureText);

    // Bare line feeds, as an editor on Linux leaves them, become CR LF.
    s.SignatureText = "one\ntwo\n";
    ASSERT_TRUE(SaveDialogSettings(ini, signature, s).ok());
    EXPECT_EQ(ReadBytes(signature), "one\r\ntwo\r\n\r\n");
    EXPECT_EQ(LoadBoth().SignatureText, "one\r\ntwo\r\n");

    WriteBytes(signature, "hand\nedited\n");
    EXPECT_EQ(LoadBoth().SignatureText, "hand\r\nedited");

    s.SignatureText.clear();
    ASSERT_TRUE(SaveDialogSettings(ini, signature, s).ok());
    EXPECT_FALSE(fs::exists(signature));
    ASSERT_TRUE(SaveDialogSettings(ini, signature, s).ok()); // nothing to delete: still fine
    EXPECT_EQ(LoadBoth().SignatureText, "");
}

TEST_F(SettingsFileTest, EveryFieldSurvivesASaveAndALoad)
{
    Settings s;
    s.Server = "smtp.example.jp";
    s.Port = 587;
    s.FromUser = Sj("山田 太郎");
    s.SignatureA = Sj("−−山田");
    s.SignatureB = "  spaced  ";
    s.POP3USER = "taro";
    s.POP3PASS = Sj("秘密pass");
    s.POP3Server = "pop.example.jp";
    s.POP3Port = 995;
    s.MaxLen = 1000;
    s.FixLen = 30;
    s.CountShiftBytes = true;
    s.FontSize = 12;
    s.Interval = 5;
    s.POPInterval = 3;
    s.DefaultType = 9;
    s.VCount = 15;
    s.PLeft = -20;
    s.PTop = 40;
    s.Left = 10;
    s.Top = 20;
    s.Width = 800;
    s.Height = 480;
    for (const OptionInfo& option : Options()) {
        s.*option.field = !option.defaultValue;
    }
    s.TypeMaxLengths = {1, 2, 3, 4, 5, 6, 7, 8, 9, 4321};
    s.MenuTop = 3;
    s.MenuLeft = 4;
    s.ToolTop = 5;
    s.ToolLeft = 6;
    s.FromTop = 7;
    s.FromLeft = 8;
    s.SubjectTop = 9;
    s.SubjectLeft = 10;
    s.AddressBook = {"Taro,X1,,3,-1", Sj("花子,h@example.jp,1234,2,1")};
    s.SenderList = {"me@example.jp", "me2@example.jp,reply@example.jp"};
    s.SignatureText = "sig";
    s.SenderAddress = s.SenderList.front();

    ASSERT_TRUE(SaveDialogSettings(ini, signature, s).ok());
    ASSERT_TRUE(SaveMainWindowSettings(ini, s).ok());
    EXPECT_NE(ReadBytes(ini).find("[Application]\r\nVer=0.50\r\n"), std::string::npos);
    EXPECT_EQ(ReadBytes(ini).find(s.POP3PASS), std::string::npos); // never in plain text

    MainWindowStartup startup;
    Settings back = LoadBoth(&startup);
    (void)ApplySettingsToMainWindow({}, back);
    EXPECT_EQ(back, s);
    EXPECT_EQ(startup.applyPosition, s.RememberWindowPosition);
    EXPECT_EQ(startup.applySize, s.RememberWindowSize);
    EXPECT_EQ(LoadAllSettings(dir), s);
}

TEST_F(SettingsFileTest, SavesKeepWhatTheProgramDoesNotKnow)
{
    const std::string mine = "; my notes\r\n[Plugin]\r\nanswer=42\r\n";
    WriteBytes(ini, mine + "[Configuration]\r\nUnknownKey=stay\r\n");
    Settings s;
    ASSERT_TRUE(SaveDialogSettings(ini, signature, s).ok());
    ASSERT_TRUE(SaveMainWindowSettings(ini, s).ok());
    const std::string file = ReadBytes(ini);
    EXPECT_TRUE(file.starts_with(mine + "[Configuration]\r\nUnknownKey=stay\r\n"));
}

TEST_F(SettingsFileTest, ARefusedSaveReportsThePathAndChangesNothing)
{
    const std::string old = "[Configuration]\r\nServer=old\r\n";
    WriteBytes(ini, old);
    WriteBytes(signature, "old signature\r\n");

    // The settings file sits in a directory that does not exist.
    const fs::path elsewhere = dir / "gone" / "Kiteml.ini";
    Settings s;
    s.Server = "new";
    s.SignatureText.clear();
    const SaveResult refused = SaveDialogSettings(elsewhere, signature, s);
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(refused.message, DisplayPath(elsewhere) + Sj(" に書き込めません"));
    EXPECT_EQ(ReadBytes(signature), "old signature\r\n"); // the rest of that save is skipped
    EXPECT_FALSE(SaveMainWindowSettings(elsewhere, s).ok());

    // A directory in place of the file: the old directory stays as it was.
    fs::remove(ini);
    fs::create_directory(ini);
    EXPECT_FALSE(SaveMainWindowSettings(ini, s).ok());
    EXPECT_TRUE(fs::is_directory(ini));
}

TEST(SettingsTextTest, SignatureMenuCaptions)
{
    Settings s;
    SignatureMenuCaptions c = MakeSignatureMenuCaptions(s);
    EXPECT_EQ(c.typeA.caption, Sj("TypeA(&A) : 設定されていません。"));
    EXPECT_FALSE(c.typeA.enabled);
    EXPECT_EQ(c.typeB.caption, Sj("TypeB(&B) : 設定されていません。"));
    EXPECT_FALSE(c.typeB.enabled);

    s.SignatureB = Sj("よろしく");
    c = MakeSignatureMenuCaptions(s);
    EXPECT_FALSE(c.typeA.enabled);
    EXPECT_EQ(c.typeB.caption, Sj("TypeB(&B) : よろしく"));
    EXPECT_TRUE(c.typeB.enabled);
}

TEST(SettingsTextTest, SetupSwitch)
{
    for (const char* yes : {"/setup", "-setup", "/SETUP", "-SetUp"}) {
        EXPECT_TRUE(IsSetupSwitch(yes)) << yes;
    }
    for (const char* no : {"setup", "/setup2", "--setup", "/set", "", "\\setup"}) {
        EXPECT_FALSE(IsSetupSwitch(no)) << no;
    }
}

TEST(ApplySettingsToMainWindowTest, ReplacesTheCheckListOnlyWhenItsLinesDiffer)
{
    Settings s;
    s.AddressBook = {"a,1,,0,-1", "b,2,,0,-1"};
    s.SenderList = {"me@example.jp,reply@example.jp", "other@example.jp"};
    s.ShowSubjectBar = true;

    MainWindowUpdate same = ApplySettingsToMainWindow(s.AddressBook, s);
    EXPECT_FALSE(same.replaceCheckList); // the ticks stay
    EXPECT_EQ(same.senderItems, s.SenderList);
    EXPECT_EQ(same.senderIndex, 0);
    EXPECT_EQ(s.SenderAddress, "me@example.jp,reply@example.jp");
    EXPECT_TRUE(same.showSubjectBar);

    const std::vector<std::string> shown = {"b,2,,0,-1", "a,1,,0,-1"};
    MainWindowUpdate differs = ApplySettingsToMainWindow(shown, s);
    EXPECT_TRUE(differs.replaceCheckList);
    EXPECT_EQ(differs.checkListItems, s.AddressBook);
    const std::vector<std::string> prefix = {"a,1,,0,-1"};
    EXPECT_TRUE(ApplySettingsToMainWindow(prefix, s).replaceCheckList);

    s.SenderList.clear();
    s.SenderAddress = "stale";
    const MainWindowUpdate none = ApplySettingsToMainWindow(s.AddressBook, s);
    EXPECT_EQ(none.senderIndex, -1);
    EXPECT_TRUE(none.senderItems.empty());
    EXPECT_EQ(s.SenderAddress, "");
}

} // namespace
} // namespace kitemail

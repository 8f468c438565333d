// The settings file: every field read back and saved, hand-edited values,
// the stored password; the dialog's editor, several writers on one file, the
// options, the limits and values read back are walks (walks_test).

#include "settings/settings.h"
#include "settings/settings_file.h"

#include "file_bytes.h"
#include "golden.h"
#include "platform/data_dir.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <tuple>

namespace kitemail {
namespace {

namespace fs = std::filesystem;
using namespace test;
using Lines = std::vector<std::string>;
using S = Settings;

class SettingsFileTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    fs::path dir{tmp.path().toStdString()};
    fs::path ini = SettingsFilePath(dir);
    fs::path signature = SignaturePath(dir);

    // Whether the window applies its position and size, as the main
    // window's half of the last LoadBoth read them.
    struct {
        bool applyPosition = false;
        bool applySize = false;
    } startup;

    Settings LoadBoth()
    {
        Settings s;
        LoadMainWindowSettings(ini, s);
        startup = {s.RememberWindowPosition, s.RememberWindowSize};
        EXPECT_TRUE(LoadDialogSettings(ini, signature, s));
        return s;
    }
};

// Each option's own walk is settings_option's, one per row of the table.
TEST(SettingsOptions, EveryOptionHasARow)
{
    EXPECT_EQ(Options().size(), ReadTable("settings_options").size());
}

// Every byte value at each of the eight key positions, as 257 % 8 == 1,
// comes back; single texts, and those that do not decode, are a walk.
TEST(Pop3PasswordTest, EveryByteAtEveryPositionRoundTrips)
{
    std::string all;
    for (int i = 0; i < 8 * 257; ++i) {
        all += static_cast<char>(i % 257);
    }
    const std::string stored = EncodePop3Password(all);
    EXPECT_EQ(stored.find_first_not_of("abcdefghijk"), std::string::npos);
    EXPECT_EQ(DecodePop3Password(stored), all);
}

TEST_F(SettingsFileTest, EveryFieldSurvivesASaveAndALoadUnknownLinesStayAndTheMainWindowTakesIt)
{
    // The user's own lines stay; both passwords are encoded; [Developer]
    // is read, never written.
    WriteBytes(ini, GoldenInput("settings", "full_save"));
    Settings s{ProgramOptions{.Server = "smtp.example.jp", .Port = 587, .FromUser = Sj("山田 太郎"),
                              .SignatureA = Sj("−−山田"), .SignatureB = "  spaced  ", .POP3USER = "taro",
                              .POP3PASS = Sj("秘密pass"), .POP3Server = "pop.example.jp", .POP3Port = 995,
                              .MaxLen = 1000, .FixLen = 30, .CountShiftBytes = true, .FontSize = 12, .Interval = 5,
                              .POPInterval = 3, .DefaultType = TerminalType::IModeFoma, .TypeMaxLengths = {1, 2, 3, 4, 5, 6, 7, 8, 9, 4321},
                              .ReplyTimeout = 120, .Security = SmtpSecurity::StartTls, .AuthMethod = SmtpAuth::Login,
                              .AuthUser = "taro@example.jp", .AuthPass = Sj("送信pass"),
                              .CAFile = Sj("/home/太郎/ca.pem"), .POP3Security = Pop3Security::Tls,
                              .AddressBook = {"Taro,X1,,3,-1", Sj("花子,h@example.jp,1234,2,1")},
                              .SenderList = {"me2@example.jp,reply@example.jp", "me@example.jp"},
                              .SignatureText = Sj("山田\r\n090-0000-0000")},
               WindowLayout{.VCount = 15, .PLeft = -20, .PTop = 40, .Left = 10, .Top = 20, .Width = 800,
                            .Height = 480, .MenuTop = 3, .MenuLeft = 4, .ToolTop = 5, .ToolLeft = 6, .FromTop = 7,
                            .FromLeft = 8, .SubjectTop = 9, .SubjectLeft = 10, .DeveloperToolBar = true}};
    for (const OptionInfo& option : Options()) {
        s.*option.field = !option.defaultValue;
    }

    ASSERT_TRUE(SaveDialogSettings(ini, signature, s).ok());
    ASSERT_TRUE(SaveMainWindowSettings(ini, s).ok());
    ExpectGolden("settings", "full_save", ReadBytes(ini));
    EXPECT_EQ(ReadBytes(signature), s.SignatureText + "\r\n");
    s.DeveloperToolBar = false;

    Settings back = LoadBoth();
    EXPECT_TRUE(startup.applyPosition && startup.applySize);
    EXPECT_EQ(back, s);
    EXPECT_EQ(LoadAllSettings(dir), s);

    EXPECT_EQ(FirstSender(back), s.SenderList.front());
    EXPECT_EQ(FirstSender(ProgramOptions{}), "");
}

// What the loader cannot use as written is told with its line, and a save
// of something else leaves it in the file as it was.
TEST_F(SettingsFileTest, HandEditedValuesAreReportedByLineAndKeptBySaves)
{
    WriteBytes(ini, GoldenInput("settings", "hand_edited"));
    SettingsFile settingsFile(dir);
    Settings s;
    settingsFile.LoadMainWindowHalf(s);
    (void)settingsFile.LoadDialogHalf(s);
    std::string problems;
    for (const std::string& p : settingsFile.Problems()) {
        problems += SjisToUtf8(p) + "\n";
    }
    ExpectGolden("settings", "hand_edited", problems);
    EXPECT_EQ(s.AddressBook, (Lines{"a,a@example.jp,,3,-1"}));
    EXPECT_EQ(s.SenderList, (Lines{"me@example.jp"}));

    s.FromUser = "me";
    ASSERT_TRUE(settingsFile.Save(s, SettingsHalf::Dialog).ok());
    ASSERT_TRUE(settingsFile.Save(s, SettingsHalf::MainWindow).ok());
    ExpectGolden("settings", "hand_edited.saved", ReadBytes(ini));
    WriteBytes(ini, "[Configuration]\r\nPort=25\r\n[TEL]\r\nHow=1\r\n0=a\r\n1=hidden by How\r\n");
    (void)settingsFile.LoadDialogHalf(s);
    EXPECT_TRUE(settingsFile.Problems().empty());
}

// A file the user made read-only is refused, and stays as it was. A save's
// temporary file left by a killed writer goes, but never while a writer
// holds the lock, and nothing that is not ours goes.
TEST_F(SettingsFileTest, ReadOnlyFileIsNotReplacedAndLeftoversGoWhileNobodyWrites)
{
    for (const char* name : {".Kiteml.ini.Ab3xY9", ".Signature.txt.000000", ".Kiteml.ini.toolong1", "Kiteml.ini.Ab3xY9"}) {
        WriteBytes(dir / name, "x");
    }
    SettingsFile writer(dir);
    ASSERT_EQ(writer.Hold(), std::nullopt);
    SettingsFile starting(dir);
    EXPECT_EQ(starting.RemoveLeftovers(), 0);
    writer.Release();
    EXPECT_EQ(starting.RemoveLeftovers(), 2);
    EXPECT_TRUE(fs::exists(dir / ".Kiteml.ini.toolong1") && fs::exists(dir / "Kiteml.ini.Ab3xY9"));

    WriteBytes(ini, "[Configuration]\r\nFromUser=kept\r\n");
    fs::permissions(ini, fs::perms::owner_read);
    SettingsFile& settingsFile = starting;
    Settings s;
    (void)settingsFile.LoadDialogHalf(s);
    s.FromUser = "changed";
    const SaveResult refused = settingsFile.Save(s, SettingsHalf::Dialog);
    EXPECT_EQ(SjisToUtf8(refused.message), ini.string() + " に書き込めません");
    EXPECT_EQ(ReadBytes(ini), "[Configuration]\r\nFromUser=kept\r\n");
    EXPECT_EQ(fs::status(ini).permissions() & fs::perms::all, fs::perms::owner_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4); // nothing left behind
}

} // namespace
} // namespace kitemail

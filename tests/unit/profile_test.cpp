#include "platform/profile.h"
#include "platform/text_codec.h"

#include "file_bytes.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h> // mkfifo

namespace kitemail {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;

class ProfileTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    fs::path dir{tmp.path().toStdString()};
    fs::path ini = dir / "Kiteml.ini";

    std::size_t Entries() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }
};

TEST_F(ProfileTest, MissingFileReadsDefaultsAndSavesOwnerOnlyWhatWasWritten)
{
    Profile p(ini);
    EXPECT_EQ(p.ReadString("Configuration", "Server", "def"), "def");
    EXPECT_TRUE(p.ReadBool("Configuration", "1", true));
    EXPECT_FALSE(fs::exists(ini)); // reading never creates the file

    p.WriteString("TEL", "How", "0");
    p.WriteInt("Configuration", "Port", 2525);
    p.WriteBool("Configuration", "3Byte", true);
    p.WriteBool("Configuration", "7", false);
    ASSERT_TRUE(p.Save().ok());
    EXPECT_EQ(ReadBytes(ini), "[TEL]\r\nHow=0\r\n[Configuration]\r\nPort=2525\r\n3Byte=1\r\n7=0\r\n");
    EXPECT_EQ(fs::status(ini).permissions(), fs::perms(0600)); // it holds the POP3 password

    fs::permissions(ini, fs::perms(0644));
    ASSERT_TRUE(p.Save().ok());
    EXPECT_EQ(fs::status(ini).permissions(), fs::perms(0600));
    EXPECT_EQ(Entries(), 1u); // no temporary file left behind
}

TEST_F(ProfileTest, NamesMatchWithoutRegardToAsciiCaseOnly)
{
    // "ア" is 83 41: its trail byte looks like 'A' and must not match 'a'.
    const std::string section = Sj("アドレス");
    std::string folded = section;
    folded[1] = 'a';
    WriteBytes(ini, "[configuration]\nserver = smtp.example.jp \r\nTOP=12\n  [ Length ]  \n0=7000\n[" + section +
                        "]\nkey=1\n");
    const Profile p(ini);
    EXPECT_EQ(p.ReadString("Configuration", "Server", ""), "smtp.example.jp");
    EXPECT_EQ(p.ReadInt("CONFIGURATION", "top", 0), 12);
    EXPECT_EQ(p.ReadInt("Length", "0", 6000), 7000);
    EXPECT_FALSE(p.HasKey("Length", "server")); // keys belong to their section
    EXPECT_EQ(p.ReadInt(section, "KEY", 0), 1);
    EXPECT_EQ(p.ReadInt(folded, "key", 0), 0);
}

TEST_F(ProfileTest, IntegersAndBooleansFollowTheDecimalAndHexRules)
{
    constexpr std::int32_t def = -7;
    const std::pair<const char*, std::int32_t> rows[] = {
        {"25", 25},          {"0x19", 25},       {"0X1a", 26},     {"0x", def},
        {"0x1G", def},       {"-5", -5},         {"+7", 7},        {"12abc", def},
        {"", def},           {" 42 ", 42},       {"abc", def},     {"99999999999", def},
        {"2147483647", 2147483647},              {"-2147483648", -2147483647 - 1},
        {"\"30\"", 30},      {"1.5", def},       {"+-3", def},     {"0", 0},
        {"0x0", 0},
    };
    std::string text = "[S]\r\n";
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        text += "k" + std::to_string(i) + "=" + rows[i].first + "\r\n";
    }
    WriteBytes(ini, text);
    const Profile p(ini);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].first);
        const std::string key = "k" + std::to_string(i);
        EXPECT_EQ(p.ReadInt("S", key, def), rows[i].second);
        // A boolean is an integer, non-zero true; an unparsable one its default.
        EXPECT_EQ(p.ReadBool("S", key, true), rows[i].second != 0);
        EXPECT_EQ(p.ReadBool("S", key, false), rows[i].second != 0 && rows[i].second != def);
    }
}

TEST_F(ProfileTest, ValuesComeBackAsWrittenCutAndWithoutLineBreaks)
{
    const std::string kanji = Sj("漢");
    const std::pair<std::string, std::string> rows[] = {
        {"plain", "plain"}, {"  blanks around  ", "  blanks around  "}, {"\"quoted\"", "\"quoted\""},
        {"a=b;c [d]", "a=b;c [d]"}, {Sj("山田 太郎"), Sj("山田 太郎")}, {"", ""}, {"\"", "\""},
        // A line break would start lines of their own: keys injected.
        {"Taro\r\n[Developer]\r\nToolBar=1", "Taro  [Developer]  ToolBar=1"},
        // Long values come back cut, never in the middle of a character.
        {std::string(3000, 'a'), std::string(2047, 'a')},
        {std::string(2046, 'b') + kanji + "tail", std::string(2046, 'b')},
        {std::string(2047, 'c'), std::string(2047, 'c')},
    };
    Profile p(ini);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        p.WriteString("S", std::to_string(i), rows[i].first);
    }
    ASSERT_TRUE(p.Save().ok());
    const Profile back(ini);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(back.ReadString("S", std::to_string(i), "missing"), rows[i].second) << i;
    }
    EXPECT_FALSE(back.HasKey("Developer", "ToolBar"));
}

TEST_F(ProfileTest, UnknownContentStaysAndNewKeysGoToTheEndOfTheirSection)
{
    // Line feeds alone, as an editor on Linux leaves them, and no line end
    // at the very end.
    WriteBytes(ini, "; Kitemail settings\n[Configuration]\r\nServer=old.example.jp\nCustom=keep me\r\n\r\n\n"
                    "[Other]\r\nx=1\ngarbage line without equals");
    Profile p(ini);
    p.WriteString("configuration", "SERVER", "new.example.jp");
    p.WriteInt("Configuration", "Port", 1);
    p.WriteInt("Configuration", "Top", 2);
    p.WriteInt("CONFIGURATION", "port", 587);
    p.WriteString("MyAddress", "How", "0");
    p.WriteString("Application", "Ver", "0.50");
    p.WriteString("myaddress", "0", "a@x");
    p.WriteString("other", "X", "9");
    EXPECT_EQ(p.ReadInt("configuration", "PORT", 0), 587);
    ASSERT_TRUE(p.Save().ok());
    EXPECT_EQ(ReadBytes(ini), "; Kitemail settings\r\n[Configuration]\r\nServer=new.example.jp\r\nCustom=keep me\r\n"
                              "Port=587\r\nTop=2\r\n\r\n\r\n[Other]\r\nx=9\r\ngarbage line without equals\r\n"
                              "[MyAddress]\r\nHow=0\r\n0=a@x\r\n[Application]\r\nVer=0.50\r\n");
}

TEST_F(ProfileTest, RefusedSavesNameThePathAndLeaveWhatWasThere)
{
    // sizeLimit: a file-size limit makes the write fail as a full disk would.
    const auto refused = [this](const fs::path& path, std::optional<rlim_t> sizeLimit = std::nullopt) {
        const std::size_t before = Entries();
        Profile p(path);
        EXPECT_EQ(p.ReadInt("Configuration", "Port", 25), 25);
        p.WriteString("Configuration", "SignatureA", std::string(2000, 's'));
        rlimit saved{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited{sizeLimit.value_or(saved.rlim_cur), saved.rlim_max};
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        const SaveResult result = p.Save();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        EXPECT_EQ(result.failedPath, path);
        EXPECT_EQ(result.message, DisplayPath(path) + Sj(" に書き込めません"));
        EXPECT_FALSE(result.reason.empty());
        EXPECT_EQ(Entries(), before); // no temporary file left behind
    };
    const std::string old = "[Configuration]\r\nServer=old\r\n";
    WriteBytes(ini, old);
    refused(ini, 512);
    EXPECT_EQ(ReadBytes(ini), old);

    fs::remove(ini);
    fs::create_directory(ini); // a directory in place of the file
    WriteBytes(ini / "inside", "x");
    refused(ini);
    EXPECT_EQ(ReadBytes(ini / "inside"), "x");

    // Root reads any mode, so a named pipe stands in for a file that exists
    // but cannot be read: its content would be lost, so it is never replaced.
    const fs::path pipe = dir / "pipe.ini";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    refused(pipe);
    EXPECT_TRUE(fs::is_fifo(pipe));

    refused(dir / "missing" / "Kiteml.ini");
}

TEST_F(ProfileTest, ASymbolicLinkKeepsPointingAtTheRealFile)
{
    const fs::path real = dir / "real.ini";
    WriteBytes(real, "[A]\r\nk=1\r\n");
    fs::create_symlink(real, ini);
    Profile p(ini);
    p.WriteInt("A", "k", p.ReadInt("A", "k", 0) + 1);
    ASSERT_TRUE(p.Save().ok());
    EXPECT_TRUE(fs::is_symlink(ini));
    EXPECT_EQ(ReadBytes(real), "[A]\r\nk=2\r\n");
}

TEST_F(ProfileTest, SectionValuesListKeysInFileOrderFirstOneWinning)
{
    WriteBytes(ini, "[TEL]\nHow=2\n0=a\n; note\n1=b\n0=again\n[X]\n2=c\n");
    const Profile p(ini);
    using Values = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(p.SectionValues("tel"), (Values{{"How", "2"}, {"0", "a"}, {"1", "b"}}));
    EXPECT_EQ(p.ReadString("TEL", "0", ""), "a");
}

TEST(DisplayPathTest, ShowsJapaneseAndNamesWhatShiftJisCannotHold)
{
    EXPECT_EQ(DisplayPath("/home/太郎/Kiteml.ini"), Sj("/home/太郎/Kiteml.ini"));
    EXPECT_EQ(DisplayPath("/home/\xc3\xa9/x"), "/home/" + CodePointName(0xE9) + "/x");
}

} // namespace
} // namespace kitemail

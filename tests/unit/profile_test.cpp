#include "platform/profile.h"
#include "platform/text_codec.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>

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

mode_t ModeOf(const fs::path& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

std::size_t EntriesIn(const fs::path& dir)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

class ProfileTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    fs::path dir{tmp.path().toStdString()};
    fs::path ini = dir / "Kiteml.ini";
};

TEST_F(ProfileTest, MissingFileReadsDefaultsAndSavesOnlyWhatWasWritten)
{
    Profile p(ini);
    EXPECT_EQ(p.ReadString("Configuration", "Server", "def"), "def");
    EXPECT_EQ(p.ReadInt("Configuration", "Port", 25), 25);
    EXPECT_TRUE(p.ReadBool("Configuration", "1", true));
    EXPECT_FALSE(p.ReadBool("Configuration", "7", false));
    EXPECT_FALSE(fs::exists(ini)); // reading never creates the file

    p.WriteString("TEL", "How", "0");
    p.WriteInt("Configuration", "Port", 2525);
    p.WriteBool("Configuration", "3Byte", true);
    p.WriteBool("Configuration", "7", false);
    p.WriteString("Length", "0", "6000");
    ASSERT_TRUE(p.Save().ok());
    EXPECT_EQ(ReadBytes(ini), "[TEL]\r\nHow=0\r\n"
                              "[Configuration]\r\nPort=2525\r\n3Byte=1\r\n7=0\r\n"
                              "[Length]\r\n0=6000\r\n");
}

TEST_F(ProfileTest, NamesMatchWithoutRegardToCaseAndBlanksAroundAreIgnored)
{
    WriteBytes(ini, "[configuration]\nserver = smtp.example.jp \r\nTOP=12\n  [ Length ]  \n0=7000\n");
    const Profile p(ini);
    EXPECT_EQ(p.ReadString("Configuration", "Server", ""), "smtp.example.jp");
    EXPECT_EQ(p.ReadInt("CONFIGURATION", "top", 0), 12);
    EXPECT_EQ(p.ReadInt("Length", "0", 6000), 7000);
    EXPECT_TRUE(p.HasKey("configuration", "SERVER"));
    EXPECT_FALSE(p.HasKey("Length", "server")); // keys belong to their section
}

TEST_F(ProfileTest, DoubleByteNamesCompareExactlyWhereTrailBytesLookLikeLetters)
{
    // "ア" is 83 41 and "チ" is 83 60: trail 0x41 is 'A', and must not match 'a'.
    const std::string section = Sj("アドレス");
    WriteBytes(ini, "[" + section + "]\nkey=1\n");
    const Profile p(ini);
    EXPECT_EQ(p.ReadInt(section, "KEY", 0), 1);
    std::string folded = section;
    folded[1] = 'a';
    EXPECT_EQ(p.ReadInt(folded, "key", 0), 0);
}

TEST_F(ProfileTest, IntegerValuesFollowTheDecimalAndHexRules)
{
    struct Row {
        const char* stored;
        std::int32_t expected;
    };
    const Row rows[] = {
        {"25", 25},          {"0x19", 25},       {"0X1a", 26},     {"0x", -7},
        {"0x1G", -7},        {"-5", -5},         {"+7", 7},        {"12abc", -7},
        {"", -7},            {" 42 ", 42},       {"abc", -7},      {"99999999999", -7},
        {"2147483647", 2147483647},              {"-2147483648", -2147483647 - 1},
        {"\"30\"", 30},      {"1.5", -7},        {"+-3", -7},      {"0", 0},
    };
    std::string text = "[S]\r\n";
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        text += "k" + std::to_string(i) + "=" + rows[i].stored + "\r\n";
    }
    WriteBytes(ini, text);
    const Profile p(ini);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(p.ReadInt("S", "k" + std::to_string(i), -7), rows[i].expected) << "stored: " << rows[i].stored;
    }
}

TEST_F(ProfileTest, BooleansAreIntegersWithNonZeroTrue)
{
    WriteBytes(ini, "[S]\nzero=0\none=1\ntwo=2\nminus=-1\nword=yes\nhex=0x0\n");
    const Profile p(ini);
    EXPECT_FALSE(p.ReadBool("S", "zero", true));
    EXPECT_TRUE(p.ReadBool("S", "one", false));
    EXPECT_TRUE(p.ReadBool("S", "two", false));
    EXPECT_TRUE(p.ReadBool("S", "minus", false));
    EXPECT_TRUE(p.ReadBool("S", "word", true)); // unparsable: the default
    EXPECT_FALSE(p.ReadBool("S", "word", false));
    EXPECT_FALSE(p.ReadBool("S", "hex", true));
}

TEST_F(ProfileTest, LongValuesComeBackCutAndNeverEndOnAHalfCharacter)
{
    const std::string kanji = Sj("漢");
    const std::string ascii(3000, 'a');
    const std::string mixed = std::string(2046, 'b') + kanji + "tail";
    WriteBytes(ini, "[S]\r\nascii=" + ascii + "\r\nmixed=" + mixed + "\r\nexact=" + std::string(2047, 'c') + "\r\n");
    const Profile p(ini);
    EXPECT_EQ(p.ReadString("S", "ascii", ""), std::string(2047, 'a'));
    EXPECT_EQ(p.ReadString("S", "mixed", ""), std::string(2046, 'b'));
    EXPECT_EQ(p.ReadString("S", "exact", ""), std::string(2047, 'c'));
}

TEST_F(ProfileTest, ValuesComeBackAsWritten)
{
    const std::string values[] = {
        "plain",
        "  leading and trailing  ",
        "\"quoted\"",
        "a=b;c [d]",
        Sj("山田 太郎"),
        "",
        "\"",
    };
    Profile p(ini);
    for (std::size_t i = 0; i < std::size(values); ++i) {
        p.WriteString("S", std::to_string(i), values[i]);
    }
    ASSERT_TRUE(p.Save().ok());
    const Profile back(ini);
    for (std::size_t i = 0; i < std::size(values); ++i) {
        EXPECT_EQ(back.ReadString("S", std::to_string(i), "missing"), values[i]) << i;
    }
}

TEST_F(ProfileTest, ALineBreakInAValueCannotInjectKeys)
{
    Profile p(ini);
    p.WriteString("Configuration", "FromUser", "Taro\r\n[Developer]\r\nToolBar=1");
    ASSERT_TRUE(p.Save().ok());
    const Profile back(ini);
    EXPECT_FALSE(back.ReadBool("Developer", "ToolBar", false));
    EXPECT_EQ(back.ReadString("Configuration", "FromUser", ""), "Taro  [Developer]  ToolBar=1");
}

TEST_F(ProfileTest, UnknownContentStaysByteForByteAndNewKeysGoToTheirSection)
{
    const std::string original = "; Kitemail settings\r\n"
                                 "[Configuration]\r\n"
                                 "Server=old.example.jp\r\n"
                                 "Custom=keep me\r\n"
                                 "\r\n"
                                 "[Other]\r\n"
                                 "x=1\r\n"
                                 "garbage line without equals\r\n"
                                 "\r\n";
    WriteBytes(ini, original);
    Profile p(ini);
    p.WriteString("configuration", "SERVER", "new.example.jp");
    p.WriteInt("Configuration", "Port", 587);
    p.WriteString("MyAddress", "How", "0");
    p.WriteString("Application", "Ver", "0.50");
    ASSERT_TRUE(p.Save().ok());
    EXPECT_EQ(ReadBytes(ini), "; Kitemail settings\r\n"
                              "[Configuration]\r\n"
                              "Server=new.example.jp\r\n"
                              "Custom=keep me\r\n"
                              "Port=587\r\n"
                              "\r\n"
                              "[Other]\r\n"
                              "x=1\r\n"
                              "garbage line without equals\r\n"
                              "\r\n"
                              "[MyAddress]\r\nHow=0\r\n"
                              "[Application]\r\nVer=0.50\r\n");
}

TEST_F(ProfileTest, KeysAddedOneAfterAnotherCanBeRewrittenInPlace)
{
    WriteBytes(ini, "[A]\r\nx=1\r\n\r\n\r\n[B]\r\nx=b\r\n");
    Profile p(ini);
    p.WriteString("A", "y", "2");
    p.WriteString("A", "z", "3");
    p.WriteString("a", "X", "9");
    p.WriteString("A", "y", "8");
    p.WriteString("C", "k", "c");
    p.WriteString("B", "n", "new");
    p.WriteString("c", "K", "c2");
    EXPECT_EQ(p.ReadString("A", "y", ""), "8");
    EXPECT_EQ(p.ReadString("B", "x", ""), "b");
    EXPECT_EQ(p.Serialize(), "[A]\r\nx=9\r\ny=8\r\nz=3\r\n\r\n\r\n[B]\r\nx=b\r\nn=new\r\n[C]\r\nk=c2\r\n");
}

TEST_F(ProfileTest, LfFilesAreReadAndWrittenBackWithCrLf)
{
    WriteBytes(ini, "[A]\nk=v\n[B]\nj=w");
    Profile p(ini);
    EXPECT_EQ(p.ReadString("B", "j", ""), "w");
    p.WriteString("A", "k", "v2");
    ASSERT_TRUE(p.Save().ok());
    EXPECT_EQ(ReadBytes(ini), "[A]\r\nk=v2\r\n[B]\r\nj=w\r\n");
}

TEST_F(ProfileTest, SavedFileIsOwnerOnly)
{
    {
        Profile p(ini);
        p.WriteString("Configuration", "POP3PASS", "secret");
        ASSERT_TRUE(p.Save().ok());
    }
    EXPECT_EQ(ModeOf(ini), 0600u);

    fs::permissions(ini, fs::perms(0644));
    Profile p(ini);
    p.WriteString("Configuration", "POP3PASS", "other");
    ASSERT_TRUE(p.Save().ok());
    EXPECT_EQ(ModeOf(ini), 0600u);
    EXPECT_EQ(EntriesIn(dir), 1u); // no temporary file left behind
}

TEST_F(ProfileTest, RefusedSavesNameThePathAndLeaveNothingBehind)
{
    // The settings path taken by a directory: reading gives defaults,
    // saving is refused and the directory stays as it was.
    fs::create_directory(ini);
    WriteBytes(ini / "inside", "x");
    Profile blocked(ini);
    EXPECT_EQ(blocked.ReadInt("Configuration", "Port", 25), 25);
    blocked.WriteInt("Configuration", "Port", 26);
    const SaveResult refused = blocked.Save();
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(refused.failedPath, ini);
    EXPECT_EQ(refused.message, CannotWriteMessage(ini));
    EXPECT_EQ(refused.message, DisplayPath(ini) + Sj(" に書き込めません"));
    EXPECT_TRUE(fs::is_directory(ini));
    EXPECT_EQ(EntriesIn(dir), 1u);

    const fs::path nowhere = dir / "missing" / "Kiteml.ini";
    Profile lost(nowhere);
    lost.WriteInt("Configuration", "Port", 26);
    const SaveResult result = lost.Save();
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.failedPath, nowhere);
    EXPECT_FALSE(result.reason.empty());
}

TEST_F(ProfileTest, AFileThatCouldNotBeReadIsNeverReplaced)
{
    // Something that exists but cannot be read as a file (root reads any
    // mode, so a named pipe stands in for an unreadable file).
    ASSERT_EQ(::mkfifo(ini.c_str(), 0600), 0);
    Profile p(ini);
    p.WriteInt("Configuration", "Port", 26);
    const SaveResult result = p.Save();
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.failedPath, ini);
    EXPECT_TRUE(fs::is_fifo(ini));
    EXPECT_EQ(EntriesIn(dir), 1u);
}

TEST_F(ProfileTest, AFullDiskLeavesTheOldFileWhole)
{
    const std::string old = "[Configuration]\r\nServer=old\r\n";
    WriteBytes(ini, old);
    Profile p(ini);
    p.WriteString("Configuration", "SignatureA", std::string(2000, 's'));

    // A file-size limit makes the write fail as a full disk would.
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 512;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const SaveResult result = p.Save();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(result.ok());
    EXPECT_EQ(ReadBytes(ini), old);
    EXPECT_EQ(EntriesIn(dir), 1u);
}

TEST_F(ProfileTest, ASymbolicLinkKeepsPointingAtTheRealFile)
{
    const fs::path real = dir / "real.ini";
    WriteBytes(real, "[A]\r\nk=1\r\n");
    fs::create_symlink(real, ini);
    Profile p(ini);
    EXPECT_EQ(p.ReadInt("A", "k", 0), 1);
    p.WriteInt("A", "k", 2);
    ASSERT_TRUE(p.Save().ok());
    EXPECT_TRUE(fs::is_symlink(ini));
    EXPECT_EQ(ReadBytes(real), "[A]\r\nk=2\r\n");
}

TEST_F(ProfileTest, SectionValuesListKeysInFileOrderFirstOneWinning)
{
    WriteBytes(ini, "[TEL]\nHow=2\n0=a\n; note\n1=b\n0=again\n[X]\n2=c\n");
    const Profile p(ini);
    const auto values = p.SectionValues("tel");
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0], (std::pair<std::string, std::string>{"How", "2"}));
    EXPECT_EQ(values[1], (std::pair<std::string, std::string>{"0", "a"}));
    EXPECT_EQ(values[2], (std::pair<std::string, std::string>{"1", "b"}));
    EXPECT_EQ(p.ReadString("TEL", "0", ""), "a");
}

TEST(DisplayPathTest, ShowsJapaneseAndNamesWhatShiftJisCannotHold)
{
    EXPECT_EQ(DisplayPath("/home/taro/Kiteml.ini"), "/home/taro/Kiteml.ini");
    EXPECT_EQ(DisplayPath("/home/太郎/Kiteml.ini"), Sj("/home/太郎/Kiteml.ini"));
    EXPECT_EQ(DisplayPath("/home/\xc3\xa9/x"), "/home/" + CodePointName(0xE9) + "/x");
}

} // namespace
} // namespace kitemail

// The checks that refuse a value that would not go out as typed, for a
// file; what the send run makes of a message before the mail component sees
// it and the checks' table are walks (walks_test), the body's wire form the
// golden pairs of mail_text.

#include "golden.h"
#include "mail/outgoing_mail.h"
#include "platform/text_codec.h"
#include "send/send_checks.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kitemail {
namespace {

// An attachment that is no regular file is refused before the send starts.
TEST(SendChecksOfFiles, AnAttachmentThatIsAPipe)
{
    const test::TempDir dir;
    const std::string pipe = (dir.path() / "pipe").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::optional<Refusal> refusal =
        CheckMailValues({"x@example.jp", TerminalType::VodafoneLongMail, "", "me@example.jp"}, "s", {pipe});
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(SjisToUtf8(refusal->message), pipe + " を開けません: 通常のファイルではありません");
}

} // namespace
} // namespace kitemail

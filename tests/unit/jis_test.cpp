#include "mail/jis.h"
#include "platform/text_codec.h"
#include <gtest/gtest.h>
TEST(Codec, Basic) { EXPECT_EQ(kitemail::Sj("漢"), "\x8a\xbf"); EXPECT_EQ(kitemail::Sj("〜"), "\x81\x60"); }

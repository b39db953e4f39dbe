// Conversions between UTF-16, UTF-8 and GBK.
#include <gtest/gtest.h>

#include "XmlTestUtil.h"

using namespace xml;

TEST(TextCodec, Utf8ToWideHandlesFourByteAndInvalidSequences) {
  EXPECT_EQ(Utf8TextToWide("\xE4\xB8\xAD"), u"\u4E2D");
  EXPECT_EQ(Utf8TextToWide("\xF0\x9F\x98\x80"), u"\U0001F600");
  // An invalid sequence becomes U+FFFD; the rest of the text is kept.
  EXPECT_EQ(Utf8TextToWide("a\xC3\x28" "b"), u"a\uFFFD(b");
  EXPECT_EQ(Utf8TextToWide(""), u"");
}

TEST(TextCodec, WideToUtf8CombinesSurrogatePairs) {
  EXPECT_EQ(WideToUtf8Text(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(WideToUtf8Text(u"A\u00E9\u4E2D"), "A\xC3\xA9\xE4\xB8\xAD");
  const char16_t lone[] = {0xD800, u'x'};
  EXPECT_EQ(WideToUtf8Text(std::u16string_view(lone, 2)), "\xEF\xBF\xBDx");
}

TEST(TextCodec, UnitBufferFormsStopAtCapacity) {
  char out[8];
  const std::u16string src = u"a\u4E2D\U0001F600";
  EXPECT_EQ(EncodeUtf8Units(out, 8, src.data(), static_cast<int>(src.size())), 5);  // the emoji does not fit
  EXPECT_EQ(std::string(out), "a\xE4\xB8\xAD");
  EXPECT_EQ(EncodeUtf8Units(nullptr, 8, src.data(), 1), 0);
  char16_t wide[4];
  const std::string utf8 = "a\xF0\x9F\x98\x80";
  EXPECT_EQ(DecodeUtf8Units(wide, 4, utf8.data(), static_cast<int>(utf8.size())), 4);
  EXPECT_EQ(std::u16string(wide, 3), u"a\U0001F600");
  EXPECT_EQ(DecodeUtf8Units(wide, 0, utf8.data(), 1), 0);
}

TEST(TextCodec, GbkAndUtf8) {
  EXPECT_EQ(AnsiTextToUtf8("\xD6\xD0\xCE\xC4"), "\xE4\xB8\xAD\xE6\x96\x87");
  bool lost = false;
  EXPECT_EQ(Utf8TextToAnsi("\xE4\xB8\xAD\xE0\xB8\x81", &lost), "\xD6\xD0?");
  EXPECT_TRUE(lost);
}

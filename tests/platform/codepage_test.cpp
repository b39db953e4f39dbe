#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace cp = platform::codepage;

namespace {

// "中文" in GBK and UTF-8.
const std::string kGbk = "\xD6\xD0\xCE\xC4";
const std::string kUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";

}  // namespace

TEST(Codepage, RoundTripsChineseBetweenGbkUtf16AndUtf8) {
  ASSERT_TRUE(cp::available());  // the program refuses to start without it
  EXPECT_EQ(cp::ansiToWide(kGbk), u"中文");
  EXPECT_EQ(cp::wideToAnsi(u"中文"), kGbk);
  EXPECT_EQ(cp::ansiToUtf8(kGbk), kUtf8);
  EXPECT_EQ(cp::utf8ToAnsi(kUtf8), kGbk);
  EXPECT_EQ(cp::ansiToWide("abc"), u"abc");
}

TEST(Codepage, UnmappableCharactersBecomeQuestionMarksAndAreReported) {
  struct Case {
    std::u16string wide;
    std::string ansi;
    bool lost;
  } cases[] = {
      {u"a\u00E9b", "a\xA8\xA6" "b", false},   // é is in GBK
      {u"a\U0001F600b", "a?b", true},          // an emoji is not: one "?" for the pair
      {u"x\xD800y", "x?y", true},              // lone surrogate
      {u"plain", "plain", false},
  };
  for (const Case& c : cases) {
    bool lost = false;
    EXPECT_EQ(cp::wideToAnsi(c.wide, &lost), c.ansi);
    EXPECT_EQ(lost, c.lost);
  }
}

TEST(Codepage, InvalidInputBecomesReplacementCharacter) {
  EXPECT_EQ(cp::ansiToWide("a\xFF" "b"), u"a\uFFFD" "b");
  EXPECT_EQ(cp::ansiToWide("a\xD6"), u"a\uFFFD");  // lead byte at the end
  EXPECT_EQ(cp::ansiToWide("\xE9</r>"), u"\uFFFD</r>");  // a lead byte never eats markup
  EXPECT_EQ(cp::utf8ToWide("a\xC3"), u"a\uFFFD");
  EXPECT_EQ(cp::utf8ToWide("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
}

TEST(Codepage, Utf8FourByteSequencesBecomeSurrogatePairs) {
  EXPECT_EQ(cp::utf8ToWide("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(cp::wideToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(Codepage, CodePointToAnsi) {
  EXPECT_EQ(cp::codePointToAnsi(U'A'), "A");
  EXPECT_EQ(cp::codePointToAnsi(U'中'), "\xD6\xD0");
  EXPECT_EQ(cp::codePointToAnsi(0x1F600), "");
  EXPECT_EQ(cp::codePointToAnsi(0xD800), "");
}

// Entity decoding in both variants.
#include <gtest/gtest.h>

#include "XmlTestUtil.h"

using namespace xml;

namespace {
struct Case {
  const char* in;
  const char* out;
};
}  // namespace

TEST(TextEntities, CommonRulesInBothVariants) {
  const Case cases[] = {
      {"a &amp; b", "a & b"},
      {"&lt;&gt;&apos;&quot;", "<>'\""},
      {"&AMP;", "&AMP;"},
      {"&nbsp;", "&nbsp;"},
      {"x & y; z &amp; w", "x & y; z & w"},   // first ";" after "&" ends the candidate
      {"a & b &amp; c", "a & b &amp; c"},     // the candidate "& b &amp;" is kept whole
      {"tail &amp", "tail &amp"},
      {"&amp;lt;", "&lt;"},                   // no rescan of the output
      {"&#65;&#x41;&#X41;&#0x41;", "AAAA"},
      {"&#;", "&#;"},
      {"&#x;", "&#x;"},
      {"&#-1;", "&#-1;"},
      {"&# 65 ;", "&# 65 ;"},
      {"&# 65;", "A"},
      {"&#0;", "&#0;"},                       // NUL is no character
      {"&#xD800;&#xDFFF;", "&#xD800;&#xDFFF;"},  // nor are surrogates
      {"&#xFFFFFFFF;", "&#xFFFFFFFF;"},
      {"no refs", "no refs"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeEntitiesSingleByte(c.in), c.out) << c.in;
    EXPECT_EQ(DecodeEntitiesUtf8(c.in), c.out) << c.in;
  }
}

TEST(TextEntities, Utf8VariantEncodesEveryCodePoint) {
  const Case cases[] = {
      {"&#233;", "\xC3\xA9"},
      {"&#20013;", "\xE4\xB8\xAD"},
      {"&#65534;", "\xEF\xBF\xBE"},
      {"&#65535;", "\xEF\xBF\xBF"},
      {"&#128512;", "\xF0\x9F\x98\x80"},
      {"&#x10FFFF;", "\xF4\x8F\xBF\xBF"},
      {"&#x110000;", "&#x110000;"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeEntitiesUtf8(c.in), c.out) << c.in;
}

TEST(TextEntities, SingleByteVariantGoesThroughGbk) {
  const Case cases[] = {
      {"&#127;", "\x7F"},
      {"&#20013;", "\xD6\xD0"},  // U+4E2D in GBK
      {"&#254;", "&#254;"},      // U+00FE has no GBK character
      {"&#8364;", "\x80"},       // the euro sign is 0x80 in CP936
      {"&#128512;", "&#128512;"},
      {"&#3585;", "&#3585;"},    // Thai: not in GBK
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeEntitiesSingleByte(c.in), c.out) << c.in;
}

TEST(TextEntities, EscapeThenDecodeGivesTheInputBack) {
  for (const char* text : {"<a href='x'>&</a>", "\"q\" & 'a'", "\xD6\xD0&\xCE\xC4"}) {
    EXPECT_EQ(DecodeEntitiesSingleByte(EscapeText(text)), text);
    EXPECT_EQ(DecodeEntitiesUtf8(EscapeText(text)), text);
  }
}

TEST(TextEntities, GbkBytesAroundReferencesStayAsTheyAre) {
  // GBK trail bytes never equal "&" or ";", so the scan cannot split a character.
  EXPECT_EQ(DecodeEntitiesSingleByte("\xB5\xB3&amp;\xD4\xB1"), "\xB5\xB3&\xD4\xB1");
}

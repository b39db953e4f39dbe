// Byte classes, name comparison, the integer rule, quoting and binary texts.
#include <gtest/gtest.h>

#include "XmlTestUtil.h"
#include "xml/internal/ByteClass.h"

using namespace xml;
using xmltest::caught;

TEST(TextBytes, TableClassifiesEveryByte) {
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    SCOPED_TRACE(b);
    EXPECT_EQ(detail::isBlank(c), b == 9 || b == 10 || b == 13 || b == 32);
    EXPECT_EQ(detail::isQuote(c), b == 34 || b == 39);
    EXPECT_EQ(detail::isTrimmed(c), b <= 32);
    EXPECT_EQ(detail::hasFlag(c, detail::kDigit), b >= 48 && b <= 57);
    EXPECT_EQ(detail::hasFlag(c, detail::kHexDigit),
              (b >= 48 && b <= 57) || (b >= 65 && b <= 70) || (b >= 97 && b <= 102));
    EXPECT_EQ(detail::hasFlag(c, detail::kAnsiLead), b >= 0x81 && b <= 0xFE);
    EXPECT_EQ(detail::hasFlag(c, detail::kLetter), (b >= 65 && b <= 90) || (b >= 97 && b <= 122));
    EXPECT_EQ(detail::hasFlag(c, detail::kNul), b == 0);
  }
}

TEST(TextBytes, NamesCompareWithoutCaseButGbkCharactersWhole) {
  EXPECT_EQ(CompareNames("Item", "ITEM"), 0);
  EXPECT_EQ(CompareNames("item", "item"), 0);
  EXPECT_NE(CompareNames("item", "items"), 0);
  EXPECT_LT(CompareNames("a", "B"), 0);
  EXPECT_GT(CompareNames("b", "A"), 0);
  // 0xC4 0x61 and 0xC4 0x41 are two different GBK characters whose trail
  // bytes happen to be "a" and "A": they must not match.
  EXPECT_NE(CompareNames("\xC4\x61", "\xC4\x41"), 0);
  EXPECT_EQ(CompareNames("\xD6\xD0x", "\xD6\xD0X"), 0);
  // In UTF-8 text every byte above 127 compares by value; ASCII still folds.
  EXPECT_EQ(CompareNames("\xE4\xB8\xAD" "A", "\xE4\xB8\xAD" "a", true), 0);
}

TEST(TextBytes, TrimRemovesBytesUpTo32) {
  EXPECT_EQ(TrimText(std::string_view("\x01\t a b\r\n\x1f", 9)), "a b");
  EXPECT_EQ(TrimText("   "), "");
}

TEST(TextBytes, IntegerRule) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  };
  const Case cases[] = {
      {"0", true, 0},           {"  42", true, 42},          {"-17", true, -17},
      {"+5", true, 5},          {"$1F", true, 31},           {"x1f", true, 31},
      {"X1F", true, 31},        {"0x41", true, 65},          {"0X41", true, 65},
      {"$FFFFFFFF", true, -1},  {"-$10", true, -16},         {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0}, {"-2147483649", false, 0},   {"", false, 0},
      {"-", false, 0},          {"$", false, 0},             {"0x", false, 0},
      {"12a", false, 0},        {"1 ", false, 0},            {"\t1", false, 0},
      {"$123456789", false, 0},  // more than 8 hex digits is no 32-bit pattern
      {"$000000001", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseIntegerText(c.text, 777), c.ok ? c.value : 777);
    if (!c.ok) {
      const XmlError e = caught([&] { ParseIntegerText(c.text); });
      EXPECT_EQ(e.kind(), ErrorKind::Conversion);
      EXPECT_EQ(std::string(e.what()), std::string("'") + c.text + "' is not a valid integer value");
    }
  }
  EXPECT_EQ(ParseInt64Text("$FFFFFFFFFFFFFFFF", 0), -1);
  EXPECT_EQ(ParseInt64Text("9223372036854775807", 0), INT64_MAX);
  EXPECT_EQ(ParseInt64Text("$1FFFFFFFFFFFFFFFF", 5), 5);
  EXPECT_EQ(ParseInt64Text("4294967296", 0), 4294967296LL);
}

TEST(TextBytes, QuoteAndUnquote) {
  EXPECT_EQ(QuoteText("a"), "\"a\"");
  EXPECT_EQ(QuoteText("say \"it's\""), "'say \"it''s\"'");
  struct Case {
    const char* in;
    const char* out;
  };
  const Case cases[] = {
      {"'it''s'", "it's"}, {"\"\"", ""},       {"'abc", "abc"}, {"\"a\"b", "a"},
      {"x", "x"},          {"'", "'"},         {"5", "5"},      {"\"a\"\"b\"", "a\"b"},
  };
  for (const Case& c : cases) EXPECT_EQ(UnquoteText(c.in), c.out) << c.in;
}

TEST(TextBytes, EscapeReplacesTheFiveCharacters) {
  EXPECT_EQ(EscapeText("<a href='x'>&</a>"), "&lt;a href=&apos;x&apos;&gt;&amp;&lt;/a&gt;");
  EXPECT_EQ(EscapeText("\"\xD6\xD0\""), "&quot;\xD6\xD0&quot;");
}

TEST(TextBytes, LineBreaksAndControlChars) {
  EXPECT_EQ(InsertLineBreaks("abcdef", "|", 4), "|abcd|ef|");
  EXPECT_EQ(InsertLineBreaks("", "|", 4), "|");
  EXPECT_EQ(InsertLineBreaks("abcdef", "|", 1), "abcdef|");
  EXPECT_EQ(InsertLineBreaks("abc", "", 2), "abc");
  EXPECT_EQ(RemoveControlChars("T W\r\nF\tu"), "TWFu");
}

TEST(TextBytes, Base64) {
  const unsigned char bytes[] = {0x4D, 0x61, 0x6E};
  EXPECT_EQ(EncodeBase64Text(bytes, 0), "");
  EXPECT_EQ(EncodeBase64Text(bytes, 1), "TQ==");
  EXPECT_EQ(EncodeBase64Text(bytes, 2), "TWE=");
  EXPECT_EQ(EncodeBase64Text(bytes, 3), "TWFu");
  unsigned char out[4] = {0, 0, 0, 0};
  DecodeBase64Text("TQ==", out, 1);
  EXPECT_EQ(out[0], 0x4D);
  DecodeBase64Text(RemoveControlChars("TW Fu"), out, 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "Man");
  const XmlError e = caught([&] { DecodeBase64Text("TWFu", out, 4); });
  EXPECT_EQ(e.kind(), ErrorKind::Filer);
  EXPECT_STREQ(e.what(), "Missing data in binary stream");
}

TEST(TextBytes, Hex) {
  const unsigned char bytes[] = {0x01, 0xAB};
  EXPECT_EQ(EncodeHexText(bytes, 2), "01AB");
  unsigned char out[2] = {0, 0};
  DecodeHexText("01ab", out, 2);
  EXPECT_EQ(out[0], 0x01);
  EXPECT_EQ(out[1], 0xAB);
  const std::pair<const char*, int> bad[] = {{"01ZZ", 2}, {"0", 1}, {"G1", 1}, {"01AB", 3}};
  for (auto [text, count] : bad) {
    const XmlError e = caught([&, text = text, count = count] { DecodeHexText(text, out, count); });
    EXPECT_EQ(e.code(), XmlErrc::MissingBinaryData) << text;
    EXPECT_EQ(e.kind(), ErrorKind::Filer);
  }
}

TEST(TextBytes, EveryErrorHasItsKindAndFormattedText) {
  EXPECT_EQ(errorMessage(XmlErrc::MissingCloseTag, "plan"), "Missing close tag in element plan");
  EXPECT_EQ(errorMessage(XmlErrc::IllegalNodeName, "a b"), "Illegal character in node name \"a b\"");
  EXPECT_EQ(errorKind(XmlErrc::IllegalNodeName), ErrorKind::General);
  EXPECT_EQ(errorKind(XmlErrc::UnsupportedEncoding), ErrorKind::Stream);
  EXPECT_EQ(errorKind(XmlErrc::NoRootElement), ErrorKind::Filer);
  // A filer error is caught as a stream error.
  EXPECT_THROW(raise(XmlErrc::NoRootElement), XmlStreamError);
  EXPECT_THROW(raise(XmlErrc::NotValidInteger, "x"), XmlConversionError);
}

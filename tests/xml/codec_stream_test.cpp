// Encoding detection, delivery, step back and output of the codec streams.
#include <gtest/gtest.h>

#include <memory>

#include "XmlTestUtil.h"

using namespace xml;
using xmltest::caught;

namespace {

std::string readAll(TCodecStream& c) {
  std::string out;
  char ch;
  while (c.Read(&ch, 1) == 1) out.push_back(ch);
  return out;
}

template <typename Codec>
std::string writeThrough(CodecEncoding e, const std::string& bytes) {
  TMemoryStream out;
  Codec codec(&out);
  codec.SetActiveEncoding(e);
  codec.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  return out.Bytes();
}

}  // namespace

TEST(CodecStream, DetectsEachSignature) {
  struct Case {
    std::string bytes;
    CodecEncoding encoding;
    bool mark;
    bool refusedAtDetection;
    bool refusedAtFirstChar;
  };
  using E = CodecEncoding;
  const Case cases[] = {
      {std::string("\x00\x00\xFE\xFF\x00\x00\x00<", 8), E::Ucs4BigEndian, true, true, false},
      {std::string("\xFF\xFE\x00\x00<\x00\x00\x00", 8), E::Ucs4LittleEndian, true, false, true},
      {std::string("\x00\x00\xFF\xFE", 4), E::Ucs4Order2143, true, true, false},
      {std::string("\xFE\xFF\x00\x00", 4), E::Ucs4Order3412, true, true, false},
      {std::string("\xFE\xFF\x00<", 4), E::Utf16BigEndian, true, false, false},
      {std::string("\xFF\xFE<\x00", 4), E::Utf16LittleEndian, true, false, false},
      {std::string("\xEF\xBB\xBF<", 4), E::Utf8, true, false, false},
      {std::string("\x00\x00\x00<", 4), E::Ucs4BigEndian, false, true, false},
      {std::string("<\x00\x00\x00", 4), E::Ucs4LittleEndian, false, false, true},
      {std::string("\x00\x00<\x00", 4), E::Ucs4Order2143, false, true, false},
      {std::string("\x00<\x00\x00", 4), E::Ucs4Order3412, false, true, false},
      {std::string("\x00<\x00?", 4), E::Utf16BigEndian, false, false, false},
      {std::string("<\x00?\x00", 4), E::Utf16LittleEndian, false, false, false},
      {std::string("<?xm", 4), E::Ansi, false, false, false},
      {std::string("\x4C\x6F\xA7\x94", 4), E::Ebcdic, false, true, false},
      {std::string("<a", 2), E::Ansi, false, false, false},
      {std::string("<", 1), E::Ucs4LittleEndian, false, false, true},  // matches row 8 on one byte
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    TStringStream in(c.bytes);
    TAnsiStream codec(&in);
    char ch = 0;
    if (c.refusedAtDetection || c.refusedAtFirstChar) {
      const XmlError e = caught([&] { codec.Read(&ch, 1); });
      EXPECT_STREQ(e.what(), "Unsupported string encoding");
      EXPECT_EQ(e.kind(), ErrorKind::Stream);
      if (c.refusedAtFirstChar) {
        EXPECT_EQ(codec.ActiveEncoding(), c.encoding);
      }
      continue;
    }
    ASSERT_EQ(codec.Read(&ch, 1), 1);
    EXPECT_EQ(ch, '<');
    EXPECT_EQ(codec.ActiveEncoding(), c.encoding);
    EXPECT_EQ(codec.MarkPresent(), c.mark);
  }
}

TEST(CodecStream, EmptyInputIsSingleByteAndEmpty) {
  TStringStream in("");
  TAnsiStream codec(&in);
  char ch;
  EXPECT_EQ(codec.Read(&ch, 1), 0);
  EXPECT_EQ(codec.ActiveEncoding(), CodecEncoding::Ansi);
}

TEST(CodecStream, AnsiSignatureRewindsToFirstByte) {
  TStringStream in("<?xml?>");
  TAnsiStream codec(&in);
  EXPECT_EQ(readAll(codec), "<?xml?>");
}

TEST(CodecStream, Utf16WithChineseIsDeliveredAsGbk) {
  const std::u16string text = u"<a>\u4E2D\u6587</a>";
  std::string bytes = "\xFF\xFE";
  for (char16_t u : text) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  TStringStream in(bytes);
  TAnsiStream codec(&in);
  int losses = 0;
  codec.OnCharacterLoss = [&](TCodecStream&) { ++losses; };
  // U+4E2D has low byte 0x2D and U+6587 low byte 0x87: both arrive whole.
  EXPECT_EQ(readAll(codec), "<a>\xD6\xD0\xCE\xC4</a>");
  EXPECT_EQ(losses, 0);
}

TEST(CodecStream, CharactersGbkCannotHoldReadAsQuestionMarkAndSignalOnce) {
  const std::u16string text = u"\u0E01x\U0001F600\u0E02";
  std::string bytes = "\xFE\xFF";
  for (char16_t u : text) {
    bytes.push_back(static_cast<char>(u >> 8));
    bytes.push_back(static_cast<char>(u & 0xFF));
  }
  TStringStream in(bytes);
  TAnsiStream codec(&in);
  int losses = 0;
  codec.OnCharacterLoss = [&](TCodecStream&) { ++losses; };
  EXPECT_EQ(readAll(codec), "?x??");  // the surrogate pair is one character
  EXPECT_EQ(losses, 1);
}

TEST(CodecStream, Utf16ThroughUtf8Codec) {
  const std::u16string text = u"<\u4E2D\U0001F600>";
  std::string bytes = "\xFF\xFE";
  for (char16_t u : text) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  TStringStream in(bytes);
  TUtf8Stream codec(&in);
  EXPECT_EQ(readAll(codec), "<\xE4\xB8\xAD\xF0\x9F\x98\x80>");
}

TEST(CodecStream, Utf8CodecConvertsWholeGbkCharacters) {
  TStringStream in("<a>\xD6\xD0\xCE\xC4<");
  TUtf8Stream codec(&in);
  EXPECT_EQ(readAll(codec), "<a>\xE4\xB8\xAD\xE6\x96\x87<");
}

TEST(CodecStream, Utf8CodecTakesWholeSequencesAndStopsAtMarkup) {
  // A 4-byte sequence, then a sequence cut short by "<".
  TStringStream in("\xEF\xBB\xBF\xF0\x9F\x98\x80\xE4\xB8<b");
  TUtf8Stream codec(&in);
  EXPECT_EQ(readAll(codec), "\xF0\x9F\x98\x80\xE4\xB8<b");
}

TEST(CodecStream, StepBackRepeatsSourceCharacters) {
  TStringStream in("<abc");
  TAnsiStream codec(&in);
  char a, b;
  codec.Read(&a, 1);
  codec.Read(&b, 1);
  codec.Seek(-2, SeekOrigin::Current);
  char x, y;
  codec.Read(&x, 1);
  codec.Read(&y, 1);
  EXPECT_EQ(std::string({x, y}), "<a");
  codec.Seek(-1, SeekOrigin::Current);
  codec.Read(&x, 1);
  EXPECT_EQ(x, 'a');
  // Through the UTF-8 codec a step back repeats the whole character.
  TStringStream gbk("\xD6\xD0z");
  TUtf8Stream u(&gbk);
  char first;
  u.Read(&first, 1);
  u.Seek(-1, SeekOrigin::Current);
  EXPECT_EQ(readAll(u), "\xE4\xB8\xADz");
}

TEST(CodecStream, PeekAndSkipActAsReads) {
  // Bytes that pass unconverted may be scanned in place and taken with Skip:
  // position and steps back are then as if each had been read.
  const std::string text = "<a>xyz</a>" + std::string(70000, 'w') + "<b/>";
  TStringStream in(text);
  TBufferedReadStream buffered(in);
  TAnsiStream codec(&buffered);
  EXPECT_TRUE(codec.Peek().empty());  // nothing before the first read
  char c = 0;
  ASSERT_EQ(codec.Read(&c, 1), 1);
  std::string_view run = codec.Peek();
  ASSERT_GE(run.size(), 5u);
  EXPECT_EQ(run.substr(0, 5), "a>xyz");
  codec.Skip(5);
  EXPECT_EQ(codec.Position(), 6);
  codec.Seek(-2, SeekOrigin::Current);  // back over "yz"
  EXPECT_EQ(readAll(codec).substr(0, 6), "yz</a>");
  // A skip to the end of the page moves on to the next page.
  TStringStream in2(text);
  TBufferedReadStream buffered2(in2);
  TAnsiStream codec2(&buffered2);
  codec2.Read(&c, 1);
  std::string all(1, c);
  for (run = codec2.Peek(); !run.empty(); run = codec2.Peek()) {
    all.append(run);
    codec2.Skip(run.size());
  }
  EXPECT_EQ(all, text);
  // Converted text is never offered: 16-bit input, GBK through the UTF-8 codec.
  TStringStream wide(std::string("\xFF\xFE<\0a\0", 6));
  TBufferedReadStream wideBuffered(wide);
  TAnsiStream wideCodec(&wideBuffered);
  wideCodec.Read(&c, 1);
  EXPECT_TRUE(wideCodec.Peek().empty());
  TStringStream gbk("<\xD6\xD0>");
  TBufferedReadStream gbkBuffered(gbk);
  TUtf8Stream gbkCodec(&gbkBuffered);
  gbkCodec.Read(&c, 1);
  EXPECT_TRUE(gbkCodec.Peek().empty());
}

TEST(CodecStream, SeekRules) {
  TStringStream in("<ab");
  TAnsiStream codec(&in);
  EXPECT_STREQ(caught([&] { codec.Position(); }).what(),
               "Cannot seek before reading or writing in conversion stream");
  char c;
  codec.Read(&c, 1);
  EXPECT_EQ(codec.Seek(2, SeekOrigin::Beginning), 0);
  EXPECT_EQ(codec.Position(), 1);
  EXPECT_EQ(codec.Size(), 3);
  EXPECT_STREQ(caught([&] { codec.Seek(1, SeekOrigin::Current); }).what(), "Cannot perform seek on codec stream");
  char two[2];
  EXPECT_STREQ(caught([&] { codec.Read(two, 2); }).what(),
               "Cannot read multiple chars from conversion stream at once");
  EXPECT_STREQ(caught([&] { codec.Write("x", 1); }).what(), "Cannot write to an UTF stream opened for reading");
}

TEST(CodecStream, ModeAndInnerChecks) {
  TAnsiStream none(nullptr);
  char c;
  EXPECT_STREQ(caught([&] { none.Read(&c, 1); }).what(), "Encoding stream unassigned");
  TMemoryStream out;
  TAnsiStream w(&out);
  w.Write("a", 1);
  EXPECT_STREQ(caught([&] { w.Read(&c, 1); }).what(), "Cannot read from a conversion stream opened for writing");
}

TEST(CodecStream, NulCharacterIsAFilerError) {
  TStringStream in(std::string("<a>\0</a>", 8));
  TAnsiStream codec(&in);
  char c;
  for (int i = 0; i < 3; ++i) codec.Read(&c, 1);
  const XmlError e = caught([&] { codec.Read(&c, 1); });
  EXPECT_EQ(e.code(), XmlErrc::NulCharacter);
  EXPECT_EQ(e.kind(), ErrorKind::Filer);
}

TEST(CodecStream, OutputInEachEncoding) {
  const std::string tag = "</a>";
  using E = CodecEncoding;
  EXPECT_EQ(writeThrough<TAnsiStream>(E::Utf16BigEndian, tag), std::string("\xFE\xFF\x00<\x00/\x00" "a\x00>", 10));
  EXPECT_EQ(writeThrough<TUtf8Stream>(E::Utf16BigEndian, tag), std::string("\xFE\xFF\x00<\x00/\x00" "a\x00>", 10));
  EXPECT_EQ(writeThrough<TAnsiStream>(E::Ucs2LittleEndian, tag), std::string("<\x00/\x00" "a\x00>\x00", 8));
  EXPECT_EQ(writeThrough<TUtf8Stream>(E::Utf8, tag), "\xEF\xBB\xBF</a>");
  EXPECT_EQ(writeThrough<TAnsiStream>(E::Ansi, tag), "</a>");
  // GBK text leaves as whole characters.
  EXPECT_EQ(writeThrough<TAnsiStream>(E::Utf8, "\xD6\xD0"), "\xEF\xBB\xBF\xE4\xB8\xAD");
  EXPECT_EQ(writeThrough<TAnsiStream>(E::Utf16LittleEndian, "\xD6\xD0"), "\xFF\xFE\x2D\x4E");
  // A byte that starts a GBK pair but is followed by no trail byte (a stray
  // Latin-1 letter before markup) goes out alone: the "<" after it survives.
  EXPECT_EQ(writeThrough<TAnsiStream>(E::Utf8, "caf\xE9</r>\n"), "\xEF\xBB\xBF" "caf\xEF\xBF\xBD</r>\n");
  EXPECT_EQ(writeThrough<TAnsiStream>(E::Utf16LittleEndian, "\xE9<"), std::string("\xFF\xFE\xFD\xFF<\x00", 6));
  // UTF-8 document text to GBK and to UTF-16, four-byte sequences included.
  EXPECT_EQ(writeThrough<TUtf8Stream>(E::Ansi, "\xE4\xB8\xAD"), "\xD6\xD0");
  EXPECT_EQ(writeThrough<TUtf8Stream>(E::Utf16LittleEndian, "\xF0\x9F\x98\x80"),
            std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6));
  for (E refused : {E::Ucs4BigEndian, E::Ucs4Order2143, E::Ucs4Order3412, E::Ebcdic}) {
    EXPECT_STREQ(caught([&] { writeThrough<TAnsiStream>(refused, tag); }).what(), "Unsupported string encoding");
  }
  EXPECT_STREQ(caught([&] { writeThrough<TAnsiStream>(E::Ucs4LittleEndian, tag); }).what(),
               "Unsupported string encoding");
}

TEST(CodecStream, RefusedOutputIsAnError) {
  struct Refusing : TMemoryStream {
    int64_t Write(const void*, int64_t) override { return 0; }
  } sink;
  TAnsiStream codec(&sink);
  EXPECT_STREQ(caught([&] { codec.Write("abc", 3); }).what(), "Cannot write to output stream");
}

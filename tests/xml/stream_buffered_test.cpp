// The paged reader, the paged writer, the push-back reader and the growable text.
#include <gtest/gtest.h>

#include "XmlTestUtil.h"

using namespace xml;

namespace {

std::string pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return s;
}

// Hands out at most `chunk` bytes per read and counts the reads.
class ShortReadStream : public TMemoryStream {
 public:
  ShortReadStream(const std::string& bytes, int64_t chunk) : chunk_(chunk) {
    Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    SetPosition(0);
  }
  int64_t Read(void* buffer, int64_t count) override {
    ++reads;
    return TMemoryStream::Read(buffer, std::min(count, chunk_));
  }
  int reads = 0;

 private:
  int64_t chunk_;
};

std::string readAllByteWise(TStream& s) {
  std::string out;
  char c;
  while (s.Read(&c, 1) == 1) out.push_back(c);
  return out;
}

}  // namespace

TEST(StreamBuffered, ExactPageReadByteWiseThenEnd) {
  const std::string data = pattern(65536);
  TStringStream inner(data);
  TBufferedReadStream s(inner);
  EXPECT_EQ(readAllByteWise(s), data);
  char c;
  EXPECT_EQ(s.Read(&c, 1), 0);
}

TEST(StreamBuffered, LargeReadSpansPages) {
  const std::string data = pattern(150000);
  TStringStream inner(data);
  TBufferedReadStream s(inner);
  std::string out(100000, '\0');
  EXPECT_EQ(s.Read(out.data(), 100000), 100000);
  EXPECT_EQ(out, data.substr(0, 100000));
  EXPECT_EQ(s.Position(), 100000);
  EXPECT_EQ(s.Size(), 150000);
  EXPECT_EQ(s.Position(), 100000);  // the size query leaves the position alone
}

TEST(StreamBuffered, ShortInnerReadsStillFillThePage) {
  const std::string data = pattern(70000);
  ShortReadStream inner(data, 1000);
  TBufferedReadStream s(inner);
  EXPECT_EQ(readAllByteWise(s), data);
}

TEST(StreamBuffered, StepBackInsidePageReadsNothingFromInner) {
  const std::string data = pattern(1000);
  ShortReadStream inner(data, 1 << 20);
  TBufferedReadStream s(inner);
  char c[3];
  s.Read(c, 3);
  const int reads = inner.reads;
  s.Seek(-2, SeekOrigin::Current);
  char again[2];
  EXPECT_EQ(s.Read(again, 2), 2);
  EXPECT_EQ(std::string(again, 2), data.substr(1, 2));
  EXPECT_EQ(inner.reads, reads);
}

TEST(StreamBuffered, StepBackAcrossPageBoundary) {
  const std::string data = pattern(70000);
  TStringStream inner(data);
  TBufferedReadStream s(inner);
  s.Seek(65535, SeekOrigin::Beginning);
  char c[2];
  ASSERT_EQ(s.Read(c, 1), 1);
  ASSERT_EQ(s.Read(c + 1, 1), 1);  // now on page 1
  s.Seek(-2, SeekOrigin::Current);
  char again[2];
  ASSERT_EQ(s.Read(again, 1), 1);
  ASSERT_EQ(s.Read(again + 1, 1), 1);
  EXPECT_EQ(std::string(again, 2), data.substr(65535, 2));
}

TEST(StreamBuffered, NegativeAndEndPositionsReadNothing) {
  TStringStream inner("abcdef");
  TBufferedReadStream s(inner);
  char c = 'x';
  s.Seek(-3, SeekOrigin::Beginning);
  EXPECT_EQ(s.Read(&c, 1), 0);
  s.Seek(1, SeekOrigin::Beginning);
  EXPECT_EQ(s.Read(&c, 1), 1);
  EXPECT_EQ(c, 'b');
  s.Seek(0, SeekOrigin::End);
  EXPECT_EQ(s.Read(&c, 1), 0);
  s.Seek(100, SeekOrigin::Beginning);
  EXPECT_EQ(s.Read(&c, 1), 0);
}

TEST(StreamBuffered, ReaderRefusesWrites) {
  TStringStream inner("a");
  TBufferedReadStream s(inner);
  const XmlError e = xmltest::caught([&] { s.Write("x", 1); });
  EXPECT_STREQ(e.what(), "Cannot write to an UTF stream opened for reading");
  EXPECT_EQ(e.kind(), ErrorKind::Stream);
}

TEST(StreamBuffered, WriterPassesFullPagesOn) {
  TMemoryStream inner;
  {
    TBufferedWriteStream w(inner);
    const std::string block = pattern(65535);
    EXPECT_EQ(w.Write(block.data(), 65535), 65535);
    EXPECT_EQ(inner.Size(), 0);
    EXPECT_EQ(w.Write("z", 1), 1);
    EXPECT_EQ(inner.Size(), 65536);
    EXPECT_EQ(w.Write("tail", 4), 4);
    EXPECT_EQ(inner.Size(), 65536);
  }
  EXPECT_EQ(inner.Size(), 65540);
}

TEST(StreamBuffered, WriterSeeksAreQueriesOnly) {
  TMemoryStream inner;
  TBufferedWriteStream w(inner);
  w.Write("0123456789", 10);
  EXPECT_EQ(w.Seek(10, SeekOrigin::Beginning), 10);
  EXPECT_EQ(w.Position(), 10);
  EXPECT_EQ(w.Size(), 10);
  for (auto [offset, origin] : {std::pair{int64_t{0}, SeekOrigin::Beginning}, std::pair{int64_t{5}, SeekOrigin::Current}}) {
    const XmlError e = xmltest::caught([&, offset = offset, origin = origin] { w.Seek(offset, origin); });
    EXPECT_STREQ(e.what(), "Cannot perform seek on codec stream");
  }
  char c;
  EXPECT_STREQ(xmltest::caught([&] { w.Read(&c, 1); }).what(),
               "Cannot read from a conversion stream opened for writing");
}

TEST(StreamBuffered, RefusedFlushIsReported) {
  xmltest::LimitedStream inner(100);
  TBufferedWriteStream w(inner);
  w.Write(pattern(200).data(), 200);
  const XmlError e = xmltest::caught([&] { w.FlushPage(); });
  EXPECT_STREQ(e.what(), "Cannot write to output stream");
}

TEST(StreamBuffered, PushbackReader) {
  TStringStream inner("\x09 \x0D\x0A<");
  TPushbackReader r(inner);
  r.SetPushBack("ab");
  char c;
  ASSERT_EQ(r.TakeChar(c), 1);
  EXPECT_EQ(c, 'a');
  ASSERT_EQ(r.TakeChar(c), 1);
  EXPECT_EQ(c, 'b');
  ASSERT_TRUE(r.TakeNonBlank(c));
  EXPECT_EQ(c, '<');
  EXPECT_FALSE(r.TakeNonBlank(c));
  TStringStream blanks(" \t\r\n");
  TPushbackReader r2(blanks);
  EXPECT_FALSE(r2.TakeNonBlank(c));
}

TEST(StreamBuffered, StringBuilderGrowsByDoubling) {
  TStringBuilder sb;
  EXPECT_EQ(sb.Capacity(), 64u);
  for (int i = 0; i < 65; ++i) sb.AppendChar(static_cast<char>('a' + i % 26));
  EXPECT_EQ(sb.Capacity(), 128u);
  EXPECT_EQ(sb.CharAt(1), 'a');
  EXPECT_EQ(sb.CharAt(66), '\0');
  TStringBuilder five;
  for (char c : std::string("hello")) five.AppendChar(c);
  EXPECT_EQ(five.Slice(1, 1000), "hello");
  EXPECT_EQ(five.Slice(4, 1), "l");
  EXPECT_EQ(five.Slice(6, 1), "");
  EXPECT_EQ(five.Value(), "hello");
}

TEST(StreamBuffered, StringStreamRoundTrip) {
  TStringStream s("abc");
  EXPECT_EQ(s.Size(), 3);
  EXPECT_EQ(s.Position(), 0);
  s.Seek(0, SeekOrigin::End);
  s.Write("de", 2);
  EXPECT_EQ(s.DataText(), "abcde");
  TStringStream empty;
  EXPECT_EQ(empty.DataText(), "");
}

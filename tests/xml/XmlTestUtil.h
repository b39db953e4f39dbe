#pragma once
// Helpers shared by the XML tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "tests/support/InChild.h"
#include "xml/Xml.h"

namespace xmltest {

// A memory stream that takes at most `room` bytes in all, then reports short
// writes (a full disk, as the writers see it).
class LimitedStream : public xml::TMemoryStream {
 public:
  explicit LimitedStream(int64_t room) : room_(room) {}
  int64_t Write(const void* buffer, int64_t count) override {
    const int64_t n = std::min(count, room_);
    room_ -= n;
    return n > 0 ? xml::TMemoryStream::Write(buffer, n) : 0;
  }

 private:
  int64_t room_;
};

// A string stream without Peek: every reader takes its bytes one call at a
// time, the way the parser read before it scanned text in place.
class ByteWiseStream : public xml::TStringStream {
 public:
  using xml::TStringStream::TStringStream;
  std::string_view Peek() override { return {}; }
};

inline std::string dataPath(const std::string& name) { return std::string(RC_XML_DATA_DIR) + "/" + name; }

inline std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file in a fresh temporary folder, removed with the object.
class TempFile {
 public:
  explicit TempFile(const std::string& bytes, const std::string& name = "t.xml") {
    dir_ = std::filesystem::temp_directory_path() /
           ("rcxml_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / name).string();
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  ~TempFile() { std::filesystem::remove_all(dir_); }
  const std::string& path() const { return path_; }

 private:
  std::filesystem::path dir_;
  std::string path_;
};

// A text as UTF-16 after its byte-order mark.
inline std::string utf16(std::u16string_view text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t u : text) {
    const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
    out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return out;
}

// A stream that hands out one byte per read and nothing to scan in place.
class TricklingStream : public xml::TStringStream {
 public:
  using xml::TStringStream::TStringStream;
  int64_t Read(void* buffer, int64_t count) override {
    return xml::TStringStream::Read(buffer, std::min<int64_t>(count, 1));
  }
  std::string_view Peek() override { return {}; }
};

// The ways in of a document's bytes: the string reader and the byte-wise
// one, which take them as they are, and the loads through a codec from a
// stream, a stream that trickles, and a file.
enum class ReadPath { String, ByteWise, Stream, Trickle, File };

inline void readAlong(xml::TXmlDocument& doc, const std::string& bytes, ReadPath path) {
  switch (path) {
    case ReadPath::String: doc.ReadFromString(bytes); break;
    case ReadPath::ByteWise: {
      ByteWiseStream stream(bytes);
      doc.ParseStream(stream);
      break;
    }
    case ReadPath::Stream: {
      xml::TStringStream stream(bytes);
      doc.LoadFromStream(stream);
      break;
    }
    case ReadPath::Trickle: {
      TricklingStream stream(bytes);
      doc.LoadFromStream(stream);
      break;
    }
    case ReadPath::File: {
      TempFile file(bytes);
      doc.LoadFromFile(file.path());
      break;
    }
  }
}

// Runs f and returns the code of the XmlError it raised; fails when none.
template <typename F>
xml::XmlError caught(F f) {
  try {
    f();
  } catch (const xml::XmlError& e) {
    return e;
  }
  ADD_FAILURE() << "no XmlError raised";
  return xml::XmlError(xml::XmlErrc::IllegalNodeName, xml::ErrorKind::General, "<none>");
}

// Same kinds, names, values, attribute lines and children, at every depth.
inline void expectSameTree(const xml::TXmlNode& a, const xml::TXmlNode& b, const std::string& path = "") {
  SCOPED_TRACE(path + "/" + a.Name());
  ASSERT_EQ(a.Type(), b.Type());
  EXPECT_EQ(a.Name(), b.Name());
  // A stylesheet's value is its tag text as read; the writer rebuilds the tag
  // from the attribute lines, one blank apart, so only those lines must match.
  if (a.Type() != xml::ElementType::Stylesheet) {
    EXPECT_EQ(a.Value(), b.Value());
  }
  ASSERT_EQ(a.AttributeCount(), b.AttributeCount());
  for (int i = 0; i < a.AttributeCount(); ++i) EXPECT_EQ(a.AttributePair(i), b.AttributePair(i));
  ASSERT_EQ(a.ChildCount(), b.ChildCount());
  for (int i = 0; i < a.ChildCount(); ++i) expectSameTree(*a.ChildAt(i), *b.ChildAt(i), path + "/" + a.Name());
}

using testsupport::inChild;

// 0 when f raises the error code, 1 when it raises another, 2 when it returns.
template <typename F>
int raisesCode(F f, xml::XmlErrc code) {
  try {
    f();
  } catch (const xml::XmlError& e) {
    return e.code() == code ? 0 : 1;
  }
  return 2;
}

}  // namespace xmltest

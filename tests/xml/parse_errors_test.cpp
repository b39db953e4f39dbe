// Parse failures: messages, kinds, the partial tree, nesting and NUL bytes.
#include <gtest/gtest.h>

#include "XmlTestUtil.h"

using namespace xml;
using xmltest::caught;

namespace {

// An ASCII text as UTF-16 after its byte-order mark: each byte one 16-bit unit.
std::string utf16(std::string_view text, bool bigEndian) {
  return xmltest::utf16(std::u16string(text.begin(), text.end()), bigEndian);
}

}  // namespace

TEST(ParseErrors, MessagesKindsAndPlacesOnEveryReadPath) {
  // offset and line are those of the text as written here; in UTF-16 every
  // character is two bytes after the two of the mark.
  struct Case {
    std::string text;
    const char* message;
    ErrorKind kind;
    int64_t offset;
    int64_t line;
    bool strict = false;
  };
  const auto F = ErrorKind::Filer;
  std::string deep;  // the 1001st "<a>" goes too deep
  for (int i = 0; i < 1001; ++i) deep += "<a>\n";
  const Case cases[] = {
      // The end of the input: its length.
      {"<a>text", "Missing close tag in element a", F, 7, 1},
      {"<a><b>x</b>", "Missing close tag in element a", F, 11, 1},
      {"<a>\r\n  <b>x</b>\r\n", "Missing close tag in element a", F, 17, 3},
      {"<a>x<", "Missing data after \"<\" in element a", F, 5, 1},
      {"<a>x<  \r\n", "Missing data after \"<\" in element a", F, 9, 2},
      {"<a>x</a", "Missing \">\" in close tag of element a", F, 7, 1},
      {"<a", "Missing element name", F, 2, 1},
      {"", "No root element found in xml", F, 0, 1},
      {"  \r\n ", "No root element found in xml", F, 5, 2},
      {"<!-- only -->", "No root element found in xml", F, 13, 1},
      // A character: where it begins.
      {"<a></b>", "Incorrect close tag in element a", F, 6, 1},
      {"<r><a x=\"1\"></ab></r>", "Incorrect close tag in element a", F, 16, 1},
      {"<r>\r\n<a>\r\n</b>", "Incorrect close tag in element a", F, 13, 3},
      {"<r>\n<a>\r<b></c>", "Incorrect close tag in element b", F, 14, 3},  // a CR alone ends a line too
      {"<>", "Missing element name", F, 1, 1},
      {"<r><  /></r>", "Incorrect close tag in element r", F, 7, 1},
      {"<!ELEMENT \"a b\" x>", "Illegal character in node name \"\"a b\"\"", ErrorKind::General, 17, 1},
      {"<!DOCTYPE \"a b\">\n<r/>", "Illegal character in node name \"\"a b\"\"", ErrorKind::General, 15, 1},
      {std::string("<a>x\0y</a>", 10), "NUL character in xml", F, 4, 1},
      {std::string("<a b=\"1\0\"/>", 11), "NUL character in xml", F, 7, 1},
      {std::string("<r/>\n<!-- a\0 -->", 16), "NUL character in xml", F, 11, 2},
      {std::string("<r>\n<\0", 6), "NUL character in xml", F, 5, 2},
      {deep, "Element nesting too deep", F, 4000, 1001},
      // The root checks: where the node they refuse begins.
      {"<r/>\n<s/>", "More than one root element found in xml", F, 5, 2, true},
      {"<?xml version=\"1.0\"?>\r\n<?xml version=\"1.0\"?><r/>", "More than one xml declaration found in xml", F,
       23, 2, true},
      {"<!--c-->\n<?xml version=\"1.0\"?><r/>", "Xml declaration must be first element", F, 9, 2, true},
      {"<!DOCTYPE r>\n<!DOCTYPE r><r/>", "More than one doctype declaration found in root", F, 13, 2, true},
      {"<r/>\r\n<!DOCTYPE r>", "Doctype declaration found after root element", F, 6, 2, true},
      {"<r/>\n\n<![CDATA[x]]>", "No CDATA allowed in root", F, 6, 3, true},
  };
  // Each way in: the string reader and the byte-wise one over the same bytes,
  // loads through both codecs (the single-byte one scans the page in place,
  // the UTF-8 one takes GBK text a character at a time), a file, a stream
  // that gives a byte per read, UTF-16.
  using How = xmltest::ReadPath;
  struct Path {
    const char* name;
    How how;
    bool utf8Mode;
    int wide;  // 0 single bytes, 1 UTF-16LE, 2 UTF-16BE
  };
  const Path paths[] = {
      {"ReadFromString", How::String, false, 0},
      {"ParseStream, byte-wise", How::ByteWise, false, 0},
      {"LoadFromStream", How::Stream, false, 0},
      {"LoadFromStream, Utf8Mode", How::Stream, true, 0},
      {"LoadFromFile", How::File, false, 0},
      {"LoadFromStream, a byte per read", How::Trickle, false, 0},
      {"LoadFromStream, UTF-16LE", How::Stream, false, 1},
      {"LoadFromStream, UTF-16BE, a byte per read", How::Trickle, false, 2},
      {"LoadFromFile, UTF-16BE, Utf8Mode", How::File, true, 2},
  };
  for (const Case& c : cases) {
    for (const Path& p : paths) {
      // A mark and nothing else is read by its first bytes as UCS-4 (refused).
      if (c.text.empty() && p.wide != 0) continue;
      SCOPED_TRACE(std::string(p.name) + ": " + c.text.substr(0, 40));
      const std::string bytes = p.wide == 0 ? c.text : utf16(c.text, p.wide == 2);
      TXmlDocument doc;
      doc.StrictRootChecks = c.strict;
      doc.Utf8Mode = p.utf8Mode;
      const XmlError e = caught([&] { xmltest::readAlong(doc, bytes, p.how); });
      EXPECT_STREQ(e.what(), c.message);
      EXPECT_EQ(e.kind(), c.kind);
      EXPECT_EQ(e.offset(), p.wide == 0 ? c.offset : 2 + 2 * c.offset);
      EXPECT_EQ(e.line(), c.line);
    }
  }
}

TEST(ParseErrors, CodecFailuresHaveTheirPlace) {
  struct Case {
    std::string bytes;
    XmlErrc code;
    int64_t offset;
    int64_t line;
  };
  const Case cases[] = {
      // A lone last byte: where it lies.
      {utf16("<r>\r\n</r>", false) + "x", XmlErrc::TruncatedUtf16, 20, 2},
      {utf16("<r>\n\n</r>", true) + std::string(1, '\0'), XmlErrc::TruncatedUtf16, 20, 3},
      // Refused at the signature, or at the first character after the mark.
      {std::string("\0\0\xFE\xFF\0\0\0<", 8), XmlErrc::UnsupportedEncoding, 0, 1},
      {"\x4C\x6F\xA7\x94", XmlErrc::UnsupportedEncoding, 0, 1},
      {std::string("\xFF\xFE\0\0<\0\0\0", 8), XmlErrc::UnsupportedEncoding, 4, 1},
      // An input that ends inside a mark: the failure lies at its end, not past it.
      {"\xFF", XmlErrc::UnsupportedEncoding, 1, 1},
      {"\xEF\xBB", XmlErrc::NoRootElement, 2, 1},
  };
  for (const Case& c : cases) {
    for (bool utf8Mode : {false, true}) {
      SCOPED_TRACE(::testing::PrintToString(c.bytes) + (utf8Mode ? " Utf8Mode" : ""));
      TXmlDocument doc;
      doc.Utf8Mode = utf8Mode;
      TStringStream stream(c.bytes);
      const XmlError e = caught([&] { doc.LoadFromStream(stream); });
      EXPECT_EQ(e.code(), c.code) << e.what();
      EXPECT_EQ(e.offset(), c.offset);
      EXPECT_EQ(e.line(), c.line);
    }
  }
}

TEST(ParseErrors, PlacesOfANodeParsedAloneAndNoneForCallsOnTheTree) {
  // A node read by itself counts in the text it was given.
  TXmlNode node;
  const XmlError parsed = caught([&] { node.ReadFromString("\n<a>\r\n</b>"); });
  EXPECT_EQ(parsed.code(), XmlErrc::IncorrectCloseTag);
  EXPECT_EQ(parsed.offset(), 9);
  EXPECT_EQ(parsed.line(), 3);
  // Failures that no input holds have no place.
  const XmlError named = caught([&] { node.SetNodeName("a b"); });
  EXPECT_EQ(named.code(), XmlErrc::IllegalNodeName);
  EXPECT_EQ(named.offset(), -1);
  EXPECT_EQ(named.line(), -1);
  EXPECT_EQ(caught([] { ParseIntegerText("x"); }).offset(), -1);
  TXmlDocument empty;
  empty.StrictRootChecks = true;
  empty.TopLevelNodes().ClearChildren();
  EXPECT_EQ(caught([&] { empty.WriteToString(); }).offset(), -1);
}

TEST(ParseErrors, PartialTreeStaysAfterAFailure) {
  TXmlDocument doc;
  EXPECT_THROW(doc.ReadFromString("<plan><item id=\"1\"/><item id=\"2\"><x>"), XmlFilerError);
  TXmlNode* plan = doc.RootElement();
  ASSERT_NE(plan, nullptr);
  EXPECT_EQ(plan->Name(), "plan");
  ASSERT_EQ(plan->ChildCount(), 2);
  EXPECT_EQ(plan->ChildAt(1)->AttributeValue("id"), "2");
  ASSERT_EQ(plan->ChildAt(1)->ChildCount(), 1);
  EXPECT_EQ(plan->ChildAt(1)->ChildAt(0)->Name(), "x");
}

TEST(ParseErrors, EndOfInputInsideMarkupGivesEmptyText) {
  TXmlDocument doc;
  doc.ReadFromString("<r/><!-- open");
  EXPECT_EQ(doc.TopLevelNodes().ChildAt(1)->Type(), ElementType::Comment);
  EXPECT_EQ(doc.TopLevelNodes().ChildAt(1)->Value(), "");
}

TEST(ParseErrors, NestingIsBounded) {
  auto nested = [](int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "<a>";
    for (int i = 0; i < depth; ++i) s += "</a>";
    return s;
  };
  TXmlDocument doc;
  EXPECT_NO_THROW(doc.ReadFromString(nested(1000)));
  const XmlError e = caught([&] { doc.ReadFromString(nested(1001)); });
  EXPECT_STREQ(e.what(), "Element nesting too deep");
  EXPECT_EQ(e.kind(), ErrorKind::Filer);
  // Nested doctype subsets count as well.
  std::string doctypes;
  for (int i = 0; i < 5000; ++i) doctypes += "<!DOCTYPE a [";
  EXPECT_EQ(caught([&] { doc.ReadFromString(doctypes); }).code(), XmlErrc::NestingTooDeep);
  // A very deep unclosed input fails cleanly too.
  EXPECT_EQ(caught([&] { doc.ReadFromString(std::string(200000, '<') ); }).kind(), ErrorKind::Filer);
}

TEST(ParseErrors, NulByteIsAFilerErrorInStringsAndFiles) {
  const std::string withNul("<a>x\0y</a>", 10);
  TXmlDocument doc;
  EXPECT_EQ(caught([&] { doc.ReadFromString(withNul); }).code(), XmlErrc::NulCharacter);
  // A comment body that ends at a NUL does not resume after it.
  const std::string inComment("<r/><!-- a\0 --><x/>", 19);
  EXPECT_EQ(caught([&] { doc.ReadFromString(inComment); }).code(), XmlErrc::NulCharacter);
  xmltest::TempFile file(withNul);
  EXPECT_EQ(caught([&] { doc.LoadFromFile(file.path()); }).code(), XmlErrc::NulCharacter);
}

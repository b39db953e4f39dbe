// Characters the document's code page cannot hold (GBK has no Hangul) in
// 16-bit and UTF-8 input. Where a name or other markup is read, the GBK load
// fails at the character's place rather than read its stand-in "?" as markup
// ("<?" would begin a processing instruction); in text, quoted values,
// comments and CDATA the character becomes "?" as before. A UTF-8 document,
// or a 16-bit one in Utf8Mode, keeps every character. On every load path:
// a file, a stream, a stream that trickles one byte per read, and the string
// and byte-wise reads, which take the bytes as they are.
#include <gtest/gtest.h>

#include "XmlTestUtil.h"

using namespace xml;
using xmltest::caught;
using xmltest::dataPath;
using xmltest::expectSameTree;

namespace {

using xmltest::ReadPath;

struct Outcome {
  bool failed = false;
  XmlErrc code{};
  int64_t offset = -1;
  int64_t line = -1;
  int losses = 0;
};

Outcome load(TXmlDocument& doc, const std::string& bytes, ReadPath path) {
  Outcome o;
  doc.OnCharacterLoss = [&](TXmlDocument&) { ++o.losses; };
  try {
    xmltest::readAlong(doc, bytes, path);
  } catch (const XmlError& e) {
    o = {true, e.code(), e.offset(), e.line(), o.losses};
  }
  return o;
}

// The tree a document should give: parsed from the text itself, in UTF-8,
// or with every character outside ASCII as "?" (what GBK makes of Hangul).
void reference(TXmlDocument& doc, std::u16string text, bool asQuestionMarks) {
  if (asQuestionMarks)
    for (char16_t& u : text)
      if (u >= 0x80) u = u'?';
  doc.Utf8Mode = true;
  doc.ReadFromString(WideToUtf8Text(text));
}

}  // namespace

TEST(CodecMarkup, ACharacterOutsideTheCodePageNeverBecomesMarkup) {
  struct Doc {
    const char* what;
    std::u16string text;
    int markupAt;  // index of the character that stands in markup; -1: none does
  };
  const Doc docs[] = {
      {"a name right after \"<\"", u"<r><\uD55C>x</\uD55C><b>y</b></r>", 4},
      {"inside a name", u"<r><a\uD55C k=\"v\">x</a\uD55C><b>y</b></r>", 5},
      {"an attribute's name", u"<r k=\"1\" \uD55C=\"2\"><b>y</b></r>", 9},
      {"a processing instruction's target", u"<r><?\uD55C x?><b>y</b></r>", 5},
      {"a processing instruction's text (\"?>\" would end it)", u"<r><?p \uD55C>x?><b>y</b></r>", 7},
      {"a declaration's name", u"<!DOCTYPE r [<!ELEMENT \uD55C ANY>]><r><b>y</b></r>", 23},
      {"text, quoted values, a comment, CDATA and a quoted identifier",
       u"<!DOCTYPE r SYSTEM \"\uD55C.dtd\"><r a=\"\uD55C\" b='\uD55C'>x\uD55Cy<!--\uD55C-->"
       u"<![CDATA[\uD55C]]><b>\uD55C</b></r>",
       -1},
      {"text after a \"<\" and a blank", u"<r>1 < \uD55C<b>y</b></r>", -1},
  };
  // UTF-8 is told by its mark or its declaration (without either a file is GBK).
  enum class Bytes { Utf16Le, Utf16Be, Utf8Marked, Utf8Declared };
  const std::u16string declaration = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  for (const Doc& d : docs) {
    for (Bytes form : {Bytes::Utf16Le, Bytes::Utf16Be, Bytes::Utf8Marked, Bytes::Utf8Declared}) {
      const bool wide = form == Bytes::Utf16Le || form == Bytes::Utf16Be;
      const std::u16string text = form == Bytes::Utf8Declared ? declaration + d.text : d.text;
      const std::string bytes = wide ? xmltest::utf16(text, form == Bytes::Utf16Be)
                                     : (form == Bytes::Utf8Marked ? "\xEF\xBB\xBF" : "") + WideToUtf8Text(text);
      for (bool utf8Mode : {false, true}) {
        for (ReadPath path : {ReadPath::File, ReadPath::Stream, ReadPath::Trickle, ReadPath::String, ReadPath::ByteWise}) {
          SCOPED_TRACE(testing::Message() << d.what << ", form " << static_cast<int>(form) << ", Utf8Mode "
                                          << utf8Mode << ", path " << static_cast<int>(path));
          const bool codec = path != ReadPath::String && path != ReadPath::ByteWise;
          TXmlDocument doc;
          doc.Utf8Mode = utf8Mode;
          const Outcome o = load(doc, bytes, path);
          if (wide && !codec) {  // the bytes as they are: the zero byte of "<" stops them
            EXPECT_TRUE(o.failed);
            EXPECT_EQ(o.code, XmlErrc::NulCharacter);
            continue;
          }
          if (wide && !utf8Mode && d.markupAt >= 0) {
            EXPECT_TRUE(o.failed);
            EXPECT_EQ(o.code, XmlErrc::CharacterInMarkupLost);
            EXPECT_EQ(o.offset, 2 + 2 * d.markupAt);
            EXPECT_EQ(o.line, 1);
            continue;
          }
          ASSERT_FALSE(o.failed) << errorMessage(o.code) << " at " << o.offset;
          const bool lossy = wide && !utf8Mode;
          EXPECT_EQ(o.losses, lossy ? 1 : 0);
          TXmlDocument expected;
          reference(expected, text, lossy);
          expectSameTree(doc.TopLevelNodes(), expected.TopLevelNodes());
        }
      }
    }
  }
}

// A UTF-16 file of a well-formed document whose doctype, element
// declaration and root element bear a name outside GBK: refused at the
// doctype's name in GBK, read whole in Utf8Mode.
TEST(CodecMarkup, Utf16NamesOutsideGbkInTheDoctypeAndTheRoot) {
  TXmlDocument gbk;
  const XmlError e = caught([&] { gbk.LoadFromFile(dataPath("utf16le_doctype_name_outside_gbk.xml")); });
  EXPECT_EQ(e.code(), XmlErrc::CharacterInMarkupLost);
  EXPECT_EQ(e.kind(), ErrorKind::Stream);
  EXPECT_EQ(e.offset(), 2 + 2 * 10);
  EXPECT_EQ(e.line(), 1);

  TXmlDocument utf8;
  utf8.Utf8Mode = true;
  utf8.LoadFromFile(dataPath("utf16le_doctype_name_outside_gbk.xml"));
  const std::string name = "\xED\x95\x9C\xEA\xB8\x80";  // the name in UTF-8
  const TXmlNode& top = utf8.TopLevelNodes();
  ASSERT_EQ(top.ChildCount(), 2);
  EXPECT_EQ(top.ChildAt(0)->Type(), ElementType::DocType);
  EXPECT_EQ(top.ChildAt(0)->Name(), name);
  ASSERT_EQ(top.ChildAt(0)->ChildCount(), 1);
  EXPECT_EQ(top.ChildAt(0)->ChildAt(0)->Type(), ElementType::DtdElement);
  EXPECT_EQ(top.ChildAt(0)->ChildAt(0)->Name(), name);
  ASSERT_NE(utf8.RootElement(), nullptr);
  EXPECT_EQ(utf8.RootElement()->Name(), name);
  EXPECT_EQ(utf8.RootElement()->ChildCount(), 0);
}

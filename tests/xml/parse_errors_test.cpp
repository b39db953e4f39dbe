// Parse failures: messages, kinds, the partial tree, nesting and NUL bytes.
#include <gtest/gtest.h>

#include "XmlTestUtil.h"

using namespace xml;
using xmltest::caught;

TEST(ParseErrors, MessagesNameTheElement) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"<a>text", "Missing close tag in element a"},
      {"<a><b>x</b>", "Missing close tag in element a"},
      {"<a>x<", "Missing data after \"<\" in element a"},
      {"<a>x<  \r\n", "Missing data after \"<\" in element a"},
      {"<a>x</a", "Missing \">\" in close tag of element a"},
      {"<a></b>", "Incorrect close tag in element a"},
      {"<r><a x=\"1\"></ab></r>", "Incorrect close tag in element a"},
      {"<>", "Missing element name"},
      {"<r><  /></r>", "Incorrect close tag in element r"},
      {"<!ELEMENT \"a b\" x>", "Illegal character in node name \"\"a b\"\""},
      {"", "No root element found in xml"},
      {"  \r\n ", "No root element found in xml"},
      {"<!-- only -->", "No root element found in xml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TXmlDocument doc;
    const XmlError e = caught([&] { doc.ReadFromString(c.text); });
    EXPECT_STREQ(e.what(), c.message);
    const bool general = std::string(c.message).rfind("Illegal", 0) == 0;
    EXPECT_EQ(e.kind(), general ? ErrorKind::General : ErrorKind::Filer);
  }
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

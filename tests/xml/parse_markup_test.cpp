// Markup recognition, tag tokens and element values, read through ReadFromString.
#include <gtest/gtest.h>

#include "XmlTestUtil.h"
#include "xml/internal/Parser.h"

using namespace xml;

namespace {

// The first top-level node after parsing text without root checks getting in the way.
struct Parsed {
  TXmlDocument doc;
  TXmlNode* first = nullptr;
  explicit Parsed(const std::string& text) {
    doc.ReadFromString(text + "<root/>");
    first = doc.TopLevelNodes().ChildAt(0);
  }
};

std::vector<std::string> lines(const TXmlNode& n) {
  std::vector<std::string> out;
  for (int i = 0; i < n.AttributeCount(); ++i) out.push_back(n.AttributePair(i));
  return out;
}

}  // namespace

TEST(ParseMarkup, LongestStartWinsAndKeywordsAreCaseSensitive) {
  struct Case {
    const char* text;
    ElementType type;
    const char* name;
    const char* value;
  };
  using T = ElementType;
  const Case cases[] = {
      {"<?xml-stylesheet href=\"a.xsl\"?>", T::Stylesheet, "xml-stylesheet", "href=\"a.xsl\""},
      {"<?xml version=\"1.0\"?>", T::Declaration, "xml", ""},
      {"<?xmlfoo a=\"1\"?>", T::Declaration, "xml", ""},
      {"<?php echo ?>", T::SpecialInstruction, "Special", "php echo "},
      {"<!-- note -->", T::Comment, "Comment", " note "},
      {"<![CDATA[a<b]]>", T::CData, "CData", "a<b"},
      {"<!doctype html>", T::SpecialMarkup, "Special", "doctype html"},
      {"<!DOCTYPE plan SYSTEM \"p.dtd\">", T::DocType, "plan", "SYSTEM \"p.dtd\""},
      {"<abc x='1'/>", T::Element, "abc", ""},
      {"<!-x->", T::SpecialMarkup, "Special", "-x-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Parsed p(c.text);
    ASSERT_NE(p.first, nullptr);
    EXPECT_EQ(p.first->Type(), c.type);
    EXPECT_EQ(p.first->Name(), c.name);
    EXPECT_EQ(p.first->Value(), c.value);
  }
  Parsed foo("<?xmlfoo a=\"1\"?>");
  EXPECT_EQ(lines(*foo.first), (std::vector<std::string>{"foo", "a=\"1\""}));
}

TEST(ParseMarkup, TagTokens) {
  struct Case {
    const char* text;
    std::vector<std::string> tokens;
  };
  const Case cases[] = {
      {"a b=\"1\" c='x y'", {"a", "b=\"1\"", "c='x y'"}},
      {"a b = \"1\"", {"a", "b=\"1\""}},
      {"a b= '1'", {"a", "b='1'"}},
      {"a b =1", {"a", "b=1"}},
      {"a b = 1", {"a", "b=", "1"}},
      {"a b=\"1>2\"", {"a", "b=\"1>2\""}},
      {"\t\r\n a \r\n", {"a"}},
      {"   ", {}},
      {"a\tb\nc", {"a", "b", "c"}},
      // Runs of "=" tokens and of quoted tokens join whole; a quoted token
      // joins only a token that holds "=" before the join.
      {"a b = = \"1\"", {"a", "b==\"1\""}},
      {"a b= \"x\" \"y\"", {"a", "b=\"x\"", "\"y\""}},
      {"a b= \"x=\" \"y\"", {"a", "b=\"x=\"\"y\""}},
      {"a \"q\" b", {"a", "\"q\"", "b"}},
      {"=a =b c", {"=a=b", "c"}},
      {"a b=\"1\"c d", {"a", "b=\"1\"c", "d"}},
  };
  for (const Case& c : cases) EXPECT_EQ(detail::SplitTagTokens(c.text), c.tokens) << c.text;
}

TEST(ParseMarkup, AttributesKeepTheirTextAsWritten) {
  TXmlDocument doc;
  doc.ReadFromString("<a b=\"1>2\" c='x&amp;y' d=5 e = \"q\"/>");
  TXmlNode* a = doc.RootElement();
  EXPECT_EQ(lines(*a), (std::vector<std::string>{"b=\"1>2\"", "c='x&amp;y'", "d=5", "e=\"q\""}));
  EXPECT_EQ(a->AttributeValue("c"), "x&y");
  EXPECT_EQ(a->ChildCount(), 0);
}

TEST(ParseMarkup, ElementValues) {
  struct Case {
    const char* text;
    const char* value;
    std::vector<std::string> children;  // names, or "#" + text for character data
  };
  const Case cases[] = {
      {"<a>hello</a>", "hello", {}},
      {"<a>  hello  </a>", "  hello  ", {}},
      {"<a>x &amp; y</a>", "x &amp; y", {}},
      {"<a>x<b/>y</a>", "x", {"b", "#y"}},
      {"<a>x<b/>y\r\n</a>", "x", {"b", "#y"}},       // trailing line end dropped after a child
      {"<a>x<b/>y \t\r\n</a>", "x", {"b", "#y \t"}},  // a tab stops the trimming
      {"<a>x\r\n<b/>y\n</a>", "x\r\n", {"b", "#y\n"}}, // no CR after the last child: nothing trimmed
      {"<a>  <b/>  </a>", "", {"b"}},
      {"<a><b/>y</a>", "", {"b", "#y"}},
      {"<a>\r\n  text\r\n</a>", "\r\n  text\r\n", {}},
      {"<a>< /a>", "", {}},  // blanks after "<" are skipped before the "/"
      {"<a></A>", "", {}},
      // No markup begins with a blank: "<" and the blanks are text, and so is
      // what follows them.
      {"<a>1 < 23 c</a>", "1 < 23 c", {}},
      {"<a>< b/></a>", "< b/>", {}},
      {"<a>x<b/>y <\r\n\tz</a>", "x", {"b", "#y <\r\n\tz"}},
      {"<a>x<b/>y <\r\n</a>", "x", {"b", "#y <\r"}},  // the blank after "<" stays when the line end goes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    TXmlDocument doc;
    doc.ReadFromString(c.text);
    TXmlNode* a = doc.RootElement();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Value(), c.value);
    std::vector<std::string> kids;
    for (int i = 0; i < a->ChildCount(); ++i) {
      const TXmlNode* k = a->ChildAt(i);
      kids.push_back(k->Type() == ElementType::CharData ? "#" + k->Value() : k->Name());
    }
    EXPECT_EQ(kids, c.children);
  }
}

TEST(ParseMarkup, DeclarationAttributes) {
  TXmlDocument doc;
  doc.ReadFromString("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r/>");
  TXmlNode* decl = doc.TopLevelNodes().ChildAt(0);
  EXPECT_EQ(decl->Type(), ElementType::Declaration);
  EXPECT_EQ(lines(*decl), (std::vector<std::string>{"version=\"1.0\"", "encoding=\"UTF-8\""}));
  EXPECT_EQ(decl->ChildCount(), 0);
  EXPECT_EQ(doc.DeclaredEncoding(), "UTF-8");
}

TEST(ParseMarkup, DocTypeWithAndWithoutSubset) {
  TXmlDocument doc;
  // Without a subset the doctype must not swallow the root's start tag.
  doc.ReadFromString("<!DOCTYPE plan><plan a=\"1\"/>");
  ASSERT_NE(doc.RootElement(), nullptr);
  EXPECT_EQ(doc.RootElement()->Name(), "plan");
  EXPECT_EQ(doc.RootElement()->AttributeValue("a"), "1");

  doc.ReadFromString(
      "<!DOCTYPE plan [\r\n  <!ELEMENT plan (item)*>\r\n  <!ATTLIST item id CDATA #IMPLIED>\r\n]>\r\n<plan/>");
  TXmlNode* dt = doc.TopLevelNodes().ChildAt(0);
  ASSERT_EQ(dt->Type(), ElementType::DocType);
  EXPECT_EQ(dt->Name(), "plan");
  ASSERT_EQ(dt->ChildCount(), 2);
  EXPECT_EQ(dt->ChildAt(0)->Type(), ElementType::DtdElement);
  EXPECT_EQ(dt->ChildAt(0)->Name(), "plan");
  EXPECT_EQ(dt->ChildAt(0)->Value(), "(item)*");
  EXPECT_EQ(dt->ChildAt(1)->Type(), ElementType::DtdAttList);
  EXPECT_EQ(dt->ChildAt(1)->Name(), "item");
  EXPECT_EQ(dt->ChildAt(1)->Value(), "id\r\nCDATA\r\n#IMPLIED");
  EXPECT_EQ(doc.RootElement()->Name(), "plan");
}

TEST(ParseMarkup, DocTypeSubsetsKeepTheRootAndRoundTrip) {
  struct Case {
    const char* text;
    int declarations;  // children of the doctype
  };
  const Case cases[] = {
      {"<!DOCTYPE a []><a>x</a>", 0},
      {"<!DOCTYPE a [\r\n]><a>x</a>", 0},
      {"<!DOCTYPE a [ %e; ]><a>x</a>", 0},
      {"<!DOCTYPE a [%e;]><a>x</a>", 0},
      {"<!DOCTYPE a [ %ab; <!ENTITY e \"v\"> %c; ]>\r\n<a>x</a>", 1},
      {"<!DOCTYPE a SYSTEM \"a.dtd\" [\r\n<!ELEMENT a ANY>\r\n<!-- c -->\r\n]><a>x</a>", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TXmlDocument doc;
    doc.ReadFromString(c.text);
    ASSERT_NE(doc.RootElement(), nullptr);
    EXPECT_EQ(doc.RootElement()->Name(), "a");
    EXPECT_EQ(doc.RootElement()->Value(), "x");
    const TXmlNode* dt = doc.TopLevelNodes().ChildAt(0);
    ASSERT_EQ(dt->Type(), ElementType::DocType);
    EXPECT_EQ(dt->Name(), "a");
    EXPECT_EQ(dt->ChildCount(), c.declarations);
    // Saved and loaded again through a file, the tree comes back the same.
    xmltest::TempFile file("");
    doc.SaveToFile(file.path());
    TXmlDocument again;
    again.LoadFromFile(file.path());
    xmltest::expectSameTree(doc.TopLevelNodes(), again.TopLevelNodes());
  }
}

TEST(ParseMarkup, EventsAndDiscardedComments) {
  TXmlDocument doc;
  doc.DiscardComments = true;
  std::vector<std::string> events;
  doc.OnNodeStarted = [&](TXmlDocument&, TXmlNode& n) { events.push_back("+" + n.Name()); };
  doc.OnNodeCompleted = [&](TXmlDocument&, TXmlNode& n) { events.push_back("-" + n.Name()); };
  doc.ReadFromString("<a><!--c--><b/></a>");
  EXPECT_EQ(events, (std::vector<std::string>{"+a", "+Comment", "-Comment", "+b", "-b", "-a"}));
  ASSERT_EQ(doc.RootElement()->ChildCount(), 1);
  EXPECT_EQ(doc.RootElement()->ChildAt(0)->Name(), "b");
}

TEST(ParseMarkup, StopParsingEndsTheLoad) {
  TXmlDocument doc;
  doc.OnNodeStarted = [](TXmlDocument& d, TXmlNode& n) {
    if (n.Name() == "stop") d.StopParsing = true;
  };
  doc.ReadFromString("<a><b/><stop/><c/></a><d/>");
  TXmlNode* a = doc.RootElement();
  ASSERT_EQ(a->ChildCount(), 2);
  EXPECT_EQ(a->ChildAt(1)->Name(), "stop");
  EXPECT_EQ(doc.TopLevelNodes().ChildCount(), 1);
}

TEST(ParseMarkup, NodeReadFromStringWithoutDocument) {
  TXmlNode n;
  n.ReadFromString("  <x k=\"v\">t</x>");
  EXPECT_EQ(n.Name(), "x");
  EXPECT_EQ(n.Value(), "t");
  EXPECT_EQ(n.AttributeValue("K"), "v");
  TXmlNode none;
  none.ReadFromString("text");
  EXPECT_TRUE(none.IsEmpty());
}

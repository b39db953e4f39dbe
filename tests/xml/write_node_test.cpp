// Writing nodes: markup per node kind, layouts, values and attribute lines as
// stored, character data, illegal types, the wide-text writer.
#include <gtest/gtest.h>

#include "XmlTestUtil.h"

using namespace xml;
using xmltest::caught;

namespace {

// A top-level element a holding b (value x) and an empty c.
TXmlNode* buildABC(TXmlDocument& doc) {
  TXmlNode* a = doc.RootElement();
  a->SetNodeName("a");
  a->AddNewChild("b")->SetValue("x");
  a->AddNewChild("c");
  return a;
}

}  // namespace

TEST(WriteNode, LayoutsAndEndTags) {
  struct Case {
    int layout;
    bool fullEndTags;
    const char* expected;
  };
  const Case cases[] = {
      {0, false, "<a>\r\n  <b>x</b>\r\n  <c/>\r\n</a>"},
      {1, false, "<a><b>x</b><c/></a>"},
      {2, false, "<a>\n<b>x</b>\n<c/>\n</a>"},
      {7, false, "<a>\n<b>x</b>\n<c/>\n</a>"},
      {1, true, "<a><b>x</b><c></c></a>"},
      {0, true, "<a>\r\n  <b>x</b>\r\n  <c></c>\r\n</a>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "layout " << c.layout << " full " << c.fullEndTags);
    TXmlDocument doc;
    doc.LineLayout = c.layout;
    doc.FullEndTags = c.fullEndTags;
    EXPECT_EQ(buildABC(doc)->WriteToString(), c.expected);
  }
}

TEST(WriteNode, IndentUnitRepeatsPerLevel) {
  TXmlDocument doc;
  doc.LineLayout = 0;
  doc.IndentUnit = "\t";
  TXmlNode* a = doc.RootElement();
  a->SetNodeName("a");
  a->AddNewChild("b")->AddNewChild("c")->SetValue("1");
  EXPECT_EQ(a->WriteToString(), "<a>\r\n\t<b>\r\n\t\t<c>1</c>\r\n\t</b>\r\n</a>");
}

TEST(WriteNode, EmptyTopLevelElementHasEndTag) {
  TXmlDocument doc("root");
  doc.FullEndTags = false;
  EXPECT_EQ(doc.RootElement()->WriteToString(), "<root></root>");
}

TEST(WriteNode, EachKindOfNode) {
  struct Case {
    ElementType type;
    const char* name;
    const char* value;
    const char* expected;
  };
  using T = ElementType;
  const Case cases[] = {
      {T::Comment, "Comment", " note ", "<!-- note -->"},
      {T::Comment, "Comment", "", "<!---->"},
      {T::CData, "CData", "a<b]", "<![CDATA[a<b]]]>"},
      {T::DocType, "plan", "SYSTEM \"p.dtd\"", "<!DOCTYPE plan SYSTEM \"p.dtd\">"},
      {T::DocType, "plan", "", "<!DOCTYPE plan >"},
      {T::DtdElement, "item", "(#PCDATA)", "<!ELEMENT item (#PCDATA)>"},
      {T::DtdAttList, "item", "id CDATA #IMPLIED", "<!ATTLIST item id CDATA #IMPLIED>"},
      {T::DtdEntity, "e", "\"x\"", "<!ENTITY e \"x\">"},
      {T::DtdNotation, "n", "SYSTEM \"v\"", "<!NOTATION n SYSTEM \"v\">"},
      {T::SpecialMarkup, "Special", "[IF x]", "<![IF x]>"},
      {T::SpecialInstruction, "Special", "php echo 1;", "<?php echo 1;?>"},
      {T::CharData, "", "text %s %d", "text %s %d"},  // never read as a format
      {T::RawTag, "", "br", "<br>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    auto node = TXmlNode::CreateType(nullptr, c.type);
    node->SetNodeName(c.name);
    node->SetRawValue(c.value);
    EXPECT_EQ(node->WriteToString(), c.expected);
  }
}

TEST(WriteNode, DeclarationAndStylesheetWriteTheirAttributeLines) {
  auto decl = TXmlNode::CreateType(nullptr, ElementType::Declaration);
  decl->SetNodeName("xml");
  decl->AttributeAdd("version", "1.0");
  decl->AttributeAddLine("standalone='yes'");
  EXPECT_EQ(decl->WriteToString(), "<?xml version=\"1.0\" standalone='yes'?>");
  auto sheet = TXmlNode::CreateType(nullptr, ElementType::Stylesheet);
  sheet->AttributeAdd("href", "s.xsl");
  EXPECT_EQ(sheet->WriteToString(), "<?xml-stylesheet href=\"s.xsl\"?>");
}

TEST(WriteNode, ValuesAndAttributesAsStored) {
  TXmlDocument doc;
  TXmlNode* root = doc.RootElement();
  root->SetNodeName("r");
  TXmlNode* c = root->AddNewChild("c");
  c->AttributeAddLine("x='1'");
  EXPECT_EQ(c->WriteToString(), "<c x='1'/>");
  c->SetValue("0");
  EXPECT_EQ(c->WriteToString(), "<c x='1'>0</c>");

  // Setters escape once; the writer escapes nothing again.
  TXmlNode* d = root->AddNewChild("d");
  d->SetValue("a&b<c>\"'");
  d->AttributeAdd("n", "a<b");
  EXPECT_EQ(d->WriteToString(), "<d n=\"a&lt;b\">a&amp;b&lt;c&gt;&quot;&apos;</d>");
  // A parsed value keeps its references as written.
  doc.ReadFromString("<r><e a=\"x &amp; y\">p &amp; q &#65;</e></r>");
  EXPECT_EQ(doc.RootElement()->ChildAt(0)->WriteToString(), "<e a=\"x &amp; y\">p &amp; q &#65;</e>");
}

TEST(WriteNode, AttributeText) {
  TXmlDocument doc("r");
  TXmlNode* c = doc.RootElement()->AddNewChild("c");
  EXPECT_EQ(c->AttributeText(), "/");
  c->AttributeAdd("a", "1");
  c->AttributeAdd("b", "2");
  EXPECT_EQ(c->AttributeText(), " a=\"1\" b=\"2\"/");
  doc.RootElement()->AttributeAdd("z", "");
  EXPECT_EQ(doc.RootElement()->AttributeText(), " z=\"\"");
  // Lines of 127 bytes and more (a longer length prefix), before, between and after short ones.
  for (const size_t n : {size_t{124}, size_t{125}, size_t{300}, size_t{20000}}) {
    TXmlNode* d = doc.RootElement()->AddNewChild("d");
    const std::string v(n, 'v');
    d->AttributeAdd("l", v);
    d->AttributeAdd("s", "1");
    d->AttributeAdd("m", v);
    EXPECT_EQ(d->AttributeText(), " l=\"" + v + "\" s=\"1\" m=\"" + v + "\"/") << n;
  }
}

TEST(WriteNode, CharacterDataStaysAttached) {
  TXmlDocument doc;
  doc.LineLayout = 0;
  TXmlNode* p = doc.RootElement();
  p->SetNodeName("p");
  p->AddNewChild("b")->SetValue("1");
  auto text = TXmlNode::CreateType(&doc, ElementType::CharData);
  text->SetRawValue(" and ");
  p->AddChild(std::move(text));
  p->AddNewChild("i")->SetValue("2");
  EXPECT_EQ(p->WriteToString(), "<p>\r\n  <b>1</b> and   <i>2</i>\r\n</p>");
}

TEST(WriteNode, DocTypeWithSubset) {
  TXmlDocument doc;
  doc.LineLayout = 0;
  doc.ReadFromString("<!DOCTYPE plan [<!ELEMENT plan ANY><!ENTITY e \"v\">]><plan/>");
  const TXmlNode* dtd = doc.TopLevelNodes().ChildAt(0);
  ASSERT_EQ(dtd->Type(), ElementType::DocType);
  EXPECT_EQ(dtd->WriteToString(), "<!DOCTYPE plan  [\r\n  <!ELEMENT plan ANY>\r\n  <!ENTITY e \"v\">\r\n]>");
}

TEST(WriteNode, IllegalTypeStopsTheWrite) {
  TXmlDocument doc("r");
  TXmlNode* root = doc.RootElement();
  root->AddNewChild("ok")->SetValue("1");
  TXmlNode* bad = root->AddNewChild("bad");
  bad->SetType(static_cast<ElementType>(14));
  bad->SetValue("never");
  TStringStream out;
  const XmlError e = caught([&] { root->WriteToStream(out); });
  EXPECT_STREQ(e.what(), "Illegal element type");
  EXPECT_EQ(e.kind(), ErrorKind::Filer);
  EXPECT_EQ(out.DataText(), "<r><ok>1</ok>");  // what came before stays
  EXPECT_EQ(caught([&] { (void)bad->WriteToString(); }).code(), XmlErrc::IllegalElementType);
}

TEST(WriteNode, DeepTreeWritesWithoutRecursion) {
  TXmlDocument doc("d");
  TXmlNode* n = doc.RootElement();
  constexpr int kDepth = 200000;
  for (int i = 0; i < kDepth; ++i) n = n->AddNewChild("d");
  n->SetValue("v");
  const std::string text = doc.RootElement()->WriteToString();
  EXPECT_EQ(text.size(), (kDepth + 1) * 7 + 1);
  EXPECT_EQ(text.substr(0, 6), "<d><d>");
  EXPECT_EQ(text.substr((kDepth + 1) * 3 - 3, 12), "<d>v</d></d>");
}

TEST(WriteNode, ProgressReportsStreamPositions) {
  TXmlDocument doc("r");
  doc.RootElement()->AddNewChild("a");
  doc.RootElement()->AddNewChild("b")->SetValue("12");
  std::vector<int64_t> seen;
  doc.OnStreamProgress = [&](TXmlDocument&, int64_t pos) { seen.push_back(pos); };
  TStringStream out;
  doc.RootElement()->WriteToStream(out);
  EXPECT_EQ(seen, (std::vector<int64_t>{7, 16, 20}));  // after <a/>, after <b>12</b>, after </r>
}

TEST(WriteNode, WideStringWriter) {
  struct Case {
    bool writeDefaults;
    bool utf8;
    std::u16string value, def;
    bool created;
    std::string stored;
  };
  const Case cases[] = {
      {false, false, u"same", u"same", false, ""},
      {false, false, u"a<\u4E2D", u"b", true, "a&lt;\xD6\xD0"},
      {true, false, u"same", u"same", true, "same"},
      {false, true, u"\u4E2D", u"\u4E2D", false, ""},  // equal in UTF-8 documents too
      {false, true, u"\u4E2D&", u"", true, "\xE4\xB8\xAD&amp;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    TXmlDocument doc("r");
    doc.WriteDefaultValues = c.writeDefaults;
    doc.Utf8Mode = c.utf8;
    TXmlNode* root = doc.RootElement();
    root->AddNewChild("other");
    root->AddNewChild("W")->SetValue("old");
    root->WriteWidestring("w", c.value, c.def);
    ASSERT_EQ(root->ChildCount(), 2);  // the first child of that name is reused
    EXPECT_EQ(root->ChildAt(1)->Value(), c.created ? c.stored : "old");
    EXPECT_EQ(root->ReadWidestring("w"), c.created ? c.value : root->TextToWide("old"));
  }
}

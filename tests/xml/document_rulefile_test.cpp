// A rule file shaped like the program's, read field by field the way the
// rule import reads it.
#include <gtest/gtest.h>

#include "XmlTestUtil.h"
#include "platform/codepage.h"

using namespace xml;

namespace {
std::string gbk(const char* utf8) { return platform::codepage::utf8ToAnsi(utf8); }

struct ElementRow {
  std::string rptId, itype, rptDateB, rptDateE, row, col, balance;
};
}  // namespace

TEST(DocumentRuleFile, ReadsEveryFieldAsTheImportDoes) {
  TXmlDocument doc;
  doc.LoadFromFile(xmltest::dataPath("rule_gbk_crlf.xml"));
  EXPECT_EQ(doc.FileEncoding, CodecEncoding::Ansi);
  EXPECT_FALSE(doc.Utf8Mode);
  EXPECT_EQ(doc.DeclaredEncoding(), "GB2312");
  TXmlNode* root = doc.RootElement();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->AttributeValue("name"), gbk("党内统计"));
  ASSERT_EQ(root->ChildCount(), 2);

  // Formula 1: content, control and item straight under the formula.
  TXmlNode* f = root->ChildAt(0);
  EXPECT_EQ(f->AttributeValue("id"), "F11001");
  EXPECT_EQ(f->AttributeValue("TYPE"), "1");
  ASSERT_NE(f->FindDescendant("content"), nullptr);
  EXPECT_EQ(f->FindDescendant("content")->TextValue(), gbk("党组织数应等于支部数加总支数"));
  TXmlNode* control = f->FindDescendant("control");
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->AttributeValue("in"), "001.001");
  EXPECT_EQ(control->AttributeValue("inrelate"), "");
  EXPECT_EQ(control->AttributeValue("out1"), "001.001.002");
  EXPECT_EQ(control->AttributeValue("out2"), "");
  TXmlNode* item = f->FindDescendant("item");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->AttributeValue("operator"), "2");
  EXPECT_EQ(item->AttributeValue("expression"), gbk("本年"));
  std::vector<TXmlNode*> elements;
  item->ChildrenByName("element", &elements);
  ASSERT_EQ(elements.size(), 3u);  // the upper-case ELEMENT included
  const ElementRow expected[] = {
      {"RPT1100", "0", "20160101", "20161231", "3", "4", "1"},
      {"RPT1100", "1", "20160101", "20161231", "5", "4", "1"},
      {"", "1", "20160101", "20161231", "6", "4", "-1"},
  };
  for (size_t i = 0; i < 3; ++i) {
    const TXmlNode* e = elements[i];
    const ElementRow& x = expected[i];
    EXPECT_EQ(e->AttributeValue("rptId"), x.rptId);
    EXPECT_EQ(e->AttributeValue("itype"), x.itype);
    EXPECT_EQ(ParseIntegerText(e->AttributeValue("itype")), std::stoi(x.itype));
    EXPECT_EQ(e->AttributeValue("rptDateB"), x.rptDateB);
    EXPECT_EQ(e->AttributeValue("rptDateE"), x.rptDateE);
    EXPECT_EQ(e->AttributeValue("row"), x.row);
    EXPECT_EQ(e->AttributeValue("col"), x.col);
    EXPECT_EQ(e->AttributeValue("balance"), x.balance);
  }

  // Formula 2: content under a group, an element under a nested group that
  // ChildrenByName does not see, entity references in the description.
  f = root->ChildAt(1);
  EXPECT_EQ(f->AttributeValue("id"), "F11002");
  EXPECT_EQ(f->FindDescendant("content")->TextValue(), gbk("党员人数 & 预备党员 < 100"));
  EXPECT_EQ(f->FindDescendant("control")->AttributeValue("inrelate"), "3");
  item = f->FindDescendant("item");
  EXPECT_EQ(item->AttributeValue("expression"), gbk("上年"));
  item->ChildrenByName("element", &elements);
  ASSERT_EQ(elements.size(), 1u);
  EXPECT_EQ(elements[0]->AttributeValue("rptId"), "RPT1200");
  EXPECT_EQ(elements[0]->AttributeValue("rptDateB"), "20150101");
  // The depth-first search does find the nested one first.
  EXPECT_EQ(item->FindDescendant("element")->AttributeValue("rptId"), "RPT9900");
  EXPECT_EQ(elements[0]->AttributeValue("rptDateX"), "");
}

TEST(DocumentRuleFile, AnEmptyItypeIsNoWholeNumber) {
  TXmlDocument doc;
  doc.ReadFromString("<p><f><item><element itype=\"\"/></item></f></p>");
  const std::string itype = doc.RootElement()->FindDescendant("element")->AttributeValue("itype");
  EXPECT_THROW(ParseIntegerText(itype), XmlConversionError);
}

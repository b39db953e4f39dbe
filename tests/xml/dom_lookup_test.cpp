// Attribute lookups, names without case, descendants, paths and child lists.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <thread>

#include "XmlTestUtil.h"

using namespace xml;
using xmltest::caught;

TEST(DomLookup, Attributes) {
  TXmlDocument doc;
  doc.ReadFromString(
      "<n a=\"1\" A=\"2\" q='it''s' e=\"x&lt;y\" num=\"&#65;\" u=\"&nbsp;\" bare=5 noeq/>");
  TXmlNode* n = doc.RootElement();
  EXPECT_EQ(n->AttributeValue("a"), "1");  // first duplicate wins, whatever the case
  EXPECT_EQ(n->AttributeValue("A"), "1");
  EXPECT_EQ(n->AttributeValue("Q"), "it's");
  EXPECT_EQ(n->AttributeValue("e"), "x<y");
  EXPECT_EQ(n->AttributeValue("num"), "A");
  EXPECT_EQ(n->AttributeValue("u"), "&nbsp;");
  EXPECT_EQ(n->AttributeValue("bare"), "5");
  EXPECT_EQ(n->AttributeValue("missing"), "");
  EXPECT_EQ(n->AttributeValue("noeq"), "");  // a line without "=" never matches
  EXPECT_EQ(n->AttributeIndexOf("E"), 3);
  EXPECT_EQ(n->AttributeIndexOf("noeq"), -1);
  EXPECT_EQ(n->AttributeName(2), "q");
  EXPECT_EQ(n->AttributeName(7), "");
  EXPECT_EQ(n->AttributeName(8), "");
  EXPECT_EQ(n->AttributePair(-1), "");
  TXmlNode bare;
  EXPECT_EQ(bare.AttributeValue("a"), "");
  EXPECT_EQ(bare.AttributeCount(), 0);
}

TEST(DomLookup, AttributeAddEscapesAndSetReplaces) {
  TXmlNode n;
  n.AttributeAdd("n", "a<b");
  EXPECT_EQ(n.AttributePair(0), "n=\"a&lt;b\"");
  EXPECT_EQ(n.AttributeValue("n"), "a<b");
  n.AttributeAdd("n", "second");
  EXPECT_EQ(n.AttributeCount(), 2);
  EXPECT_EQ(n.AttributeValue("n"), "a<b");
  n.SetAttributeValueAt(1, "\"q\"");
  EXPECT_EQ(n.AttributePair(1), "n=\"&quot;q&quot;\"");
  n.SetAttributeValueAt(5, "ignored");
  EXPECT_EQ(n.AttributeCount(), 2);
  // A long value (length prefix over one byte) survives the block storage.
  const std::string long_(300, 'v');
  n.AttributeAdd("long", long_);
  EXPECT_EQ(n.AttributeValue("long"), long_);
  EXPECT_EQ(n.AttributeValue("N"), "a<b");
}

TEST(DomLookup, SortedAttributesInsertInOrderAndDropEqualLines) {
  TXmlDocument doc;
  doc.SortAttributes = true;
  TXmlNode n(&doc);
  n.AttributeAdd("b", "1");
  n.AttributeAdd("A", "2");
  n.AttributeAdd("c", "3");
  n.AttributeAdd("b", "1");
  ASSERT_EQ(n.AttributeCount(), 3);
  EXPECT_EQ(n.AttributeName(0), "A");
  EXPECT_EQ(n.AttributeName(1), "b");
  EXPECT_EQ(n.AttributeName(2), "c");
}

TEST(DomLookup, AttributeLinesByIndexFollowEveryChange) {
  // Lookups by index continue from the line asked for last; every change of
  // the lines must be seen by the next lookup, wherever it falls.
  auto expectLines = [](const TXmlNode& n, const std::vector<std::string>& want) {
    ASSERT_EQ(n.AttributeCount(), static_cast<int>(want.size()));
    for (int i = static_cast<int>(want.size()) - 1; i >= 0; --i) EXPECT_EQ(n.AttributePair(i), want[i]) << i;
    for (int i = 0; i < static_cast<int>(want.size()); ++i) EXPECT_EQ(n.AttributePair(i), want[i]) << i;
  };
  TXmlNode n;
  for (const char* name : {"a", "b", "c", "d"}) n.AttributeAdd(name, "1");
  EXPECT_EQ(n.AttributeName(3), "d");
  n.SetAttributeValueAt(1, std::string(200, 'x'));  // the lines after it move
  EXPECT_EQ(n.AttributeName(3), "d");
  EXPECT_EQ(n.AttributeName(2), "c");
  n.SetAttributeValueAt(1, "");
  expectLines(n, {"a=\"1\"", "b=\"\"", "c=\"1\"", "d=\"1\""});
  n.AttributeAdd("e", "2");
  EXPECT_EQ(n.AttributeName(4), "e");
  n.ClearAttributes();
  n.AttributeAdd("long", std::string(300, 'y'));
  n.AttributeAdd("z", "3");
  EXPECT_EQ(n.AttributeName(1), "z");
  TXmlNode copy;
  copy.AttributeAdd("q", "0");
  copy.AttributeAdd("r", "0");
  EXPECT_EQ(copy.AttributeName(1), "r");
  copy.Assign(n);
  expectLines(copy, {"long=\"" + std::string(300, 'y') + "\"", "z=\"3\""});
  // A node made where a freed one was does not inherit its lookups.
  for (int round = 0; round < 2; ++round) {
    auto fresh = std::make_unique<TXmlNode>();
    fresh->AttributeAdd(round == 0 ? "aaaaaaaa" : "a", "1");
    fresh->AttributeAdd("b", "2");
    EXPECT_EQ(fresh->AttributeName(1), "b");
  }
  // Sorted lists move lines on insertion.
  TXmlDocument doc;
  doc.SortAttributes = true;
  TXmlNode sorted(&doc);
  sorted.AttributeAdd("m", "1");
  sorted.AttributeAdd("z", "1");
  EXPECT_EQ(sorted.AttributeName(1), "z");
  sorted.AttributeAdd("a", "1");
  expectLines(sorted, {"a=\"1\"", "m=\"1\"", "z=\"1\""});
}

TEST(DomLookup, AttributeListLookupsFollowMovesRebuildsAndOtherThreads) {
  // The list behind a node's attributes against a plain vector, through every
  // change it offers: lines added (in order for a sorted list), replaced,
  // dropped, moved to another list's place, a list made anew where one was, a
  // line replaced by another thread. Lookups by index go on from the line
  // looked up last; after each change the lookups start there, so a change
  // that fails to end that memory reads a wrong line.
  using detail::AttributeLines;
  auto compare = [](std::string_view a, std::string_view b) { return a.compare(b); };
  std::mt19937 random(7);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  auto makeLine = [&] {
    // Short and long lines: a length from 128 on takes two bytes before the line.
    const int length = pick(3) == 0 ? 120 + pick(40) : pick(12);
    return std::string(static_cast<size_t>(length), static_cast<char>('a' + pick(26)));
  };
  std::optional<AttributeLines> lists[2];
  std::vector<std::string> models[2];
  lists[0].emplace();
  lists[1].emplace();
  int seenList = -1;  // the lookup this thread made last
  int seenIndex = 0;
  auto lookup = [&](int k, int i) {
    seenList = k;
    seenIndex = i;
    return std::string(lists[k]->Line(i));
  };
  auto add = [&](int k) {
    const std::string line = makeLine();
    lists[k]->Add(line, compare);
    std::vector<std::string>& m = models[k];
    if (!lists[k]->Sorted()) return m.push_back(line);
    auto at = m.begin();
    while (at != m.end() && compare(*at, line) < 0) ++at;
    if (at == m.end() || compare(*at, line) != 0) m.insert(at, line);
  };
  for (int step = 0; step < 4000; ++step) {
    SCOPED_TRACE(step);
    const int k = pick(2);
    AttributeLines& list = *lists[k];
    std::vector<std::string>& model = models[k];
    const auto count = static_cast<int>(model.size());
    if (count > 0 && pick(2) == 0) {
      const int i = pick(count);
      ASSERT_EQ(lookup(k, i), model[static_cast<size_t>(i)]);
    }
    const int index = count == 0 ? 0 : pick(count);
    switch (pick(7)) {
      case 0:
        if (!list.Exists()) list.Create(pick(2) == 0);
        for (int n = 1 + pick(8); n > 0; --n) add(k);
        break;
      case 1:
        if (count > 0) {
          const std::string line = makeLine();
          list.Replace(index, line);
          model[static_cast<size_t>(index)] = line;
        }
        break;
      case 2:
        list.Reset();
        model.clear();
        break;
      case 3:
        *lists[1 - k] = std::move(list);
        models[1 - k] = std::move(model);
        model.clear();
        break;
      case 4: {
        AttributeLines held(std::move(list));
        lists[k].emplace(std::move(held));  // the same lines, made anew in the same place
        break;
      }
      case 5:
        lists[k].emplace();  // a new empty list where this one was
        model.clear();
        break;
      case 6:
        if (count > 0) {
          const std::string line = makeLine();
          std::thread([&] { list.Replace(index, line); }).join();
          model[static_cast<size_t>(index)] = line;
        }
        break;
    }
    const auto now = static_cast<int>(model.size());
    ASSERT_EQ(lists[k]->Count(), now);
    if (seenList == k) {
      for (int i = seenIndex; i < now; ++i) ASSERT_EQ(lookup(k, i), model[static_cast<size_t>(i)]) << i;
    }
    for (int i = 0; i < now; ++i) ASSERT_EQ(lookup(k, i), model[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(lists[k]->Line(now), "");
  }
}

TEST(DomLookup, SortedAttributesRefuseReplacementInPlace) {
  TXmlDocument doc;
  doc.SortAttributes = true;
  TXmlNode n(&doc);
  n.AttributeAdd("a", "1");
  n.AttributeAdd("b", "2");
  const XmlError e = caught([&] { n.SetAttributeValueAt(1, "z"); });
  EXPECT_EQ(e.code(), XmlErrc::SortedListOperation);
  EXPECT_EQ(e.kind(), ErrorKind::General);
  EXPECT_STREQ(e.what(), "Operation not allowed on sorted list");
  // The typed writers replace through the same step.
  EXPECT_EQ(caught([&] { n.WriteAttributeInteger("a", 7); }).code(), XmlErrc::SortedListOperation);
  EXPECT_EQ(caught([&] { n.WriteAttributeString("B", "x"); }).code(), XmlErrc::SortedListOperation);
  EXPECT_EQ(n.AttributePair(0), "a=\"1\"");
  EXPECT_EQ(n.AttributePair(1), "b=\"2\"");
  // Outside the range there is nothing to refuse; a new name is inserted in order.
  n.SetAttributeValueAt(2, "ignored");
  n.WriteAttributeString("0", "x");
  EXPECT_EQ(n.AttributeCount(), 3);
  EXPECT_EQ(n.AttributeName(0), "0");
}

namespace {
// plan > header > item(deep), plan > item(direct) > element, plan > ITEM
const char* kPlan =
    "<plan><header><item id=\"deep\"/></header><item id=\"direct\"><element/></item>"
    "<ITEM id=\"upper\"/></plan>";
}

TEST(DomLookup, FindDescendantIsDepthFirstAndNeverTheNodeItself) {
  TXmlDocument doc;
  doc.ReadFromString(kPlan);
  TXmlNode* plan = doc.RootElement();
  EXPECT_EQ(plan->FindDescendant("item")->AttributeValue("id"), "deep");
  EXPECT_EQ(plan->FindDescendant("/plan/item")->AttributeValue("id"), "direct");
  EXPECT_EQ(plan->FindDescendant("/PLAN/HEADER/ITEM")->AttributeValue("id"), "deep");
  EXPECT_EQ(plan->FindDescendant("plan"), nullptr);
  EXPECT_EQ(plan->FindDescendant("element")->Parent()->AttributeValue("id"), "direct");
  EXPECT_EQ(plan->FindDescendant("nothing"), nullptr);
  EXPECT_EQ(doc.TopLevelNodes().FindDescendant("plan"), plan);
}

TEST(DomLookup, ChildrenByNameTakesDirectChildrenOnly) {
  TXmlDocument doc;
  doc.ReadFromString(kPlan);
  std::vector<TXmlNode*> list{nullptr, nullptr, nullptr};
  doc.RootElement()->ChildrenByName("Item", &list);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]->AttributeValue("id"), "direct");
  EXPECT_EQ(list[1]->AttributeValue("id"), "upper");
  doc.RootElement()->ChildrenByName("none", &list);
  EXPECT_TRUE(list.empty());
  doc.RootElement()->ChildrenByName("item", nullptr);  // no list: nothing happens
}

TEST(DomLookup, ChildLookups) {
  TXmlDocument doc;
  doc.ReadFromString(kPlan);
  TXmlNode* plan = doc.RootElement();
  EXPECT_EQ(plan->ChildIndexByName("ITEM"), 1);
  EXPECT_EQ(plan->ChildIndexByNameFrom("item", 2), 2);
  EXPECT_EQ(plan->ChildIndexByNameFrom("item", 3), -1);
  EXPECT_EQ(plan->FindChild("header"), plan->ChildAt(0));
  EXPECT_EQ(plan->ChildAt(3), nullptr);
  EXPECT_EQ(plan->ChildAt(-1), nullptr);
  EXPECT_EQ(plan->FirstChildOfType(ElementType::Comment), nullptr);
}

TEST(DomLookup, PathsAndDepth) {
  TXmlDocument doc;
  doc.ReadFromString(kPlan);
  TXmlNode* plan = doc.RootElement();
  EXPECT_EQ(plan->FullPath(), "/plan");
  EXPECT_EQ(plan->ChildAt(0)->ChildAt(0)->FullPath(), "/plan/header/item");
  EXPECT_EQ(doc.TopLevelNodes().TreeDepth(), -1);
  EXPECT_EQ(plan->TreeDepth(), 0);
  EXPECT_EQ(plan->ChildAt(0)->TreeDepth(), 1);
  TXmlNode loose;
  loose.SetNodeName("x");
  EXPECT_EQ(loose.FullPath(), "/x");
  EXPECT_EQ(plan->NameMatches("PLAN"), 0);
  EXPECT_EQ(plan->NameMatches("/plan"), 0);
}

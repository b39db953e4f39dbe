// Building, changing, copying and freeing trees.
#include <gtest/gtest.h>

#include "XmlTestUtil.h"

using namespace xml;
using xmltest::caught;

TEST(DomTree, SetNodeNameChecksBlanks) {
  TXmlNode n;
  n.SetNodeName("old");
  for (const char* bad : {"a b", "a\tb", "a\nb", "a\rb"}) {
    const XmlError e = caught([&] { n.SetNodeName(bad); });
    EXPECT_EQ(e.kind(), ErrorKind::General);
    EXPECT_EQ(std::string(e.what()), std::string("Illegal character in node name \"") + bad + "\"");
    EXPECT_EQ(n.Name(), "old");
  }
  n.SetNodeName("");
  EXPECT_EQ(n.Name(), "");
}

TEST(DomTree, InsertAddAndRemove) {
  TXmlNode root;
  auto a = TXmlNode::CreateName(nullptr, "a");
  EXPECT_EQ(root.AddChild(std::move(a)), 0);
  EXPECT_EQ(root.AddChild(nullptr), -1);
  auto b = TXmlNode::CreateName(nullptr, "b");
  root.InsertChild(2, std::move(b));  // count + 1: refused, the caller keeps it
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Parent(), nullptr);
  root.InsertChild(1, std::move(b));  // count: appends
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(root.ChildAt(1)->Name(), "b");
  EXPECT_EQ(root.ChildAt(1)->Parent(), &root);
  EXPECT_EQ(root.InsertNewChild(5, "z"), nullptr);
  EXPECT_EQ(root.InsertNewChild(0, "first")->Name(), "first");
  EXPECT_EQ(root.FindOrAddChild("A"), root.ChildAt(1));
  EXPECT_EQ(root.FindOrAddChild("c")->Name(), "c");
  EXPECT_EQ(root.ChildCount(), 4);
  EXPECT_EQ(root.RemoveChild(root.ChildAt(0)), 0);
  root.DeleteChild(10);
  EXPECT_EQ(root.ChildCount(), 3);
  root.ChildAt(2)->Delete();
  EXPECT_EQ(root.ChildCount(), 2);
  TXmlNode orphan;
  orphan.Delete();  // without parent: left alone
}

TEST(DomTree, ExtractChildClearsTheParent) {
  TXmlNode root;
  TXmlNode* a = root.AddNewChild("a");
  std::unique_ptr<TXmlNode> taken = root.ExtractChild(a);
  ASSERT_EQ(taken.get(), a);
  EXPECT_EQ(taken->Parent(), nullptr);
  EXPECT_EQ(root.ChildCount(), 0);
  EXPECT_EQ(root.ExtractChild(a), nullptr);
  TXmlNode other;
  other.AddChild(std::move(taken));
  EXPECT_EQ(a->Parent(), &other);
}

TEST(DomTree, EmptinessAndClear) {
  TXmlNode n;
  EXPECT_TRUE(n.IsEmpty());
  n.AttributeAdd("k", "v");
  EXPECT_FALSE(n.IsEmpty());
  n.SetNodeName("x");
  n.SetValue("a&b");
  EXPECT_EQ(n.Value(), "a&amp;b");
  EXPECT_EQ(n.TextValue(), "a&b");
  n.AddNewChild("c");
  n.SetTag(7);
  n.Clear();
  EXPECT_TRUE(n.IsEmpty());
  EXPECT_EQ(n.Tag(), 7);
}

TEST(DomTree, SettingsWithAndWithoutDocument) {
  TXmlDocument doc;
  TXmlNode* root = doc.RootElement();
  TXmlNode* child = root->AddNewChild("c");
  EXPECT_FALSE(root->CanUseShortTag());  // top level
  EXPECT_TRUE(child->CanUseShortTag());
  doc.FullEndTags = true;
  EXPECT_FALSE(child->CanUseShortTag());
  doc.LineLayout = 0;
  EXPECT_EQ(child->LineBreakText(), "\r\n");
  EXPECT_EQ(child->IndentText(), "  ");
  doc.LineLayout = 2;
  EXPECT_EQ(child->LineBreakText(), "\n");
  EXPECT_EQ(child->IndentText(), "");
  TXmlNode loose;
  EXPECT_EQ(loose.LineBreakText(), "");
  EXPECT_EQ(loose.DocBinaryFormat(), 0);
  EXPECT_EQ(loose.DocFloatPrecision(), 6);
  EXPECT_TRUE(loose.DocScientificFloats());
  EXPECT_FALSE(loose.InUtf8Mode());
  EXPECT_EQ(loose.WideToText(u"\u4E2D"), "\xD6\xD0");
  EXPECT_EQ(loose.TextToWide("\xD6\xD0"), u"\u4E2D");
}

TEST(DomTree, BinaryContent) {
  TXmlDocument doc;  // Base64 by default
  TXmlNode* n = doc.RootElement();
  n->SetRawValue("TWFu\r\n  TQ==");
  EXPECT_EQ(n->BinaryLength(), 4);
  unsigned char out[4];
  n->BinaryRead(out, 4);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "Man");
  EXPECT_EQ(caught([&] { n->BinaryRead(out, 7); }).code(), XmlErrc::MissingBinaryData);
  std::string big(100, 'x');
  n->BinaryWrite(big.data(), 100);
  EXPECT_EQ(n->BinaryLength(), 100);
  doc.BinaryFormat = 0;
  n->SetRawValue("ABC");
  EXPECT_EQ(caught([&] { n->BinaryLength(); }).what(), std::string("Error while calculating streamlength"));
  n->BinaryWrite("\x01\xAB", 2);
  EXPECT_EQ(n->Value(), "01AB");
  doc.BinaryFormat = 7;
  EXPECT_EQ(n->BinaryLength(), 0);
}

TEST(DomTree, AssignCopiesIntoThisDocument) {
  TXmlDocument source;
  source.ReadFromString("<a k=\"v\">t<b><c/></b></a>");
  TXmlDocument target;
  TXmlNode* node = target.RootElement();
  node->Assign(*source.RootElement());
  EXPECT_EQ(node->Name(), "a");
  EXPECT_EQ(node->AttributeValue("k"), "v");
  EXPECT_EQ(node->Value(), "t");
  ASSERT_EQ(node->ChildCount(), 1);
  EXPECT_EQ(node->ChildAt(0)->ChildAt(0)->Document(), &target);
  EXPECT_EQ(node->ChildAt(0)->Parent(), node);
  // Assigning a node from its own subtree works on a copy.
  node->Assign(*node->ChildAt(0));
  EXPECT_EQ(node->Name(), "b");
  EXPECT_EQ(node->ChildAt(0)->Name(), "c");

  TXmlDocument copy;
  source.StrictRootChecks = true;
  copy.Assign(source);
  EXPECT_TRUE(copy.StrictRootChecks);
  EXPECT_EQ(copy.RootElement()->FindDescendant("c")->Document(), &copy);
}

TEST(DomTree, DeepTreesAreFreedWithoutRecursion) {
  auto root = std::make_unique<TXmlNode>();
  TXmlNode* at = root.get();
  for (int i = 0; i < 200000; ++i) at = at->AddNewChild("d");
  EXPECT_EQ(root->FindDescendant("none"), nullptr);
  TXmlNode copy;
  copy.Assign(*root);
  root.reset();  // would overflow the stack if freed recursively
}

TEST(DomTree, DocumentClearAndRoot) {
  TXmlDocument doc("plan");
  EXPECT_EQ(doc.RootElement()->Name(), "plan");
  ASSERT_EQ(doc.TopLevelNodes().ChildCount(), 2);
  const TXmlNode* decl = doc.TopLevelNodes().ChildAt(0);
  EXPECT_EQ(decl->AttributePair(0), "version=\"1.0\"");
  EXPECT_EQ(decl->AttributePair(1), "encoding=\"windows-1252\"");
  EXPECT_EQ(doc.DeclaredEncoding(), "windows-1252");
  EXPECT_FALSE(doc.IsEmpty());
  doc.Clear();
  EXPECT_TRUE(doc.IsEmpty());
  EXPECT_EQ(doc.LineBreak(), "\n");
  doc.ReadFromString("<?xml version=\"1.0\"?><!-- c --><r/>");
  doc.RootElement()->Delete();
  EXPECT_EQ(doc.RootElement(), nullptr);
  EXPECT_TRUE(doc.IsEmpty());
  EXPECT_THROW(TXmlDocument("a b"), XmlError);
}

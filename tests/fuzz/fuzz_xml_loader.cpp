// Feeds arbitrary bytes to the loader the way the program loads rule files,
// with the UTF-8 codec as well, and through ReadFromString; then reads the
// tree the way the rule import does. A document that loads is written out,
// read again and saved through its codec; what a save writes must load
// again. Library errors are expected (and must place themselves within the
// input); crashes, hangs, leaks and a saved file the load refuses are not.
// Values are written as stored, so not every tree that loads can come back
// the same (a name that is markup, a comment holding "-->"...): the fuzzer
// only exercises the writer, and the tests compare round trips over the
// kept inputs, where the result is known.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "xml/Xml.h"

namespace {

void walk(const xml::TXmlDocument& doc) {
  const xml::TXmlNode* root = doc.RootElement();
  if (root == nullptr) return;
  std::vector<xml::TXmlNode*> list;
  for (int i = 0; i < root->ChildCount(); ++i) {
    const xml::TXmlNode* f = root->ChildAt(i);
    (void)f->AttributeValue("id");
    (void)f->TextValue();
    if (const xml::TXmlNode* item = f->FindDescendant("item")) {
      item->ChildrenByName("element", &list);
      for (const xml::TXmlNode* e : list) (void)xml::ParseIntegerText(e->AttributeValue("itype"), 0);
    }
    (void)f->FindDescendant("/a/b");
    (void)f->FullPath();
  }
  (void)doc.DeclaredEncoding();
}

// A stylesheet's value is its tag text as read, but the writer rebuilds the
// tag from the attribute lines, one blank apart: only those lines must survive.
bool sameValue(const xml::TXmlNode& a, const xml::TXmlNode& b) {
  return a.Type() == xml::ElementType::Stylesheet || a.Value() == b.Value();
}

bool sameTree(const xml::TXmlNode& a, const xml::TXmlNode& b) {
  if (a.Type() != b.Type() || a.Name() != b.Name() || !sameValue(a, b) ||
      a.AttributeCount() != b.AttributeCount() || a.ChildCount() != b.ChildCount())
    return false;
  for (int i = 0; i < a.AttributeCount(); ++i)
    if (a.AttributePair(i) != b.AttributePair(i)) return false;
  for (int i = 0; i < a.ChildCount(); ++i)
    if (!sameTree(*a.ChildAt(i), *b.ChildAt(i))) return false;
  return true;
}

// An element without a name has no markup ("</>" reads as a close tag); the
// parser lets "< x" through as one. Names are tag tokens as read, so one may
// also start other markup or hold markup characters ("<</!/>" names an
// element "</!"), or end in a control byte that the close tag's trim drops.
// Such trees are written but not compared.
bool unwritableName(const std::string& name) {
  return name.empty() || std::string_view("!?/=").find(name.front()) != std::string_view::npos ||
         name.back() == '/' || name.find_first_of("<>\"'") != std::string::npos ||
         static_cast<unsigned char>(name.front()) <= 32 || static_cast<unsigned char>(name.back()) <= 32;
}

bool hasNamelessElement(const xml::TXmlNode& n) {
  for (int i = 0; i < n.ChildCount(); ++i) {
    const xml::TXmlNode& c = *n.ChildAt(i);
    if ((c.Type() == xml::ElementType::Element && unwritableName(c.Name())) || hasNamelessElement(c)) return true;
  }
  return false;
}

// Write and read back (comparing the trees where that is meaningful, without
// failing on a difference); then save through the codec the load chose.
void roundTrip(xml::TXmlDocument& doc) {
  const std::string text = doc.WriteToString();
  if (!hasNamelessElement(doc.TopLevelNodes())) {
    xml::TXmlDocument again;
    again.Utf8Mode = doc.Utf8Mode;
    again.StrictRootChecks = doc.StrictRootChecks;
    again.DiscardComments = doc.DiscardComments;
    again.SortAttributes = doc.SortAttributes;
    try {
      again.ReadFromString(text);
      (void)sameTree(doc.TopLevelNodes(), again.TopLevelNodes());
    } catch (const xml::XmlError&) {
    }
  }
  xml::TMemoryStream saved;
  try {
    doc.SaveToStream(saved);
  } catch (const xml::XmlError&) {
    return;
  }
  xml::TXmlDocument back;
  back.Utf8Mode = doc.Utf8Mode;
  back.StrictRootChecks = doc.StrictRootChecks;
  saved.SetPosition(0);
  try {
    back.LoadFromStream(saved);
  } catch (const xml::XmlError& e) {
    std::fprintf(stderr, "the saved document does not load: %s\n", e.what());
    __builtin_trap();
  }
}

// A failure found in the input lies within it, on a line of it.
void checkPlace(const xml::XmlError& e, size_t size) {
  if (e.offset() < -1 || e.offset() > static_cast<int64_t>(size)) __builtin_trap();
  if (e.offset() >= 0 && (e.line() < 1 || e.line() > e.offset() + 1)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const uint8_t options = size > 0 ? data[size - 1] : 0;
  for (bool utf8 : {false, true}) {
    xml::TXmlDocument doc;
    doc.Utf8Mode = utf8;
    doc.StrictRootChecks = (options & 1) != 0;
    doc.DiscardComments = (options & 2) != 0;
    doc.SortAttributes = (options & 4) != 0;
    xml::TStringStream stream(bytes);
    bool loaded = false;
    try {
      doc.LoadFromStream(stream);
      loaded = true;
    } catch (const xml::XmlError& e) {
      checkPlace(e, size);
    }
    walk(doc);
    if (loaded) roundTrip(doc);
  }
  xml::TXmlDocument doc;
  try {
    doc.ReadFromString(bytes);
  } catch (const xml::XmlError& e) {
    checkPlace(e, size);
  }
  walk(doc);
  return 0;
}

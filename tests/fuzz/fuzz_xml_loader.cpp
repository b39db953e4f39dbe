// Feeds arbitrary bytes to the loader the way the program loads rule files,
// with the UTF-8 codec as well, and through ReadFromString; then reads the
// tree the way the rule import does. Library errors are expected; crashes,
// hangs and leaks are not.
#include <cstddef>
#include <cstdint>
#include <string>
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
    try {
      doc.LoadFromStream(stream);
    } catch (const xml::XmlError&) {
    }
    walk(doc);
  }
  xml::TXmlDocument doc;
  try {
    doc.ReadFromString(bytes);
  } catch (const xml::XmlError&) {
  }
  walk(doc);
  return 0;
}

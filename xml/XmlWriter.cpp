// Writing nodes as markup. Names, values and attribute lines go out exactly
// as the node stores them (already escaped); the stream under a save converts
// the bytes to the file's encoding.
#include <vector>

#include "xml/XmlCodec.h"
#include "xml/XmlDocument.h"
#include "xml/XmlErrors.h"
#include "xml/XmlNode.h"
#include "xml/XmlStream.h"
#include "xml/XmlText.h"
#include "xml/internal/ByteClass.h"
#include "xml/internal/Scan.h"

namespace xml {
namespace {

// One element (or doctype with a subset) whose children are being written.
struct Frame {
  const TXmlNode* node;
  int next;           // index of the next child to write
  int depth;          // the node's TreeDepth
  std::string indent; // the node's IndentText
  std::string lineBreak;
};

// The stream position for a progress report; a codec that has not written
// yet (the node wrote nothing) has no position to ask for, and stands at 0.
int64_t progressPosition(TStream& stream) {
  if (auto* codec = dynamic_cast<TCodecStream*>(&stream); codec && codec->AccessMode() == TCodecStream::Mode::Idle)
    return 0;
  return stream.Position();
}

void reportProgress(const TXmlNode& node, TStream& stream) {
  TXmlDocument* doc = node.Document();
  if (doc != nullptr && doc->WantsProgress()) doc->NotifyProgress(progressPosition(stream));
}

std::string wrap(std::string_view indent, std::string_view open, std::string_view a, std::string_view close) {
  std::string out;
  out.reserve(indent.size() + open.size() + a.size() + close.size());
  out.append(indent).append(open).append(a).append(close);
  return out;
}

std::string declaration(std::string_view indent, std::string_view keyword, const TXmlNode& n) {
  std::string out(indent);
  out.append(keyword).append(n.Name()).append(" ").append(n.Value()).append(">");
  return out;
}

// Whether the parser reads an element's name written in a tag back as that
// name: not empty, without the bytes that end or quote a tag's token (0 to
// 32, quotes) or markup characters ("<", ">"), not ending in "/" (which would
// make the element empty), not beginning with what starts other markup or a
// close tag. An "=" may stand in it. The name is the first length bytes of
// text; the scan may run on into the rest, sixteen bytes at a time.
bool elementNameReadsBack(std::string_view text, size_t length) {
  if (length == 0) return false;
  const char first = text[0], last = text[length - 1];
  if (last == '/' || first == '!' || first == '?' || first == '/') return false;
  size_t stop = detail::findNameStop(text.data(), 0, text.size());
  while (stop < length && text[stop] == '=') stop = detail::findNameStop(text.data(), stop + 1, text.size());
  return stop >= length;
}

// Whether GBK cannot hold a character of UTF-8 text.
bool outsideGbk(std::string_view utf8) {
  bool lost = false;
  Utf8TextToAnsi(utf8, &lost);
  return lost;
}

// The same for the bytes of text outside quotes.
bool outsideGbkUnquoted(std::string_view text) {
  std::string unquoted;
  char quote = 0;
  for (char c : text) {
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (detail::isQuote(c)) {
      quote = c;
    } else {
      unquoted.push_back(c);
    }
  }
  return outsideGbk(unquoted);
}

// For UTF-8 text saved as GBK, where a character GBK cannot hold goes out
// as "?": where n would then hold a "?" that the load reads as markup, or in
// a name. In an element's, doctype's or declaration's name (after "<" a
// "?" begins an instruction), in an attribute line's name, outside the
// quotes of an "<?xml" declaration's lines and in an instruction's text
// (where "?>" would end it): the attribute line's index, -1 for the node
// itself, -2 for none. Text and quoted values keep their "?".
int firstMarkupOutsideGbk(const TXmlNode& n) {
  switch (n.Type()) {
    case ElementType::SpecialInstruction: return outsideGbk(n.Value()) ? -1 : -2;
    case ElementType::Element:
    case ElementType::DocType:
    case ElementType::DtdElement:
    case ElementType::DtdAttList:
    case ElementType::DtdEntity:
    case ElementType::DtdNotation:
      if (outsideGbk(n.Name())) return -1;
      break;
    default: break;
  }
  const bool declaration = n.Type() == ElementType::Declaration || n.Type() == ElementType::Stylesheet;
  for (int i = 0; i < n.AttributeCount(); ++i) {
    const std::string line = n.AttributePair(i);
    if (declaration ? outsideGbkUnquoted(line) : outsideGbk(std::string_view(line).substr(0, line.find('='))))
      return i;
  }
  return -2;
}

// Where node stands: the names from the top down, "#n" for a nameless step
// (the n-th child of its parent).
std::string pathOf(const TXmlNode& node) {
  std::vector<std::string> steps;
  for (const TXmlNode* n = &node; n != nullptr && n->Parent() != nullptr; n = n->Parent()) {
    if (!n->Name().empty()) {
      steps.push_back(n->Name());
      continue;
    }
    const TXmlNode& parent = *n->Parent();
    int index = 0;
    while (index < parent.ChildCount() && parent.ChildAt(index) != n) ++index;
    steps.push_back("#" + std::to_string(index + 1));
  }
  std::string path;
  for (auto it = steps.rbegin(); it != steps.rend(); ++it) path.append(path.empty() ? "" : "/").append(*it);
  return path;
}

// What a failure calls a node.
const char* kindOf(ElementType type) {
  switch (type) {
    case ElementType::Element: return "element";
    case ElementType::SpecialInstruction: return "processing instruction";
    case ElementType::DocType: return "doctype";
    default: return "declaration";
  }
}

}  // namespace

void TXmlNode::RaiseUnwritable(int line) const {
  const std::string node = std::string(kindOf(type_)) + " \"" + pathOf(*this) + "\"";
  if (line < 0) raise(XmlErrc::UnwritableNode, node);
  raise(XmlErrc::UnwritableNode, "attribute \"" + std::string(attrs_.Line(line)) + "\" of " + node);
}

std::string TXmlNode::AttributeText() const {
  std::string out;
  AppendAttributeLines(out);
  if (CanUseShortTag()) out.push_back('/');
  return out;
}


// Without recursion: trees built in code have no depth limit.
void TXmlNode::WriteToStream(TStream& stream, bool checkNames) const {
  std::vector<Frame> stack;

  // One buffer for every node's text: its capacity stays from node to node.
  std::string out;

  // Names the output encoding cannot hold, where the codec would write them as "?".
  const auto* codec = checkNames ? dynamic_cast<const TCodecStream*>(&stream) : nullptr;
  const bool lossy = codec != nullptr && codec->MayLoseCharacters();

  // Writes the node's opening (or the whole leaf); true when its children follow.
  auto begin = [&](const TXmlNode& n, int depth) -> bool {
    if (static_cast<int>(n.type_) > static_cast<int>(ElementType::RawTag)) raise(XmlErrc::IllegalElementType);
    if (checkNames && (n.type_ == ElementType::Declaration || n.type_ == ElementType::Stylesheet)) {
      if (const int bad = n.attrs_.FirstUnwritableLine(false); bad >= 0) n.RaiseUnwritable(bad);
    }
    if (lossy) {
      if (const int bad = firstMarkupOutsideGbk(n); bad != -2) n.RaiseUnwritable(bad);
    }
    std::string indent = n.IndentText();
    switch (n.type_) {
      case ElementType::Element: {
        const bool shortTag = n.ShortTagAt(depth);
        out.assign(indent).append("<").append(n.name_);
        // A save checks the name and the lines while their bytes are at hand.
        const size_t nameAt = out.size() - n.name_.size();
        const int bad = n.attrs_.AppendText(out, checkNames, true);
        if (checkNames && !elementNameReadsBack(std::string_view(out).substr(nameAt), n.name_.size()))
          n.RaiseUnwritable(-1);
        if (bad >= 0) n.RaiseUnwritable(bad);
        if (shortTag) out.push_back('/');
        out.append(">").append(n.value_);
        if (!n.children_.empty()) {
          std::string lineBreak = n.LineBreakText();
          out.append(lineBreak);
          WriteTextToStream(stream, out);
          stack.push_back({&n, 0, depth, std::move(indent), std::move(lineBreak)});
          return true;
        }
        if (!shortTag) out.append("</").append(n.name_).append(">");
        WriteTextToStream(stream, out);
        reportProgress(n, stream);
        return false;
      }
      case ElementType::DocType:
        if (!n.children_.empty()) {
          std::string lineBreak = n.LineBreakText();
          out = declaration(indent, "<!DOCTYPE ", n);
          out.back() = ' ';
          out.append("[").append(lineBreak);
          WriteTextToStream(stream, out);
          stack.push_back({&n, 0, depth, std::move(indent), std::move(lineBreak)});
          return true;
        }
        out = declaration(indent, "<!DOCTYPE ", n);
        break;
      case ElementType::Comment: out = wrap(indent, "<!--", n.value_, "-->"); break;
      case ElementType::CData: out = wrap(indent, "<![CDATA[", n.value_, "]]>"); break;
      case ElementType::Declaration: out = wrap(indent, "<?xml", n.AttributeText(), "?>"); break;
      case ElementType::Stylesheet: out = wrap(indent, "<?xml-stylesheet", n.AttributeText(), "?>"); break;
      case ElementType::DtdElement: out = declaration(indent, "<!ELEMENT ", n); break;
      case ElementType::DtdAttList: out = declaration(indent, "<!ATTLIST ", n); break;
      case ElementType::DtdEntity: out = declaration(indent, "<!ENTITY ", n); break;
      case ElementType::DtdNotation: out = declaration(indent, "<!NOTATION ", n); break;
      case ElementType::SpecialMarkup: out = wrap(indent, "<!", n.value_, ">"); break;
      case ElementType::SpecialInstruction: out = wrap(indent, "<?", n.value_, "?>"); break;
      case ElementType::CharData: out = n.value_; break;
      case ElementType::RawTag: out = wrap(indent, "<", n.value_, ">"); break;
    }
    WriteTextToStream(stream, out);
    reportProgress(n, stream);
    return false;
  };

  // The line break after child index f.next - 1: always inside a doctype
  // subset; inside an element not next to character data.
  auto separate = [&](const Frame& f) {
    const auto& kids = f.node->children_;
    const size_t i = static_cast<size_t>(f.next - 1);
    if (f.node->type_ == ElementType::Element &&
        (kids[i]->type_ == ElementType::CharData ||
         (i + 1 < kids.size() && kids[i + 1]->type_ == ElementType::CharData)))
      return;
    WriteTextToStream(stream, f.lineBreak);
  };

  if (!begin(*this, TreeDepth())) return;
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next < static_cast<int>(f.node->children_.size())) {
      const TXmlNode& child = *f.node->children_[static_cast<size_t>(f.next++)];
      if (!begin(child, f.depth + 1)) separate(stack.back());
      continue;
    }
    const Frame done = std::move(f);
    stack.pop_back();
    if (done.node->type_ == ElementType::Element)
      WriteTextToStream(stream, wrap(done.indent, "</", done.node->name_, ">"));
    else
      WriteTextToStream(stream, "]>");
    reportProgress(*done.node, stream);
    if (!stack.empty()) separate(stack.back());
  }
}

std::string TXmlNode::WriteToString() const {
  TStringStream stream;
  WriteToStream(stream);
  return stream.DataText();
}

void TXmlNode::WriteWidestring(std::string_view name, std::u16string_view value, std::u16string_view def) {
  // Both sides in the document's text form, so equal texts compare equal in UTF-8 documents too.
  const std::string v = WideToText(value);
  if (WriteDefaults() || v != WideToText(def)) FindOrAddChild(name)->SetValue(v);
}

}  // namespace xml

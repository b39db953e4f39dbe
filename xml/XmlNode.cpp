#include "xml/XmlNode.h"

#include <atomic>
#include <cstring>
#include <utility>

#include "platform/codepage.h"
#include "xml/XmlDocument.h"
#include "xml/XmlErrors.h"
#include "xml/XmlStream.h"
#include "xml/XmlText.h"
#include "xml/internal/ByteClass.h"
#include "xml/internal/Scan.h"
#include "xml/internal/Options.h"

namespace xml {

namespace detail {
namespace {

// The line a thread looked up last by index: true while no list has moved or
// dropped lines since (every such change starts a new generation; appending
// moves none). Kept per thread so that lists stay small and readers on
// different threads do not meet.
struct LineCursor {
  const AttributeLines* list = nullptr;
  uint64_t generation = 0;
  int index = 0;
  size_t offset = 0;
};
thread_local LineCursor tLineCursor;
std::atomic<uint64_t> gLineGeneration{1};

std::string encodeLine(std::string_view line) {
  std::string out;
  char buf[10];
  out.append(buf, static_cast<size_t>(writeLength(buf, line.size()) - buf));
  out.append(line);
  return out;
}

}  // namespace

void AttributeLines::Forget() const {
  if (count_ > 0) gLineGeneration.fetch_add(1, std::memory_order_relaxed);
}

void AttributeLines::TakeFrom(AttributeLines& other) {
  other.Forget();  // its lines now live at this list's place
  bytes_ = std::move(other.bytes_);
  count_ = other.count_;
  exists_ = other.exists_;
  sorted_ = other.sorted_;
  asRead_ = other.asRead_;
  other.bytes_.clear();
  other.count_ = 0;
  other.exists_ = false;
  other.sorted_ = false;
  other.asRead_ = true;
}

void AttributeLines::Reset() {
  Forget();
  std::string().swap(bytes_);
  count_ = 0;
  exists_ = false;
  sorted_ = false;
  asRead_ = true;
}

size_t AttributeLines::Offset(int index) const {
  // Walks on from the line looked up last when it is this list's and lies
  // before index, so a loop over all lines by index walks the block once.
  LineCursor& cursor = tLineCursor;
  const uint64_t generation = gLineGeneration.load(std::memory_order_relaxed);
  int from = 0;
  size_t pos = 0;
  if (cursor.list == this && cursor.generation == generation && cursor.index <= index) {
    from = cursor.index;
    pos = cursor.offset;
  }
  for (int i = from; i < index; ++i) nextLine(bytes_, pos);
  cursor = {this, generation, index, pos};
  return pos;
}

std::string_view AttributeLines::Line(int index) const {
  if (index < 0 || index >= count_) return {};
  size_t pos = Offset(index);
  return nextLine(bytes_, pos);
}

int AttributeLines::AppendText(std::string& out, bool check, bool endsTag) const {
  // Each line's length prefix (one byte or more) gives way to one blank, so
  // the block's size is room enough.
  const size_t at = out.size();
  const size_t n = bytes_.size();
  out.resize(at + n);
  char* w = out.data() + at;
  // Lines shorter than 128 bytes have a one-byte prefix: the block is then
  // the text already, once each prefix becomes the blank.
  std::memcpy(w, bytes_.data(), n);
  size_t k = 0;
  if (check && !asRead_) {
    for (int i = 0; k < n && static_cast<unsigned char>(w[k]) < 0x80; ++i) {
      const size_t len = static_cast<unsigned char>(w[k]);
      w[k] = ' ';
      // The scan may run on into the lines after this one: only a stop inside it counts.
      const char* line = w + k + 1;
      const size_t stop = findNameStop(line, 0, n - k - 1);
      if (len == 0 || stop == 0 || (stop < len && line[stop] != '=')) return i;
      k += 1 + len;
    }
  } else {
    while (k < n && static_cast<unsigned char>(w[k]) < 0x80) {
      const size_t len = static_cast<unsigned char>(w[k]);
      w[k] = ' ';
      k += 1 + len;
    }
  }
  // The last line's last byte is the block's.
  if (k == n) return check && endsTag && n > 0 && w[n - 1] == '/' ? count_ - 1 : -1;
  size_t pos = 0;
  for (int i = 0; i < count_; ++i) {
    const std::string_view line = nextLine(bytes_, pos);
    *w++ = ' ';
    std::memcpy(w, line.data(), line.size());
    w += line.size();
  }
  out.resize(static_cast<size_t>(w - out.data()));
  return check ? FirstUnwritableLine(endsTag) : -1;
}

int AttributeLines::FirstUnwritableLine(bool endsTag) const {
  const char* const end = bytes_.data() + bytes_.size();
  if (asRead_) return endsTag && count_ > 0 && end[-1] == '/' ? count_ - 1 : -1;
  size_t pos = 0;
  for (int i = 0; i < count_; ++i) {
    const std::string_view line = nextLine(bytes_, pos);
    // The scan may run on into the lines after this one, sixteen bytes at a
    // time: only a stop inside this line counts.
    const size_t stop = findNameStop(line.data(), 0, static_cast<size_t>(end - line.data()));
    const bool nameEnds = stop >= line.size() || line[stop] == '=';
    if (stop == 0 || !nameEnds || (endsTag && i + 1 == count_ && line.back() == '/')) return i;
  }
  return -1;
}

void AttributeLines::Append(std::string_view line) {
  asRead_ = false;
  char buf[10];
  bytes_.append(buf, static_cast<size_t>(writeLength(buf, line.size()) - buf));
  bytes_.append(line);
  ++count_;
}

void AttributeLines::InsertAt(size_t offset, std::string_view line) {
  asRead_ = false;
  Forget();  // the lines after offset move
  bytes_.insert(offset, encodeLine(line));
  ++count_;
}

void AttributeLines::AppendPieces(const std::string_view* first, const std::string_view* last) {
  asRead_ = false;  // pieces from a caller, not a tag
  Create(false);
  size_t n = 0;
  for (const std::string_view* p = first; p != last; ++p) n += p->size();
  char buf[10];
  bytes_.append(buf, static_cast<size_t>(writeLength(buf, n) - buf));
  for (const std::string_view* p = first; p != last; ++p) bytes_.append(*p);
  ++count_;
}

void AttributeLines::Replace(int index, std::string_view line) {
  if (index < 0 || index >= count_) return;
  asRead_ = false;
  const size_t at = Offset(index);
  size_t end = at;
  nextLine(bytes_, end);
  Forget();  // the lines after index move
  bytes_.replace(at, end - at, encodeLine(line));
  // Those before it, this one included, did not: a walk by index goes on from here.
  tLineCursor = {this, gLineGeneration.load(std::memory_order_relaxed), index, at};
}

}  // namespace detail

namespace {

std::string_view namePart(std::string_view line) {
  const size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view{} : line.substr(0, eq);
}

}  // namespace

// The list adds its count and kind to its block and no more, so a node keeps its size.
static_assert(sizeof(detail::AttributeLines) == sizeof(std::string) + 8);

TXmlNode::TXmlNode(TXmlDocument* document, ElementType type) : type_(type), document_(document) {}

// Frees the subtree without recursion, so no depth of tree exhausts the stack.
TXmlNode::~TXmlNode() {
  if (children_.empty()) return;
  std::vector<std::unique_ptr<TXmlNode>> pending = std::move(children_);
  while (!pending.empty()) {
    std::unique_ptr<TXmlNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->children_) pending.push_back(std::move(child));
    node->children_.clear();
  }
}

std::unique_ptr<TXmlNode> TXmlNode::CreateOwned(TXmlDocument* document) {
  return std::make_unique<TXmlNode>(document);
}

std::unique_ptr<TXmlNode> TXmlNode::CreateName(TXmlDocument* document, std::string_view name) {
  auto node = CreateOwned(document);
  node->SetNodeName(name);
  return node;
}

std::unique_ptr<TXmlNode> TXmlNode::CreateNameValue(TXmlDocument* document, std::string_view name,
                                                    std::string_view value) {
  auto node = CreateName(document, name);
  node->SetValue(value);
  return node;
}

std::unique_ptr<TXmlNode> TXmlNode::CreateType(TXmlDocument* document, ElementType type) {
  return std::make_unique<TXmlNode>(document, type);
}

void TXmlNode::SetNodeName(std::string_view name) {
  if (name == name_) return;
  for (char c : name)
    if (detail::isBlank(c)) raise(XmlErrc::IllegalNodeName, name);
  name_ = name;
}

void TXmlNode::SetValue(std::string_view text) { value_ = EscapeText(text); }

std::string TXmlNode::TextValue() const { return DecodeEntities(value_); }

// ---- attributes ----

int TXmlNode::AttributeCount() const { return attrs_.Count(); }

void TXmlNode::AppendAttributeLines(std::string& out) const { attrs_.AppendText(out); }

std::string TXmlNode::AttributeName(int index) const { return std::string(namePart(attrs_.Line(index))); }

std::string TXmlNode::AttributePair(int index) const { return std::string(attrs_.Line(index)); }

std::string_view TXmlNode::ValuePartOfFirst(std::string_view name, int* index) const {
  const bool utf8 = InUtf8Mode();
  std::string_view line;
  *index = attrs_.Find(
      [&](std::string_view l) {
        const size_t eq = l.find('=');
        return eq != std::string_view::npos && CompareNames(l.substr(0, eq), name, utf8) == 0;
      },
      &line);
  return *index < 0 ? std::string_view{} : line.substr(line.find('=') + 1);
}

std::string TXmlNode::AttributeValue(std::string_view name) const {
  int index = -1;
  const std::string_view raw = ValuePartOfFirst(name, &index);
  if (index < 0) return {};
  return DecodeEntities(UnquoteText(raw));
}

int TXmlNode::AttributeIndexOf(std::string_view name) const {
  int index = -1;
  ValuePartOfFirst(name, &index);
  return index;
}

void TXmlNode::EnsureAttributes() { attrs_.Create(document_ != nullptr && document_->SortAttributes); }

void TXmlNode::ClearAttributes() { attrs_.Reset(); }

int TXmlNode::CompareLines(std::string_view a, std::string_view b) const { return CompareNames(a, b, InUtf8Mode()); }

void TXmlNode::AttributeAddLine(std::string_view line) {
  EnsureAttributes();
  attrs_.Add(line, [this](std::string_view a, std::string_view b) { return CompareLines(a, b); });
}

void TXmlNode::AttributeAddPieces(const std::string_view* first, const std::string_view* last) {
  if (last - first == 1) return AttributeAddLine(*first);
  EnsureAttributes();
  if (!attrs_.Sorted()) return attrs_.AppendPieces(first, last);
  std::string line;
  for (const std::string_view* p = first; p != last; ++p) line.append(*p);
  AttributeAddLine(line);
}

void TXmlNode::AttributeAdd(std::string_view name, std::string_view value) {
  std::string line(name);
  line += '=';
  line += QuoteText(EscapeText(value));
  AttributeAddLine(line);
}

void TXmlNode::SetAttributeValueAt(int index, std::string_view value) {
  if (index < 0 || index >= attrs_.Count()) return;
  // A sorted list would lose its order if a line changed in place.
  if (attrs_.Sorted()) raise(XmlErrc::SortedListOperation);
  std::string line(namePart(attrs_.Line(index)));
  line += '=';
  line += QuoteText(EscapeText(value));
  attrs_.Replace(index, line);
}

// ---- children ----

TXmlNode* TXmlNode::ChildAt(int index) const {
  if (index < 0 || index >= ChildCount()) return nullptr;
  return children_[static_cast<size_t>(index)].get();
}

void TXmlNode::AdoptChild(std::unique_ptr<TXmlNode>& node) { node->parent_ = this; }

int TXmlNode::AddChild(std::unique_ptr<TXmlNode>&& node) {
  if (!node) return -1;
  AdoptChild(node);
  children_.push_back(std::move(node));
  return ChildCount() - 1;
}

void TXmlNode::InsertChild(int index, std::unique_ptr<TXmlNode>&& node) {
  if (!node || index < 0 || index > ChildCount()) return;
  AdoptChild(node);
  children_.insert(children_.begin() + index, std::move(node));
}

TXmlNode* TXmlNode::AddNewChild(std::string_view name) {
  return ChildAt(AddChild(CreateName(document_, name)));
}

TXmlNode* TXmlNode::InsertNewChild(int index, std::string_view name) {
  if (index < 0 || index > ChildCount()) return nullptr;
  InsertChild(index, CreateName(document_, name));
  return ChildAt(index);
}

TXmlNode* TXmlNode::FindChild(std::string_view name) const { return ChildAt(ChildIndexByName(name)); }

TXmlNode* TXmlNode::FindOrAddChild(std::string_view name) {
  TXmlNode* found = FindChild(name);
  return found ? found : AddNewChild(name);
}

int TXmlNode::ChildIndexByNameFrom(std::string_view name, int start) const {
  const bool utf8 = InUtf8Mode();
  for (int i = start < 0 ? 0 : start; i < ChildCount(); ++i)
    if (CompareNames(children_[static_cast<size_t>(i)]->name_, name, utf8) == 0) return i;
  return -1;
}

void TXmlNode::DeleteChild(int index) {
  if (index < 0 || index >= ChildCount()) return;
  children_.erase(children_.begin() + index);
}

std::unique_ptr<TXmlNode> TXmlNode::ExtractChild(TXmlNode* node) {
  const int index = IndexOf(node);
  if (index < 0) return nullptr;
  std::unique_ptr<TXmlNode> out = std::move(children_[static_cast<size_t>(index)]);
  children_.erase(children_.begin() + index);
  out->parent_ = nullptr;
  return out;
}

int TXmlNode::IndexOf(const TXmlNode* node) const {
  if (node == nullptr) return -1;
  for (size_t i = 0; i < children_.size(); ++i)
    if (children_[i].get() == node) return static_cast<int>(i);
  return -1;
}

int TXmlNode::RemoveChild(TXmlNode* node) {
  const int index = IndexOf(node);
  if (index >= 0) DeleteChild(index);
  return index;
}

void TXmlNode::Delete() {
  if (parent_ != nullptr) parent_->RemoveChild(this);
}

void TXmlNode::ClearChildren() {
  std::vector<std::unique_ptr<TXmlNode>> gone = std::move(children_);
  children_.clear();
  gone.clear();
}

void TXmlNode::Clear() {
  name_.clear();
  value_.clear();
  ClearAttributes();
  ClearChildren();
}

TXmlNode* TXmlNode::FirstChildOfType(ElementType type) const {
  for (const auto& c : children_)
    if (c->type_ == type) return c.get();
  return nullptr;
}

// ---- names and paths ----

int TXmlNode::NameMatches(std::string_view pattern) const {
  if (!pattern.empty() && pattern[0] == '/') return CompareNames(FullPath(), pattern, InUtf8Mode());
  return CompareNames(name_, pattern, InUtf8Mode());
}

TXmlNode* TXmlNode::FindDescendant(std::string_view pattern) const {
  std::vector<TXmlNode*> stack;
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) stack.push_back(it->get());
  while (!stack.empty()) {
    TXmlNode* node = stack.back();
    stack.pop_back();
    if (node->NameMatches(pattern) == 0) return node;
    for (auto it = node->children_.rbegin(); it != node->children_.rend(); ++it) stack.push_back(it->get());
  }
  return nullptr;
}

void TXmlNode::ChildrenByName(std::string_view name, std::vector<TXmlNode*>* list) const {
  if (list == nullptr) return;
  list->clear();
  const bool utf8 = InUtf8Mode();
  for (const auto& c : children_)
    if (CompareNames(c->name_, name, utf8) == 0) list->push_back(c.get());
}

std::string TXmlNode::FullPath() const {
  std::string path = "/" + name_;
  for (const TXmlNode* n = this; n->parent_ != nullptr && n->parent_->parent_ != nullptr; n = n->parent_)
    path = "/" + n->parent_->name_ + path;
  return path;
}

int TXmlNode::TreeDepth() const {
  int depth = -1;
  for (const TXmlNode* n = parent_; n != nullptr; n = n->parent_) ++depth;
  return depth;
}

bool TXmlNode::CanUseShortTag() const { return ShortTagAt(TreeDepth()); }

bool TXmlNode::ShortTagAt(int depth) const {
  return value_.empty() && children_.empty() && type_ == ElementType::Element && !UsesFullEndTags() && depth >= 1;
}

std::string TXmlNode::IndentText() const {
  if (document_ == nullptr || detail::lineStyle(document_->LineLayout) != detail::LineStyle::CrLfIndented) return {};
  std::string out;
  for (int i = TreeDepth(); i >= 1; --i) out += document_->IndentUnit;
  return out;
}

std::string TXmlNode::LineBreakText() const {
  if (document_ == nullptr) return {};
  switch (detail::lineStyle(document_->LineLayout)) {
    case detail::LineStyle::CrLfIndented: return "\r\n";
    case detail::LineStyle::Compact: return {};
    case detail::LineStyle::Lf: return "\n";
  }
  return {};
}

int TXmlNode::DocBinaryFormat() const { return document_ ? document_->BinaryFormat : 0; }
bool TXmlNode::DocScientificFloats() const { return document_ ? document_->ScientificFloats : true; }
int TXmlNode::DocFloatPrecision() const { return document_ ? document_->FloatPrecision : 6; }
bool TXmlNode::WriteDefaults() const { return document_ ? document_->WriteDefaultValues : true; }
bool TXmlNode::UsesFullEndTags() const { return document_ ? document_->FullEndTags : false; }
bool TXmlNode::InUtf8Mode() const { return document_ ? document_->Utf8Mode : false; }

std::string TXmlNode::WideToText(std::u16string_view wide) const {
  return InUtf8Mode() ? WideToUtf8Text(wide) : platform::codepage::wideToAnsi(wide);
}

std::u16string TXmlNode::TextToWide(std::string_view text) const {
  return InUtf8Mode() ? Utf8TextToWide(text) : platform::codepage::ansiToWide(text);
}

std::string TXmlNode::DecodeEntities(std::string_view text) const {
  return InUtf8Mode() ? DecodeEntitiesUtf8(text) : DecodeEntitiesSingleByte(text);
}

// ---- binary content ----

int64_t TXmlNode::BinaryLength() const {
  const std::string text = RemoveControlChars(value_);
  const auto n = static_cast<int64_t>(text.size());
  switch (detail::binaryEncoding(DocBinaryFormat())) {
    case detail::BinaryEncoding::Hex:
      if (n % 2 != 0) raise(XmlErrc::StreamLength);
      return n / 2;
    case detail::BinaryEncoding::Base64: {
      if (n % 4 != 0) raise(XmlErrc::StreamLength);
      int64_t len = n / 4 * 3;
      if (n > 0 && text[n - 1] == '=') {
        --len;
        if (n > 1 && text[n - 2] == '=') --len;
      }
      return len;
    }
    case detail::BinaryEncoding::None: return 0;
  }
  return 0;
}

void TXmlNode::BinaryRead(void* buffer, int64_t count) const {
  const std::string text = RemoveControlChars(value_);
  switch (detail::binaryEncoding(DocBinaryFormat())) {
    case detail::BinaryEncoding::Hex: DecodeHexText(text, buffer, count); break;
    case detail::BinaryEncoding::Base64: DecodeBase64Text(text, buffer, count); break;
    case detail::BinaryEncoding::None: break;
  }
}

void TXmlNode::BinaryWrite(const void* buffer, int64_t count) {
  std::string text;
  switch (detail::binaryEncoding(DocBinaryFormat())) {
    case detail::BinaryEncoding::Hex: text = EncodeHexText(buffer, count); break;
    case detail::BinaryEncoding::Base64: text = EncodeBase64Text(buffer, count); break;
    case detail::BinaryEncoding::None: break;
  }
  value_ = InsertLineBreaks(text, LineBreakText() + IndentText(), 76);
}

// ---- copying ----

void TXmlNode::Assign(const TXmlNode& source) {
  // Copy into a fresh node first, so a source inside this node's own subtree
  // is read before anything here is cleared. No recursion: trees may be deep.
  auto copy = std::make_unique<TXmlNode>(document_);
  std::vector<std::pair<TXmlNode*, const TXmlNode*>> work{{copy.get(), &source}};
  while (!work.empty()) {
    auto [dst, src] = work.back();
    work.pop_back();
    dst->type_ = src->type_;
    dst->name_ = src->name_;
    dst->tag_ = src->tag_;
    dst->value_ = src->value_;
    if (src->attrs_.Exists()) {
      dst->EnsureAttributes();
      TXmlNode* target = dst;
      src->attrs_.ForEach([target](std::string_view line) { target->AttributeAddLine(line); });
    }
    dst->children_.reserve(src->children_.size());
    for (const auto& c : src->children_) {
      auto child = std::make_unique<TXmlNode>(document_);
      work.emplace_back(child.get(), c.get());
      dst->AddChild(std::move(child));
    }
  }
  Clear();
  type_ = copy->type_;
  name_ = std::move(copy->name_);
  tag_ = copy->tag_;
  value_ = std::move(copy->value_);
  attrs_ = std::move(copy->attrs_);
  children_ = std::move(copy->children_);
  for (auto& c : children_) c->parent_ = this;
}

void TXmlNode::Assign(const TXmlDocument& source) { Assign(source.TopLevelNodes()); }

void TXmlNode::ReadFromString(std::string_view text) {
  TStringStream stream(text);
  ParseFromStream(stream);
}

}  // namespace xml

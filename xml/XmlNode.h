#pragma once
// One node of an XML document: element, comment, CDATA section, declaration,
// document type and its declarations, or character data. A node owns its
// children; parent and document are plain back references.
//
// Texts are byte strings in the document's text form (UTF-8 when the
// document's Utf8Mode is set, else GBK), as the parser read them: values keep
// their entity references until read through TextValue or AttributeValue.
// Name lookups ignore ASCII letter case (see CompareNames).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xml/internal/AttributeLines.h"

namespace xml {

class TXmlDocument;
class TStream;
struct TFont;
struct TPen;
struct TBrush;

enum class ElementType : uint8_t {
  Element = 0,
  Comment = 1,
  CData = 2,
  Declaration = 3,
  Stylesheet = 4,
  DocType = 5,
  DtdElement = 6,
  DtdAttList = 7,
  DtdEntity = 8,
  DtdNotation = 9,
  SpecialMarkup = 10,
  SpecialInstruction = 11,
  CharData = 12,
  RawTag = 13,
};

class TXmlNode {
 public:
  // An element without name, value, attributes or children, reading its
  // settings from document (none: the library's defaults).
  explicit TXmlNode(TXmlDocument* document = nullptr, ElementType type = ElementType::Element);
  ~TXmlNode();
  TXmlNode(const TXmlNode&) = delete;
  TXmlNode& operator=(const TXmlNode&) = delete;

  static std::unique_ptr<TXmlNode> CreateOwned(TXmlDocument* document);
  // Raises the general error "Illegal character in node name" for a blank in name.
  static std::unique_ptr<TXmlNode> CreateName(TXmlDocument* document, std::string_view name);
  // The value is stored escaped (SetValue).
  static std::unique_ptr<TXmlNode> CreateNameValue(TXmlDocument* document, std::string_view name,
                                                   std::string_view value);
  static std::unique_ptr<TXmlNode> CreateType(TXmlDocument* document, ElementType type);

  // ---- own data ----
  ElementType Type() const { return type_; }
  void SetType(ElementType type) { type_ = type; }
  const std::string& Name() const { return name_; }
  // Sets the name; raises the general error "Illegal character in node name "%s""
  // for TAB, LF, CR or space (the old name stays); the same name does nothing.
  void SetNodeName(std::string_view name);
  // The value as stored (entity references not decoded); empty when none.
  const std::string& Value() const { return value_; }
  // Stores the text escaped.
  void SetValue(std::string_view text);
  // Stores the text as it is (no escaping), as the parser does.
  void SetRawValue(std::string value) { value_ = std::move(value); }
  // The value with entity references decoded; empty when there is none.
  std::string TextValue() const;
  int32_t Tag() const { return tag_; }
  void SetTag(int32_t tag) { tag_ = tag; }
  // The node whose child list holds this node; nullptr for none.
  TXmlNode* Parent() const { return parent_; }
  // The document whose settings this node reads; nullptr for none.
  TXmlDocument* Document() const { return document_; }
  void SetDocument(TXmlDocument* document) { document_ = document; }

  // ---- attributes: one name=value line each, the value as written ----
  // Number of lines; 0 without a list.
  int AttributeCount() const;
  // Text before the first "=" of line index; empty outside 0..count-1 or without "=".
  std::string AttributeName(int index) const;
  // The whole line index; empty outside 0..count-1.
  std::string AttributePair(int index) const;
  // Value of the first line named name, unquoted and entity-decoded; empty when absent.
  std::string AttributeValue(std::string_view name) const;
  // Index of the first line named name; -1 when absent.
  int AttributeIndexOf(std::string_view name) const;
  // True when a line is named name.
  bool HasAttribute(std::string_view name) const { return AttributeIndexOf(name) >= 0; }
  // Appends name="escaped value" (a sorted list inserts in order and drops an equal line).
  void AttributeAdd(std::string_view name, std::string_view value);
  // Appends a line as it is (the parser's attribute lines).
  void AttributeAddLine(std::string_view line);
  // Appends the line that the pieces make when joined.
  void AttributeAddPieces(const std::string_view* first, const std::string_view* last);
  // Replaces line index by its name part + "=" + the quoted escaped value;
  // nothing outside 0..count-1. Raises the general error "Operation not
  // allowed on sorted list" on a sorted list.
  void SetAttributeValueAt(int index, std::string_view value);
  // Creates the attribute list if there is none (sorted when the document sorts).
  void EnsureAttributes();
  // Drops the attribute list.
  void ClearAttributes();

  // ---- children ----
  int ChildCount() const { return static_cast<int>(children_.size()); }
  // The child at index; nullptr outside 0..count-1.
  TXmlNode* ChildAt(int index) const;
  // Appends node and takes it; returns its index, -1 (nothing taken) for null.
  int AddChild(std::unique_ptr<TXmlNode>&& node);
  // Inserts node at index (count appends) and takes it; for null or an index
  // outside 0..count nothing happens and the caller keeps the node.
  void InsertChild(int index, std::unique_ptr<TXmlNode>&& node);
  // A new child named name, appended; raises like SetNodeName.
  TXmlNode* AddNewChild(std::string_view name);
  // A new child named name at index; nullptr (nothing created) outside 0..count.
  TXmlNode* InsertNewChild(int index, std::string_view name);
  // First direct child named name; nullptr when none.
  TXmlNode* FindChild(std::string_view name) const;
  // FindChild, or a new child of that name when there is none.
  TXmlNode* FindOrAddChild(std::string_view name);
  // Index of the first direct child named name; -1 when none.
  int ChildIndexByName(std::string_view name) const { return ChildIndexByNameFrom(name, 0); }
  // The same from index start on; -1 when none or start is outside the list.
  int ChildIndexByNameFrom(std::string_view name, int start) const;
  // Frees the child at index with its subtree; nothing outside 0..count-1.
  void DeleteChild(int index);
  // Takes node out of the child list without freeing it and clears its parent;
  // nullptr when it is no child of this node.
  std::unique_ptr<TXmlNode> ExtractChild(TXmlNode* node);
  // Index of node among the children; -1 for null or a node that is no child.
  int IndexOf(const TXmlNode* node) const;
  // Frees node when it is a child; returns its former index, -1 otherwise.
  int RemoveChild(TXmlNode* node);
  // Asks the parent to free this node (this object is gone afterwards);
  // a node without parent is left alone.
  void Delete();
  // Frees every child.
  void ClearChildren();
  // Empties name and value, attributes and children; type, parent, document and tag stay.
  void Clear();
  // True without name and without content.
  bool IsEmpty() const { return name_.empty() && HasNoContent(); }
  // True without value, children and attribute lines.
  bool HasNoContent() const { return value_.empty() && children_.empty() && AttributeCount() == 0; }
  // First direct child of that type; nullptr when none.
  TXmlNode* FirstChildOfType(ElementType type) const;

  // ---- names and paths ----
  // Comparison sign (0 = match) of the name, or of FullPath when pattern starts with "/".
  int NameMatches(std::string_view pattern) const;
  // First descendant (depth first, document order, never this node) matching
  // pattern by NameMatches; nullptr when none.
  TXmlNode* FindDescendant(std::string_view pattern) const;
  // Clears *list and fills it with the direct children named name, in order;
  // nothing at all for a null list.
  void ChildrenByName(std::string_view name, std::vector<TXmlNode*>* list) const;
  // "/" + name, after the parent's path from depth 1 on ("/root/item").
  std::string FullPath() const;
  // -1 without parent, else the parent's depth + 1.
  int TreeDepth() const;
  // True for an empty element at depth 1 or more when full end tags are off.
  bool CanUseShortTag() const;
  // Indentation for the node's depth (layout 0 only); empty without a document.
  std::string IndentText() const;
  // CR LF (layout 0), nothing (1), LF (other); empty without a document.
  std::string LineBreakText() const;

  // ---- document settings, with the defaults for a node without document ----
  int DocBinaryFormat() const;
  bool DocScientificFloats() const;
  int DocFloatPrecision() const;
  bool WriteDefaults() const;
  bool UsesFullEndTags() const;
  bool InUtf8Mode() const;

  // ---- text conversions in the document's text form ----
  std::string WideToText(std::u16string_view wide) const;
  std::u16string TextToWide(std::string_view text) const;
  // Entity decoding in the variant of the document's text form.
  std::string DecodeEntities(std::string_view text) const;

  // ---- binary content (hex or Base64 value, as the document's BinaryFormat says) ----
  // Number of bytes the value holds; raises the filer error "Error while
  // calculating streamlength" for a length that does not fit the format; 0 for other formats.
  int64_t BinaryLength() const;
  // Decodes count bytes of the value into buffer; raises "Missing data in binary stream".
  void BinaryRead(void* buffer, int64_t count) const;
  // Encodes count bytes as the value, in lines of 76 characters.
  void BinaryWrite(const void* buffer, int64_t count);

  // ---- writing (XmlWriter.cpp) ----
  // Writes the node and its subtree as markup, as stored (nothing is escaped);
  // raises the filer error "Illegal element type" for a type above RawTag and
  // passes the stream's errors on. With checkNames (a document's save) it
  // raises the general error "Cannot save %s: the load would not read it
  // back as it is" at the first element, or attribute of an element or
  // declaration, whose name the parser would not read back as it stands,
  // naming it by its path from the top ("#n" for a nameless n-th child).
  // Such a name (an attribute's: before its first "=", or all of a line
  // without one) is empty or holds a blank, control byte, quote, "<" or ">";
  // an element's also ends in "/" or begins with "!", "?" or "/", and an
  // element's last attribute line ends in "/" (either would make the element
  // empty). When stream is a codec that writes UTF-8 text as GBK, so is a
  // name, or a processing instruction's text, with a character that GBK
  // cannot hold (it would go out as "?", which there is markup; in values
  // and text it stays "?"). The values of attribute lines are not looked at.
  void WriteToStream(TStream& stream, bool checkNames = false) const;
  // The attribute part of a start tag: " " + line per attribute, then "/" when
  // CanUseShortTag; empty without attributes.
  std::string AttributeText() const;
  // Appends " " + line for every attribute line to out.
  void AppendAttributeLines(std::string& out) const;
  // WriteToStream into a text (the document's text form, no byte-order mark).
  std::string WriteToString() const;
  // Stores value in the child named name (found or added) unless defaults are
  // not written and value equals def in the document's text form.
  void WriteWidestring(std::string_view name, std::u16string_view value, std::u16string_view def = {});

  // ---- typed values (XmlTyped.cpp; text forms in XmlTyped.h) ----
  // The own value as a bool (first letter T/Y or F/N, any case); def otherwise.
  bool BoolValue(bool def = false) const;
  // The decoded value as a date-time; def when it is none.
  double DateTimeValue(double def = 0) const;
  // The value, first "," read as ".", as a decimal number; def when it is none.
  double FloatValue(double def = 0) const;
  // The value by the integer text rule; def when it is no integer.
  int64_t Int64Value(int64_t def = 0) const;
  int32_t IntegerValue(int32_t def = 0) const;

  // Attribute readers: def when the attribute is missing or unreadable
  // (ReadAttributeString: also when it is empty).
  bool ReadAttributeBool(std::string_view name, bool def = false) const;
  int32_t ReadAttributeInteger(std::string_view name, int32_t def = 0) const;
  int64_t ReadAttributeInt64(std::string_view name, int64_t def = 0) const;
  std::string ReadAttributeString(std::string_view name, std::string_view def = {}) const;
  // Named-child readers: def without such a child, else the child's value
  // read as the type (def when unreadable). ReadColor raises the conversion
  // error for a present child whose text is no integer.
  bool ReadBool(std::string_view name, bool def = false) const;
  int32_t ReadColor(std::string_view name, int32_t def = 0) const;
  double ReadDateTime(std::string_view name, double def = 0) const;
  double ReadFloat(std::string_view name, double def = 0) const;
  int64_t ReadInt64(std::string_view name, int64_t def = 0) const;
  int32_t ReadInteger(std::string_view name, int32_t def = 0) const;
  // The child's decoded text, also when empty; def without the child.
  std::string ReadString(std::string_view name, std::string_view def = {}) const;
  std::u16string ReadWidestring(std::string_view name, std::u16string_view def = {}) const;
  // Composite readers; without the named child the object gets the stated defaults.
  void ReadFont(std::string_view name, TFont& font) const;
  void ReadPen(std::string_view name, TPen& pen) const;
  void ReadBrush(std::string_view name, TBrush& brush) const;

  // Writers: each writes unless defaults are not written and the value equals
  // def; then nothing changes. Attribute writers replace the first attribute
  // of that name in place (raising "Operation not allowed on sorted list" on a
  // sorted list, as SetAttributeValueAt does) or append one; child writers set
  // the first child of that name or append one.
  void WriteAttributeBool(std::string_view name, bool value, bool def = false);
  void WriteAttributeInteger(std::string_view name, int32_t value, int32_t def = 0);
  // Raises "Significant digits out of range" for the document's FloatPrecision outside 1..9.
  void WriteAttributeFloat(std::string_view name, double value, double def = 0);
  void WriteAttributeString(std::string_view name, std::string_view value, std::string_view def = {});
  void WriteBool(std::string_view name, bool value, bool def = false);
  void WriteInteger(std::string_view name, int32_t value, int32_t def = 0);
  void WriteInt64(std::string_view name, int64_t value, int64_t def = 0);
  void WriteFloat(std::string_view name, double value, double def = 0);
  void WriteDateTime(std::string_view name, double value, double def = 0);
  void WriteString(std::string_view name, std::string_view value, std::string_view def = {});
  // "$" and at least digits (1 to 8) upper-case hex digits of the 32-bit pattern.
  void WriteHex(std::string_view name, int32_t value, int digits, int32_t def = 0);
  // "$" and 8 hex digits of the colour's RGB value (system colours resolved).
  void WriteColor(std::string_view name, int32_t value, int32_t def = 0);
  // Composites: the named child always exists afterwards; each part follows the default rule.
  void WriteFont(std::string_view name, const TFont& font);
  void WritePen(std::string_view name, const TPen& pen);
  void WriteBrush(std::string_view name, const TBrush& brush);

  // ---- copying and parsing ----
  // Becomes a copy of source (type, name, tag, value, attributes, subtree);
  // the copies belong to this node's document.
  void Assign(const TXmlNode& source);
  // Becomes a copy of the document's top-level container.
  void Assign(const TXmlDocument& source);
  // Reads one node (an element with its subtree) from a character stream.
  void ParseFromStream(TStream& stream);
  // ParseFromStream over the bytes of the text.
  void ReadFromString(std::string_view text);

 private:
  friend class NodeParser;
  std::string_view ValuePartOfFirst(std::string_view name, int* index) const;
  // The comparison of lines in a sorted list.
  int CompareLines(std::string_view a, std::string_view b) const;
  void AdoptChild(std::unique_ptr<TXmlNode>& node);
  // CanUseShortTag for a node whose depth the caller knows.
  bool ShortTagAt(int depth) const;
  // WriteToStream's failure for the node's own name (line -1) or for its
  // attribute line index when a save would not read it back.
  [[noreturn]] void RaiseUnwritable(int line) const;

  // The attribute lines; only the list's own members change them.
  detail::AttributeLines attrs_;
  int32_t tag_ = 0;
  ElementType type_;
  TXmlDocument* document_;
  TXmlNode* parent_ = nullptr;
  std::string name_;
  std::string value_;
  std::vector<std::unique_ptr<TXmlNode>> children_;
};

}  // namespace xml

#pragma once
// Pieces of the node parser shared with the document and open to tests.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xml/XmlNode.h"

namespace xml {
class TStream;
class TPushbackReader;
class XmlError;
}

namespace xml::detail {

struct MarkupRow {
  std::string_view start;
  std::string_view end;
  ElementType type;
};

// The twelve markup starts; row 11 ("<", element) is the default.
extern const MarkupRow kMarkupTable[12];

// Deepest nesting of node parses (elements, and doctype subsets inside them).
inline constexpr int kMaxNesting = 1000;

// One nesting level for the life of the object; raises the filer error
// "Element nesting too deep" beyond kMaxNesting levels on this thread, at the
// character the stream read last (the "<" of the markup that goes too deep).
class DepthGuard {
 public:
  explicit DepthGuard(TStream& stream);
  ~DepthGuard();
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
};

// Parses node as TXmlNode::ParseFromStream does, but leaves a failure's line
// to the caller (AddLine). *markupStart receives where the node's "<" begins
// in the input (-1 when no markup was found). Returns false when the input
// ended before anything but blanks.
bool ParseNode(TXmlNode& node, TStream& stream, int64_t* markupStart);

// Places of a failure in the input read through stream; -1 when the stream
// cannot tell. The next character's place (the input's length once it ended):
int64_t OffsetOfNext(TStream& stream) noexcept;
// Where the character read last begins:
int64_t OffsetOfLast(TStream& stream) noexcept;
// Gives a failure that has an offset and no line yet the line of its offset,
// reading the input under stream again from its start (a codec's inner
// stream, counted in the codec's units). The line stays unknown when the
// input cannot be read again; the stream's position is kept.
void AddLine(XmlError& error, TStream& stream) noexcept;

// One character straight from the stream; false at the end. A NUL raises the
// filer error "NUL character in xml".
bool ReadXmlChar(TStream& stream, char& c);

// The row of the longest start the input completes after "<"; hands the
// characters read beyond it back through the reader's push-back text.
int MatchMarkupStart(TPushbackReader& reader);

// Reads up to end (outside quotes when quoteAware); true with the text before
// it, false at the end of the input (text untouched).
bool ReadUntilText(TPushbackReader& reader, std::string_view end, bool quoteAware, std::string& text);
// The same with text a view: of the stream's own bytes when they hold the
// text whole (valid until the stream is read again), else of storage.
bool ReadUntilView(TPushbackReader& reader, std::string_view end, bool quoteAware, std::string& storage,
                   std::string_view& text);

// Reads the stream up to the terminator outside quotes; true with the text before it.
bool ReadUntilChar(TStream& stream, char terminator, std::string& text);

// The tokens of a tag as views of its text: each token is one or more
// pieces (blank-separated runs outside quotes) that join without the blanks.
class TagTokenList {
 public:
  size_t size() const { return first_.size(); }
  bool empty() const { return first_.empty(); }
  // The pieces of token k.
  const std::string_view* begin(size_t k) const { return pieces_.data() + first_[k]; }
  const std::string_view* end(size_t k) const {
    return pieces_.data() + (k + 1 < first_.size() ? first_[k + 1] : pieces_.size());
  }
  // Token k's length and text.
  size_t length(size_t k) const { return length_[k]; }
  void appendTo(size_t k, std::string& out) const;
  std::string text(size_t k) const;

 private:
  friend void SplitTagTokens(std::string_view text, TagTokenList& tokens);
  friend size_t ScanElementTag(std::string_view run, TagTokenList& tokens, bool& emptyElement);
  void clear();
  // Adds the next piece: it joins the last token or starts one.
  void addPiece(std::string_view piece);
  // Drops the last byte of the last piece (a "/" that marks an empty element).
  void dropLastByte();
  size_t lastStart_ = 0;  // first piece of the last token as it stood before quote joins
  std::vector<std::string_view> pieces_;
  std::vector<uint32_t> first_;  // index of each token's first piece
  std::vector<size_t> length_;   // each token's length
};

// Tokens of a tag: blank-separated outside quotes, "=" and quoted values
// merged into the token before them. Empty for an all-blank text. The views
// stay valid as long as text does.
void SplitTagTokens(std::string_view text, TagTokenList& tokens);
// The same as strings.
std::vector<std::string> SplitTagTokens(std::string_view text);

// An element's start tag at the front of run (the bytes after "<" and the
// name's first byte on): finds its ">" (outside quotes) and splits its tokens
// in the same pass, as SplitTagTokens would split the tag's text without a
// last "/" (which sets emptyElement). Returns the index of the ">", or
// run.size() when the tag does not end inside run or holds a NUL byte
// (tokens then mean nothing).
size_t ScanElementTag(std::string_view run, TagTokenList& tokens, bool& emptyElement);

}  // namespace xml::detail

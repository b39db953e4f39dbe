#pragma once
// Pieces of the node parser shared with the document and open to tests.
#include <string>
#include <string_view>
#include <vector>

#include "xml/XmlNode.h"

namespace xml {
class TStream;
class TPushbackReader;
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
// "Element nesting too deep" beyond kMaxNesting levels on this thread.
class DepthGuard {
 public:
  DepthGuard();
  ~DepthGuard();
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
};

// One character straight from the stream; false at the end. A NUL raises the
// filer error "NUL character in xml".
bool ReadXmlChar(TStream& stream, char& c);

// The row of the longest start the input completes after "<"; hands the
// characters read beyond it back through the reader's push-back text.
int MatchMarkupStart(TPushbackReader& reader);

// Reads up to end (outside quotes when quoteAware); true with the text before
// it, false at the end of the input (text untouched).
bool ReadUntilText(TPushbackReader& reader, std::string_view end, bool quoteAware, std::string& text);

// Reads the stream up to the terminator outside quotes; true with the text before it.
bool ReadUntilChar(TStream& stream, char terminator, std::string& text);

// Tokens of a tag: blank-separated outside quotes, "=" and quoted values
// merged into the token before them. Empty for an all-blank text.
std::vector<std::string> SplitTagTokens(std::string_view text);
// The same into tokens, reusing the strings it already holds.
void SplitTagTokensInto(std::string_view text, std::vector<std::string>& tokens);

}  // namespace xml::detail

// Reads one node, and for an element its subtree, from a character stream.
#include <utility>

#include "xml/XmlBuffered.h"
#include "xml/XmlCodec.h"
#include "xml/XmlDocument.h"
#include "xml/XmlErrors.h"
#include "xml/XmlNode.h"
#include "xml/XmlText.h"
#include "xml/internal/ByteClass.h"
#include "xml/internal/Parser.h"
#include "xml/internal/Scan.h"

namespace xml {
namespace detail {

const MarkupRow kMarkupTable[12] = {
    {"<![CDATA[", "]]>", ElementType::CData},
    {"<!DOCTYPE", ">", ElementType::DocType},
    {"<!ELEMENT", ">", ElementType::DtdElement},
    {"<!ATTLIST", ">", ElementType::DtdAttList},
    {"<!ENTITY", ">", ElementType::DtdEntity},
    {"<!NOTATION", ">", ElementType::DtdNotation},
    {"<?xml-stylesheet", "?>", ElementType::Stylesheet},
    {"<?xml", "?>", ElementType::Declaration},
    {"<!--", "-->", ElementType::Comment},
    {"<!", ">", ElementType::SpecialMarkup},
    {"<?", "?>", ElementType::SpecialInstruction},
    {"<", ">", ElementType::Element},
};

namespace {
thread_local int tNesting = 0;

int takeChar(TPushbackReader& reader, char& c) {
  const int n = reader.TakeChar(c);
  if (n == 1 && c == '\0') raiseAt(XmlErrc::NulCharacter, OffsetOfLast(reader.Stream()));
  return n;
}

bool takeNonBlank(TPushbackReader& reader, char& c) {
  // Blanks the stream has at hand are passed over in place.
  while (reader.PushBackEmpty()) {
    TStream& stream = reader.Stream();
    const std::string_view run = stream.Peek();
    if (run.empty()) break;
    size_t i = 0;
    while (i < run.size() && isBlank(run[i])) ++i;
    if (i == run.size()) {
      stream.Skip(i);
      continue;
    }
    c = run[i];
    if (c == '\0') {
      stream.Skip(i);
      raiseAt(XmlErrc::NulCharacter, OffsetOfNext(stream));
    }
    stream.Skip(i + 1);
    return true;
  }
  while (takeChar(reader, c) == 1)
    if (!isBlank(c)) return true;
  return false;
}
}  // namespace

// Line breaks before offset: LF, and a CR that no LF follows. next(unit)
// gives the input's units from its start, false at its end; each unit is
// width bytes long.
template <typename Next>
int64_t lineOf(int64_t offset, int width, Next next) {
  int64_t line = 1;
  bool crBefore = false;  // the unit before was a CR, not counted yet
  uint32_t unit = 0;
  for (int64_t at = 0; next(unit); at += width) {
    if (crBefore && unit != '\n') ++line;
    if (at >= offset) return line;  // this unit only told whether a CR stood alone
    crBefore = unit == '\r';
    if (unit == '\n') ++line;
  }
  return crBefore ? line + 1 : line;
}

DepthGuard::DepthGuard(TStream& stream) {
  if (tNesting >= kMaxNesting) raiseAt(XmlErrc::NestingTooDeep, OffsetOfLast(stream));
  ++tNesting;
}

DepthGuard::~DepthGuard() { --tNesting; }

int64_t OffsetOfNext(TStream& stream) noexcept {
  try {
    return stream.Position();
  } catch (...) {
    return -1;
  }
}

int64_t OffsetOfLast(TStream& stream) noexcept {
  try {
    return stream.LastCharOffset();
  } catch (...) {
    return -1;
  }
}

void AddLine(XmlError& error, TStream& stream) noexcept {
  const int64_t offset = error.offset();
  if (offset < 0 || error.line() >= 0) return;
  try {
    TStream* input = &stream;
    int width = 1;
    bool bigEndian = false;
    if (const auto* codec = dynamic_cast<const TCodecStream*>(&stream)) {
      input = codec->InnerStream();
      switch (codec->ActiveEncoding()) {
        case CodecEncoding::Ucs2BigEndian:
        case CodecEncoding::Utf16BigEndian: bigEndian = true; [[fallthrough]];
        case CodecEncoding::Ucs2LittleEndian:
        case CodecEncoding::Utf16LittleEndian: width = 2; break;
        default: break;
      }
    }
    // A codec cannot go back to its start; nor can what has no stream.
    if (input == nullptr || dynamic_cast<const TCodecStream*>(input) != nullptr) return;
    if (const auto* memory = dynamic_cast<const TMemoryStream*>(input)) {
      const std::string& bytes = memory->Bytes();
      size_t at = 0;
      error.setLine(lineOf(offset, width, [&](uint32_t& unit) {
        if (at + static_cast<size_t>(width) > bytes.size()) return false;
        const auto b0 = static_cast<unsigned char>(bytes[at]);
        const auto b1 = width == 2 ? static_cast<unsigned char>(bytes[at + 1]) : 0u;
        unit = bigEndian ? (b0 << 8) | b1 : b0 | (b1 << 8);
        at += static_cast<size_t>(width);
        return true;
      }));
      return;
    }
    const int64_t kept = input->Position();
    if (input->Seek(0, SeekOrigin::Beginning) != 0) {
      input->Seek(kept, SeekOrigin::Beginning);
      return;
    }
    char buffer[4096];
    int64_t have = 0;
    int64_t at = 0;
    const int64_t line = lineOf(offset, width, [&](uint32_t& unit) {
      unsigned char b[2] = {0, 0};
      for (int k = 0; k < width; ++k) {
        if (at == have) {
          have = input->Read(buffer, sizeof buffer);
          at = 0;
          if (have <= 0) return false;
        }
        b[k] = static_cast<unsigned char>(buffer[at++]);
      }
      unit = bigEndian ? (b[0] << 8) | b[1] : b[0] | (b[1] << 8);
      return true;
    });
    input->Seek(kept, SeekOrigin::Beginning);
    error.setLine(line);
  } catch (...) {
    // The line stays unknown; the failure itself goes on as it was.
  }
}

bool ReadXmlChar(TStream& stream, char& c) {
  if (stream.Read(&c, 1) != 1) return false;
  if (c == '\0') raiseAt(XmlErrc::NulCharacter, OffsetOfLast(stream));
  return true;
}

int MatchMarkupStart(TPushbackReader& reader) {
  // Most markup is an element: no start but "<" begins "<" plus a name byte.
  if (reader.PushBackEmpty()) {
    const std::string_view run = reader.Stream().Peek();
    // The byte after "<" stays in the stream for the tag's reader.
    if (!run.empty() && run[0] != '!' && run[0] != '?' && run[0] != '\0') return 11;
  }
  bool candidate[12];
  for (bool& b : candidate) b = true;
  int result = 11;
  std::string ahead;
  for (size_t i = 2;; ++i) {
    char c = 0;
    if (takeChar(reader, c) != 1) return result;
    ahead.push_back(c);
    bool matched = false;
    for (int r = 11; r >= 0; --r) {
      const std::string_view start = kMarkupTable[r].start;
      if (!candidate[r] || start.size() < i) continue;
      if (start[i - 1] == c) {
        matched = true;
        if (start.size() == i) result = r;
      } else {
        candidate[r] = false;
      }
    }
    if (!matched) {
      reader.SetPushBack(ahead.substr(kMarkupTable[result].start.size() - 1));
      return result;
    }
    // A complete start that no longer start can extend: the next character
    // belongs to the body (a comment's text, say) and is read as the body is.
    bool longer = false;
    for (int r = 0; r < 12 && !longer; ++r) longer = candidate[r] && kMarkupTable[r].start.size() > i;
    if (!longer) return result;
  }
}

bool ReadUntilView(TPushbackReader& reader, std::string_view end, bool quoteAware, std::string& storage,
                   std::string_view& text) {
  if (end.empty()) return false;
  TStringBuilder sb;
  char quote = 0;
  const char last = end.back();
  // One step per character; true when the end string is complete.
  auto step = [&](char c) {
    sb.AppendChar(c);
    if (quoteAware && isQuote(c)) {
      if (quote == 0)
        quote = c;
      else if (c == quote)
        quote = 0;
      reader.Stream().SetReadingMarkup(quote == 0);  // a quoted value is text
      return false;
    }
    return quote == 0 && c == last && sb.EndsWith(end);
  };
  auto found = [&] {
    storage.assign(sb.View().substr(0, sb.Used() - end.size()));
    text = storage;
    return true;
  };
  for (;;) {
    // Bytes the stream has at hand are scanned in place.
    if (reader.PushBackEmpty()) {
      TStream& stream = reader.Stream();
      const std::string_view run = stream.Peek();
      if (!run.empty() && end.size() == 1) {
        // A one-character end (a tag's ">"): find it, then take the text whole.
        size_t i = 0;
        const size_t n = run.size();
        for (; i < n; ++i) {
          // Runs of plain bytes go by in a tight loop.
          if (quote != 0)
            i = findAnyOf(run.data(), i, n, quote, '\0', '\0', '\0');
          else if (quoteAware)
            i = findAnyOf(run.data(), i, n, last, '"', '\'', '\0');
          else
            i = findAnyOf(run.data(), i, n, last, '\0', '\0', '\0');
          if (i == n) break;
          const char c = run[i];
          if (c == '\0') {
            stream.Skip(i);
            raiseAt(XmlErrc::NulCharacter, OffsetOfNext(stream));
          }
          if (quoteAware && isQuote(c)) {
            if (quote == 0)
              quote = c;
            else if (c == quote)
              quote = 0;
          } else if (c == last && quote == 0) {
            break;
          }
        }
        if (i < n) {
          if (sb.Used() == 0 && i + 1 < n) {
            text = run.substr(0, i);  // the stream keeps these bytes until its next read
          } else {
            storage.assign(sb.View()).append(run.data(), i);
            text = storage;
          }
          stream.Skip(i + 1);
          return true;
        }
        sb.Append(run);
        stream.Skip(n);
        continue;
      }
      if (!run.empty()) {
        for (size_t i = 0; i < run.size(); ++i) {
          if (run[i] == '\0') {
            stream.Skip(i);
            raiseAt(XmlErrc::NulCharacter, OffsetOfNext(stream));
          }
          if (step(run[i])) {
            stream.Skip(i + 1);
            return found();
          }
        }
        stream.Skip(run.size());
        continue;
      }
    }
    char c = 0;
    if (takeChar(reader, c) != 1) return false;
    if (step(c)) return found();
  }
}

bool ReadUntilText(TPushbackReader& reader, std::string_view end, bool quoteAware, std::string& text) {
  std::string storage;
  std::string_view view;
  if (!ReadUntilView(reader, end, quoteAware, storage, view)) return false;
  text.assign(view);
  return true;
}

bool ReadUntilChar(TStream& stream, char terminator, std::string& text) {
  std::string collected;
  char quote = 0;
  char c = 0;
  while (ReadXmlChar(stream, c)) {
    if (isQuote(c)) {
      if (quote == 0)
        quote = c;
      else if (c == quote)
        quote = 0;
      stream.SetReadingMarkup(quote == 0);  // a quoted value is text
    } else if (quote == 0 && c == terminator) {
      text = std::move(collected);
      return true;
    }
    collected.push_back(c);
  }
  return false;
}

void TagTokenList::appendTo(size_t k, std::string& out) const {
  for (const std::string_view* p = begin(k); p != end(k); ++p) out.append(*p);
}

std::string TagTokenList::text(size_t k) const {
  std::string out;
  out.reserve(length(k));
  appendTo(k, out);
  return out;
}

void TagTokenList::clear() {
  pieces_.clear();
  first_.clear();
  length_.clear();
  lastStart_ = 0;
}

// Pieces join as they come (no erasing, so a tag with many attributes costs
// its length, not its square): a piece that starts with "=" joins the token
// before it; a piece that starts with a quote joins it too when what was a
// token before the quote joins (the token up to its "=" pieces) holds "=".
// This gives what merging the "=" tokens and then the quoted ones, each from
// the last token down, gives.
void TagTokenList::addPiece(std::string_view piece) {
  const size_t index = pieces_.size();
  pieces_.push_back(piece);
  bool joins = index > 0 && piece[0] == '=';
  if (!joins) {
    if (index > 0 && isQuote(piece[0])) {
      for (size_t k = lastStart_; k < index && !joins; ++k) joins = pieces_[k].find('=') != std::string_view::npos;
    }
    lastStart_ = index;
  }
  if (joins) {
    length_.back() += piece.size();
  } else {
    first_.push_back(static_cast<uint32_t>(index));
    length_.push_back(piece.size());
  }
}

void TagTokenList::dropLastByte() {
  std::string_view& last = pieces_.back();
  if (last.size() > 1) {
    last.remove_suffix(1);
    --length_.back();
    return;
  }
  // A piece of one byte that is not "=" or a quote is a token of its own.
  pieces_.pop_back();
  first_.pop_back();
  length_.pop_back();
}

void SplitTagTokens(std::string_view text, TagTokenList& tokens) {
  tokens.clear();
  size_t i = 0;
  size_t end = text.size();
  while (i < end && isBlank(text[i])) ++i;
  while (end > i && isBlank(text[end - 1])) --end;
  while (i < end) {
    const size_t start = i;
    char quote = 0;
    for (; i < end; ++i) {
      i = quote != 0 ? findAnyOf(text.data(), i, end, quote, quote, quote, quote)
                     : findQuoteOrControl(text.data(), i, end);
      if (i == end) break;
      const char c = text[i];
      if (quote != 0) {
        quote = 0;  // the closing quote
      } else if (hasFlag(c, kBlank | kQuote)) {
        if (isBlank(c)) break;
        quote = c;
      }
    }
    tokens.addPiece(text.substr(start, i - start));
    while (i < end && isBlank(text[i])) ++i;
  }
}

size_t ScanElementTag(std::string_view run, TagTokenList& tokens, bool& emptyElement) {
  tokens.clear();
  const char* p = run.data();
  const size_t n = run.size();
  size_t i = 0;
  for (;;) {
    while (i < n && isBlank(p[i])) ++i;
    if (i == n) return n;
    if (p[i] == '>') break;
    const size_t start = i;
    char quote = 0;
    for (;; ++i) {
      i = quote != 0 ? findAnyOf(p, i, n, quote, '\0', '\0', '\0') : findQuoteOrControl(p, i, n, '>');
      if (i == n) return n;
      const char c = p[i];
      if (c == '\0') return n;  // the usual read reports it, at its place
      if (quote != 0) {
        quote = 0;  // the closing quote
      } else if (isQuote(c)) {
        quote = c;
      } else if (c == '>' || isBlank(c)) {
        break;
      }
    }
    tokens.addPiece(run.substr(start, i - start));
    if (p[i] == '>') break;
  }
  emptyElement = i > 0 && p[i - 1] == '/';
  if (emptyElement) tokens.dropLastByte();
  return i;
}

std::vector<std::string> SplitTagTokens(std::string_view text) {
  TagTokenList list;
  SplitTagTokens(text, list);
  std::vector<std::string> tokens;
  tokens.reserve(list.size());
  for (size_t k = 0; k < list.size(); ++k) tokens.push_back(list.text(k));
  return tokens;
}

}  // namespace detail

using namespace detail;

// Friend of TXmlNode: sets names, types and values directly, as read.
class NodeParser {
 public:
  NodeParser(TXmlNode& node, TStream& stream)
      : node_(node), stream_(stream), doc_(node.document_), reader_(stream) {}

  // False when the input ended before anything but blanks.
  bool Run(int64_t* markupStart) {
    if (stopped()) return true;
    char c = 0;
    if (!takeNonBlank(reader_, c)) return false;
    if (c != '<') return true;
    if (markupStart != nullptr) *markupStart = OffsetOfLast(stream_);
    stream_.SetReadingMarkup(true);
    DepthGuard depth(stream_);
    const MarkupRow& row = kMarkupTable[MatchMarkupStart(reader_)];
    node_.type_ = row.type;
    try {
      Body(row);
    } catch (...) {
      Completed();
      throw;
    }
    Completed();
    stream_.SetReadingMarkup(false);  // what follows the node is text
    return true;
  }

 private:
  bool stopped() const { return doc_ != nullptr && doc_->StopParsing; }

  void Completed() {
    if (doc_ == nullptr || doc_->StopParsing) return;
    if (doc_->WantsProgress()) doc_->NotifyProgress(stream_.Position());
    doc_->NotifyNodeCompleted(node_);
  }

  // False when an event handler asked to stop.
  bool Started() {
    if (doc_ != nullptr) doc_->NotifyNodeStarted(node_);
    return !stopped();
  }

  void Body(const MarkupRow& row) {
    switch (row.type) {
      case ElementType::Comment:
      case ElementType::CData:
      case ElementType::SpecialMarkup:
      case ElementType::SpecialInstruction: {
        node_.SetNodeName(row.type == ElementType::Comment ? "Comment"
                          : row.type == ElementType::CData ? "CData"
                                                           : "Special");
        if (!Started()) return;
        // A processing instruction stays markup: its "?" and a ">" after it would end it.
        if (row.type != ElementType::SpecialInstruction) stream_.SetReadingMarkup(false);
        std::string text;
        ReadUntilText(reader_, row.end, false, text);
        node_.value_ = std::move(text);
        return;
      }
      case ElementType::DocType:
        node_.SetNodeName("DTD");
        if (!Started()) return;
        if (doc_ != nullptr) doc_->ReadDocType(node_, stream_);
        return;
      case ElementType::DtdElement:
      case ElementType::DtdAttList:
      case ElementType::DtdEntity:
      case ElementType::DtdNotation: {
        std::string text;
        ReadUntilChar(stream_, '>', text);
        std::vector<std::string> tokens = SplitTagTokens(text);
        if (!tokens.empty()) {
          SetParsedName(tokens[0]);
          std::string rest;
          for (size_t i = 1; i < tokens.size(); ++i) {
            if (i > 1) rest += "\r\n";
            rest += tokens[i];
          }
          node_.value_ = std::string(TrimText(rest));
        }
        Started();
        return;
      }
      default: break;
    }
    // One list per thread, reused (no tag is read while another's tokens are
    // in use): with a list per tag, loading a rule file goes at 159 MB/s
    // instead of 213 (xml_bench --mb 20 --cases rule,utf8 --parsers ours).
    thread_local TagTokenList tokens;
    bool emptyElement = false;
    const std::string_view run = reader_.PushBackEmpty() ? stream_.Peek() : std::string_view();
    const size_t end = row.type == ElementType::Element ? ScanElementTag(run, tokens, emptyElement) : run.size();
    if (end + 1 < run.size()) {
      // The tag lies whole in the bytes at hand (and the page stays while its
      // tokens are taken): found and split in one pass.
      stream_.Skip(end + 1);
      ApplyTagTokens(tokens, {}, true);
    } else {
      std::string storage;
      std::string_view tag;
      const bool closed = ReadUntilView(reader_, row.end, true, storage, tag);
      emptyElement = false;
      if (row.type == ElementType::Element && !tag.empty() && tag.back() == '/') {
        emptyElement = true;
        tag.remove_suffix(1);
      }
      SplitTagTokens(tag, tokens);
      ApplyTagTokens(tokens, tag, closed);
    }
    if (tokens.size() > 4096) tokens = TagTokenList();
    if (!Started()) return;
    if (row.type == ElementType::Element && !emptyElement) {
      stream_.SetReadingMarkup(false);
      Content();
    }
  }

  // A node name read from the input: a blank in it is a failure at the
  // character read last.
  void SetParsedName(std::string_view name) {
    try {
      node_.SetNodeName(name);
    } catch (XmlError& e) {
      e.setOffset(OffsetOfLast(stream_));
      throw;
    }
  }

  // Sets name and attribute lines from a tag's tokens; tag is the text
  // (needed for a stylesheet's value only); closed is false when the input
  // ended inside the tag.
  void ApplyTagTokens(const TagTokenList& tokens, std::string_view tag, bool closed) {
    size_t firstLine = 0;
    if (node_.type_ == ElementType::Declaration) {
      node_.name_ = "xml";
    } else if (node_.type_ == ElementType::Stylesheet) {
      node_.name_ = "xml-stylesheet";
      node_.value_ = std::string(TrimText(tag));
    } else {
      if (tokens.empty())
        raiseAt(XmlErrc::MissingElementName, closed ? OffsetOfLast(stream_) : OffsetOfNext(stream_));
      node_.name_.clear();
      tokens.appendTo(0, node_.name_);
      firstLine = 1;
    }
    if (firstLine < tokens.size()) {
      node_.EnsureAttributes();
      if (node_.attrs_.Sorted()) {
        for (size_t k = firstLine; k < tokens.size(); ++k) node_.AttributeAddPieces(tokens.begin(k), tokens.end(k));
      } else {
        // Unsorted lines go behind the others: the block grows once, to its final size.
        node_.attrs_.AppendTokens(tokens, firstLine);
      }
    }
  }

  void FlushText(bool last) {
    if (content_.empty()) return;
    if (!TrimText(content_).empty()) {
      if (last && !hadChild_) {
        // Plain text content: it becomes the value straight away (taken
        // whole unless the buffer has much room to spare).
        if (content_.capacity() - content_.size() <= content_.size() / 4)
          node_.value_ = std::move(content_);
        else
          node_.value_ = content_;
      } else {
        auto text = TXmlNode::CreateType(doc_, ElementType::CharData);
        text->value_ = content_;
        node_.AddChild(std::move(text));
      }
    }
    content_.clear();
  }

  // Reads the close tag after "</" and checks its name.
  void CloseTag() {
    std::string storage;
    std::string_view text;
    if (!ReadUntilView(reader_, ">", true, storage, text))
      raiseAt(XmlErrc::MissingGtInCloseTag, OffsetOfNext(stream_), node_.name_);
    if (CompareNames(TrimText(text), node_.name_, node_.InUtf8Mode()) != 0)
      raiseAt(XmlErrc::IncorrectCloseTag, OffsetOfLast(stream_), node_.name_);
  }

  // Parses the child whose "<" is the stream's next character; false when an
  // event handler asked to stop.
  bool Child() {
    FlushText(false);
    hadChild_ = true;
    // Room for a few children at once; the list is cut to size at the close tag.
    if (node_.children_.capacity() == 0) node_.children_.reserve(8);
    TXmlNode* child = node_.ChildAt(node_.AddChild(TXmlNode::CreateOwned(doc_)));
    // Not through the public entry: a failure's line is counted once, where the parse was entered.
    NodeParser(*child, stream_).Run(nullptr);
    if (doc_ != nullptr && doc_->DiscardComments && child->type_ == ElementType::Comment)
      node_.RemoveChild(child);
    return !stopped();
  }

  void Content() {
    bool crSeen = false;
    for (;;) {
      // Text the stream has at hand is scanned in place up to the next "<";
      // a "<" with a name or "/" right after it is taken there as well.
      const std::string_view run = stream_.Peek();
      if (!run.empty()) {
        size_t i = 0;
        for (;; ++i) {
          i = findAnyOf(run.data(), i, run.size(), '<', '\r', '\0', '\0');
          if (i == run.size() || run[i] == '<') break;
          if (run[i] == '\r') crSeen = true;
          if (run[i] == '\0') {
            stream_.Skip(i);
            raiseAt(XmlErrc::NulCharacter, OffsetOfNext(stream_));
          }
        }
        content_.append(run.data(), i);
        if (i + 1 < run.size()) {
          const char next = run[i + 1];
          if (next == '/') {
            stream_.Skip(i + 2);
            stream_.SetReadingMarkup(true);
            CloseTag();
            break;
          }
          if (!isBlank(next) && next != '\0') {
            stream_.Skip(i);
            crSeen = false;
            if (!Child()) return;
            continue;
          }
        }
        stream_.Skip(i);
        if (i == run.size()) continue;
      }
      char c = 0;
      if (!ReadXmlChar(stream_, c)) raiseAt(XmlErrc::MissingCloseTag, OffsetOfNext(stream_), node_.name_);
      if (c != '<') {
        content_.push_back(c);
        if (c == '\r') crSeen = true;
        continue;
      }
      // After "<": any character but a blank or "/" right after it begins a
      // child; a "/" ends the element, also after blanks. Blanks and then
      // anything else are text, the "<" and the blanks with it (no markup
      // begins with a blank), so that nothing of it is lost.
      stream_.SetReadingMarkup(true);
      if (takeChar(reader_, c) != 1) raiseAt(XmlErrc::MissingDataAfterLt, OffsetOfNext(stream_), node_.name_);
      if (!isBlank(c) && c != '/') {
        crSeen = false;
        stream_.Seek(-2, SeekOrigin::Current);
        if (!Child()) return;
        continue;
      }
      stream_.SetReadingMarkup(false);  // after a blank no markup but "/" can follow
      std::string gap(1, '<');
      while (isBlank(c)) {
        gap.push_back(c);
        if (takeChar(reader_, c) != 1) raiseAt(XmlErrc::MissingDataAfterLt, OffsetOfNext(stream_), node_.name_);
      }
      if (c == '/') {
        stream_.SetReadingMarkup(true);
        CloseTag();
        break;
      }
      content_ += gap;
      if (gap.find('\r') != std::string::npos) crSeen = true;
      stream_.Seek(-1, SeekOrigin::Current);  // c is read again, as text
    }
    FlushText(true);
    if (hadChild_ && crSeen) {
      for (auto& child : node_.children_) {
        if (child->type_ != ElementType::CharData) continue;
        std::string& v = child->value_;
        size_t end = v.size();
        while (end > 0 && (v[end - 1] == '\n' || v[end - 1] == '\r' || v[end - 1] == ' ')) --end;
        // A "<" read as text keeps the blank after it: written before the
        // next markup, "<<" or "</" would be read as markup.
        if (end > 0 && end < v.size() && v[end - 1] == '<') ++end;
        v.resize(end);
      }
    }
    if (!node_.children_.empty() && node_.children_.front()->type_ == ElementType::CharData) {
      node_.value_ = std::move(node_.children_.front()->value_);
      node_.DeleteChild(0);
    }
    node_.children_.shrink_to_fit();  // the tree stays for the document's life
  }

  TXmlNode& node_;
  TStream& stream_;
  TXmlDocument* doc_;
  TPushbackReader reader_;
  std::string content_;
  bool hadChild_ = false;
};

namespace detail {

bool ParseNode(TXmlNode& node, TStream& stream, int64_t* markupStart) {
  *markupStart = -1;
  return NodeParser(node, stream).Run(markupStart);
}

}  // namespace detail

void TXmlNode::ParseFromStream(TStream& stream) {
  try {
    NodeParser(*this, stream).Run(nullptr);
  } catch (XmlError& e) {
    AddLine(e, stream);
    throw;
  }
}

}  // namespace xml

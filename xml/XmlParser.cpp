// Reads one node, and for an element its subtree, from a character stream.
#include <utility>

#include "xml/XmlBuffered.h"
#include "xml/XmlDocument.h"
#include "xml/XmlErrors.h"
#include "xml/XmlNode.h"
#include "xml/XmlText.h"
#include "xml/internal/ByteClass.h"
#include "xml/internal/Parser.h"

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
  if (n == 1 && c == '\0') raise(XmlErrc::NulCharacter);
  return n;
}

bool takeNonBlank(TPushbackReader& reader, char& c) {
  while (takeChar(reader, c) == 1)
    if (!isBlank(c)) return true;
  return false;
}
}  // namespace

DepthGuard::DepthGuard() {
  if (tNesting >= kMaxNesting) raise(XmlErrc::NestingTooDeep);
  ++tNesting;
}

DepthGuard::~DepthGuard() { --tNesting; }

bool ReadXmlChar(TStream& stream, char& c) {
  if (stream.Read(&c, 1) != 1) return false;
  if (c == '\0') raise(XmlErrc::NulCharacter);
  return true;
}

int MatchMarkupStart(TPushbackReader& reader) {
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
  }
}

bool ReadUntilText(TPushbackReader& reader, std::string_view end, bool quoteAware, std::string& text) {
  if (end.empty()) return false;
  // One builder per thread, reused: this read never nests, and a tag per node
  // would otherwise cost an allocation each.
  thread_local TStringBuilder sb;
  sb.Clear();
  struct Trim {  // a huge tag must not stay allocated for the thread's life
    ~Trim() {
      if (sb.Capacity() > 65536) sb = TStringBuilder();
    }
  } trim;
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
      return false;
    }
    return quote == 0 && c == last && sb.EndsWith(end);
  };
  auto found = [&] {
    text = sb.Slice(1, sb.Used() - end.size());
    return true;
  };
  for (;;) {
    // Bytes the stream has at hand are scanned in place.
    if (reader.PushBackEmpty()) {
      TStream& stream = reader.Stream();
      const std::string_view run = stream.Peek();
      if (!run.empty() && end.size() == 1) {
        // A one-character end (a tag's ">"): find it, then copy the text whole.
        size_t i = 0;
        for (; i < run.size(); ++i) {
          const char c = run[i];
          if (c == '\0') {
            stream.Skip(i);
            raise(XmlErrc::NulCharacter);
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
        if (i < run.size()) {
          if (sb.Used() == 0)
            text.assign(run.data(), i);
          else
            text = sb.Value().append(run.data(), i);
          stream.Skip(i + 1);
          return true;
        }
        sb.Append(run);
        stream.Skip(run.size());
        continue;
      }
      if (!run.empty()) {
        for (size_t i = 0; i < run.size(); ++i) {
          if (run[i] == '\0') {
            stream.Skip(i);
            raise(XmlErrc::NulCharacter);
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
    } else if (quote == 0 && c == terminator) {
      text = std::move(collected);
      return true;
    }
    collected.push_back(c);
  }
  return false;
}

std::vector<std::string> SplitTagTokens(std::string_view text) {
  std::vector<std::string> tokens;
  SplitTagTokensInto(text, tokens);
  return tokens;
}

void SplitTagTokensInto(std::string_view text, std::vector<std::string>& tokens) {
  size_t first = 0;
  size_t end = text.size();
  while (first < end && isBlank(text[first])) ++first;
  while (end > first && isBlank(text[end - 1])) --end;
  if (first >= end) {
    tokens.clear();
    return;
  }
  // The raw tokens: blank-separated outside quotes, quotes kept.
  thread_local std::vector<std::string_view> raw;
  raw.clear();
  char quote = 0;
  size_t start = first;
  for (size_t i = first; i < end; ++i) {
    const char c = text[i];
    if (isQuote(c)) {
      if (quote == 0)
        quote = c;
      else if (c == quote)
        quote = 0;
    } else if (quote == 0 && isBlank(c)) {
      if (i > start) raw.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (end > start) raw.push_back(text.substr(start, end - start));

  // Two merges, each once over the tokens (no erasing, so a tag with many
  // attributes costs its length, not its square). First every token that
  // starts with "=" joins the one before it; then a token that starts with a
  // quote joins the one before it when that one (as the first merge left it)
  // holds "=". Runs join whole, in order, which is what merging from the last
  // token down to the second gives.
  thread_local std::vector<std::pair<size_t, size_t>> merged;  // [first, end) of raw per token
  merged.clear();
  for (size_t k = 0; k < raw.size(); ++k) {
    if (k > 0 && raw[k][0] == '=')
      merged.back().second = k + 1;
    else
      merged.emplace_back(k, k + 1);
  }
  auto holdsEq = [](size_t from, size_t to) {
    for (size_t k = from; k < to; ++k)
      if (raw[k].find('=') != std::string_view::npos) return true;
    return false;
  };
  // Strings already in the vector keep their buffers and are overwritten.
  size_t count = 0;
  for (size_t m = 0; m < merged.size(); ++m) {
    const bool joins = m > 0 && isQuote(raw[merged[m].first][0]) && holdsEq(merged[m - 1].first, merged[m - 1].second);
    if (!joins) {
      if (count == tokens.size()) tokens.emplace_back();
      tokens[count++].clear();
    }
    std::string& out = tokens[count - 1];
    for (size_t k = merged[m].first; k < merged[m].second; ++k) out.append(raw[k]);
  }
  tokens.resize(count);
  if (raw.capacity() > 4096) {  // a huge tag must not stay allocated for the thread's life
    std::vector<std::string_view>().swap(raw);
    std::vector<std::pair<size_t, size_t>>().swap(merged);
  }
}

}  // namespace detail

using namespace detail;

// Friend of TXmlNode: sets names, types and values directly, as read.
class NodeParser {
 public:
  NodeParser(TXmlNode& node, TStream& stream)
      : node_(node), stream_(stream), doc_(node.document_), reader_(stream) {}

  void Run() {
    if (stopped()) return;
    DepthGuard depth;
    char c = 0;
    if (!takeNonBlank(reader_, c) || c != '<') return;
    const MarkupRow& row = kMarkupTable[MatchMarkupStart(reader_)];
    node_.type_ = row.type;
    try {
      Body(row);
    } catch (...) {
      Completed();
      throw;
    }
    Completed();
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
          node_.SetNodeName(tokens[0]);
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
    std::string tag;
    ReadUntilText(reader_, row.end, true, tag);
    bool emptyElement = false;
    if (row.type == ElementType::Element && !tag.empty() && tag.back() == '/') {
      emptyElement = true;
      tag.pop_back();
    }
    ParseTagText(tag);
    if (!Started()) return;
    if (row.type == ElementType::Element && !emptyElement) Content();
  }

  void ParseTagText(std::string_view tag) {
    thread_local std::vector<std::string> tokens;  // a leaf call: safe to reuse
    SplitTagTokensInto(tag, tokens);
    size_t firstLine = 0;
    if (node_.type_ == ElementType::Declaration) {
      node_.name_ = "xml";
    } else if (node_.type_ == ElementType::Stylesheet) {
      node_.name_ = "xml-stylesheet";
      node_.value_ = std::string(TrimText(tag));
    } else {
      if (tokens.empty()) raise(XmlErrc::MissingElementName);
      node_.name_ = tokens[0];
      firstLine = 1;
    }
    size_t bytes = 0;
    for (size_t i = firstLine; i < tokens.size(); ++i) bytes += tokens[i].size() + 2;
    node_.attrs_.reserve(node_.attrs_.size() + bytes);
    for (size_t i = firstLine; i < tokens.size(); ++i) node_.AttributeAddLine(tokens[i]);
    if (tag.size() > 65536) std::vector<std::string>().swap(tokens);
  }

  void FlushText(bool last) {
    if (content_.empty()) return;
    if (!TrimText(content_).empty()) {
      if (last && !hadChild_) {
        // Plain text content: it becomes the value straight away.
        node_.value_ = content_;
      } else {
        auto text = TXmlNode::CreateType(doc_, ElementType::CharData);
        text->value_ = content_;
        node_.AddChild(std::move(text));
      }
    }
    content_.clear();
  }

  void Content() {
    bool crSeen = false;
    for (;;) {
      // Text the stream has at hand is scanned in place up to the next "<".
      const std::string_view run = stream_.Peek();
      if (!run.empty()) {
        size_t i = 0;
        for (; i < run.size() && run[i] != '<'; ++i) {
          if (run[i] == '\r') crSeen = true;
          if (run[i] == '\0') {
            stream_.Skip(i);
            raise(XmlErrc::NulCharacter);
          }
        }
        content_.append(run.data(), i);
        stream_.Skip(i);
        if (i == run.size()) continue;
      }
      char c = 0;
      if (!ReadXmlChar(stream_, c)) raise(XmlErrc::MissingCloseTag, node_.name_);
      if (c != '<') {
        content_.push_back(c);
        if (c == '\r') crSeen = true;
        continue;
      }
      if (!takeNonBlank(reader_, c)) raise(XmlErrc::MissingDataAfterLt, node_.name_);
      if (c == '/') {
        std::string text;
        if (!ReadUntilText(reader_, ">", true, text)) raise(XmlErrc::MissingGtInCloseTag, node_.name_);
        if (CompareNames(TrimText(text), node_.name_, node_.InUtf8Mode()) != 0)
          raise(XmlErrc::IncorrectCloseTag, node_.name_);
        break;
      }
      FlushText(false);
      hadChild_ = true;
      crSeen = false;
      stream_.Seek(-2, SeekOrigin::Current);
      TXmlNode* child = node_.ChildAt(node_.AddChild(TXmlNode::CreateOwned(doc_)));
      child->ParseFromStream(stream_);
      if (doc_ != nullptr && doc_->DiscardComments && child->type_ == ElementType::Comment)
        node_.RemoveChild(child);
      if (stopped()) return;
    }
    FlushText(true);
    if (hadChild_ && crSeen) {
      for (auto& child : node_.children_) {
        if (child->type_ != ElementType::CharData) continue;
        std::string& v = child->value_;
        while (!v.empty() && (v.back() == '\n' || v.back() == '\r' || v.back() == ' ')) v.pop_back();
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

void TXmlNode::ParseFromStream(TStream& stream) {
  NodeParser parser(*this, stream);
  parser.Run();
}

}  // namespace xml

#pragma once
// A node's attribute list: its name=value lines in one block of bytes, each
// line behind its length (seven bits a byte, low bits first, the high bit
// marking that more follow). One allocation per node keeps a parsed tree small.
//
// A line is found by index by walking the block. So that a loop over all
// lines by index walks it once, the line asked for last is remembered: a
// loop by index over the 80,000 attributes of one tag takes 0.6 ms so, and
// 5.5 s with every lookup walking from the first line. It is remembered per
// thread, not in the list: a list stays 40 bytes and a node 152, which the
// allocator serves in blocks of 160; a node of 160 bytes takes 176, and
// loading a 20 MB rule file then peaks at 2.98 times the file instead of
// 2.81 (the goal is at most 3). Figures: "by index ms" and "peak/file" of
//   build/bench/xml/xml_bench --mb 20 --cases rule,attrs --parsers ours
// against builds without the cursor and with it in the list. The list's own
// members end that memory whenever they move or drop lines, and when the
// list goes; no other code can reach the bytes, so no change can leave it
// pointing at a wrong place.
//
// A list also knows whether its lines are still the tag's tokens as the
// parser split them, in the order read: those a tag gives back as they are
// (but for a last line ending in "/"), so a save need not look at each.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace xml::detail {

// Bytes the length n takes.
inline size_t lengthSize(size_t n) {
  size_t k = 1;
  for (; n >= 0x80; n >>= 7) ++k;
  return k;
}

// Writes the length n at w; returns the place after it.
inline char* writeLength(char* w, size_t n) {
  for (; n >= 0x80; n >>= 7) *w++ = static_cast<char>((n & 0x7F) | 0x80);
  *w++ = static_cast<char>(n);
  return w;
}

// The line at pos of a block; pos moves past it.
inline std::string_view nextLine(std::string_view block, size_t& pos) {
  size_t n = 0;
  int shift = 0;
  for (;;) {
    const auto b = static_cast<unsigned char>(block[pos++]);
    n |= static_cast<size_t>(b & 0x7F) << shift;
    if ((b & 0x80) == 0) break;
    shift += 7;
  }
  const std::string_view line = block.substr(pos, n);
  pos += n;
  return line;
}

class AttributeLines {
 public:
  AttributeLines() = default;
  ~AttributeLines() { Forget(); }
  AttributeLines(const AttributeLines&) = delete;
  AttributeLines& operator=(const AttributeLines&) = delete;
  // Takes other's lines and kind; other is left without a list.
  AttributeLines(AttributeLines&& other) noexcept { TakeFrom(other); }
  AttributeLines& operator=(AttributeLines&& other) noexcept {
    if (this != &other) {
      Forget();
      TakeFrom(other);
    }
    return *this;
  }

  // True once the list was made (a missing list and an empty one answer every query alike).
  bool Exists() const { return exists_; }
  // True when the list keeps its lines in order (fixed when it is made).
  bool Sorted() const { return sorted_; }
  int Count() const { return count_; }

  // Makes the list when there is none; an existing list keeps its kind.
  void Create(bool sorted) {
    if (exists_) return;
    exists_ = true;
    sorted_ = sorted;
  }
  // Drops the list and its memory.
  void Reset();

  // Line index; empty outside 0..count-1.
  std::string_view Line(int index) const;
  // Index of the first line for which match(line) is true, with that line in
  // *found; -1 when none.
  template <typename Match>
  int Find(Match match, std::string_view* found) const {
    size_t pos = 0;
    for (int i = 0; i < count_; ++i) {
      const std::string_view line = nextLine(bytes_, pos);
      if (match(line)) {
        *found = line;
        return i;
      }
    }
    return -1;
  }
  // Calls f(line) for every line in order.
  template <typename F>
  void ForEach(F f) const {
    size_t pos = 0;
    for (int i = 0; i < count_; ++i) f(nextLine(bytes_, pos));
  }
  // Appends " " + line for every line to out.
  void AppendText(std::string& out) const { AppendText(out, false, false); }
  // The same, with check looking at the lines as FirstUnwritableLine does,
  // each while its bytes are at hand: the index of the first line it finds
  // (out then holds part of the text only), else -1.
  int AppendText(std::string& out, bool check, bool endsTag) const;
  // Index of the first line that a tag does not give back as it stands: its
  // name (before its first "=", or all of a line without one) empty or
  // holding a code from 0 to 32, a quote, "<" or ">"; with endsTag, also a
  // last line ending in "/" (which would make the element empty). Of lines
  // as the parser read them only the last is looked at. -1 when none.
  int FirstUnwritableLine(bool endsTag) const;

  // Adds a line (making the list, unsorted, when there is none): an unsorted
  // list appends it; a sorted one inserts it before the first line that
  // compare(line, that line) < 0 and drops it when compare gives 0 for one.
  template <typename Compare>
  void Add(std::string_view line, Compare compare) {
    Create(false);
    if (!sorted_) return Append(line);
    size_t pos = 0;
    for (int i = 0; i < count_; ++i) {
      const size_t at = pos;
      const int c = compare(nextLine(bytes_, pos), line);
      if (c == 0) return;
      if (c > 0) return InsertAt(at, line);
    }
    Append(line);
  }
  // Appends the line the pieces make when joined (an unsorted list).
  void AppendPieces(const std::string_view* first, const std::string_view* last);
  // Appends tokens first..size()-1 of a token list as lines, growing the block
  // once: Tokens gives size(), length(k) and the pieces begin(k)..end(k).
  // Inlined into the parser's tag step, the hottest place that adds lines;
  // the only way in that keeps the lines as read (the parser's tokens of one tag).
  template <typename Tokens>
  [[gnu::always_inline]] void AppendTokens(const Tokens& tokens, size_t first) {
    Create(false);
    size_t bytes = 0;
    for (size_t k = first; k < tokens.size(); ++k) bytes += lengthSize(tokens.length(k)) + tokens.length(k);
    const size_t at = bytes_.size();
    bytes_.resize(at + bytes);
    char* w = bytes_.data() + at;
    for (size_t k = first; k < tokens.size(); ++k) {
      w = writeLength(w, tokens.length(k));
      for (const std::string_view* p = tokens.begin(k); p != tokens.end(k); ++p) {
        std::memcpy(w, p->data(), p->size());
        w += p->size();
      }
    }
    count_ += static_cast<int32_t>(tokens.size() - first);
  }
  // Puts line in the place of line index; nothing outside 0..count-1.
  void Replace(int index, std::string_view line);

 private:
  // Appending moves no line: what is remembered stays true.
  void Append(std::string_view line);
  void InsertAt(size_t offset, std::string_view line);
  // Offset of line index (0..count-1) in the block.
  size_t Offset(int index) const;
  // Ends every line remembered, of any list on any thread (a list that
  // never had lines has none to end).
  void Forget() const;
  void TakeFrom(AttributeLines& other);

  std::string bytes_;
  int32_t count_ = 0;
  bool exists_ = false;
  bool sorted_ = false;
  // Every line a tag's token as the parser split it, in the order read;
  // every other way of adding or changing a line ends it.
  bool asRead_ = true;
};

}  // namespace xml::detail

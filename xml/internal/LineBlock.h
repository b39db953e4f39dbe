#pragma once
// A node's attribute lines in one block: each line as its length (seven bits
// a byte, low bits first, the high bit marking that more follow) and its bytes.
#include <cstddef>
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

inline void putLength(std::string& out, size_t n) {
  char buf[10];
  out.append(buf, static_cast<size_t>(writeLength(buf, n) - buf));
}

// The line at pos; pos moves past it.
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

}  // namespace xml::detail

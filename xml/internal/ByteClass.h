#pragma once
// One table of byte classes for the whole library; every test of "is this a
// blank / quote / control byte" goes through it.
#include <array>
#include <cstdint>

namespace xml::detail {

enum ByteFlag : uint8_t {
  kBlank = 1,     // TAB, LF, CR, space: the library's blanks
  kQuote = 2,     // " and '
  kTrim = 4,      // 0..32: what Trim removes from both ends
  kHexDigit = 8,  // 0-9, A-F, a-f
  kDigit = 16,    // 0-9
  kAnsiLead = 32, // 0x81..0xFE: first byte of a GBK double-byte character
  kLetter = 64,   // A-Z, a-z: folded by case-insensitive name comparison
  kNul = 128,     // 0: refused in a document
};

constexpr std::array<uint8_t, 256> makeByteTable() {
  std::array<uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) {
    uint8_t f = 0;
    if (b == 9 || b == 10 || b == 13 || b == 32) f |= kBlank;
    if (b == '"' || b == '\'') f |= kQuote;
    if (b <= 32) f |= kTrim;
    if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'F') || (b >= 'a' && b <= 'f')) f |= kHexDigit;
    if (b >= '0' && b <= '9') f |= kDigit;
    if (b >= 0x81 && b <= 0xFE) f |= kAnsiLead;
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) f |= kLetter;
    if (b == 0) f |= kNul;
    t[b] = f;
  }
  return t;
}

inline constexpr std::array<uint8_t, 256> kByteTable = makeByteTable();

constexpr bool hasFlag(char c, uint8_t flag) {
  return (kByteTable[static_cast<unsigned char>(c)] & flag) != 0;
}
constexpr bool isBlank(char c) { return hasFlag(c, kBlank); }
constexpr bool isQuote(char c) { return hasFlag(c, kQuote); }
constexpr bool isTrimmed(char c) { return hasFlag(c, kTrim); }

}  // namespace xml::detail

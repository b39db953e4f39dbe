#pragma once
// The program's ANSI code page: GBK (CP936), whatever the locale says.
// Conversions go through iconv. Nothing here throws.
#include <string>
#include <string_view>

namespace platform::codepage {

// Whether iconv here converts between GBK and Unicode. Without it every
// conversion below gives empty or "?" texts, so the program refuses to start.
bool available();

// GBK bytes -> UTF-16. A byte sequence that is not GBK becomes U+FFFD.
std::u16string ansiToWide(std::string_view ansi);

// UTF-16 -> GBK bytes. A character GBK cannot represent (or a lone surrogate)
// becomes "?"; *lost, when given, is set true if that happened (else left alone).
std::string wideToAnsi(std::u16string_view wide, bool* lost = nullptr);

// UTF-8 -> UTF-16. An invalid sequence becomes U+FFFD.
std::u16string utf8ToWide(std::string_view utf8);

// UTF-16 -> UTF-8. A lone surrogate becomes U+FFFD.
std::string wideToUtf8(std::u16string_view wide);

// GBK <-> UTF-8, through the two conversions above.
std::string ansiToUtf8(std::string_view ansi);
std::string utf8ToAnsi(std::string_view utf8, bool* lost = nullptr);

// Appends one code point (up to U+10FFFF) as 1 to 4 UTF-8 bytes.
void appendUtf8(std::string& out, char32_t cp);

// One code point (up to U+10FFFF) as GBK bytes; empty when GBK has no such character.
std::string codePointToAnsi(char32_t cp);

// True for a byte that starts a GBK double-byte character (0x81..0xFE).
constexpr bool isAnsiLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

}  // namespace platform::codepage

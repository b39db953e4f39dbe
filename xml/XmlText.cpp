#include "xml/XmlText.h"

#include <cstring>
#include <optional>

#include "platform/codepage.h"
#include "xml/XmlErrors.h"
#include "xml/XmlStream.h"
#include "xml/internal/ByteClass.h"

namespace xml {
namespace {

namespace cp = platform::codepage;
using detail::hasFlag;

struct Entity {
  char ch;
  std::string_view text;
};
// Order matters for escaping: "&" first, so later entities are not escaped again.
constexpr Entity kEntities[] = {
    {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'\'', "&apos;"}, {'"', "&quot;"}};

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return 0;  // padding and stray characters count as zero bits
}

// The integer text rule for a width of 32 or 64 bits. Hex numbers are bit
// patterns of at most width/4 digits; decimal numbers must fit the signed range.
std::optional<int64_t> parseInteger(std::string_view t, int bits) {
  size_t i = 0;
  const size_t n = t.size();
  while (i < n && t[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  if (i >= n) return std::nullopt;
  bool hex = false;
  if (t[i] == '$' || t[i] == 'x' || t[i] == 'X') {
    hex = true;
    ++i;
  } else if (t[i] == '0' && i + 1 < n && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return std::nullopt;
  uint64_t value = 0;
  if (hex) {
    if (n - i > static_cast<size_t>(bits / 4)) return std::nullopt;
    for (; i < n; ++i) {
      const int d = hexValue(t[i]);
      if (d < 0) return std::nullopt;
      value = (value << 4) | static_cast<uint64_t>(d);
    }
    if (negative) value = ~value + 1;
    if (bits == 32) return static_cast<int32_t>(static_cast<uint32_t>(value));
    return static_cast<int64_t>(value);
  }
  const uint64_t limit = (uint64_t{1} << (bits - 1)) - (negative ? 0 : 1);
  for (; i < n; ++i) {
    if (!hasFlag(t[i], detail::kDigit)) return std::nullopt;
    const uint64_t d = static_cast<uint64_t>(t[i] - '0');
    if (value > (limit - d) / 10) return std::nullopt;
    value = value * 10 + d;
  }
  return negative ? static_cast<int64_t>(~value + 1) : static_cast<int64_t>(value);
}


// Shared walk of both decoders; numeric references go through `numeric`,
// which appends the replacement and returns true, or returns false to keep the text.
template <typename Numeric>
std::string decodeEntities(std::string_view text, Numeric numeric) {
  if (text.find('&') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::string_view rest = text;
  for (;;) {
    const size_t amp = rest.find('&');
    if (amp == std::string_view::npos) {
      out.append(rest);
      break;
    }
    out.append(rest.substr(0, amp));
    rest.remove_prefix(amp);
    const size_t semi = rest.find(';');
    if (semi == std::string_view::npos) {
      out.append(rest);
      break;
    }
    const std::string_view candidate = rest.substr(0, semi + 1);
    rest.remove_prefix(semi + 1);
    if (candidate.size() < 2 || candidate[1] != '#') {
      bool found = false;
      for (const Entity& e : kEntities) {
        if (candidate == e.text) {
          out.push_back(e.ch);
          found = true;
          break;
        }
      }
      if (!found) out.append(candidate);
      continue;
    }
    std::string body(candidate.substr(2, candidate.size() - 3));
    if (body.empty()) {
      out.append(candidate);
      continue;
    }
    if (body[0] == 'x' || body[0] == 'X') body[0] = '$';
    const int32_t number = ParseIntegerText(body, -1);
    // NUL and surrogate numbers are no characters: they stay as written.
    if (number <= 0 || (number >= 0xD800 && number <= 0xDFFF) || !numeric(out, number))
      out.append(candidate);
  }
  return out;
}

}  // namespace

std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    bool replaced = false;
    for (const Entity& e : kEntities) {
      if (c == e.ch) {
        out.append(e.text);
        replaced = true;
        break;
      }
    }
    if (!replaced) out.push_back(c);
  }
  return out;
}

std::string DecodeEntitiesUtf8(std::string_view text) {
  return decodeEntities(text, [](std::string& out, int32_t n) {
    if (n > 0x10FFFF) return false;
    cp::appendUtf8(out, static_cast<char32_t>(n));
    return true;
  });
}

std::string DecodeEntitiesSingleByte(std::string_view text) {
  return decodeEntities(text, [](std::string& out, int32_t n) {
    if (n < 0x80) {
      out.push_back(static_cast<char>(n));
      return true;
    }
    const std::string bytes = cp::codePointToAnsi(static_cast<char32_t>(n));
    if (bytes.empty()) return false;
    out.append(bytes);
    return true;
  });
}

std::string QuoteText(std::string_view text) {
  const char q = text.find('"') == std::string_view::npos ? '"' : '\'';
  std::string out(1, q);
  for (char c : text) {
    out.push_back(c);
    if (c == q) out.push_back(c);
  }
  out.push_back(q);
  return out;
}

std::string UnquoteText(std::string_view text) {
  if (text.size() < 2 || !detail::isQuote(text[0])) return std::string(text);
  const char q = text[0];
  std::string out;
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] == q) {
      if (i + 1 < text.size() && text[i + 1] == q) {
        out.push_back(q);
        ++i;
        continue;
      }
      break;
    }
    out.push_back(text[i]);
  }
  return out;
}

std::string InsertLineBreaks(std::string_view text, std::string_view separator, int lineLength) {
  if (separator.empty() || lineLength < 1) return std::string(text);
  std::string out;
  const size_t lines = text.empty() ? 0 : (text.size() - 1) / lineLength;
  out.reserve((lines + 3) * separator.size() + text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if ((i + 1) % static_cast<size_t>(lineLength) == 1) out.append(separator);
    out.push_back(text[i]);
  }
  out.append(separator);
  return out;
}

std::string RemoveControlChars(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (!detail::isBlank(c)) out.push_back(c);
  return out;
}

void WriteTextToStream(TStream& stream, std::string_view text) {
  if (!text.empty()) stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

int64_t WriteBufferPart(TStream& stream, const void* buffer, int64_t offset, int64_t count) {
  if (count < 1 || buffer == nullptr) return 0;
  return stream.Write(static_cast<const char*>(buffer) + offset, count);
}

int EncodeUtf8Units(char* dest, int capacity, const char16_t* source, int count) {
  if (dest == nullptr || source == nullptr || capacity < 1) return 0;
  int used = 0;
  for (int i = 0; i < count; ++i) {
    int take = 1;
    if (source[i] >= 0xD800 && source[i] <= 0xDBFF && i + 1 < count && source[i + 1] >= 0xDC00 &&
        source[i + 1] <= 0xDFFF)
      take = 2;
    const std::string bytes = WideToUtf8Text(std::u16string_view(source + i, take));
    if (used + static_cast<int>(bytes.size()) > capacity - 1) break;
    std::memcpy(dest + used, bytes.data(), bytes.size());
    used += static_cast<int>(bytes.size());
    i += take - 1;
  }
  dest[used] = '\0';
  return used + 1;
}

int DecodeUtf8Units(char16_t* dest, int capacity, const char* source, int count) {
  if (dest == nullptr || source == nullptr || capacity < 1) return 0;
  const std::u16string wide = Utf8TextToWide(std::string_view(source, count > 0 ? count : 0));
  int used = 0;
  for (size_t i = 0; i < wide.size(); ++i) {
    const bool pair = wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size();
    const int need = pair ? 2 : 1;
    if (used + need > capacity - 1) break;
    dest[used++] = wide[i];
    if (pair) dest[used++] = wide[++i];
  }
  dest[used] = 0;
  return used + 1;
}

std::string WideToUtf8Text(std::u16string_view wide) { return cp::wideToUtf8(wide); }

std::u16string Utf8TextToWide(std::string_view utf8) { return cp::utf8ToWide(utf8); }

std::string AnsiTextToUtf8(std::string_view ansi) { return cp::ansiToUtf8(ansi); }

std::string Utf8TextToAnsi(std::string_view utf8, bool* lost) { return cp::utf8ToAnsi(utf8, lost); }

std::string EncodeBase64Text(const void* data, int64_t count) {
  if (count < 1 || data == nullptr) return {};
  const auto* p = static_cast<const unsigned char*>(data);
  std::string out;
  out.reserve(static_cast<size_t>((count + 2) / 3 * 4));
  for (int64_t i = 0; i < count; i += 3) {
    const uint32_t b0 = p[i];
    const uint32_t b1 = i + 1 < count ? p[i + 1] : 0;
    const uint32_t b2 = i + 2 < count ? p[i + 2] : 0;
    const uint32_t v = (b0 << 16) | (b1 << 8) | b2;
    out.push_back(kBase64[(v >> 18) & 63]);
    out.push_back(kBase64[(v >> 12) & 63]);
    out.push_back(i + 1 < count ? kBase64[(v >> 6) & 63] : '=');
    out.push_back(i + 2 < count ? kBase64[v & 63] : '=');
  }
  return out;
}

void DecodeBase64Text(std::string_view text, void* dest, int64_t count) {
  if (count < 1) return;
  const int64_t groups = static_cast<int64_t>(text.size() / 4);
  if (groups * 3 < count) raise(XmlErrc::MissingBinaryData);
  auto* out = static_cast<unsigned char*>(dest);
  int64_t stored = 0;
  for (int64_t g = 0; g < groups && stored < count; ++g) {
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v = (v << 6) | static_cast<uint32_t>(base64Value(text[g * 4 + k]));
    for (int k = 2; k >= 0 && stored < count; --k) out[stored++] = static_cast<unsigned char>(v >> (8 * k));
  }
}

std::string EncodeHexText(const void* data, int64_t count) {
  if (count < 1 || data == nullptr) return {};
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto* p = static_cast<const unsigned char*>(data);
  std::string out;
  out.reserve(static_cast<size_t>(count * 2));
  for (int64_t i = 0; i < count; ++i) {
    out.push_back(kDigits[p[i] >> 4]);
    out.push_back(kDigits[p[i] & 15]);
  }
  return out;
}

void DecodeHexText(std::string_view text, void* dest, int64_t count) {
  if (count < 1) return;
  if (static_cast<int64_t>(text.size() / 2) < count) raise(XmlErrc::MissingBinaryData);
  auto* out = static_cast<unsigned char*>(dest);
  for (int64_t i = 0; i < count; ++i) {
    const int hi = hexValue(text[2 * i]);
    const int lo = hexValue(text[2 * i + 1]);
    if (hi < 0 || lo < 0) raise(XmlErrc::MissingBinaryData);
    out[i] = static_cast<unsigned char>((hi << 4) | lo);
  }
}

int32_t ParseIntegerText(std::string_view text) {
  const auto v = parseInteger(text, 32);
  if (!v) raise(XmlErrc::NotValidInteger, text);
  return static_cast<int32_t>(*v);
}

int32_t ParseIntegerText(std::string_view text, int32_t def) {
  const auto v = parseInteger(text, 32);
  return v ? static_cast<int32_t>(*v) : def;
}

int64_t ParseInt64Text(std::string_view text) {
  const auto v = parseInteger(text, 64);
  if (!v) raise(XmlErrc::NotValidInteger, text);
  return *v;
}

int64_t ParseInt64Text(std::string_view text, int64_t def) {
  const auto v = parseInteger(text, 64);
  return v ? *v : def;
}

int CompareNames(std::string_view a, std::string_view b, bool utf8) {
  size_t i = 0;
  size_t j = 0;
  auto fold = [](unsigned char c) -> unsigned char {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
  };
  while (i < a.size() && j < b.size()) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[j]);
    const bool pairA = !utf8 && hasFlag(a[i], detail::kAnsiLead) && i + 1 < a.size();
    const bool pairB = !utf8 && hasFlag(b[j], detail::kAnsiLead) && j + 1 < b.size();
    if (fold(ca) != fold(cb)) return fold(ca) < fold(cb) ? -1 : 1;
    // Same lead byte: the trail bytes belong to it and compare exactly.
    if (pairA && pairB) {
      const auto ta = static_cast<unsigned char>(a[i + 1]);
      const auto tb = static_cast<unsigned char>(b[j + 1]);
      if (ta != tb) return ta < tb ? -1 : 1;
      i += 2;
      j += 2;
      continue;
    }
    if (pairA != pairB) return pairA ? 1 : -1;
    ++i;
    ++j;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

std::string_view TrimText(std::string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && detail::isTrimmed(text[first])) ++first;
  while (last > first && detail::isTrimmed(text[last - 1])) --last;
  return text.substr(first, last - first);
}

}  // namespace xml

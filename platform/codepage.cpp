#include "platform/codepage.h"


#include <cerrno>
#include <cstring>

#include "platform/iconv.h"

namespace platform::codepage {
namespace {

// GB18030 is a superset of GBK with the same double-byte table; we convert to
// "GBK" (CP936) so characters outside GBK are reported as lost, not widened to
// four-byte GB18030 sequences.
constexpr const char* kAnsi = "CP936";
constexpr const char* kWide = "UTF-16LE";

std::u16string bytesToWide(const std::string& le) {
  std::u16string out(le.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(le[2 * i]) |
                                   (static_cast<unsigned char>(le[2 * i + 1]) << 8));
  return out;
}

// Converts one chunk; returns false if iconv rejected it (input left untouched).
bool convertChunk(iconv_t cd, const char* in, size_t inLen, std::string& out) {
  char* src = const_cast<char*>(in);
  size_t left = inLen;
  char buf[64];
  const size_t before = out.size();
  while (left > 0) {
    char* dst = buf;
    size_t room = sizeof buf;
    size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buf, dst - buf);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      out.resize(before);
      return false;
    }
  }
  return true;
}

// One descriptor per direction and thread: iconv_open is far too slow per call.
Iconv& toWide() {
  thread_local Iconv cd(kWide, kAnsi);
  return cd;
}
Iconv& fromUtf32() {
  thread_local Iconv cd(kAnsi, "UTF-32LE");
  return cd;
}

void appendWide(std::string& le, char16_t c) {
  le.push_back(static_cast<char>(c & 0xFF));
  le.push_back(static_cast<char>(c >> 8));
}

}  // namespace

bool available() { return toWide().ok() && fromUtf32().ok(); }

std::u16string ansiToWide(std::string_view ansi) {
  Iconv& cd = toWide();
  std::string le;
  if (!cd.ok()) return {};
  size_t i = 0;
  while (i < ansi.size()) {
    const unsigned char b = static_cast<unsigned char>(ansi[i]);
    if (b < 0x80) {
      appendWide(le, b);
      ++i;
      continue;
    }
    // A double-byte character converts as a unit; anything else is U+FFFD. A
    // lead byte takes only a byte that can trail it, so "<" after it survives.
    const auto trail = [&](size_t k) {
      const unsigned char t = static_cast<unsigned char>(ansi[k]);
      return t >= 0x40 && t <= 0xFE && t != 0x7F;
    };
    size_t len = (isAnsiLeadByte(b) && i + 1 < ansi.size() && trail(i + 1)) ? 2 : 1;
    if (!convertChunk(cd.get(), ansi.data() + i, len, le)) {
      if (b == 0x80) len = 1;  // CP936 maps 0x80 to the euro sign; iconv may not
      appendWide(le, u'\uFFFD');
    }
    i += len;
  }
  return bytesToWide(le);
}

std::string codePointToAnsi(char32_t cp) {
  if (cp < 0x80) return std::string(1, static_cast<char>(cp));
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {};
  Iconv& cd = fromUtf32();
  if (!cd.ok()) return {};
  char in[4] = {static_cast<char>(cp & 0xFF), static_cast<char>((cp >> 8) & 0xFF),
                static_cast<char>((cp >> 16) & 0xFF), 0};
  std::string out;
  if (!convertChunk(cd.get(), in, 4, out)) return {};
  return out;
}

std::string wideToAnsi(std::u16string_view wide, bool* lost) {
  Iconv& cd = fromUtf32();
  std::string out;
  out.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    char32_t cp = wide[i];
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    }
    bool done = false;
    if (cd.ok() && !(cp >= 0xD800 && cp <= 0xDFFF)) {
      char in[4] = {static_cast<char>(cp & 0xFF), static_cast<char>((cp >> 8) & 0xFF),
                    static_cast<char>((cp >> 16) & 0xFF), 0};
      done = convertChunk(cd.get(), in, 4, out);
    }
    if (!done) {
      out.push_back('?');
      if (lost) *lost = true;
    }
  }
  return out;
}

std::u16string utf8ToWide(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  auto cont = [&](size_t k) {
    return k < s.size() && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80;
  };
  while (i < s.size()) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    char32_t cp = 0xFFFD;
    size_t len = 1;
    if (b < 0x80) {
      cp = b;
    } else if (b >= 0xC2 && b <= 0xDF && cont(i + 1)) {
      cp = ((b & 0x1F) << 6) | (s[i + 1] & 0x3F);
      len = 2;
    } else if (b >= 0xE0 && b <= 0xEF && cont(i + 1) && cont(i + 2)) {
      char32_t c = ((b & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      if (c >= 0x800 && !(c >= 0xD800 && c <= 0xDFFF)) {
        cp = c;
        len = 3;
      }
    } else if (b >= 0xF0 && b <= 0xF4 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
      char32_t c = ((b & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) |
                   (s[i + 3] & 0x3F);
      if (c >= 0x10000 && c <= 0x10FFFF) {
        cp = c;
        len = 4;
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string wideToUtf8(std::u16string_view w) {
  std::string out;
  out.reserve(w.size());
  for (size_t i = 0; i < w.size(); ++i) {
    char32_t cp = w[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < w.size() && w[i + 1] >= 0xDC00 &&
        w[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (w[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    appendUtf8(out, cp);
  }
  return out;
}

std::string ansiToUtf8(std::string_view ansi) { return wideToUtf8(ansiToWide(ansi)); }

std::string utf8ToAnsi(std::string_view utf8, bool* lost) {
  return wideToAnsi(utf8ToWide(utf8), lost);
}

}  // namespace platform::codepage

#include "platform/sessiontext.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/iconv.h"

namespace platform::db {
namespace {

static_assert(std::endian::native == std::endian::little, "QString units are read as UTF-16LE");
constexpr const char* kWide = "UTF-16LE";

// The server's names of its client encodings, as iconv names them. UTF-8
// needs no converter; SQL_ASCII means that the server does not convert, and
// what such databases hold is UTF-8 text as a rule.
struct EncodingName {
  const char* server;
  const char* iconv;
};
constexpr EncodingName kEncodings[] = {
    {"UTF8", nullptr},          {"SQL_ASCII", nullptr},      {"GBK", "CP936"},
    {"GB18030", "GB18030"},     {"EUC_CN", "EUC-CN"},        {"BIG5", "BIG5"},
    {"EUC_TW", "EUC-TW"},       {"UHC", "CP949"},            {"EUC_KR", "EUC-KR"},
    {"JOHAB", "JOHAB"},         {"SJIS", "CP932"},           {"SHIFT_JIS_2004", "SHIFT_JISX0213"},
    {"EUC_JP", "EUC-JP"},       {"EUC_JIS_2004", "EUC-JISX0213"},
    {"LATIN1", "ISO-8859-1"},   {"LATIN2", "ISO-8859-2"},    {"LATIN3", "ISO-8859-3"},
    {"LATIN4", "ISO-8859-4"},   {"LATIN5", "ISO-8859-9"},    {"LATIN6", "ISO-8859-10"},
    {"LATIN7", "ISO-8859-13"},  {"LATIN8", "ISO-8859-14"},   {"LATIN9", "ISO-8859-15"},
    {"LATIN10", "ISO-8859-16"}, {"ISO_8859_5", "ISO-8859-5"}, {"ISO_8859_6", "ISO-8859-6"},
    {"ISO_8859_7", "ISO-8859-7"}, {"ISO_8859_8", "ISO-8859-8"}, {"KOI8R", "KOI8-R"},
    {"KOI8U", "KOI8-U"},        {"WIN866", "CP866"},         {"WIN874", "CP874"},
    {"WIN1250", "CP1250"},      {"WIN1251", "CP1251"},       {"WIN1252", "CP1252"},
    {"WIN1253", "CP1253"},      {"WIN1254", "CP1254"},       {"WIN1255", "CP1255"},
    {"WIN1256", "CP1256"},      {"WIN1257", "CP1257"},       {"WIN1258", "CP1258"},
};

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

// The UTF-16LE unit at p.
char16_t unitAt(const char* p) {
  return static_cast<char16_t>(static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8));
}

// Converts all of in through iconv; where iconv refuses what stands at the
// current position, appends replacement and steps over one character: a byte
// of a narrow input, a UTF-16 unit (or surrogate pair) of a wide one.
std::string convert(const Iconv& iconv, const char* in, size_t size, bool wideInput, std::string_view replacement) {
  const iconv_t cd = iconv.get();
  std::string out;
  out.reserve(size * 2);
  char* src = const_cast<char*>(in);
  size_t left = size;
  char buffer[512];
  while (left > 0) {
    char* dst = buffer;
    size_t room = sizeof buffer;
    const size_t r = ::iconv(cd, &src, &left, &dst, &room);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (r != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ (not in the encoding) or EINVAL (cut short at the end).
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out.append(replacement);
    size_t skip = wideInput ? 2 : 1;
    if (wideInput && left >= 4 && (unitAt(src) & 0xFC00) == 0xD800 && (unitAt(src + 2) & 0xFC00) == 0xDC00) skip = 4;
    skip = std::min(skip, left);
    src += skip;
    left -= skip;
  }
  // What a stateful encoding still holds back.
  char* dst = buffer;
  size_t room = sizeof buffer;
  ::iconv(cd, nullptr, nullptr, &dst, &room);
  out.append(buffer, static_cast<size_t>(dst - buffer));
  return out;
}

}  // namespace

// Each direction keeps its descriptor: opening one costs far more than a
// short conversion. A session is used by one thread at a time.
struct SessionText::Converters {
  Converters(const char* encoding) : toWide(kWide, encoding), fromWide(encoding, kWide) {}
  Iconv toWide;
  Iconv fromWide;
};

SessionText::SessionText() = default;
SessionText::~SessionText() = default;
SessionText::SessionText(SessionText&&) noexcept = default;
SessionText& SessionText::operator=(SessionText&&) noexcept = default;

std::unique_ptr<SessionText> SessionText::forClientEncoding(std::string_view name) {
  for (const EncodingName& e : kEncodings) {
    if (!sameName(name, e.server)) continue;
    auto text = std::make_unique<SessionText>();
    if (e.iconv) {
      text->iconv_ = std::make_unique<Converters>(e.iconv);
      if (!text->iconv_->toWide.ok() || !text->iconv_->fromWide.ok()) return nullptr;
    }
    return text;
  }
  return nullptr;
}

QByteArray SessionText::encode(QStringView text) const {
  if (!iconv_) return text.toUtf8();
  const std::string bytes = convert(iconv_->fromWide, reinterpret_cast<const char*>(text.utf16()),
                                                     static_cast<size_t>(text.size()) * 2, true, "?");
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString SessionText::decode(const char* bytes, qsizetype size) const {
  if (!iconv_) return QString::fromUtf8(bytes, size);
  static constexpr char kReplacement[] = {'\xFD', '\xFF'};  // U+FFFD in UTF-16LE
  const std::string wide = convert(iconv_->toWide, bytes, static_cast<size_t>(size), false,
                                                  std::string_view(kReplacement, 2));
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(wide.data()),
                            static_cast<qsizetype>(wide.size() / 2));
}

}  // namespace platform::db

#include "xml/XmlTyped.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "xml/XmlDocument.h"
#include "xml/XmlErrors.h"
#include "xml/XmlNode.h"
#include "xml/XmlText.h"
#include "xml/internal/ByteClass.h"

namespace xml {
namespace {

constexpr int32_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
constexpr int64_t kMsPerDay = 86400000;
// Days from 0000-03-01 (the civil-day origin below) to 1899-12-30.
constexpr int64_t kEpochShift = 693899;

// Days since 0000-03-01 of a proleptic Gregorian date (March-based years).
int64_t civilToDays(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe;
}

void daysToCivil(int64_t z, int& y, int& m, int& d) {
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Characters first..last (1-based, inclusive) of the text, as far as it has them.
std::string_view field(std::string_view text, size_t first, size_t last) {
  if (first > text.size()) return {};
  return text.substr(first - 1, last - first + 1);
}

// Standard RGB values of the 31 system colours (red in the lowest byte).
constexpr int32_t kSystemColors[] = {
    0xC8C8C8,  // 0 scroll bar
    0xA56E3A,  // 1 background (desktop)
    0xD1B499,  // 2 active caption
    0xDBCDBF,  // 3 inactive caption
    0xF0F0F0,  // 4 menu
    0xFFFFFF,  // 5 window
    0x646464,  // 6 window frame
    0x000000,  // 7 menu text
    0x000000,  // 8 window text
    0x000000,  // 9 caption text
    0xB4B4B4,  // 10 active border
    0xFCF7F4,  // 11 inactive border
    0xABABAB,  // 12 application workspace
    0xFF9933,  // 13 highlight
    0xFFFFFF,  // 14 highlight text
    0xF0F0F0,  // 15 button face
    0xA0A0A0,  // 16 button shadow
    0x6D6D6D,  // 17 grey text
    0x000000,  // 18 button text
    0x000000,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x696969,  // 21 3D dark shadow
    0xE3E3E3,  // 22 3D light
    0x000000,  // 23 info text
    0xE1FFFF,  // 24 info background
    0xB5B5B5,  // 25 (unused slot)
    0xCC6600,  // 26 hot light
    0xEAD1B9,  // 27 gradient active caption
    0xF2E4D7,  // 28 gradient inactive caption
    0xFF9933,  // 29 menu highlight
    0xF0F0F0,  // 30 menu bar
};

// The attribute writer's common step: replace the first attribute of that name or append one.
void setAttribute(TXmlNode& node, std::string_view name, std::string_view text) {
  const int index = node.AttributeIndexOf(name);
  if (index >= 0)
    node.SetAttributeValueAt(index, text);
  else
    node.AttributeAdd(name, text);
}

// The own value of a named child, read by reader; def without such a child.
template <typename T, typename Reader>
T readChild(const TXmlNode& node, std::string_view name, T def, Reader reader) {
  const TXmlNode* child = node.FindChild(name);
  return child == nullptr ? def : reader(*child, def);
}

}  // namespace

// ---- text forms ----

std::string FormatFloatText(double value, int digits, bool allowExponent) {
  if (digits < 1 || digits > 9) raise(XmlErrc::SignificantDigits);
  if (!std::isfinite(value)) raise(XmlErrc::FloatNotFinite);
  if (value == 0) return "0";
  std::string result;
  double v = value;
  if (v < 0) {
    result = "-";
    v = -v;
  }
  // Normalise to digits places before the point; e counts the places of the value.
  int e = digits;
  while (kPowersOfTen[digits - 1] > v) {
    v *= 10;
    --e;
  }
  while (kPowersOfTen[digits] <= v) {
    v *= 0.1;
    ++e;
  }
  auto m = static_cast<int64_t>(std::nearbyint(v));  // ties to even
  if (m >= kPowersOfTen[digits]) {
    m = kPowersOfTen[digits - 1];
    ++e;
  }
  int n = digits;
  while (m % 10 == 0 && n > e) {
    m /= 10;
    --n;
  }
  int exponent = 0;
  if (allowExponent && (e < -1 || e > n + 2)) {
    exponent = e - 1;
    e = 1;
  }
  std::string s = std::to_string(m);
  while (n < e) {
    s += '0';
    ++n;
  }
  while (e < 0) {
    s.insert(s.begin(), '0');
    ++e;
  }
  if (e == 0)
    s.insert(s.begin(), '.');
  else if (n > e)
    s.insert(static_cast<size_t>(e), 1, '.');
  result += s;
  if (exponent != 0) result += "E" + std::to_string(exponent);
  return result;
}

double EncodeDateValue(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
    raise(XmlErrc::InvalidDate);
  return static_cast<double>(civilToDays(year, month, day) - kEpochShift);
}

double EncodeTimeValue(int hour, int minute, int second, int millisecond) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999)
    raise(XmlErrc::InvalidTime);
  return static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond) / kMsPerDay;
}

std::string FormatDateTimeText(double value) {
  if (!std::isfinite(value) || std::fabs(value) > 3.0e6) raise(XmlErrc::InvalidDate);
  const double day = std::trunc(value);
  const double fraction = std::fabs(value - day);
  int64_t days = static_cast<int64_t>(day);
  int64_t ms = std::llround(fraction * kMsPerDay);
  if (ms >= kMsPerDay) {  // rounding reached the next midnight
    ms -= kMsPerDay;
    ++days;
  }
  int y = 0, m = 0, d = 0;
  daysToCivil(days + kEpochShift, y, m, d);
  if (y < 1 || y > 9999) raise(XmlErrc::InvalidDate);
  char buf[40];
  if (fraction == 0) {
    std::snprintf(buf, sizeof buf, "%.4d-%.2d-%.2d", y, m, d);
  } else {
    const auto sec = static_cast<int>(ms / 1000);
    std::snprintf(buf, sizeof buf, "%.4d-%.2d-%.2dT%.2d:%.2d:%.2d.%.3dZ", y, m, d, sec / 3600, sec / 60 % 60,
                  sec % 60, static_cast<int>(ms % 1000));
  }
  return buf;
}

double ParseDateTimeText(std::string_view text) {
  const int year = ParseIntegerText(field(text, 1, 4));
  const int month = ParseIntegerText(field(text, 6, 7));
  const int day = ParseIntegerText(field(text, 9, 10));
  int hour = 0, minute = 0, second = 0, ms = 0;
  if (text.size() > 16) {
    hour = ParseIntegerText(field(text, 12, 13));
    minute = ParseIntegerText(field(text, 15, 16));
    second = ParseIntegerText(field(text, 18, 19), 0);
    ms = ParseIntegerText(field(text, 21, 23), 0);
  }
  const double date = EncodeDateValue(year, month, day);
  const double time = EncodeTimeValue(hour, minute, second, ms);
  // Before 1899-12-30 the time is the fraction's magnitude, as the text form
  // reads it; adding it would land on the next day.
  return date < 0 ? date - time : date + time;
}

double ParseDateTimeTextDef(std::string_view text, double def) {
  try {
    return ParseDateTimeText(text);
  } catch (const XmlError&) {
    return def;
  }
}

std::string BoolText(bool value) { return value ? "True" : "False"; }

bool ParseBoolText(std::string_view text) {
  if (!text.empty()) {
    switch (text[0]) {
      case 'T': case 't': case 'Y': case 'y': return true;
      case 'F': case 'f': case 'N': case 'n': return false;
      default: break;
    }
  }
  raise(XmlErrc::NotABool);
}

int32_t ColorToRGB(TColor color) {
  if (color >= 0) return color;
  const int index = color & 0xFF;
  return index < static_cast<int>(std::size(kSystemColors)) ? kSystemColors[index] : 0;
}

// ---- node values ----

bool TXmlNode::BoolValue(bool def) const {
  if (value_.empty()) return def;
  try {
    return ParseBoolText(value_);
  } catch (const XmlError&) {
    return def;
  }
}

double TXmlNode::DateTimeValue(double def) const { return ParseDateTimeTextDef(TextValue(), def); }

double TXmlNode::FloatValue(double def) const {
  std::string text = value_;
  const size_t comma = text.find(',');
  if (comma != std::string::npos) text[comma] = '.';
  // Spaces, sign, digits with an optional fraction, optional exponent; nothing else.
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  const size_t start = i;
  size_t mantissaDigits = 0;
  while (i < text.size() && detail::hasFlag(text[i], detail::kDigit)) ++i, ++mantissaDigits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && detail::hasFlag(text[i], detail::kDigit)) ++i, ++mantissaDigits;
  }
  if (mantissaDigits == 0) return def;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    const size_t expStart = i;
    while (i < text.size() && detail::hasFlag(text[i], detail::kDigit)) ++i;
    if (i == expStart) return def;
  }
  if (i != text.size()) return def;
  double v = 0;
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  // from_chars reads no leading sign: the sign was taken above.
  const auto [ptr, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || ptr != last) return def;
  return negative ? -v : v;
}

int64_t TXmlNode::Int64Value(int64_t def) const { return ParseInt64Text(value_, def); }

int32_t TXmlNode::IntegerValue(int32_t def) const { return ParseIntegerText(value_, def); }

// ---- readers ----

bool TXmlNode::ReadAttributeBool(std::string_view name, bool def) const {
  try {
    return ParseBoolText(AttributeValue(name));
  } catch (const XmlError&) {
    return def;
  }
}

int32_t TXmlNode::ReadAttributeInteger(std::string_view name, int32_t def) const {
  return ParseIntegerText(AttributeValue(name), def);
}

int64_t TXmlNode::ReadAttributeInt64(std::string_view name, int64_t def) const {
  return ParseInt64Text(AttributeValue(name), def);
}

std::string TXmlNode::ReadAttributeString(std::string_view name, std::string_view def) const {
  std::string value = AttributeValue(name);
  return value.empty() ? std::string(def) : value;
}

bool TXmlNode::ReadBool(std::string_view name, bool def) const {
  return readChild(*this, name, def, [](const TXmlNode& c, bool d) { return c.BoolValue(d); });
}

int32_t TXmlNode::ReadColor(std::string_view name, int32_t def) const {
  return readChild(*this, name, def, [](const TXmlNode& c, int32_t) { return ParseIntegerText(c.TextValue()); });
}

double TXmlNode::ReadDateTime(std::string_view name, double def) const {
  return ParseDateTimeTextDef(ReadString(name), def);
}

double TXmlNode::ReadFloat(std::string_view name, double def) const {
  return readChild(*this, name, def, [](const TXmlNode& c, double d) { return c.FloatValue(d); });
}

int64_t TXmlNode::ReadInt64(std::string_view name, int64_t def) const {
  return readChild(*this, name, def, [](const TXmlNode& c, int64_t d) { return c.Int64Value(d); });
}

int32_t TXmlNode::ReadInteger(std::string_view name, int32_t def) const {
  return readChild(*this, name, def, [](const TXmlNode& c, int32_t d) { return c.IntegerValue(d); });
}

std::string TXmlNode::ReadString(std::string_view name, std::string_view def) const {
  const TXmlNode* child = FindChild(name);
  return child == nullptr ? std::string(def) : child->TextValue();
}

std::u16string TXmlNode::ReadWidestring(std::string_view name, std::u16string_view def) const {
  return TextToWide(ReadString(name, WideToText(def)));
}

void TXmlNode::ReadFont(std::string_view name, TFont& font) const {
  font = TFont{};
  const TXmlNode* child = FindChild(name);
  if (child == nullptr) return;
  font.Name = child->ReadString("Name", "Arial");
  font.Color = child->ReadColor("Color", kClBlack);
  font.Size = child->ReadInteger("Size", 14);
  font.Bold = child->ReadBool("Bold", false);
  font.Italic = child->ReadBool("Italic", false);
  font.Underline = child->ReadBool("Underline", false);
  font.StrikeOut = child->ReadBool("Strikeout", false);
}

void TXmlNode::ReadPen(std::string_view name, TPen& pen) const {
  pen = TPen{};
  const TXmlNode* child = FindChild(name);
  if (child == nullptr) return;
  pen.Color = child->ReadColor("Color", kClBlack);
  pen.Mode = static_cast<TPenMode>(child->ReadInteger("Mode", static_cast<int32_t>(TPenMode::pmCopy)));
  pen.Style = static_cast<TPenStyle>(child->ReadInteger("Style", 0));
  pen.Width = child->ReadInteger("Width", 1);
}

void TXmlNode::ReadBrush(std::string_view name, TBrush& brush) const {
  brush = TBrush{};
  const TXmlNode* child = FindChild(name);
  if (child == nullptr) return;
  brush.Color = child->ReadColor("Color", kClWhite);
  brush.Style = static_cast<TBrushStyle>(child->ReadInteger("Style", 0));
}

// ---- writers ----

void TXmlNode::WriteAttributeBool(std::string_view name, bool value, bool def) {
  if (WriteDefaults() || value != def) setAttribute(*this, name, BoolText(value));
}

void TXmlNode::WriteAttributeInteger(std::string_view name, int32_t value, int32_t def) {
  if (WriteDefaults() || value != def) setAttribute(*this, name, std::to_string(value));
}

void TXmlNode::WriteAttributeFloat(std::string_view name, double value, double def) {
  if (WriteDefaults() || value != def)
    setAttribute(*this, name, FormatFloatText(value, DocFloatPrecision(), DocScientificFloats()));
}

void TXmlNode::WriteAttributeString(std::string_view name, std::string_view value, std::string_view def) {
  if (WriteDefaults() || value != def) setAttribute(*this, name, value);
}

void TXmlNode::WriteBool(std::string_view name, bool value, bool def) {
  if (WriteDefaults() || value != def) FindOrAddChild(name)->SetValue(BoolText(value));
}

void TXmlNode::WriteInteger(std::string_view name, int32_t value, int32_t def) {
  if (WriteDefaults() || value != def) FindOrAddChild(name)->SetValue(std::to_string(value));
}

void TXmlNode::WriteInt64(std::string_view name, int64_t value, int64_t def) {
  if (WriteDefaults() || value != def) FindOrAddChild(name)->SetValue(std::to_string(value));
}

void TXmlNode::WriteFloat(std::string_view name, double value, double def) {
  if (!WriteDefaults() && value == def) return;
  TXmlNode* child = FindOrAddChild(name);
  child->SetValue(FormatFloatText(value, child->DocFloatPrecision(), child->DocScientificFloats()));
}

void TXmlNode::WriteDateTime(std::string_view name, double value, double def) {
  if (WriteDefaults() || value != def) WriteString(name, FormatDateTimeText(value), "");
}

void TXmlNode::WriteString(std::string_view name, std::string_view value, std::string_view def) {
  if (WriteDefaults() || value != def) FindOrAddChild(name)->SetValue(value);
}

void TXmlNode::WriteHex(std::string_view name, int32_t value, int digits, int32_t def) {
  if (!WriteDefaults() && value == def) return;
  // More than 8 digits would only add zeros the integer text rule refuses to read back.
  const int width = digits < 1 ? 1 : digits > 8 ? 8 : digits;
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%.*X", width, static_cast<unsigned>(static_cast<uint32_t>(value)));
  FindOrAddChild(name)->SetValue(buf);
}

void TXmlNode::WriteColor(std::string_view name, int32_t value, int32_t def) {
  if (!WriteDefaults() && value == def) return;
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%.8X", static_cast<unsigned>(static_cast<uint32_t>(ColorToRGB(value))));
  FindOrAddChild(name)->SetValue(buf);
}

void TXmlNode::WriteFont(std::string_view name, const TFont& font) {
  TXmlNode* child = FindOrAddChild(name);
  child->WriteString("Name", font.Name, "Arial");
  child->WriteColor("Color", font.Color, kClBlack);
  child->WriteInteger("Size", font.Size, 14);
  child->WriteBool("Bold", font.Bold, false);
  child->WriteBool("Italic", font.Italic, false);
  child->WriteBool("Underline", font.Underline, false);
  child->WriteBool("Strikeout", font.StrikeOut, false);
}

// The pen's and brush's defaults are those their readers give a missing part,
// so a value skipped as default reads back as itself.
void TXmlNode::WritePen(std::string_view name, const TPen& pen) {
  TXmlNode* child = FindOrAddChild(name);
  child->WriteColor("Color", pen.Color, kClBlack);
  child->WriteInteger("Mode", static_cast<int32_t>(pen.Mode), static_cast<int32_t>(TPenMode::pmCopy));
  child->WriteInteger("Style", static_cast<int32_t>(pen.Style), 0);
  child->WriteInteger("Width", pen.Width, 1);
}

void TXmlNode::WriteBrush(std::string_view name, const TBrush& brush) {
  TXmlNode* child = FindOrAddChild(name);
  child->WriteColor("Color", brush.Color, kClWhite);
  child->WriteInteger("Style", static_cast<int32_t>(brush.Style), 0);
}

}  // namespace xml

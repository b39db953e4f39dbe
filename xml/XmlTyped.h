#pragma once
// Typed values of nodes: the text forms of floats, date-times and booleans,
// and the plain colour, font, pen and brush values that the node's typed
// readers and writers (TXmlNode::ReadFont, WritePen, ...) take. The library
// links no GUI toolkit; these carry exactly what the text forms need.
#include <cstdint>
#include <string>
#include <string_view>

namespace xml {

// ---- text forms ----

// Decimal text of value with digits significant digits (1..9): "." as the
// decimal point, no "0" before it, trailing fraction zeros dropped, "E"
// exponent when allowExponent and the value is far from 1. "0" for zero.
// Raises the general error "Significant digits out of range" for digits
// outside 1..9 and "Float value is not finite" for infinities and NaN.
std::string FormatFloatText(double value, int digits, bool allowExponent);

// A date-time value counts days from 1899-12-30 00:00; the fraction is the
// time of day (for days before that, the fraction's magnitude). "YYYY-MM-DD"
// when the fraction is zero, else "YYYY-MM-DDThh:mm:ss.zzzZ" rounded to the
// millisecond. Raises "Invalid argument to date encode" outside years 1..9999.
std::string FormatDateTimeText(double value);

// Reads year (chars 1-4), month (6-7), day (9-10) and, for texts longer than
// 16 chars, hour (12-13), minute (15-16), second (18-19), millisecond (21-23)
// by the integer text rule. Raises the conversion errors "'%s' is not a
// valid integer value", "Invalid argument to date encode" or "... time encode".
double ParseDateTimeText(std::string_view text);
// The same, giving def on any error.
double ParseDateTimeTextDef(std::string_view text, double def);

// The date-time value of a calendar date and a time; raise the conversion
// errors of ParseDateTimeText for fields out of range.
double EncodeDateValue(int year, int month, int day);
double EncodeTimeValue(int hour, int minute, int second, int millisecond);

// "True" or "False".
std::string BoolText(bool value);
// True for a first letter T or Y, false for F or N (any case); raises the
// general error "Cannot convert value to bool" otherwise and for an empty text.
bool ParseBoolText(std::string_view text);

// ---- colours ----

// A colour number: a non-negative value is RGB with red in the lowest byte;
// a negative value names a system colour by its lowest byte (0 scroll bar ...
// 30 menu bar), e.g. kSysColorWindow.
using TColor = int32_t;
inline constexpr TColor kClBlack = 0x000000;
inline constexpr TColor kClWhite = 0xFFFFFF;
inline constexpr TColor kSysColorWindow = static_cast<TColor>(0xFF000005);
inline constexpr TColor kSysColorWindowText = static_cast<TColor>(0xFF000008);
inline constexpr TColor kSysColorBtnFace = static_cast<TColor>(0xFF00000F);

// The RGB value of a colour: non-negative values as they are, system colours
// from the library's table of standard values; 0 (black) for an index the
// table does not hold.
int32_t ColorToRGB(TColor color);

// ---- font, pen and brush ----

struct TFont {
  std::string Name = "Arial";  // in the document's text form
  TColor Color = kClBlack;
  int32_t Size = 14;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  bool operator==(const TFont&) const = default;
};

enum class TPenMode : int32_t {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor,
};
enum class TPenStyle : int32_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum class TBrushStyle : int32_t {
  bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross,
};

struct TPen {
  TColor Color = kClBlack;
  TPenMode Mode = TPenMode::pmCopy;
  TPenStyle Style = TPenStyle::psSolid;
  int32_t Width = 1;
  bool operator==(const TPen&) const = default;
};

struct TBrush {
  TColor Color = kClWhite;
  TBrushStyle Style = TBrushStyle::bsSolid;
  bool operator==(const TBrush&) const = default;
};

}  // namespace xml

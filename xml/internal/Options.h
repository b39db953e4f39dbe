#pragma once
// The document's numeric options as the library reads them. The public
// settings keep their numeric codes (BinaryFormat, LineLayout); inside the
// library each code is turned into one of these names in one place.
#include <cstdint>

namespace xml::detail {

// BinaryFormat: 0 hex, 1 Base64, any other code no binary content.
enum class BinaryEncoding : uint8_t { Hex, Base64, None };

constexpr BinaryEncoding binaryEncoding(int code) {
  return code == 0 ? BinaryEncoding::Hex : code == 1 ? BinaryEncoding::Base64 : BinaryEncoding::None;
}

// LineLayout: 0 CR LF with indentation, 1 compact, any other code LF.
enum class LineStyle : uint8_t { CrLfIndented, Compact, Lf };

constexpr LineStyle lineStyle(int code) {
  return code == 0 ? LineStyle::CrLfIndented : code == 1 ? LineStyle::Compact : LineStyle::Lf;
}

}  // namespace xml::detail

#pragma once
// The page a sheet is printed on, as the print command sets it up and as the
// exported workbook records it for spreadsheet programs: A4 landscape, the
// same margins, the page texts in a band at the foot, the data columns scaled
// together to the width between the margins.
namespace cell::page {

inline constexpr double kWidthMm = 297;   // A4 landscape
inline constexpr double kHeightMm = 210;
inline constexpr double kMarginMm = 10;   // on all four sides
inline constexpr double kFooterMm = 10;   // band above the bottom margin for the page texts
inline constexpr float kPageTextPoints = 10.0f;

// Layout units (tenths of a millimetre) between the side margins.
inline constexpr double kPrintableWidth = (kWidthMm - 2 * kMarginMm) * 10;

// The factor that scales data columns of the given total width (layout
// units) to the printable width; 1 for a sheet without width.
inline double columnScale(int dataWidth) { return dataWidth > 0 ? kPrintableWidth / dataWidth : 1.0; }

}  // namespace cell::page

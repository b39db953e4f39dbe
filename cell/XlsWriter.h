#pragma once
// Excel 97-2003 export: the sheet as a BIFF8 workbook of one worksheet in a
// compound file. Cell texts go to the shared string table as UTF-16; merged
// ranges, column widths, row heights, font sizes, alignment, wrapping and
// lines are kept. Sheet row r, column c become worksheet row r-1, column c-1
// (the label row and column are not written).
#include <QByteArray>
#include <QString>

namespace cell {

class Sheet;

// Writes the workbook to fileName through a temporary file in the same folder
// that replaces fileName only when complete. Raises TCellError when the file
// cannot be created, written or closed, or when the sheet does not fit a
// worksheet; fileName is then left as it was.
void writeXls(const Sheet& sheet, const QString& fileName);

// The workbook stream itself (BIFF8 records), as stored in the compound file.
// Raises TCellError when the sheet does not fit a worksheet.
QByteArray workbookStream(const Sheet& sheet);

}  // namespace cell

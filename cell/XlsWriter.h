#pragma once
// Excel 97-2003 export: the sheet as a BIFF8 workbook in a compound file.
// Cell texts go to the shared string table as UTF-16; merged ranges, column
// widths, row heights, font sizes, alignment, wrapping and lines are kept, and
// so is the print setup (A4 landscape, the print command's margins and scale,
// the print title rows, the page texts as the footer). Sheet row r, column c
// become row r-1, column c-1 of the first worksheet (the label row and column
// are not written). A sheet longer than a worksheet's 65,536 rows continues
// on further worksheets, each starting with the print title rows.
#include <QByteArray>
#include <QString>

namespace cell {

class Sheet;

// Writes the workbook to fileName through a temporary file in the same folder
// that replaces fileName only when complete, keeping its permission bits; a
// symbolic link is followed. Raises TCellError when the file cannot be
// created, written or closed, when fileName is not a regular file (a folder,
// FIFO, socket or device) or is read-only (also for root), when a text is
// longer than a cell holds or the sheet has more columns than a worksheet;
// fileName is then left as it was.
void writeXls(const Sheet& sheet, const QString& fileName);

// The workbook stream itself (BIFF8 records), as stored in the compound file.
// Raises TCellError as writeXls does for the sheet's contents.
QByteArray workbookStream(const Sheet& sheet);

}  // namespace cell

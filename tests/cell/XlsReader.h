#pragma once
// A small reader of our own for the workbooks the export writes: records as
// written (offsets, merges, sizes, fonts, formats), beside the independent
// readers of tests/support/xls_dump.py.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace xlsread {

struct Record {
  std::uint16_t id;
  QByteArray body;
};

// The named stream of a compound file, following the FAT (and DIFAT) chains.
// Throws std::runtime_error on a malformed file.
QByteArray stream(const QByteArray& file, const QString& name);
// The records of a BIFF stream up to the end of the last substream.
std::vector<Record> records(const QByteArray& stream);

struct Xf {
  int font = 0;
  int hAlign = 0;  // 1 left, 2 centre, 3 right
  int vAlign = 0;  // 0 top, 1 centre, 2 bottom
  bool wrap = false;
  bool left = false, right = false, top = false, bottom = false;
};

struct Merge {
  int row1, row2, column1, column2;
  bool operator==(const Merge&) const = default;
};

// What the worksheet holds, decoded.
struct Workbook {
  std::vector<int> fontTwips;  // by font index (index 4 holds -1)
  std::vector<Xf> xfs;
  std::map<int, int> columnWidths;          // column -> 1/256 character units
  std::map<int, int> rowTwips;              // row -> height
  std::map<std::pair<int, int>, int> cellXf;  // (row, column) -> XF of a LABELSST or BLANK
  std::vector<QString> sst;                   // the shared strings, CONTINUE records joined
  std::map<std::pair<int, int>, QString> texts;  // (row, column) -> text of a LABELSST
  std::vector<Merge> merges;
  int sheetBofOffset = -1;                  // from BOUNDSHEET
  std::vector<int> bofOffsets;              // where each BOF record starts
};

Workbook decode(const QByteArray& file);

}  // namespace xlsread

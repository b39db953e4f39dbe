#pragma once
// cell::Sheet: the one sheet of the spreadsheet control. The view, the Excel
// export and the printer all read it; TCell writes it.
//
// Row 0 and column 0 are the control's label row (column letters) and label
// column (row numbers): they hold no cells. Data cells are columns
// 1..columnCount()-1 and rows 1..rowCount()-1. Lines are drawn and cleared
// over the data cells of a range only. A merge keeps its range as given (so a
// merge from column 0 reads back from column 0), but covers its data cells
// only: its text is the text of its first data cell, column 1 for a merge
// from column 0. Writes outside the data cells are ignored; reads outside
// them give the stated defaults. One exception: a grid drawn over rows that
// the sheet does not have yet is kept for them and appears when they are
// added (the register draws its grid down to the signature row before it adds
// that row); dropping rows drops such lines too.
//
// Sizes (row heights, column widths) are tenths of a millimetre.
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace cell {

// What the control's numeric codes mean inside it; TCell converts the codes.
enum class HAlign { Left, Centre, Right };
enum class VAlign { Top, Centre, Bottom };
enum class Edge { Left, Top, Right, Bottom };
// How a cell's text runs: on its own lines only, or wrapped at the cell's width.
enum class TextStyle { Plain, Wrap };
// The lines a grid is drawn with; thin black lines are the only kind.
enum class LineStyle { Thin };
// Lines a range loses: those between its cells, or the one along a side.
enum class LineRemoval { Inner, LeftSide, RightSide };
// A row's height: set as it is, or fitted to the row's texts (which a reader
// of the exported workbook, drawing them in faces of its own, needs fitted
// again).
enum class RowHeight { Fixed, Fitted };
// A measure of text: the height of text at the size in points, in layout
// units, a wrapping text broken at width; 0 for an empty text. The
// program's own is textHeight (CellText.h).
using TextHeight = double (*)(const QString& text, float points, TextStyle style, double width);

// A rectangle of cells, both corners inclusive.
struct Range {
  int column1 = 0;
  int row1 = 0;
  int column2 = 0;
  int row2 = 0;

  bool contains(int column, int row) const {
    return column >= column1 && column <= column2 && row >= row1 && row <= row2;
  }
  bool operator==(const Range&) const = default;
};

struct PageTexts {
  QString left;
  QString centre;
  QString right;
};

class Sheet {
 public:
  static constexpr int kDefaultRowHeight = 60;     // 6 mm
  static constexpr int kDefaultColumnWidth = 200;  // 20 mm
  static constexpr int kLabelColumnWidth = 80;     // the row-number column stays narrow
  static constexpr int kLabelRowHeight = 50;
  static constexpr float kDefaultFontSize = 10.0f;  // points
  // A new sheet, as the control starts: 20 data rows, 10 data columns.
  static constexpr int kInitialRowCount = 21;
  static constexpr int kInitialColumnCount = 11;

  Sheet();

  // Counts include the label row and column.
  int rowCount() const { return static_cast<int>(rows_.size()); }
  int columnCount() const { return columnCount_; }
  // Rows past the count go with their texts, merges and borders; new rows come empty.
  void setRowCount(int count);
  void setColumnCount(int count);
  bool isCell(int column, int row) const;

  // "" outside the data cells.
  QString text(int column, int row) const;
  void setText(int column, int row, const QString& text);
  // kDefaultFontSize outside the data cells.
  float fontSize(int column, int row) const;
  void setFontSize(int column, int row, float points);
  // Left / Centre outside the data cells.
  HAlign hAlign(int column, int row) const;
  VAlign vAlign(int column, int row) const;
  void setAlign(int column, int row, HAlign h, VAlign v);
  // Plain outside the data cells.
  TextStyle textStyle(int column, int row) const;
  bool wraps(int column, int row) const { return textStyle(column, row) == TextStyle::Wrap; }
  void setTextStyle(int column, int row, TextStyle style);

  // kDefaultRowHeight for an unknown row.
  int rowHeight(int row) const;
  void setRowHeight(int row, int height, RowHeight kind = RowHeight::Fixed);
  // Whether the row's height was set as fitted; false for an unknown row.
  bool heightFitted(int row) const;
  // kDefaultColumnWidth for an unknown column.
  int columnWidth(int column) const;
  void setColumnWidth(int column, int width);

  // Merges the range; merges it overlaps are replaced. A range with fewer
  // than two data cells merges nothing.
  void merge(const Range& range);
  // The merged range (as given to merge) holding the cell; nothing when the
  // cell is not merged.
  std::optional<Range> mergeAt(int column, int row) const;
  const std::vector<Range>& merges() const { return merges_; }
  // The data cells of a range; nothing when it has none.
  std::optional<Range> dataPart(const Range& range) const;

  // Whether a line is drawn on that edge of the cell: set on the cell itself
  // or on the neighbour that shares the edge. false outside the data cells.
  bool border(int column, int row, Edge edge) const;
  // Lines of the given style around every cell of the range.
  void drawGrid(const Range& range, LineStyle style);
  // Removes the lines between cells of the range, or the line along one side.
  void removeLines(const Range& range, LineRemoval which);

  // Rows 1..fixedRows() stay on top when the view scrolls.
  int fixedRows() const { return fixedRows_; }
  void setFixedRows(int count) { fixedRows_ = count < 0 ? 0 : count; }

  const PageTexts& pageTexts() const { return pageTexts_; }
  void setPageTexts(const PageTexts& texts) { pageTexts_ = texts; }
  // Rows printed at the top of every page; nothing when not set or empty.
  std::optional<std::pair<int, int>> printTitleRows() const;
  void setPrintTitleRows(int first, int last);

  bool topLabelVisible() const { return topLabel_; }
  void setTopLabelVisible(bool visible) { topLabel_ = visible; }
  bool sideLabelVisible() const { return sideLabel_; }
  void setSideLabelVisible(bool visible) { sideLabel_ = visible; }

  // Height that fits the texts of the row as the program draws them:
  // wrapping cells break their text at their width (a merged cell at the
  // width of its columns). At least kDefaultRowHeight / 2; kDefaultRowHeight
  // for a row that is not a data row.
  int fitRowHeight(int row) const;
  // The same with the texts measured by measure.
  int fitRowHeight(int row, TextHeight measure) const;
  // Whether a cell of the row that is not merged with other rows wraps a text.
  bool wrapsText(int row) const;

  // Sum of the widths of data columns 1..columnCount()-1.
  int dataWidth() const;
  // Width of the cell, or of its merged range when it anchors one.
  int spanWidth(int column, int row) const;

 private:
  enum : unsigned char { kLeft = 1, kTop = 2, kRight = 4, kBottom = 8 };
  struct Cell {
    QString text;
    float fontSize = kDefaultFontSize;
    HAlign h = HAlign::Left;
    VAlign v = VAlign::Centre;
    TextStyle style = TextStyle::Plain;
    unsigned char lines = 0;
  };
  struct Row {
    int height = kDefaultRowHeight;
    bool fitted = false;
    std::vector<Cell> cells;  // index = column; column 0 unused
  };

  Cell* at(int column, int row);
  bool countsForRow(int column, int row) const;
  const Cell* at(int column, int row) const;
  void setLine(int column, int row, unsigned char bit, bool on);
  void setGrid(const Range& range);  // range ordered, from data column and row 1
  void clearInnerLines(const Range& range);
  void clearOuterEdge(const Range& range, Edge edge);

  std::vector<Row> rows_;
  std::vector<int> widths_;
  int columnCount_ = 0;
  std::vector<Range> merges_;
  // Grids drawn over rows past the last one: the part still waiting for rows.
  std::vector<Range> gridsAhead_;
  int fixedRows_ = 0;
  PageTexts pageTexts_;
  int titleFirst_ = 0;
  int titleLast_ = 0;
  bool topLabel_ = true;
  bool sideLabel_ = true;
};

}  // namespace cell

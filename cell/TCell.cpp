#include "cell/TCell.h"

#include <QVBoxLayout>

#include <optional>

#include "cell/Sheet.h"
#include "cell/SheetPrinter.h"
#include "cell/SheetView.h"
#include "cell/XlsWriter.h"

class TCell::View : public cell::SheetView {
 public:
  using SheetView::SheetView;
};

namespace {

// The control's numeric codes and what they mean inside it. Each code is
// read here and nowhere else.

// Alignment: horizontal 1 left, 2 right, 4 centred; vertical 8 top, 16
// bottom, 32 centred. 32 is centred and left, 34 centred and right, 36
// centred both ways.
cell::HAlign horizontalOf(int code) {
  if (code & 4) return cell::HAlign::Centre;
  if (code & 2) return cell::HAlign::Right;
  return cell::HAlign::Left;
}

cell::VAlign verticalOf(int code) {
  if (code & 32) return cell::VAlign::Centre;
  if (code & 16) return cell::VAlign::Bottom;
  if (code & 8) return cell::VAlign::Top;
  return cell::VAlign::Centre;
}

// Row height mode 1: the height is the row's fitted one (GetFitRowHeight);
// 0: a height of its own.
cell::RowHeight rowHeightOf(int mode) { return mode == 1 ? cell::RowHeight::Fitted : cell::RowHeight::Fixed; }

// Text style 2 wraps; every other code leaves the text on its own lines.
cell::TextStyle textStyleOf(int code) { return code == 2 ? cell::TextStyle::Wrap : cell::TextStyle::Plain; }

// Every line type, style and colour the program passes (0, 2, -1) means a
// thin black grid, the one kind of line the sheet draws.
cell::LineStyle lineStyleOf(int /*type*/, int /*style*/, int /*colour*/) { return cell::LineStyle::Thin; }

// Edge codes: 5 removes the inner lines, 2 the left side, 3 the right side;
// other codes change nothing.
std::optional<cell::LineRemoval> lineRemovalOf(int code) {
  switch (code) {
    case 5: return cell::LineRemoval::Inner;
    case 2: return cell::LineRemoval::LeftSide;
    case 3: return cell::LineRemoval::RightSide;
    default: return std::nullopt;
  }
}

}  // namespace

TCell::TCell(QWidget* parent) : QWidget(parent), sheet_(std::make_unique<cell::Sheet>()) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  view_ = new View(*sheet_, this);
  layout->addWidget(view_);
  setFocusProxy(view_);
}

TCell::~TCell() = default;

void TCell::changed() { view_->sheetChanged(); }

void TCell::SetLanguage(int) {}  // Texts are Unicode; there is nothing to switch.

void TCell::SetColumnCount(int count, int) {
  sheet_->setColumnCount(count);
  changed();
}

void TCell::SetRowCount(int count, int) {
  sheet_->setRowCount(count);
  changed();
}

int TCell::GetRowCount(int) const { return sheet_->rowCount(); }

void TCell::SetRowHeight(int mode, int height, int row, int) {
  sheet_->setRowHeight(row, height, rowHeightOf(mode));
  changed();
}

void TCell::SetColumnWidth(int, int width, int column, int) {
  sheet_->setColumnWidth(column, width);
  changed();
}

int TCell::GetFitRowHeight(int row) const { return sheet_->fitRowHeight(row); }

void TCell::SetCellText(int column, int row, int, const QString& text) {
  sheet_->setText(column, row, text);
  changed();
}

void TCell::SetCellTextEx(int column, int row, int sheet, const QString& text) {
  SetCellText(column, row, sheet, text);
}

void TCell::SetCellAlign(int column, int row, int, int code) {
  sheet_->setAlign(column, row, horizontalOf(code), verticalOf(code));
  changed();
}

void TCell::SetCellFontSize(int column, int row, int, float size) {
  sheet_->setFontSize(column, row, size);
  changed();
}

void TCell::MergeRange(int column1, int row1, int column2, int row2) {
  sheet_->merge({column1, row1, column2, row2});
  changed();
}

void TCell::SetCellStyle(int, int, int, int) {}  // 7, the ordinary style, is all there is.

void TCell::SetCellTextStyle(int column, int row, int, int code) {
  sheet_->setTextStyle(column, row, textStyleOf(code));
  changed();
}

void TCell::DrawRangeLines(int column1, int row1, int column2, int row2, int type, int style, int colour) {
  sheet_->drawGrid({column1, row1, column2, row2}, lineStyleOf(type, style, colour));
  changed();
}

void TCell::SetRangeEdge(int column1, int row1, int column2, int row2, int code) {
  const std::optional<cell::LineRemoval> which = lineRemovalOf(code);
  if (!which) return;
  sheet_->removeLines({column1, row1, column2, row2}, *which);
  changed();
}

void TCell::SetFixedRows(int count, int) {
  sheet_->setFixedRows(count);
  changed();
}

void TCell::SetViewSwitch(int) {}  // One view mode: the sheet as it prints.

void TCell::ShowTopLabel(int value, int) {
  sheet_->setTopLabelVisible(value != 0);
  changed();
}

void TCell::ShowSideLabel(int value) {
  sheet_->setSideLabelVisible(value != 0);
  changed();
}

void TCell::Redraw() { view_->relayout(); }

void TCell::SetPageTexts(const QString& left, const QString& centre, const QString& right) {
  sheet_->setPageTexts({left, centre, right});
}

void TCell::SetPrintTitleRows(int firstRow, int lastRow) { sheet_->setPrintTitleRows(firstRow, lastRow); }

int TCell::ExportExcel(const QString& fileName) {
  cell::writeXls(*sheet_, fileName);
  return 1;
}

void TCell::PrintSheet(int, int, bool) { cell::SheetPrinter(*sheet_).printToDefault(); }

bool TCell::WorkbookReadonly() const { return readOnly_; }

void TCell::setWorkbookReadonly(bool readOnly) {
  readOnly_ = readOnly;
  view_->setReadOnly(readOnly);
}

const cell::Sheet& TCell::sheet() const { return *sheet_; }

void TCell::printTo(QPrinter& printer) { cell::SheetPrinter(*sheet_).print(printer); }

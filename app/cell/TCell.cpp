// Placeholder until the spreadsheet control lands.
#include "app/cell/TCell.h"

#include <QPrinter>

namespace cell {
class Sheet {};
}  // namespace cell

class TCell::View : public QWidget {};

TCell::TCell(QWidget* parent) : QWidget(parent), sheet_(std::make_unique<cell::Sheet>()) {}
TCell::~TCell() = default;
void TCell::SetLanguage(int) {}
void TCell::SetColumnCount(int, int) {}
void TCell::SetRowCount(int, int) {}
int TCell::GetRowCount(int) const { return 0; }
void TCell::SetRowHeight(int, int, int, int) {}
void TCell::SetColumnWidth(int, int, int, int) {}
int TCell::GetFitRowHeight(int) const { return 0; }
void TCell::SetCellText(int, int, int, const QString&) {}
void TCell::SetCellTextEx(int, int, int, const QString&) {}
void TCell::SetCellAlign(int, int, int, int) {}
void TCell::SetCellFontSize(int, int, int, float) {}
void TCell::MergeRange(int, int, int, int) {}
void TCell::SetCellStyle(int, int, int, int) {}
void TCell::SetCellTextStyle(int, int, int, int) {}
void TCell::DrawRangeLines(int, int, int, int, int, int, int) {}
void TCell::SetRangeEdge(int, int, int, int, int) {}
void TCell::SetFixedRows(int, int) {}
void TCell::SetViewSwitch(int) {}
void TCell::ShowTopLabel(int, int) {}
void TCell::ShowSideLabel(int) {}
void TCell::Redraw() {}
void TCell::SetPageTexts(const QString&, const QString&, const QString&) {}
void TCell::SetPrintTitleRows(int, int) {}
int TCell::ExportExcel(const QString&) { return 1; }
void TCell::PrintSheet(int, int, bool) {}
bool TCell::WorkbookReadonly() const { return readOnly_; }
void TCell::setWorkbookReadonly(bool r) { readOnly_ = r; }
const cell::Sheet& TCell::sheet() const { return *sheet_; }
void TCell::printTo(QPrinter&) {}

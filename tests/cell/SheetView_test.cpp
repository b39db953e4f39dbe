// The on-screen view: read-only, labels, fixed rows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>

#include <functional>

#include "cell/Sheet.h"
#include "cell/SheetView.h"
#include "cell/TCell.h"
#include "tests/cell/Register.h"
#include "tests/support/PaintCounter.h"

namespace {

cell::SheetView& viewOf(TCell& c) {
  auto* v = c.findChild<cell::SheetView*>();
  if (!v) throw std::runtime_error("TCell has no view");
  return *v;
}

void doubleClick(QWidget* w, QPoint at) {
  QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QMouseEvent dbl(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
  QApplication::sendEvent(w, &dbl);
}

void type(QWidget* w, const QString& text) {
  for (QChar ch : text) {
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(w, &key);
  }
}

void press(QWidget* w, Qt::Key k) {
  QKeyEvent key(QEvent::KeyPress, k, Qt::NoModifier);
  QApplication::sendEvent(w, &key);
}

class ViewTest : public testing::Test {
 protected:
  void SetUp() override {
    celltest::fillRegister(cell_, celltest::numberedProblems(60));
    cell_.resize(1000, 500);
    cell_.show();
    QApplication::processEvents();
  }
  TCell cell_;
};

}  // namespace

TEST_F(ViewTest, ReadOnlyIgnoresMouseAndKeyboardEdits) {
  cell::SheetView& v = viewOf(cell_);
  ASSERT_TRUE(cell_.WorkbookReadonly());
  const QRect reply = v.cellRect(4, 3);
  ASSERT_FALSE(reply.isEmpty());

  doubleClick(v.viewport(), reply.center());
  EXPECT_FALSE(v.isEditing());
  type(&v, QStringLiteral("x"));
  press(&v, Qt::Key_Return);
  press(&v, Qt::Key_Delete);
  EXPECT_FALSE(v.isEditing());
  EXPECT_EQ(v.viewport()->findChild<QLineEdit*>(), nullptr);
  EXPECT_EQ(cell_.sheet().text(4, 3), QString());
  EXPECT_EQ(cell_.sheet().text(1, 1), celltest::kTitle);

  // The same gestures edit once the workbook is writable.
  cell_.setWorkbookReadonly(false);
  doubleClick(v.viewport(), reply.center());
  ASSERT_TRUE(v.isEditing());
  auto* editor = v.viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  type(editor, QStringLiteral("已整改"));
  press(editor, Qt::Key_Return);
  EXPECT_FALSE(v.isEditing());
  EXPECT_EQ(cell_.sheet().text(4, 3), QStringLiteral("已整改"));

  // Typing on the current cell starts an edit too; read-only throws an open edit away.
  type(&v, QStringLiteral("丢"));
  ASSERT_TRUE(v.isEditing());
  cell_.setWorkbookReadonly(true);
  EXPECT_FALSE(v.isEditing());
  EXPECT_EQ(cell_.sheet().text(4, 3), QStringLiteral("已整改"));
}

TEST_F(ViewTest, HiddenLabelsPutTheFirstCellInTheCorner) {
  cell::SheetView& v = viewOf(cell_);
  EXPECT_EQ(v.cellRect(1, 1).topLeft(), QPoint(0, 0));
  cell_.ShowSideLabel(1);
  cell_.ShowTopLabel(1, 0);
  cell_.Redraw();
  EXPECT_GT(v.cellRect(1, 1).left(), 0);
  EXPECT_GT(v.cellRect(1, 1).top(), 0);
  EXPECT_EQ(v.cellAt(QPoint(1, 1)), std::nullopt) << "the corner is the labels'";
}

TEST_F(ViewTest, FixedRowsStayOnTopWhileTheRestScrolls) {
  cell::SheetView& v = viewOf(cell_);
  const QRect title = v.cellRect(1, 1);
  const QRect header = v.cellRect(2, 2);
  const QRect first = v.cellRect(1, 3);
  ASSERT_GT(v.verticalScrollBar()->maximum(), 0) << "60 rows need scrolling";
  v.verticalScrollBar()->setValue(v.verticalScrollBar()->maximum());
  QApplication::processEvents();

  EXPECT_EQ(v.cellRect(1, 1), title);
  EXPECT_EQ(v.cellRect(2, 2), header);
  EXPECT_LT(v.cellRect(1, 3).top(), first.top());
  // Clicks on the fixed rows find the fixed rows, clicks below find scrolled rows.
  EXPECT_EQ(v.cellAt(header.center()), std::make_pair(2, 2));
  EXPECT_EQ(v.cellAt(title.center()), std::make_pair(1, 1)) << "the title is merged from column 1";
  const int last = cell_.GetRowCount(0) - 1;
  EXPECT_EQ(v.cellAt(v.cellRect(3, last - 1).center()), std::make_pair(3, last - 1));
}

TEST_F(ViewTest, RendersChineseText) {
  cell::SheetView& v = viewOf(cell_);
  const QImage shot = cell_.grab().toImage();
  const QRect title = v.cellRect(1, 1);
  int dark = 0;
  for (int y = title.top(); y < title.bottom(); ++y)
    for (int x = title.left(); x < title.right(); ++x) dark += qGray(shot.pixel(x, y)) < 128;
  EXPECT_GT(dark, 200) << "the title is drawn";
  const QString artifacts = qEnvironmentVariable("RC_ARTIFACT_DIR");
  if (!artifacts.isEmpty() && QDir().mkpath(artifacts)) shot.save(artifacts + QStringLiteral("/cell_view.png"));
}

namespace {

void press(QWidget* w, int key, Qt::KeyboardModifiers modifiers) {
  QKeyEvent event(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(w, &event);
}

// A register of 3,000 problems, read-only as the main window shows it.
class ViewKeys : public testing::Test {
 protected:
  void SetUp() override {
    celltest::fillRegister(cell_, celltest::numberedProblems(3000));
    cell_.setWorkbookReadonly(true);
    cell_.resize(1000, 500);
    cell_.show();
    QApplication::processEvents();
    last_ = cell_.GetRowCount(0) - 1;
  }
  cell::SheetView& view() { return viewOf(cell_); }
  std::pair<int, int> current() { return view().currentCell(); }
  // The current cell lies wholly inside the viewport, and below the fixed
  // title and header rows unless it is one of them.
  bool inSight() {
    const auto [column, row] = current();
    const QRect r = view().cellRect(column, row);
    const int top = row <= 2 ? 0 : view().cellRect(1, 2).bottom();
    return view().viewport()->rect().contains(r) && r.top() >= top;
  }
  // Pixels of the current cell's blue frame inside the rectangle.
  int blue(const QRect& r) {
    const QImage shot = view().viewport()->grab().toImage();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) {
        const QColor c = shot.pixelColor(x, y);
        n += c.blue() > 150 && c.red() < 100;
      }
    return n;
  }
  // The frame is drawn around the rectangle's cell.
  bool framed(const QRect& r) { return blue(r) > r.width(); }
  TCell cell_;
  int last_ = 0;
};

}  // namespace

// The keys move the current cell as in a spreadsheet, scroll it into sight,
// and nothing becomes editable.
TEST_F(ViewKeys, MoveTheCurrentCellAsInASpreadsheet) {
  cell::SheetView& v = view();
  QScrollBar* bar = v.verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  const int signature = last_;  // merged over the data columns, anchored in column 1
  const struct {
    int key;
    Qt::KeyboardModifiers modifiers;
    std::pair<int, int> to;
  } steps[] = {
      {Qt::Key_End, Qt::ControlModifier, {1, signature}},  // the last row's merge
      {Qt::Key_Up, Qt::NoModifier, {1, signature - 1}},
      {Qt::Key_End, Qt::NoModifier, {4, signature - 1}},
      {Qt::Key_Left, Qt::NoModifier, {3, signature - 1}},
      {Qt::Key_Home, Qt::NoModifier, {1, signature - 1}},
      {Qt::Key_Left, Qt::NoModifier, {1, signature - 1}},  // stays at the first column
      {Qt::Key_Home, Qt::ControlModifier, {1, 3}},          // the first problem, under the fixed rows
      {Qt::Key_Right, Qt::NoModifier, {2, 3}},
      {Qt::Key_Down, Qt::NoModifier, {2, 4}},
      {Qt::Key_Up, Qt::NoModifier, {2, 3}},
      {Qt::Key_Up, Qt::NoModifier, {2, 2}},  // into the fixed header row
      {Qt::Key_Up, Qt::NoModifier, {1, 1}},  // the title, merged from column 1
      {Qt::Key_Up, Qt::NoModifier, {1, 1}},
  };
  for (const auto& s : steps) {
    press(&v, s.key, s.modifiers);
    EXPECT_EQ(current(), s.to) << "key " << std::hex << s.key << " modifiers " << s.modifiers.toInt();
    EXPECT_TRUE(inSight()) << "key " << std::hex << s.key;
    if (s.modifiers == Qt::ControlModifier) {
      EXPECT_EQ(bar->value(), s.key == Qt::Key_End ? bar->maximum() : 0);
    }
  }
  EXPECT_FALSE(v.isEditing());
  EXPECT_EQ(v.viewport()->findChild<QLineEdit*>(), nullptr);
}

// PageDown moves a screenful of rows on and scrolls by a screenful; PageUp
// comes back; neither passes the ends.
TEST_F(ViewKeys, PagesMoveByAScreenfulOfRows) {
  cell::SheetView& v = view();
  QScrollBar* bar = v.verticalScrollBar();
  press(&v, Qt::Key_Home, Qt::ControlModifier);
  const int shown = v.cellAt(QPoint(10, v.viewport()->height() - 1))->second - 3;  // whole rows under the header
  press(&v, Qt::Key_PageDown, Qt::NoModifier);
  const int row = current().second;
  EXPECT_EQ(row - 3, shown);
  EXPECT_NEAR(v.cellRect(1, row).top(), v.cellRect(1, 2).bottom(), 1) << "the first row not shown before is at the top";
  EXPECT_TRUE(inSight());
  press(&v, Qt::Key_PageDown, Qt::NoModifier);
  EXPECT_EQ(current().second, row + shown);
  press(&v, Qt::Key_PageUp, Qt::NoModifier);
  EXPECT_EQ(current().second, row);
  press(&v, Qt::Key_PageUp, Qt::NoModifier);
  EXPECT_EQ(current().second, 3);
  EXPECT_EQ(bar->value(), 0);
  press(&v, Qt::Key_PageUp, Qt::NoModifier);
  EXPECT_EQ(current().second, 3);

  // From the fixed header row as from the first problem row.
  press(&v, Qt::Key_Up, Qt::NoModifier);
  ASSERT_EQ(current().second, 2);
  press(&v, Qt::Key_PageDown, Qt::NoModifier);
  EXPECT_EQ(current().second, row);
  EXPECT_TRUE(inSight());

  press(&v, Qt::Key_End, Qt::ControlModifier);
  press(&v, Qt::Key_PageDown, Qt::NoModifier);
  EXPECT_EQ(current().second, last_);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_TRUE(inSight());
}

// Keys that edit an editable sheet do nothing to a read-only one, wherever
// the current cell is.
TEST_F(ViewKeys, ReadOnlyStaysReadOnly) {
  cell::SheetView& v = view();
  const QString before = cell_.sheet().text(2, 4);
  press(&v, Qt::Key_Home, Qt::ControlModifier);
  press(&v, Qt::Key_Down, Qt::NoModifier);
  press(&v, Qt::Key_Right, Qt::NoModifier);
  ASSERT_EQ(current(), std::make_pair(2, 4));
  for (int key : {int(Qt::Key_F2), int(Qt::Key_Return), int(Qt::Key_Delete)}) press(&v, key, Qt::NoModifier);
  type(&v, QStringLiteral("改"));
  EXPECT_FALSE(v.isEditing());
  EXPECT_EQ(cell_.sheet().text(2, 4), before);
}

// A read-only register shows no current cell until a key (or a click) moves
// it; then its frame is drawn where it is.
TEST_F(ViewKeys, TheCurrentCellIsFramedOnceMoved) {
  cell::SheetView& v = view();
  EXPECT_FALSE(framed(v.viewport()->rect())) << "the register as it opens";
  press(&v, Qt::Key_Home, Qt::ControlModifier);
  press(&v, Qt::Key_Right, Qt::NoModifier);
  EXPECT_TRUE(framed(v.cellRect(2, 3)));
  EXPECT_FALSE(framed(v.cellRect(1, 4)));
}

// A register filled afresh, as a new check fills it, has its current cell
// where a new register has it (the first problem row, unframed, the view at
// the top), wherever the cell was moved before: never on the title or the
// header. The same whether or not events ran while the register was empty.
TEST_F(ViewKeys, ARefilledRegisterHasTheCurrentCellOfANewOne) {
  cell::SheetView& v = view();
  const std::pair<int, int> fresh = current();
  EXPECT_EQ(fresh, std::make_pair(1, 3)) << "the first problem row";
  const struct {
    const char* what;
    std::vector<std::pair<int, Qt::KeyboardModifiers>> keys;
  } moves[] = {
      {"the last row", {{Qt::Key_End, Qt::ControlModifier}}},
      {"a problem row", {{Qt::Key_Home, Qt::ControlModifier}, {Qt::Key_Down, {}}, {Qt::Key_Right, {}}}},
      {"the header", {{Qt::Key_Home, Qt::ControlModifier}, {Qt::Key_Up, {}}}},
      {"the title", {{Qt::Key_Home, Qt::ControlModifier}, {Qt::Key_Up, {}}, {Qt::Key_Up, {}}}},
  };
  for (const bool pumped : {false, true}) {
    for (const auto& m : moves) {
      SCOPED_TRACE(std::string(m.what) + (pumped ? ", events while empty" : ""));
      for (const auto& [key, modifiers] : m.keys) press(&v, key, modifiers);
      ASSERT_TRUE(framed(v.cellRect(current().first, current().second)));
      cell_.SetRowCount(3, 0);
      if (pumped) QApplication::processEvents();
      celltest::fillRows(cell_, celltest::numberedProblems(pumped ? 40 : 3000));
      QApplication::processEvents();
      EXPECT_EQ(current(), fresh);
      EXPECT_EQ(v.verticalScrollBar()->value(), 0);
      EXPECT_EQ(blue(v.viewport()->rect()), 0) << "no frame";
      // The keys go on from there as in a new register.
      press(&v, Qt::Key_Down, Qt::NoModifier);
      EXPECT_EQ(current(), std::make_pair(1, 4));
      press(&v, Qt::Key_Up, Qt::NoModifier);
    }
  }
}

// A fill of many cells asks for its repaint once; every change still ends in
// a repaint, also one made right after something laid the view out.
TEST_F(ViewTest, EveryChangeIsPaintedAndNothingElse) {
  cell::SheetView& v = viewOf(cell_);
  PaintCounter counter(v.viewport());
  const auto paintsAfter = [&](const std::function<void()>& change) {
    const int before = counter.paints;
    change();
    QApplication::processEvents();
    return counter.paints - before;
  };
  EXPECT_EQ(paintsAfter([] {}), 0);
  EXPECT_GE(paintsAfter([&] {
              for (int i = 0; i < 200; ++i) cell_.SetCellText(2, 3 + i % 20, 0, QString::number(i));
            }),
            1);
  EXPECT_GE(paintsAfter([&] {
              cell_.SetCellText(2, 3, 0, QStringLiteral("甲"));
              v.cellRect(2, 3);  // lays the view out at once
              cell_.SetCellText(2, 4, 0, QStringLiteral("乙"));
            }),
            1);
  EXPECT_GE(paintsAfter([&] { cell_.SetRowHeight(0, 200, 5, 0); }), 1);
  EXPECT_EQ(paintsAfter([] {}), 0);
}

namespace {

// 3,000 problems whose rows differ in height (every fifth text wraps over
// several lines), so that no scroll by a fixed number of pixels can stay on
// row boundaries by chance.
std::vector<celltest::Problem> mixedProblems() {
  std::vector<celltest::Problem> out = celltest::numberedProblems(3000);
  for (std::size_t i = 0; i < out.size(); i += 5)
    out[i].description = QStringLiteral("第%1项：").arg(i + 1) + QStringLiteral("党员人数与合计不符，请核实。").repeated(4 + i % 3);
  return out;
}

void wheel(QWidget* w, QPoint angle, QPoint pixels = {}) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  QWheelEvent event(at, w->mapToGlobal(at), pixels, angle, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &event);
}

class ViewScroll : public testing::Test {
 protected:
  void SetUp() override {
    celltest::fillRegister(cell_, mixedProblems());
    cell_.resize(1000, 500);
    cell_.show();
    QApplication::processEvents();
  }
  cell::SheetView& view() { return viewOf(cell_); }
  // Where the scrolling part begins: under the fixed title and header.
  int scrollingTop() {
    const QRect header = view().cellRect(1, 2);
    return header.top() + header.height();
  }
  // The row at the top of the scrolling part and how far its top lies from
  // the part's top (0 for a whole row, negative for a row cut at the top).
  std::pair<int, int> topRow() {
    const int top = scrollingTop();
    const auto at = view().cellAt(QPoint(10, top + 1));
    if (!at) return {0, 0};
    return {at->second, view().cellRect(1, at->second).top() - top};
  }
  TCell cell_;
};

}  // namespace

// Whatever moves the view, the first row under the fixed rows is whole:
// keys, the wheel (in notches and in pixels), the scroll bar and a resize.
TEST_F(ViewScroll, TheTopScrollingRowIsAlwaysWhole) {
  cell::SheetView& v = view();
  QScrollBar* bar = v.verticalScrollBar();
  const struct {
    const char* what;
    std::function<void()> move;
    bool scrolls = true;  // the view is not where the move takes it
  } moves[] = {
      {"Ctrl+End", [&] { press(&v, Qt::Key_End, Qt::ControlModifier); }},
      {"wheel up a notch", [&] { wheel(v.viewport(), {0, 120}); }},
      {"wheel up three notches", [&] { wheel(v.viewport(), {0, 360}); }},
      {"wheel down in pixels", [&] { wheel(v.viewport(), {0, -40}, {0, -17}); }},
      {"Ctrl+Home", [&] { press(&v, Qt::Key_Home, Qt::ControlModifier); }},
      {"wheel down a notch", [&] { wheel(v.viewport(), {0, -120}); }},
      {"a step of the bar", [&] { bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
      {"a page of the bar", [&] { bar->triggerAction(QAbstractSlider::SliderPageStepAdd); }},
      {"the bar dragged", [&] { bar->setSliderPosition(bar->maximum() / 3); }},
      {"the bar to its end", [&] { bar->setValue(bar->maximum()); }},
      {"PageUp", [&] { press(&v, Qt::Key_PageUp, Qt::NoModifier); }},
      {"PageDown", [&] { press(&v, Qt::Key_PageDown, Qt::NoModifier); }},
      {"Down past the bottom",
       [&] {
         for (int i = 0; i < 40; ++i) press(&v, Qt::Key_Down, Qt::NoModifier);
       }},
      {"a lower window", [&] { cell_.resize(1000, 437); }, false},
      {"a taller window", [&] { cell_.resize(1000, 611); }, false},
      {"Ctrl+End again", [&] { press(&v, Qt::Key_End, Qt::ControlModifier); }},
  };
  int lastTop = 0;
  for (const auto& m : moves) {
    SCOPED_TRACE(m.what);
    const int before = bar->value();
    m.move();
    QApplication::processEvents();
    if (m.scrolls) {
      EXPECT_NE(bar->value(), before);
    }
    const auto [row, offset] = topRow();
    EXPECT_GT(row, 2);
    EXPECT_NEAR(offset, 0, 1) << "row " << row;
    lastTop = row;
  }
  // Ctrl+End shows the last row whole, from the lowest top row that does:
  // one row more above it would push the last row out of sight.
  const int last = cell_.GetRowCount(0) - 1;
  const int bottom = v.cellRect(1, last).bottom();
  EXPECT_LT(bottom, v.viewport()->height());
  EXPECT_EQ(bar->value(), bar->maximum());
  ASSERT_GT(lastTop, 3);
  EXPECT_GE(bottom + v.cellRect(1, lastTop - 1).height(), v.viewport()->height());
}

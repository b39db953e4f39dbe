// The on-screen view: read-only, labels, fixed rows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>

#include "cell/Sheet.h"
#include "cell/SheetView.h"
#include "cell/TCell.h"
#include "tests/cell/Register.h"

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

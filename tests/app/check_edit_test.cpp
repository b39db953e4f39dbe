// The main window's own small helpers: cutting a text and the row identifier.
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "app/UCheckEdit.h"
#include "tests/support/QStringPrint.h"

TEST(TextsMisc, SubTextAndNewIdText) {
  EXPECT_EQ(TFmCheckEdit::SubText("{ABC}", 2, 3), "ABC");
  EXPECT_EQ(TFmCheckEdit::SubText("ABC", 2, 10), "BC");
  EXPECT_EQ(TFmCheckEdit::SubText("ABC", 4, 1), "");
  EXPECT_EQ(TFmCheckEdit::SubText("ABC", 0, 2), "AB");
  const QString a = TFmCheckEdit::NewIdText();
  const QString b = TFmCheckEdit::NewIdText();
  EXPECT_NE(a, b);
  EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")
                  .match(a)
                  .hasMatch())
      << a.toStdString();
}

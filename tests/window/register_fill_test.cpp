// The register fill on its own, from a plain list of rows: no database.
#include <gtest/gtest.h>

#include "app/ProblemRegister.h"
#include "app/Texts.h"
#include "cell/Sheet.h"
#include "cell/TCell.h"
#include "platform/database.h"

namespace {

// The fill on its own, from a plain list, in the order of the register.
TEST(RegisterFill, CallsReachTheSheetWithoutADatabase) {
  TCell c;
  c.SetColumnCount(5, 0);
  c.SetRowCount(3, 0);
  const std::vector<problem_register::ProblemRow> rows = {
      {QStringLiteral("第1表"), QStringLiteral("一"), QStringLiteral("甲")},
      {QStringLiteral("第2表"), QStringLiteral("二"), QStringLiteral("乙")}};
  size_t i = 0;
  problem_register::fill(c, [&](problem_register::ProblemRow& row) {
    if (i == rows.size()) return false;
    row = rows[i++];
    return true;
  });
  EXPECT_EQ(c.GetRowCount(0), 6);
  EXPECT_EQ(c.sheet().text(2, 4), QStringLiteral("二"));
  EXPECT_EQ(c.sheet().text(1, 5), texts::kSignature);
}

TEST(RegisterFill, AFailingSourceKeepsTheRowsSoFarWithoutSignature) {
  TCell c;
  c.SetColumnCount(5, 0);
  c.SetRowCount(3, 0);
  int n = 0;
  EXPECT_THROW(problem_register::fill(c,
                                      [&](problem_register::ProblemRow& row) -> bool {
                                        if (n++ == 2) throw platform::db::DbError(QStringLiteral("lost"));
                                        row = {QStringLiteral("第1表"), QStringLiteral("x"), QString()};
                                        return true;
                                      }),
               platform::db::DbError);
  EXPECT_EQ(c.GetRowCount(0), 5);
  EXPECT_EQ(c.sheet().text(2, 4), QStringLiteral("x"));
  EXPECT_TRUE(c.sheet().pageTexts().centre.isEmpty());
  EXPECT_FALSE(c.sheet().printTitleRows().has_value());
}

}  // namespace

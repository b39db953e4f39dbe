// Text literals as every statement writes its values: single quotes around,
// each inner quote doubled, nothing else touched.
#include <gtest/gtest.h>

#include "check/SqlText.h"
#include "tests/support/QStringPrint.h"

TEST(SqlText, QuotedLiteralsDoubleEveryInnerQuote) {
  const struct {
    QString value;
    QString literal;
  } cases[] = {
      {QString(), "''"},
      {"", "''"},
      {"abc", "'abc'"},
      {"'", "''''"},
      {"''", "''''''"},
      {"O'Neil", "'O''Neil'"},
      {"'a'b'", "'''a''b'''"},
      {"x\\', 1); --", "'x\\'', 1); --'"},  // a backslash stays as it is
      {"中'文", "'中''文'"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(check::quoteLiteral(c.value), c.literal) << c.value.toStdString();
    QString appended = QStringLiteral("values (");
    check::appendQuoted(appended, c.value);
    EXPECT_EQ(appended, QStringLiteral("values (") + c.literal);
  }
  EXPECT_EQ(check::quotedCodeList({"A", "B'"}), "'A','B''','1'");
}

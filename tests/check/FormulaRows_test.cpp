// The formula check's statement and its row rules, without a database.
#include <QLocale>

#include <gtest/gtest.h>

#include <vector>

#include "check/FormulaCheck.h"
#include "check/ProblemTexts.h"
#include "tests/support/GoldenSql.h"
#include "tests/support/QStringPrint.h"
#include "tests/support/ScopedLocale.h"

namespace {

struct Stored {
  QString rptId, label, text, category, reply;
  bool operator==(const Stored&) const = default;
};
void PrintTo(const Stored& s, std::ostream* os) {
  *os << '{' << s.rptId.toStdString() << " | " << s.label.toStdString() << " | "
      << s.text.toStdString() << " | " << s.category.toStdString() << '}';
}

std::vector<Stored> rowsFor(const check::FormulaBreach& b) {
  std::vector<Stored> out;
  check::storeBreach(b, [&out](const QString& rptId, const QString& label, const QString& text,
                               const QString& category, const QString& reply) {
    out.push_back({rptId, label, text, category, reply});
  });
  return out;
}

}  // namespace

TEST(FormulaStatement, ThreeFilterForms) {
  EXPECT_EQ(check::formulaStatement({}), golden::formulaStatement(QString()));
  EXPECT_EQ(check::formulaStatement({"001.002"}),
            golden::formulaStatement(" AND D0107 = '001.002'"));
  EXPECT_EQ(check::formulaStatement({"A", "B"}),
            golden::formulaStatement(" and D0107 IN ( 'A','B','1')"));
  EXPECT_EQ(check::formulaStatement({"O'Neil"}), golden::formulaStatement(" AND D0107 = 'O''Neil'"));
  EXPECT_EQ(check::formulaStatement({"a'b", "c''d", "e"}),
            golden::formulaStatement(" and D0107 IN ( 'a''b','c''''d','e','1')"));
}

TEST(FormulaRows, RowRulesTable) {
  const QString label7 = QStringLiteral("第7表");
  const struct {
    const char* name;
    check::FormulaBreach breach;
    std::vector<Stored> rows;
  } cases[] = {
      {"no $V: category of the type, empty value",
       {"14", "单位甲", "$D期末数不等", "18000700", "5", "6"},
       {{"18000700", label7, "单位甲期末数不等", "校核未通过", ""}}},
      {"$V at the end, 150/100",
       {"11", "单位甲", "$D增幅$V", "18000700", "150", "100"},
       {{"18000700", label7, "单位甲增幅50.00%", "需要审核", ""}}},
      {"$V at the end, 1/3",
       {"11", "单位甲", "$D增幅$V", "18000700", "1", "3"},
       {{"18000700", label7, "单位甲增幅-66.67%", "需要审核", ""}}},
      {"$V at the end, right sum 0", {"11", "单位甲", "$D增幅$V", "18000700", "5", "0"}, {}},
      {"a tail becomes the category, the value is the left sum",
       {"11", "单位甲", "$D占比$V 比重大的要审核", "18000700", "150", "0"},
       {{"18000700", label7, "单位甲占比150", "比重大的要审核", ""}}},
      {"a tail of blanks and control characters is empty",
       {"11", "单位甲", "$D增幅$V \t\r\n ", "18000700", "150", "100"},
       {{"18000700", label7, "单位甲增幅50.00%", "需要审核", ""}}},
      {"a full-width blank makes a tail",
       {"11", "单位甲", "$D增幅$V　", "18000700", "150", "100"},
       {{"18000700", label7, "单位甲增幅150", "　", ""}}},
      {"two $V: the second stays in the tail",
       {"11", "单位甲", "$D为$V，应$V审核", "18000700", "3", "1"},
       {{"18000700", label7, "单位甲为3", "，应$V审核", ""}}},
      {"type 3 expression",
       {"3", "单位甲", "R1C1=R2C1", "18000400", "3", "1"},
       {{"18000400", "第4表", "单位甲 A1等于A2", "原库中表内校核(未通过)", ""}}},
      {"type 4 expression",
       {"4", "单位乙", "T17000400R12C3=T17000500R3C3", "18001900", "3", "1"},
       {{"18001900", "第19表", "单位乙 4表C12等于5表C3", "原库中表间校核(未通过)", ""}}},
  };
  for (const auto& c : cases) EXPECT_EQ(rowsFor(c.breach), c.rows) << c.name;
}

TEST(FormulaRows, PercentageUsesPointWhateverTheLocale) {
  const ScopedDefaultLocale german(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(check::breachPercentage("1", "3"), "-66.67%");
  EXPECT_EQ(check::breachPercentage("150", "100"), "50.00%");
  EXPECT_EQ(check::breachPercentage("-5", "0"), "0");
  EXPECT_EQ(check::breachPercentage("1000000", "1000001"), "0.00%");  // no "-0.00"
}

TEST(FormulaRows, FailuresLeaveByException) {
  EXPECT_THROW(rowsFor({"11", "X", "$D$V", "18000700", "1.5", "3"}), check::TextError);
  EXPECT_THROW(rowsFor({"11", "X", "$D$V 尾", "18000700", "5", "x"}), check::TextError);
  EXPECT_THROW(rowsFor({"x", "X", "$D", "18000700", "5", "3"}), check::TextError);
  EXPECT_THROW(rowsFor({"3", "X", "R1C1", "18000700", "5", "3"}), check::TextError);
  EXPECT_THROW(rowsFor({"11", "X", "$D", "abc", "5", "3"}), check::TextError);
}

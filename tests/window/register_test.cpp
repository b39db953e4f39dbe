// Filling the problem register from TMP_CONTENT.
#include "app/ProblemRegister.h"
#include "app/Texts.h"
#include "tests/window/WindowFixture.h"

namespace {

using cell::Edge;
using cell::HAlign;
using cell::Range;

class RegisterTest : public WindowTest {
 protected:
  // Checks the signature row g and what follows it: row count g + 1,
  // the merged right-aligned text, no side or inner lines, page settings.
  void expectSignatureRow(int g) {
    EXPECT_EQ(sheet().rowCount(), g + 1);
    EXPECT_EQ(window->cell().GetRowCount(0), g + 1);
    EXPECT_EQ(sheet().text(1, g), texts::kSignature);
    EXPECT_EQ(texts::kSignature.size(), 28);
    EXPECT_EQ(sheet().mergeAt(1, g), (Range{0, g, 4, g}));
    EXPECT_EQ(sheet().hAlign(1, g), HAlign::Right);
    EXPECT_FLOAT_EQ(sheet().fontSize(1, g), 12.0f);
    EXPECT_EQ(sheet().rowHeight(g), 100);
    EXPECT_FALSE(sheet().border(1, g, Edge::Left));
    EXPECT_FALSE(sheet().border(4, g, Edge::Right));
    for (int c = 1; c < 4; ++c) EXPECT_FALSE(sheet().border(c, g, Edge::Right)) << c;
    EXPECT_TRUE(sheet().border(2, g, Edge::Top)) << "a line closes the table above the signature";
    // The grid was drawn down to row g before the row existed; the line under
    // the signature text is what the reviewer signs on.
    for (int c = 1; c <= 4; ++c) EXPECT_TRUE(sheet().border(c, g, Edge::Bottom)) << c;
    EXPECT_EQ(sheet().pageTexts().left, QString());
    EXPECT_EQ(sheet().pageTexts().centre, texts::kPageTexts);
    EXPECT_EQ(sheet().pageTexts().right, QString());
    EXPECT_EQ(sheet().printTitleRows(), (std::pair<int, int>(1, 2)));
  }
};

TEST_F(RegisterTest, NoProblemsPutsTheSignatureUnderTheHeader) {
  createProblemTable();
  window->Datetocell();
  expectSignatureRow(3);
  EXPECT_EQ(sheet().rowCount(), 4);
  EXPECT_EQ(rowText(2), QStringLiteral("表号|问题描述|类别|回复情况"));
  // The header row got its fitted height: enough for its one line of text.
  EXPECT_EQ(sheet().rowHeight(2), sheet().fitRowHeight(2));
}

TEST_F(RegisterTest, ProblemsAreListedByTemplateCategoryAndText) {
  createProblemTable();
  // Inserted out of order; ties on RPTID and CONTENTTYPE are broken by the text.
  addProblems({
      {QStringLiteral("17000003"), QStringLiteral("第3表"), QStringLiteral("乙单位：问题"),
       QStringLiteral("表内审核")},
      {QStringLiteral("17000001"), QStringLiteral("第1表"), QStringLiteral("B: it's quoted"),
       QStringLiteral("表间审核")},
      {QStringLiteral("17000001"), QStringLiteral("第1表"), QStringLiteral("A: first"),
       QStringLiteral("表间审核")},
      {QStringLiteral("17000001"), QStringLiteral("第1表"), QStringLiteral("Z: last text"),
       QStringLiteral("合理性审核")},
      {QStringLiteral("17000010"), QStringLiteral("第10表"), QStringLiteral("甲单位：问题"),
       QStringLiteral("")},
  });
  // A NULL category reads as an empty text.
  db.exec(QStringLiteral("UPDATE TMP_CONTENT SET CONTENTTYPE = NULL WHERE RPTID = '17000010'"));
  window->Datetocell();

  // The database compares bytes: "合理性审核" (E5 90 88) < "表间审核" (E8 A1 A8).
  const QStringList expected = {
      QStringLiteral("第1表|Z: last text|合理性审核|"),
      QStringLiteral("第1表|A: first|表间审核|"),
      QStringLiteral("第1表|B: it's quoted|表间审核|"),
      QStringLiteral("第3表|乙单位：问题|表内审核|"),
      QStringLiteral("第10表|甲单位：问题||"),
  };
  ASSERT_EQ(sheet().rowCount(), 3 + expected.size() + 1);
  for (int i = 0; i < expected.size(); ++i) {
    const int r = 3 + i;
    EXPECT_EQ(rowText(r), expected[i]) << "row " << r;
    for (int c = 1; c <= 3; ++c) {
      EXPECT_EQ(sheet().hAlign(c, r), HAlign::Left) << c << "," << r;
      EXPECT_EQ(sheet().vAlign(c, r), cell::VAlign::Centre) << c << "," << r;
    }
    EXPECT_TRUE(sheet().wraps(2, r));
    EXPECT_FALSE(sheet().wraps(1, r));
    EXPECT_FALSE(sheet().wraps(3, r));
    // Grid over columns 1 to 4, the empty reply column included.
    for (int c = 1; c <= 4; ++c) {
      EXPECT_TRUE(sheet().border(c, r, Edge::Left)) << c << "," << r;
      EXPECT_TRUE(sheet().border(c, r, Edge::Bottom)) << c << "," << r;
    }
    EXPECT_TRUE(sheet().border(4, r, Edge::Right));
  }
  expectSignatureRow(3 + static_cast<int>(expected.size()));
}

TEST_F(RegisterTest, LongDescriptionsWrapAndGrowTheirRows) {
  createProblemTable();
  const QString longText =
      QStringLiteral("某某县委组织部：第2表第12行第3列的值应当等于第13行至第20行第3列之和，"
                     "实际相差 37 人，请逐项核对各基层党组织的上报数据后重新汇总上报。")
          .repeated(3);
  addProblems({
      {QStringLiteral("17000001"), QStringLiteral("第1表"), QStringLiteral("短"),
       QStringLiteral("表内审核")},
      {QStringLiteral("17000002"), QStringLiteral("第2表"), longText, QStringLiteral("表内审核")},
  });
  window->Datetocell();
  ASSERT_EQ(rowText(4), QStringLiteral("第2表|") + longText + QStringLiteral("|表内审核|"));
  const int shortRow = sheet().rowHeight(3);
  const int longRow = sheet().rowHeight(4);
  EXPECT_EQ(longRow, sheet().fitRowHeight(4));
  EXPECT_GE(longRow, 3 * shortRow) << "a text of several lines needs several line heights";
  EXPECT_EQ(shortRow, sheet().fitRowHeight(3));
}

TEST_F(RegisterTest, ASecondFillRebuildsFromRowThree) {
  createProblemTable();
  addProblems({{QStringLiteral("17000001"), QStringLiteral("第1表"), QStringLiteral("旧问题一"),
                QStringLiteral("表内审核")},
               {QStringLiteral("17000001"), QStringLiteral("第1表"), QStringLiteral("旧问题二"),
                QStringLiteral("表内审核")},
               {QStringLiteral("17000001"), QStringLiteral("第1表"), QStringLiteral("旧问题三"),
                QStringLiteral("表内审核")}});
  window->Datetocell();
  ASSERT_EQ(sheet().rowCount(), 7);

  // The next check run: the table is made anew, the sheet cut back to title and header.
  db.exec(QStringLiteral("DELETE FROM TMP_CONTENT"));
  addProblems({{QStringLiteral("17000005"), QStringLiteral("第5表"), QStringLiteral("新问题"),
                QStringLiteral("逻辑性审核")}});
  window->cell().SetRowCount(3, 0);
  window->Datetocell();

  EXPECT_EQ(rowText(3), QStringLiteral("第5表|新问题|逻辑性审核|"));
  expectSignatureRow(4);
  EXPECT_FALSE(sheet().mergeAt(1, 6).has_value()) << "the old signature row is gone";
  // The title merge and the new signature merge only.
  EXPECT_EQ(sheet().merges().size(), 2u);
}

TEST_F(RegisterTest, AMissingProblemTableFailsBeforeTouchingTheSheet) {
  const QStringList before = snapshot();
  EXPECT_THROW(window->Datetocell(), platform::db::DbError);
  EXPECT_EQ(snapshot(), before);
}

}  // namespace

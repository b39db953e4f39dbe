// The statements of a rule file and running them, against the test cluster
// (the template lists of an empty rptId come from RPTTEMPLATE).
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "check/RuleImport.h"
#include "tests/check/CheckFixture.h"
#include "tests/import/ImportTestUtil.h"
#include "xml/XmlErrors.h"

using ruleimport::StatementLists;

namespace {

const QString F = QStringLiteral(
    "insert into TMP_FORMULA (I_CHECKTYPE,S_FDESCRIBE,I_FRELATE,S_FSORT,S_FTMID,S_OSTINT,"
    "I_ORELATE,S_OEXCEPT1,S_OEXCEPT2,S_FID) values (");
const QString E = QStringLiteral(
    "insert into TMP_FORMULAELEMENT(I_TYPE,I_LINE,S_BTIME,S_ETIME,S_TIME,I_BALANCE,S_TEMID,"
    "I_COL,I_ROW,S_FRMLID) values (");

class RuleImport : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    // Two templates of the expansion; the others fail its type or its "00" end.
    db.exec("INSERT INTO RPTTEMPLATE (RPTID, TYPE) VALUES ('18000200','1800'), "
            "('18000100','1800'), ('18000401','1800'), ('17000100','1700'), ('18000300','1700')");
  }
  void import(const QString& path) {
    ruleimport::importCheckPlan(path, qry, lists(), newId);
  }
  StatementLists lists() { return {formulas, elements}; }
  QString file(const std::string& bytes) {
    const QString path = dir.filePath(QStringLiteral("plan%1.xml").arg(++files_));
    writeBytes(path, bytes);
    return path;
  }

  TestDatabase db;
  platform::db::Query qry{db.connection()};
  QTemporaryDir dir;
  QStringList formulas, elements;
  int ids = 0;
  ruleimport::NewId newId = [this] { return QStringLiteral("ID%1").arg(++ids); };

 private:
  int files_ = 0;
};

}  // namespace

// The same plan in GBK with CR LF and in UTF-8 gives the same statements, field
// by field; the lines, serials, keys and template expansion as the rule file says.
TEST_F(RuleImport, StatementsOfAPlanInEitherEncoding) {
  const QStringList expectedFormulas{
      F + "'14','$D：党员&团员 ''A'' 不等','2','0','18000700','001','99999','001.001.002','O''2','F1_ID1')",
      // Empty first rptId: one row per template, serials 1 and 2, keys suffixed 0 and 1.
      F + "'11','$D无数据','4','1','18000100','','3','','','F''2_ID20')",
      F + "'11','$D无数据','4','2','18000200','','3','','','F''2_ID21')",
      // The serial moved on by one more after the expansion; an empty control.
      F + "'13','$D$V','1','4','18001500','','99999','','','F3_ID3')",
  };
  const QStringList expectedElements{
      // itype 0, 0, 1: lines 0 and 1 on the left, 0 on the right.
      E + "'0','0','20160101','20161231','本年','1','18000700','4','3','F1_ID1')",
      E + "'0','1','20160101','20161231','本年','-1','18000700','4','4','F1_ID1')",
      E + "'1','0','20150101','20151231','本年','1','18000800','2','5','F1_ID1')",
      E + "'0','0','20160101','20161231','2016','1','18000100','1','1','F''2_ID20')",
      E + "'0','0','20160101','20161231','2016','1','18000200','1','1','F''2_ID21')",
      // A named template in an expanded formula keeps the plain key.
      E + "'1','0','20160101','20161231','2016','1','18000400','1','2','F''2_ID2')",
      E + "'2','0','','','2016','1','18001500','7','1','F3_ID3')",
  };
  for (const char* name : {"plan_gbk.xml", "plan_utf8.xml"}) {
    SCOPED_TRACE(name);
    formulas.clear();
    elements.clear();
    ids = 0;
    StatementLog log(db.connection());
    import(importData(name));
    EXPECT_EQ(formulas, expectedFormulas);
    EXPECT_EQ(elements, expectedElements);
    // Only the two template lists were sent, each once, as written.
    EXPECT_EQ(log.sent, (QStringList{ruleimport::kElementTemplatesSql,
                                     ruleimport::kFormulaTemplatesSql}));
  }
  EXPECT_EQ(ruleimport::kElementTemplatesSql,
            "SELECT RPTID  FROM RPTTEMPLATE WHERE TYPE ='1800' AND RPTID  LIKE '%00' order by rptid");
  EXPECT_EQ(ruleimport::kFormulaTemplatesSql,
            "SELECT RPTID FROM RPTTEMPLATE WHERE TYPE ='1800' AND RPTID  LIKE '%00' order by rptid");
}

TEST_F(RuleImport, AppendsToWhatTheListsHold) {
  formulas << "kept";
  elements << "kept too";
  import(importData("plan_gbk.xml"));
  EXPECT_EQ(formulas.size(), 5);
  EXPECT_EQ(formulas.front(), "kept");
  EXPECT_EQ(elements.front(), "kept too");
}

TEST_F(RuleImport, ExpansionWithoutTemplatesGivesNoFormulaRowButMovesTheSerial) {
  db.exec("DELETE FROM RPTTEMPLATE");
  auto formula = [](const char* id, const char* rptId) {
    return std::string("<formula id=\"") + id + "\" type=\"14\"><content>c</content><control/>"
           "<item operator=\"2\"><element itype=\"0\" row=\"1\" col=\"1\" rptId=\"" + rptId +
           "\"/></item></formula>";
  };
  import(file("<plan>" + formula("A", "") + formula("B", "18000700") + "</plan>"));
  EXPECT_EQ(formulas, QStringList{F + "'14','c','2','1','18000700','','99999','','','B_ID2')"});
  EXPECT_EQ(elements, QStringList{E + "'0','0','','','','','18000700','1','1','B_ID2')"});
}

TEST_F(RuleImport, AFormulaWithoutElementsTakesNoTemplateFromTheOneBefore) {
  import(file("<plan><f id=\"A\" type=\"14\"><content>a</content><control/><item operator=\"2\">"
              "<element itype=\"0\" row=\"1\" col=\"1\" rptId=\"18000700\"/></item></f>"
              "<f id=\"B\" type=\"14\"><content>b</content><control/><item operator=\"2\"/></f>"
              "</plan>"));
  // B's rows are those of an empty template id: one per template, no elements.
  EXPECT_EQ(formulas, (QStringList{F + "'14','a','2','0','18000700','','99999','','','A_ID1')",
                                   F + "'14','b','2','1','18000100','','99999','','','B_ID20')",
                                   F + "'14','b','2','2','18000200','','99999','','','B_ID21')"}));
  EXPECT_EQ(elements.size(), 1);
}

TEST_F(RuleImport, RootWithoutChildrenGivesNothing) {
  StatementLog log(db.connection());
  import(file("<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<plan/>\r\n"));
  EXPECT_TRUE(formulas.isEmpty());
  EXPECT_TRUE(elements.isEmpty());
  EXPECT_TRUE(log.sent.isEmpty());
}

// Every failure raises; what was appended before it stays with importCheckPlan
// and is dropped by importRuleFile.
TEST_F(RuleImport, FailuresRaiseAndKeepOrDropWhatCameBefore) {
  const std::string good =
      "<formula id=\"G\" type=\"14\"><content>g</content><control/><item operator=\"2\">"
      "<element itype=\"0\" row=\"1\" col=\"1\" rptId=\"18000700\"/></item></formula>";
  const struct {
    const char* name;
    std::string file;  // empty: no file at all
    bool xmlError;
    int formulasBefore;
  } cases[] = {
      {"missing file", "", true, 0},
      {"not well formed", "<plan>" + good + "<formula>", true, 0},
      {"no root element", "<?xml version=\"1.0\"?><!-- nothing -->", true, 0},
      {"no content", "<plan>" + good + "<f id=\"B\"><control/><item/></f></plan>", false, 1},
      {"no control", "<plan>" + good + "<f id=\"B\"><content/><item/></f></plan>", false, 1},
      {"no item", "<plan>" + good + "<f id=\"B\"><content/><control/></f></plan>", false, 1},
      {"a comment as a formula", "<plan>" + good + "<!-- c --></plan>", false, 1},
      {"empty itype", "<plan>" + good + "<f><content/><control/><item><element rptId=\"18000700\"/>"
                      "</item></f></plan>", true, 1},
      {"itype no whole number", "<plan>" + good + "<f><content/><control/><item>"
                                "<element rptId=\"1\" itype=\"1.5\"/></item></f></plan>", true, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = c.file.empty() ? dir.filePath("absent.xml") : file(c.file);
    formulas.clear();
    elements.clear();
    if (c.xmlError) {
      EXPECT_THROW(import(path), xml::XmlError);
    } else {
      EXPECT_THROW(import(path), ruleimport::RuleFileError);
    }
    EXPECT_EQ(formulas.size(), c.formulasBefore);
    EXPECT_EQ(elements.size(), c.formulasBefore);

    formulas << "earlier";
    EXPECT_ANY_THROW(ruleimport::importRuleFile(path, qry, lists(), newId));
    EXPECT_TRUE(formulas.isEmpty());
    EXPECT_TRUE(elements.isEmpty());
  }
}

TEST_F(RuleImport, FailingTemplateQueryRaisesTheDatabaseError) {
  db.exec("DROP TABLE RPTTEMPLATE");
  EXPECT_THROW(import(importData("plan_gbk.xml")), platform::db::DbError);
  EXPECT_EQ(formulas.size(), 1);  // F1 was built before F'2 needed the list
}

// Running the lists: formulas first, then elements; values with quotes stored
// intact; LastImportSql follows the formula statements only.
TEST_F(RuleImport, RunStoresTheRowsAndEmptiesTheLists) {
  Fixture(db).workingTables();
  import(importData("plan_gbk.xml"));
  const QString lastFormula = formulas.back();
  StatementLog log(db.connection());
  QString last;
  ruleimport::runImportStatements(qry, lists(), &last);
  EXPECT_EQ(last, lastFormula + "\n");
  EXPECT_TRUE(formulas.isEmpty());
  EXPECT_TRUE(elements.isEmpty());
  ASSERT_EQ(log.sent.size(), 11);
  EXPECT_TRUE(log.sent[3].startsWith("insert into TMP_FORMULA "));
  EXPECT_TRUE(log.sent[4].startsWith("insert into TMP_FORMULAELEMENT("));

  EXPECT_EQ(db.rows("SELECT S_FID,I_CHECKTYPE,S_FDESCRIBE,I_FRELATE,S_FSORT,S_FTMID,S_OSTINT,"
                    "I_ORELATE,S_OEXCEPT1,S_OEXCEPT2 FROM TMP_FORMULA ORDER BY S_FSORT"),
            (QStringList{"F1_ID1|14|$D：党员&团员 'A' 不等|2|0|18000700|001|99999|001.001.002|O'2",
                         "F'2_ID20|11|$D无数据|4|1|18000100||3||",
                         "F'2_ID21|11|$D无数据|4|2|18000200||3||",
                         "F3_ID3|13|$D$V|1|4|18001500||99999||"}));
  QStringList elementRows = db.rows(
      "SELECT S_FRMLID,I_TYPE,I_LINE,S_BTIME,S_ETIME,S_TIME,S_DESCRIBE,S_TEMID,I_COL,I_ROW,"
      "I_BALANCE,S_LFIX,S_RFIX FROM TMP_FORMULAELEMENT");
  elementRows.sort();  // in code-point order, whatever the database's collation
  EXPECT_EQ(elementRows,
            (QStringList{"F'2_ID20|0|0|20160101|20161231|2016||18000100|1|1|1||",
                         "F'2_ID21|0|0|20160101|20161231|2016||18000200|1|1|1||",
                         "F'2_ID2|1|0|20160101|20161231|2016||18000400|1|2|1||",
                         "F1_ID1|0|0|20160101|20161231|本年||18000700|4|3|1||",
                         "F1_ID1|0|1|20160101|20161231|本年||18000700|4|4|-1||",
                         "F1_ID1|1|0|20150101|20151231|本年||18000800|2|5|1||",
                         "F3_ID3|2|0|||2016||18001500|7|1|1||"}));

  // Without the LastImportSql update (the single-file command) it stays.
  import(importData("plan_gbk.xml"));
  ruleimport::runImportStatements(qry, lists());
  EXPECT_EQ(last, lastFormula + "\n");
  EXPECT_EQ(db.column("SELECT COUNT(*) FROM TMP_FORMULA"), QStringList{"8"});
}

TEST_F(RuleImport, LastImportSqlNamesTheStatementToBlame) {
  Fixture(db).workingTables();
  const std::string element = "<element itype=\"0\" row=\"1\" col=\"1\" rptId=\"18000700\"/>";
  const std::string badElement = "<element itype=\"1\" row=\"x\" col=\"1\" rptId=\"18000700\"/>";
  auto formula = [](const std::string& type, const std::string& els) {
    return "<f id=\"K\" type=\"" + type + "\"><content/><control/><item operator=\"2\">" + els +
           "</item></f>";
  };
  const struct {
    const char* name;
    std::string plan;
    int blamed;  // index of the formula statement LastImportSql holds
    int formulaRows;  // rows in TMP_FORMULA afterwards
  } cases[] = {
      // A refused formula statement: that statement, and nothing after it.
      {"formula refused", "<p>" + formula("14", element) + formula("x", element) +
                              formula("14", element) + "</p>", 1, 1},
      // A refused element statement: the file's last formula statement.
      {"element refused", "<p>" + formula("14", element + badElement) + formula("14", element) +
                              "</p>", 1, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    db.exec("DELETE FROM TMP_FORMULA");
    db.exec("DELETE FROM TMP_FORMULAELEMENT");
    const QString path = file(c.plan);
    import(path);
    const QString blamed = formulas[c.blamed];
    QString last = "earlier";
    EXPECT_THROW(ruleimport::runImportStatements(qry, lists(), &last), platform::db::DbError);
    EXPECT_EQ(last, blamed + "\n");
    EXPECT_EQ(db.column("SELECT COUNT(*) FROM TMP_FORMULA"), QStringList{QString::number(c.formulaRows)});
    EXPECT_FALSE(formulas.isEmpty());  // runImportStatements keeps the lists on failure

    // importRuleFile drops them.
    formulas.clear();
    elements.clear();
    db.exec("DELETE FROM TMP_FORMULA");
    db.exec("DELETE FROM TMP_FORMULAELEMENT");
    EXPECT_THROW(ruleimport::importRuleFile(path, qry, lists(), newId, &last), platform::db::DbError);
    EXPECT_TRUE(formulas.isEmpty());
    EXPECT_TRUE(elements.isEmpty());
    // ... and nothing of the failed file stays in the tables.
    EXPECT_EQ(db.column("SELECT COUNT(*) FROM TMP_FORMULA"), QStringList{"0"});
    EXPECT_EQ(db.column("SELECT COUNT(*) FROM TMP_FORMULAELEMENT"), QStringList{"0"});
  }

  // A file that fails before any statement is sent leaves it as it was.
  QString last = "from before";
  EXPECT_ANY_THROW(ruleimport::importRuleFile(file("<p>"), qry, lists(), newId, &last));
  EXPECT_EQ(last, "from before");
}

// The side decides the counter: above 0 is the right side, 0 and below the left.
TEST_F(RuleImport, LinesAreCountedPerSideByTheSignOfItype) {
  std::string els;
  for (const char* itype : {"-1", "0", "2", "1", "0"})
    els += std::string("<element rptId=\"18000700\" row=\"1\" col=\"1\" itype=\"") + itype + "\"/>";
  import(file(planWith("<content/><control/><item>" + els + "</item>")));
  QStringList lines;
  for (const QString& e : elements) lines << e.mid(E.size()).section(QLatin1Char(','), 0, 1);
  EXPECT_EQ(lines, (QStringList{"'-1','0'", "'0','1'", "'2','0'", "'1','1'", "'0','2'"}));
}

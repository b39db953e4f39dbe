#include "check/WorkingTables.h"

#include <QFileInfo>

#include "check/CheckTexts.h"

namespace check {

const QString kElementExistsSql =
    QStringLiteral("SELECT * FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME ='TMP_FORMULAELEMENT'");
const QString kFormulaExistsSql =
    QStringLiteral("SELECT * FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME ='TMP_FORMULA'");
const QString kDropElementSql = QStringLiteral("drop table TMP_FORMULAELEMENT");
const QString kDropFormulaSql = QStringLiteral("drop table TMP_FORMULA");

const QString kCreateElementSql = QStringLiteral(
    "CREATE TABLE TMP_FORMULAELEMENT(S_FRMLID VARCHAR(200), I_TYPE INTEGER DEFAULT 0, I_LINE "
    "INTEGER, S_BTIME VARCHAR(100), S_ETIME VARCHAR(100), S_TIME VARCHAR(100), S_DESCRIBE "
    "VARCHAR(200), S_TEMID VARCHAR(100), I_COL INTEGER, I_ROW INTEGER, I_BALANCE INTEGER DEFAULT "
    "1, S_LFIX VARCHAR(100), S_RFIX VARCHAR(100), PRIMARY KEY(S_FRMLID, I_TYPE, I_LINE))");
const QString kCreateFormulaSql = QStringLiteral(
    "CREATE TABLE TMP_FORMULA(S_FID VARCHAR(300), I_CHECKTYPE INTEGER, S_FDESCRIBE "
    "VARCHAR(1000), I_FRELATE INTEGER, S_FSORT INTEGER, S_FTMID VARCHAR(100),S_OSTINT "
    "VARCHAR(500), I_ORELATE INTEGER, S_OEXCEPT1 VARCHAR(500), S_OEXCEPT2 VARCHAR(500),PRIMARY "
    "KEY(S_FID));");

// Formulas of the database's own check rules of type 3 and 4 (templates 17...):
// they get no organisation bound and the scope code 99999.
const QString kCopyFormulasSql = QStringLiteral(
    "INSERT INTO TMP_FORMULA SELECT "
    "A.RPTID||'_'||CAST(A.CHECKID AS TEXT)||'_'||CAST(B.FORMULAID AS TEXT),A.CHECKTYPE, "
    "B.EXPRESSION,CASE B.RELATION WHEN '<' THEN 0 WHEN '<=' THEN 1 WHEN '=' THEN 2 WHEN '>=' "
    "THEN 3 WHEN '>' THEN 4 WHEN '<>' THEN 5 END, 0,A.RPTID, '', '99999', '', '' FROM "
    "RPTCHECKRULE A, RPTFORMULA B WHERE A.RPTID = B.RPTID AND A.CHECKID = B.CHECKID AND "
    "A.CHECKTYPE IN ('3', '4')AND A.RPTID LIKE '17%'");

// Their elements (templates 1800...): the cell comes from an expression such
// as "T18000700R12C3" once the 9-character table prefix and the signs are gone.
const QString kCopyElementsSql = QStringLiteral(
    "INSERT INTO TMP_FORMULAELEMENT SELECT FRML_ID, ITYPE, ILINE, '20160101', '20161231', "
    "'2016', '', TABLENAME,SUBSTR(F.ELMNT_EX, STRPOS(F.ELMNT_EX, 'C')+1) AS "
    "SCOL,SUBSTR(F.ELMNT_EX, 2, STRPOS(F.ELMNT_EX, 'C')-2) AS SROW ,SYMBOL,PREFIX,POSTFIX FROM "
    "(SELECT CASE WHEN LENGTH(A.EXPRESSION) >= 10 THEN SUBSTR(TRANSLATE(A.EXPRESSION, '()+-', "
    "''), 10) ELSE TRANSLATE(A.EXPRESSION, '()+-', '') END AS ELMNT_EX , "
    "A.RPTID||'_'||CAST(A.CHECKID AS TEXT)||'_'||CAST(A.FORMULAID AS TEXT) AS FRML_ID , A.ID "
    "ILINE, A.TYPE ITYPE, A.TABLENAME, CASE OPERATOR WHEN '-' THEN -1 ELSE 1 END AS SYMBOL , "
    "PREFIX , POSTFIX FROM RPTFORMULAELEMENT A, RPTCHECKRULE B  WHERE A.RPTID = B.RPTID AND "
    "A.CHECKID = B.CHECKID AND A.RPTID LIKE '1800%' AND B.CHECKTYPE IN ('3', '4') ) AS F");

// Without statistics the planner takes the freshly filled tables for a few
// rows and joins them to the reports by nested loops; the formula statement
// then takes about twice as long.
const QString kAnalyzeElementSql = QStringLiteral("ANALYZE TMP_FORMULAELEMENT");
const QString kAnalyzeFormulaSql = QStringLiteral("ANALYZE TMP_FORMULA");
// The formula statement sorts and hashes every pair of an organisation and a
// formula element; with the default 4 MB per step it spills to disk, and the
// statement takes about a quarter longer. The setting holds for this session.
const QString kSortMemorySql = QStringLiteral("SET work_mem = '64MB'");

namespace {

bool hasRows(platform::db::Query& qry, const QString& sql) {
  qry.close();
  qry.setSql(sql);
  qry.open();
  return !qry.eof();
}

void run(platform::db::Query& qry, const QString& sql) {
  qry.close();
  qry.setSql(sql);
  qry.execSql();
}

void progressStep(ProgressSink& progress) {
  progress.step(10);
  progress.pump();
}

}  // namespace

QStringList ruleFileNames() {
  return {QStringLiteral("2016XML/checkRuler_11.xml"), QStringLiteral("2016XML/checkRuler_12.xml"),
          QStringLiteral("2016XML/checkRuler_13.xml"), QStringLiteral("2016XML/checkRuler_14.xml")};
}

void prepareWorkingTables(platform::db::Query& qry, ProgressSink& progress,
                          const QString& programDir, const ImportRuleFile& importRuleFile) {
  progress.setMessage(texts::kParsingFormulas);
  progress.setMinimum(0);
  progress.setMaximum(100);
  progress.pump();
  progress.step(5);

  QStringList ruleFiles;
  for (const QString& name : ruleFileNames()) ruleFiles << programDir + name;

  if (hasRows(qry, kContentExistsSql)) {
    run(qry, kDropContentSql);
    progressStep(progress);
  }
  run(qry, kCreateContentSql);
  progressStep(progress);

  if (hasRows(qry, kElementExistsSql)) run(qry, kDropElementSql);
  run(qry, kCreateElementSql);
  progressStep(progress);

  if (hasRows(qry, kFormulaExistsSql)) run(qry, kDropFormulaSql);
  run(qry, kCreateFormulaSql);
  progressStep(progress);

  run(qry, kCopyFormulasSql);
  progressStep(progress);
  run(qry, kCopyElementsSql);
  progressStep(progress);

  for (const QString& path : ruleFiles) {
    if (QFileInfo(path).isFile() && importRuleFile) importRuleFile(path);
    progressStep(progress);
  }
  run(qry, kAnalyzeElementSql);
  run(qry, kAnalyzeFormulaSql);
  run(qry, kSortMemorySql);
  progress.setProgress(100);
}

}  // namespace check

#include "check/FormulaCheck.h"

#include "check/BuiltinRules.h"
#include "check/CheckTexts.h"
#include "check/ProblemTexts.h"
#include "check/RunError.h"
#include "check/SqlText.h"

namespace check {
namespace {

// The formula statement up to the last condition on the organisation, and the
// rest after it; a filter on the chosen organisations goes between the two.
// All arithmetic happens in the database: the program walks the breaches only.
const QString kFormulaHead = QStringLiteral(
    "SELECT I_CHECKTYPE,D0107,D0101,S_FID,S_FDESCRIBE,S_FSORT,S_FTMID,I_FRELATE,I_LEFT,I_RIGHT "
    "FROM ( SELECT "
    "AD.I_CHECKTYPE,AD.D0107,AD.D0101,AD.S_FID,AD.S_FDESCRIBE,AD.S_FSORT,AD.S_FTMID,AD.I_FRELATE,"
    "CAST(SUM(CASE I_TYPE WHEN 0 THEN CAST(ISNULL(D.VAL,'0') AS INT) *ISNULL(B.I_BALANCE,1) "
    "ELSE 0 END) AS INT) AS I_LEFT,CAST(SUM(CASE I_TYPE WHEN 0 THEN 0 ELSE "
    "CAST(ISNULL(D.VAL,'0') AS INT) *ISNULL(B.I_BALANCE,1) END) AS INT) AS I_RIGHT  FROM "
    "(SELECT I_CHECKTYPE,D0107,D0101,S_FID,S_FDESCRIBE,S_FSORT,S_FTMID,I_FRELATE FROM "
    "TMP_FORMULA A, D01 WHERE (SUBSTR(D01.D0107, 1, 11) <> A.S_OEXCEPT1) AND "
    "(SUBSTR(D01.D0107, 1, 11) <> A.S_OEXCEPT2) AND ((A.S_OSTINT = '') OR ((A.I_ORELATE = 0 "
    "AND SUBSTR(D01.D0107, 1, 11) < A.S_OSTINT) OR (A.I_ORELATE = 1 AND SUBSTR(D01.D0107, 1, "
    "11) <= A.S_OSTINT) OR  (A.I_ORELATE = 2 AND SUBSTR(D01.D0107, 1, 11) = A.S_OSTINT) OR "
    "(A.I_ORELATE = 3 AND SUBSTR(D01.D0107, 1, 11) >= A.S_OSTINT) OR (A.I_ORELATE = 4 AND "
    "SUBSTR(D01.D0107, 1, 11) > A.S_OSTINT)   OR (A.I_ORELATE >= 10 AND A.I_ORELATE <= 19 AND "
    "LENGTH(D01.D0107) = (A.I_ORELATE - 8)*4 -1)))");
const QString kFormulaTail = QStringLiteral(
    "  ) AS AD INNER JOIN TMP_FORMULAELEMENT B ON AD.S_FID = B.S_FRMLID LEFT JOIN RPTREPORT C "
    "ON B.S_TEMID = C.TEMID AND B.S_BTIME = C.TIMEBEGIN AND B.S_ETIME = C.TIMEEND AND AD.D0107 "
    " = C.ORGID LEFT JOIN RPTREPORTDATA D ON  B.I_COL = D.COL AND B.I_ROW = D.ROW AND "
    "C.REPORTID = D.REPORTID GROUP BY AD.I_CHECKTYPE,AD.D0107, AD.D0101, AD.S_FID, "
    "AD.S_FDESCRIBE, AD.I_FRELATE, AD.S_FSORT,AD.S_FTMID, AD.I_FRELATE) AS WW WHERE  "
    "(I_FRELATE = 0 AND I_LEFT >= I_RIGHT) OR (I_FRELATE = 1 AND I_LEFT > I_RIGHT) OR "
    "(I_FRELATE = 2 AND I_LEFT <> I_RIGHT) OR (I_FRELATE = 3 AND I_LEFT < I_RIGHT) OR "
    "(I_FRELATE = 4 AND I_LEFT <= I_RIGHT) ORDER BY D0107,S_FTMID,I_CHECKTYPE");

const QString kValueMarker = QStringLiteral("$V");
const QString kNeedsReview = QStringLiteral("需要审核");

bool isBlankOrControl(QChar c) { return c.unicode() <= 32; }

// The text with characters of codes 0..32 removed at both ends; a full-width
// blank stays.
QString trimControl(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && isBlankOrControl(text[begin])) ++begin;
  while (end > begin && isBlankOrControl(text[end - 1])) --end;
  return text.mid(begin, end - begin);
}

}  // namespace

QString formulaStatement(const QStringList& orgCodes) {
  QString filter;
  if (orgCodes.size() == 1)
    filter = QStringLiteral(" AND D0107 = ") + quoteLiteral(orgCodes.front());
  else if (orgCodes.size() > 1)
    filter = QStringLiteral(" and D0107 IN ( ") + quotedCodeList(orgCodes) + QLatin1Char(')');
  return kFormulaHead + filter + kFormulaTail;
}

QString breachPercentage(const QString& left, const QString& right) {
  if (right == QLatin1String("0")) return QStringLiteral("0");
  const int l = readInteger(left);
  const int r = readInteger(right);
  const double percent = (static_cast<double>(l) - r) / r * 100.0;
  // "." whatever the locale; a value that rounds to nothing shows no sign.
  QString text = QString::number(percent, 'f', 2);
  if (text == QLatin1String("-0.00")) text = QStringLiteral("0.00");
  return text + QLatin1Char('%');
}

void storeBreach(const FormulaBreach& b, const StoreProblem& store) {
  const qsizetype marker = b.describe.indexOf(kValueMarker);
  if (marker < 0) {
    store(b.templateId, tableLabel(b.templateId),
          buildProblemText(b.checkType, b.describe, b.orgName, QString()),
          checkTypeCaption(b.checkType), QString());
    return;
  }
  const QString head = b.describe.left(marker + kValueMarker.size());
  const QString percentage = breachPercentage(b.left, b.right);
  const QString tail = trimControl(b.describe.mid(marker + kValueMarker.size()));
  if (!tail.isEmpty()) {
    store(b.templateId, tableLabel(b.templateId),
          buildProblemText(b.checkType, head, b.orgName, b.left), tail, QString());
  } else if (percentage != QLatin1String("0")) {
    store(b.templateId, tableLabel(b.templateId),
          buildProblemText(b.checkType, head, b.orgName, percentage), kNeedsReview, QString());
  }
}

void startCheckProgress(ProgressSink& progress) {
  progress.setMessage(texts::kChecking);
  progress.setMinimum(0);
  progress.setMaximum(100);
  progress.pump();
  progress.setProgress(kCheckProgressStart);
}

void runFormulaChecks(platform::db::Query& qry, const QStringList& orgCodes,
                      const StoreProblem& store, ProgressSink& progress,
                      const BuiltinRulesRun& builtinRules, const std::function<void()>& fillRegister) {
  runStep(texts::kWhereFormulaChecks, [&] {
    qry.close();
    qry.setSql(formulaStatement(orgCodes));
    // Of the statement's ten columns the rows need six; the others are not read.
    const QStringList fields = {QStringLiteral("I_CHECKTYPE"), QStringLiteral("D0101"),
                                QStringLiteral("S_FDESCRIBE"), QStringLiteral("S_FTMID"),
                                QStringLiteral("I_LEFT"),      QStringLiteral("I_RIGHT")};
    qry.open(fields);
    // One step per breach, then the built-in rules' steps: the gauge ends
    // exactly at its maximum.
    progress.setMaximum(kCheckProgressStart + qry.recordCount() + builtinRuleProgressSteps());
    FormulaBreach b;
    while (!qry.eof()) {
      b.checkType = qry.value(0);
      b.orgName = qry.value(1);
      b.describe = qry.value(2);
      b.templateId = qry.value(3);
      b.left = qry.value(4);
      b.right = qry.value(5);
      storeBreach(b, store);
      qry.next();
      progress.step();
      progress.pump();
    }
  });
  // The built-in rules name their own rule when one fails.
  if (builtinRules) builtinRules(qry, orgCodes, store, progress);
  if (fillRegister) runStep(texts::kWhereRegister, fillRegister);
}

}  // namespace check

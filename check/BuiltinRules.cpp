// The 26 built-in plausibility rules: one table of rule rows, one statement
// builder and one problem-text builder per kind (presence, equality, ratio).
// The statements keep their runs of blanks exactly, so that a statement
// captured from the query layer compares byte for byte.
#include "check/BuiltinRules.h"

#include <cmath>
#include <stdexcept>
#include <vector>

#include "check/CheckTexts.h"
#include "check/RunError.h"
#include "check/SqlText.h"

namespace check {
namespace {

// ---- the rule table -------------------------------------------------------

enum class Kind { Presence, Equality, Ratio };

// How a ratio rule takes its numerator: one cell of the report, the per-report
// sum of one cell, or the per-report sum of several columns of one row.
enum class Numerator { Cell, SummedCell, SummedColumns };

const QString kShouldHaveData = QStringLiteral("不应为零(应该有数据)");
const QString kCheckFailed = QStringLiteral("校核未通过");
const QString kLargeShare = QStringLiteral("比重大的要审核");
const QString kSmallShare = QStringLiteral("比重小的要审核");

struct Rule {
  int number = 0;
  Kind kind = Kind::Presence;
  QString templateId;
  QString label;
  // Presence: trigger rows and check row, all in column 1.
  std::vector<int> triggerRows;
  int checkRow = 0;
  // Equality: the column whose rows 1 to 4 are compared.
  int column = 0;
  // Ratio: numerator w and denominator y.
  Numerator numerator = Numerator::Cell;
  int numeratorRow = 0;
  std::vector<int> numeratorCols;
  int denominatorRow = 0;
  int denominatorCol = 0;
  int decimals = 0;
  QString resultColumn;
  QString category;
  QString ruleText;
  // Gauge steps taken after the rule; rules 14 to 17 take none, so they run
  // back to back, and rule 18 takes their share.
  int progressSteps = 1;
};

Rule head(int number, Kind kind, const QString& templateId, const QString& label) {
  Rule r;
  r.number = number;
  r.kind = kind;
  r.templateId = templateId;
  r.label = label;
  return r;
}

Rule presence(int number, std::vector<int> triggers, int checkRow, const QString& text) {
  Rule r = head(number, Kind::Presence, QStringLiteral("18000700"), QStringLiteral("第7表"));
  r.triggerRows = std::move(triggers);
  r.checkRow = checkRow;
  r.category = kShouldHaveData;
  r.ruleText = text;
  return r;
}

Rule equality(int number, int column, const QString& text) {
  Rule r = head(number, Kind::Equality, QStringLiteral("18000800"), QStringLiteral("第8表"));
  r.column = column;
  r.category = kCheckFailed;
  r.ruleText = text;
  return r;
}

Rule ratio(int number, const QString& templateId, const QString& label, Numerator numerator,
           int numRow, std::vector<int> numCols, int denRow, int denCol, int decimals,
           const QString& resultColumn, const QString& category, const QString& text,
           int progressSteps = 1) {
  Rule r = head(number, Kind::Ratio, templateId, label);
  r.numerator = numerator;
  r.numeratorRow = numRow;
  r.numeratorCols = std::move(numCols);
  r.denominatorRow = denRow;
  r.denominatorCol = denCol;
  r.decimals = decimals;
  r.resultColumn = resultColumn;
  r.category = category;
  r.ruleText = text;
  r.progressSteps = progressSteps;
  return r;
}

const std::vector<Rule>& rules() {
  using N = Numerator;
  const QString val = QStringLiteral("val");
  static const std::vector<Rule> table = {
      presence(1, {3, 4, 5}, 14, QStringLiteral(" (A2或A3或A4>0) 补充资料1-1 =0")),
      presence(2, {6, 7, 8}, 19, QStringLiteral(" (A5或A6或A7>0) 补充资料1-2 =0")),
      presence(3, {9, 10, 11}, 20, QStringLiteral(" (A8或A9或A10>0) 补充资料1-3 =0")),
      presence(4, {12}, 21, QStringLiteral(" (A11>0) 补充资料1-4 =0")),
      presence(5, {13}, 15, QStringLiteral(" (A12>0) 补充资料1-5 =0")),
      equality(6, 1, QStringLiteral(" 若A1=A2，则A3=A4")),
      equality(7, 3, QStringLiteral(" 若C1=C2，则C3=C4")),
      equality(8, 5, QStringLiteral(" 若E1=E2，则E3=E4")),
      equality(9, 6, QStringLiteral(" 若F1=F2，则F3=F4")),
      equality(10, 7, QStringLiteral(" 若G1=G2，则G3=G4")),
      equality(11, 8, QStringLiteral(" 若H1=H2，则H3=H4")),
      ratio(12, QStringLiteral("18000400"), QStringLiteral("第4表"), N::SummedColumns, 19, {2, 3, 4},
            19, 1, 6, QStringLiteral("val1"), kLargeShare,
            QStringLiteral(" 若A19>0, 则 (B19+C19+D19)/A19 = ")),
      ratio(13, QStringLiteral("18001500"), QStringLiteral("第15表"), N::Cell, 1, {7}, 1, 1, 6, val,
            kLargeShare, QStringLiteral(" 若A1>0, 则G1/A1 = ")),
      ratio(14, QStringLiteral("18001600"), QStringLiteral("第16表"), N::SummedCell, 21, {2}, 21, 1, 6,
            val, kLargeShare, QStringLiteral(" 若A21>0, 则B21/A21 = "), 0),
      ratio(15, QStringLiteral("18001600"), QStringLiteral("第16表"), N::SummedCell, 21, {3}, 21, 1, 6,
            val, kLargeShare, QStringLiteral(" 若A21>0, 则C21/A21 = "), 0),
      ratio(16, QStringLiteral("18001600"), QStringLiteral("第16表"), N::SummedCell, 21, {7}, 21, 1, 6,
            val, kLargeShare, QStringLiteral(" 若A21>0, 则G21/A21 = "), 0),
      ratio(17, QStringLiteral("18001600"), QStringLiteral("第16表"), N::SummedCell, 21, {8}, 21, 1, 6,
            val, kLargeShare, QStringLiteral(" 若A21>0, 则H21/A21 = "), 0),
      ratio(18, QStringLiteral("18001600"), QStringLiteral("第16表"), N::SummedCell, 21, {9}, 21, 1, 6,
            val, kLargeShare, QStringLiteral(" 若A21>0, 则I21/A21 = "), 2),
      ratio(19, QStringLiteral("18001700"), QStringLiteral("第17表"), N::Cell, 16, {1}, 15, 1, 4, val,
            kSmallShare, QStringLiteral(" 若A15>0, 则A16/A15 = ")),
      ratio(20, QStringLiteral("18001700"), QStringLiteral("第17表"), N::Cell, 16, {2}, 15, 2, 6, val,
            kSmallShare, QStringLiteral(" 若B15>0, 则B16/B15 = ")),
      ratio(21, QStringLiteral("18001800"), QStringLiteral("第18表"), N::Cell, 4, {7}, 4, 1, 6, val,
            kSmallShare, QStringLiteral(" 若A4>0, 则G4/A4 = ")),
      // The texts of rules 22 and 23 name other rows than their statements
      // divide by; they are kept as the users know them.
      ratio(22, QStringLiteral("18001800"), QStringLiteral("第18表"), N::Cell, 18, {7}, 18, 1, 6, val,
            kSmallShare, QStringLiteral(" 若A16>0, 则G18/A18 = ")),
      ratio(23, QStringLiteral("18001800"), QStringLiteral("第18表"), N::Cell, 21, {5}, 21, 1, 6, val,
            kLargeShare, QStringLiteral(" 若A19>0, 则E21/A21 = ")),
      ratio(24, QStringLiteral("18001900"), QStringLiteral("第19表"), N::Cell, 4, {7}, 4, 1, 6, val,
            kSmallShare, QStringLiteral(" 若A4>0, 则G4/A4 = ")),
      ratio(25, QStringLiteral("18001900"), QStringLiteral("第19表"), N::Cell, 16, {7}, 16, 1, 6, val,
            kSmallShare, QStringLiteral(" 若A16>0, 则G16/A16 = ")),
      ratio(26, QStringLiteral("18001900"), QStringLiteral("第19表"), N::Cell, 18, {5}, 18, 1, 6, val,
            kLargeShare, QStringLiteral(" 若A18>0, 则E18/A18 = ")),
  };
  return table;
}

// ---- statements -----------------------------------------------------------

const QString kPeriod = QStringLiteral(" a.timebegin ='20160101' and a.timeend ='20161231'");

QString num(int n) { return QString::number(n); }

// The organisation condition for the codes: empty for none, the one quoted
// code, or the quoted code list (built once per run by the caller).
QString orgFilter(const QStringList& codes, const QString& codeList) {
  if (codes.isEmpty()) return QString();
  if (codes.size() == 1) return QStringLiteral(" and a.orgid = ") + quoteLiteral(codes.first());
  return QStringLiteral(" and a.orgid in (") + codeList + QLatin1Char(')');
}

// The head of one half of a presence or equality statement, up to the
// template condition; the filter follows the join with D01.
QString halfHead(const QString& selectList, const QString& filter, const QString& templateId) {
  return QStringLiteral("select ") + selectList +
         QStringLiteral(" from rptreport a,rptreportdata b,d01 c where a.reportid = b.reportid and ") +
         kPeriod + QStringLiteral(" and a.orgid = c.d0107") + filter +
         QStringLiteral("  and a.temid =") + quoteLiteral(templateId);
}

const QString kFirstSelect = QStringLiteral("a.temid, c.d0101,c.d0107");
const QString kSecondSelect = QStringLiteral("a.temid,c.d0101,c.d0107");
const QString kTail = QStringLiteral(") yy order by d0107,temid ");

QString presenceStatement(const Rule& r, const QString& filter) {
  QString triggers;
  for (size_t i = 0; i < r.triggerRows.size(); ++i) {
    if (i > 0) triggers += QStringLiteral(" or ");
    // Every term after the first carries a second blank before "val".
    triggers += QStringLiteral("(row = '") + num(r.triggerRows[i]) +
                (i == 0 ? QStringLiteral("' and col ='1' and val >'0')")
                        : QStringLiteral("' and col ='1' and  val >'0')"));
  }
  return QStringLiteral("select * from (") + halfHead(kFirstSelect, filter, r.templateId) +
         QStringLiteral(" and (") + triggers + QStringLiteral(")  except ") +
         halfHead(kSecondSelect, filter, r.templateId) + QStringLiteral(" and (row = '") +
         num(r.checkRow) + QStringLiteral("' and col ='1' and val > '0')") + kTail;
}

QString equalityStatement(const Rule& r, const QString& filter) {
  const QString c = num(r.column);
  const auto group = [&c](int negRow) {
    return QStringLiteral(" group by  a.temid,c.d0101,c.d0107  having(sum((case when (row = '") +
           num(negRow) + QStringLiteral("' and col = '") + c +
           QStringLiteral("') then -1 else 1 end) * val) = 0)");
  };
  const auto rows = [&c](int first, int second) {
    return QStringLiteral("((row = '") + num(first) + QStringLiteral("' and col ='") + c +
           QStringLiteral("' ) or (row = '") + num(second) + QStringLiteral("' and col ='") + c +
           QStringLiteral("'))");
  };
  return QStringLiteral("select * from (") + halfHead(kFirstSelect, filter, r.templateId) +
         QStringLiteral(" and ") + rows(1, 2) + QLatin1Char(' ') + group(2) + QStringLiteral(" except ") +
         halfHead(kSecondSelect, filter, r.templateId) + QStringLiteral(" and  ") + rows(3, 4) +
         group(4) + kTail;
}

QString cellSelect(int row, int col) {
  return QStringLiteral("(select * from rptreportdata where row ='") + num(row) +
         QStringLiteral("' and col ='") + num(col) + QStringLiteral("' )");
}

QString numeratorSelect(const Rule& r) {
  switch (r.numerator) {
    case Numerator::Cell:
      return cellSelect(r.numeratorRow, r.numeratorCols.front());
    case Numerator::SummedCell:
      return QStringLiteral(
                 "(select sum(1 * d.val ) as val,d.REPORTID  from rptreportdata d,rptreport e where "
                 "d.reportid = e.reportid   and e.temid =") +
             quoteLiteral(r.templateId) + QStringLiteral(" and  d.row ='") + num(r.numeratorRow) +
             QStringLiteral("' and d.col ='") + num(r.numeratorCols.front()) +
             QStringLiteral("'  GROUP BY d.REPORTID  )");
    case Numerator::SummedColumns: {
      QString cols;
      for (size_t i = 0; i < r.numeratorCols.size(); ++i) {
        if (i > 0) cols += QStringLiteral(" or ");
        cols += QStringLiteral("d.col ='") + num(r.numeratorCols[i]) + QLatin1Char('\'');
      }
      return QStringLiteral(
                 "(select sum(1 * d.val) as val,d.REPORTID  from rptreportdata d ,rptreport e  where "
                 "d.reportid = e.reportid   and e.temid =") +
             quoteLiteral(r.templateId) + QStringLiteral(" and d.row ='") + num(r.numeratorRow) +
             QStringLiteral("'  and (") + cols + QStringLiteral(" ) GROUP BY d.REPORTID )");
    }
  }
  return QString();
}

QString ratioStatement(const Rule& r, const QString& filter) {
  // The several-column sum was written apart from the others and keeps its
  // own blank inside the cast.
  const QString castClose =
      r.numerator == Numerator::SummedColumns ? QStringLiteral(" as text ) as ") : QStringLiteral(" as text) as ");
  return QStringLiteral(
             "select a.temid, c.d0101,c.d0107,cast(round(cast(w.val as float)/cast(y.val as float),") +
         num(r.decimals) + QLatin1Char(')') + castClose + r.resultColumn +
         QStringLiteral(" from rptreport a,d01 c,") + numeratorSelect(r) + QStringLiteral(" w,") +
         cellSelect(r.denominatorRow, r.denominatorCol) +
         QStringLiteral(
             " y  where a.reportid = w.reportid and w.reportid = y.reportid and a.orgid = c.d0107  and  "
             "w.val >'0' and y.val >'0'") +
         filter + QStringLiteral("  and") + kPeriod + QStringLiteral(" and a.temid =") +
         quoteLiteral(r.templateId) + QStringLiteral("  order by d0107,temid ");
}

QString statement(const Rule& r, const QString& filter) {
  switch (r.kind) {
    case Kind::Presence:
      return presenceStatement(r, filter);
    case Kind::Equality:
      return equalityStatement(r, filter);
    case Kind::Ratio:
      return ratioStatement(r, filter);
  }
  return QString();
}

// ---- problem texts --------------------------------------------------------

// The ratio as a percentage with two decimals. The database sends the ratio
// with "." as its decimal separator, so both the reading and the writing use
// that separator whatever the user's locale.
QString percentText(const QString& ratio) {
  bool ok = false;
  const double value = ratio.toDouble(&ok);  // "." always, no group separators
  if (!ok || !std::isfinite(value))
    throw std::runtime_error(
        QStringLiteral("'%1' is not a valid floating point value").arg(ratio).toStdString());
  return QString::number(value * 100.0, 'f', 2) + QLatin1Char('%');
}

// The problem text of the query's current row; name and ratio are the
// positions of the fields d0101 and the rule's result column (-1 for none).
QString problemText(const Rule& r, const platform::db::Query& qry, int name, int ratio) {
  switch (r.kind) {
    case Kind::Presence:
    case Kind::Equality:
      return qry.value(name) + r.ruleText;
    case Kind::Ratio:
      return qry.value(name) + r.ruleText + percentText(qry.value(ratio));
  }
  return QString();
}

const Rule& ruleAt(int ruleNumber) {
  const std::vector<Rule>& table = rules();
  if (ruleNumber < 1 || ruleNumber > static_cast<int>(table.size()))
    throw std::out_of_range("built-in rule number out of range");
  return table[static_cast<size_t>(ruleNumber - 1)];
}

}  // namespace

QString builtinRuleStatement(int ruleNumber, const QStringList& orgCodes) {
  const QString codeList = orgCodes.size() > 1 ? quotedCodeList(orgCodes) : QString();
  return statement(ruleAt(ruleNumber), orgFilter(orgCodes, codeList));
}

QString builtinRuleTemplate(int ruleNumber) { return ruleAt(ruleNumber).templateId; }

QString builtinRuleRatioColumn(int ruleNumber) { return ruleAt(ruleNumber).resultColumn; }

int builtinRuleProgressSteps() {
  int steps = 0;
  for (const Rule& r : rules()) steps += r.progressSteps;
  return steps;
}

void runBuiltinRules(platform::db::Query& qry, const QStringList& orgCodes, const StoreProblem& store,
                     ProgressSink& progress) {
  // One choice of organisations serves all 26 rules, even when the user
  // confirms another one while messages are pumped between them.
  const QStringList codes = orgCodes;
  const QString filter = orgFilter(codes, codes.size() > 1 ? quotedCodeList(codes) : QString());
  for (const Rule& r : rules()) {
    runStep(texts::kWhereBuiltinRule.arg(r.number).arg(r.label), [&] {
      qry.close();
      qry.setSql(statement(r, filter));
      qry.open();
      // The fields are found by name once, on the first row.
      int name = -1, ratio = -1;
      if (!qry.eof()) {
        name = qry.fieldIndex(QStringLiteral("d0101"));
        if (r.kind == Kind::Ratio) ratio = qry.fieldIndex(r.resultColumn);
      }
      for (; !qry.eof(); qry.next()) {
        store(r.templateId, r.label, problemText(r, qry, name, ratio), r.category, QString());
        progress.pump();
      }
    });
    for (int i = 0; i < r.progressSteps; ++i) {
      progress.step();
      progress.pump();
    }
    if (r.progressSteps == 0) progress.pump();
  }
}

}  // namespace check

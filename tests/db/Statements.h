#pragma once
// The 26 built-in rule statements (all-organisations variant), built here on
// their own so that the database tests hold the stand-in database to them,
// independently of the program's own statement builders. The exact texts of
// the fixed statements are the golden copies in tests/data/sql.
#include <QString>
#include <QStringList>

#include <vector>

namespace dbtest {

enum class RuleKind { Presence, Equality, Ratio };

inline QString presenceStatement(const QStringList& triggerRows, const QString& checkRow) {
  QStringList terms;
  for (const QString& r : triggerRows)
    terms << QStringLiteral("(row = '%1' and col ='1' and val >'0')").arg(r);
  const QString head = QStringLiteral(
      "select a.temid, c.d0101,c.d0107 from rptreport a,rptreportdata b,d01 c where a.reportid = "
      "b.reportid and  a.timebegin ='20160101' and a.timeend ='20161231' and a.orgid = c.d0107  and "
      "a.temid ='18000700' and ");
  return QStringLiteral("select * from (") + head + QLatin1Char('(') + terms.join(QStringLiteral(" or ")) +
         QStringLiteral(")  except select a.temid,c.d0101,c.d0107 from rptreport a,rptreportdata b,d01 c "
                        "where a.reportid = b.reportid and  a.timebegin ='20160101' and a.timeend "
                        "='20161231' and a.orgid = c.d0107  and a.temid ='18000700' and (row = '") +
         checkRow + QStringLiteral("' and col ='1' and val > '0')) yy order by d0107,temid ");
}

inline QString equalityStatement(const QString& col) {
  return QStringLiteral(
             "select * from (select a.temid, c.d0101,c.d0107 from rptreport a,rptreportdata b,d01 c "
             "where a.reportid = b.reportid and  a.timebegin ='20160101' and a.timeend ='20161231' and "
             "a.orgid = c.d0107  and a.temid ='18000800' and ((row = '1' and col ='%1' ) or (row = '2' "
             "and col ='%1'))  group by  a.temid,c.d0101,c.d0107  having(sum((case when (row = '2' and "
             "col = '%1') then -1 else 1 end) * val) = 0) except select a.temid,c.d0101,c.d0107 from "
             "rptreport a,rptreportdata b,d01 c where a.reportid = b.reportid and  a.timebegin "
             "='20160101' and a.timeend ='20161231' and a.orgid = c.d0107  and a.temid ='18000800' and  "
             "((row = '3' and col ='%1' ) or (row = '4' and col ='%1')) group by  a.temid,c.d0101,c.d0107 "
             " having(sum((case when (row = '4' and col = '%1') then -1 else 1 end) * val) = 0)) yy order "
             "by d0107,temid ")
      .arg(col);
}

// A ratio statement with a plain numerator cell.
inline QString ratioStatement(const QString& templateId, const QString& numRow, const QString& numCol,
                              const QString& denRow, const QString& denCol, int decimals) {
  return QStringLiteral(
             "select a.temid, c.d0101,c.d0107,cast(round(cast(w.val as float)/cast(y.val as "
             "float),%1) as text) as val from rptreport a,d01 c,(select * from rptreportdata where row "
             "='%2' and col ='%3' ) w,(select * from rptreportdata where row ='%4' and col ='%5' ) y  "
             "where a.reportid = w.reportid and w.reportid = y.reportid and a.orgid = c.d0107  and  "
             "w.val >'0' and y.val >'0'  and a.timebegin ='20160101' and a.timeend ='20161231' and "
             "a.temid ='%6'  order by d0107,temid ")
      .arg(decimals)
      .arg(numRow, numCol, denRow, denCol, templateId);
}

// Rules 14 to 18: the numerator sums one cell of row 21 per report of 18001600.
inline QString ratio16Statement(const QString& numCol) {
  return QStringLiteral(
             "select a.temid, c.d0101,c.d0107,cast(round(cast(w.val as float)/cast(y.val as "
             "float),6) as text) as val from rptreport a,d01 c,(select sum(1 * d.val ) as "
             "val,d.REPORTID  from rptreportdata d,rptreport e where d.reportid = e.reportid   and "
             "e.temid ='18001600' and  d.row ='21' and d.col ='%1'  GROUP BY d.REPORTID  ) w,(select * "
             "from rptreportdata where row ='21' and col ='1' ) y  where a.reportid = w.reportid and "
             "w.reportid = y.reportid and a.orgid = c.d0107  and  w.val >'0' and y.val >'0'  and "
             "a.timebegin ='20160101' and a.timeend ='20161231' and a.temid ='18001600'  order by "
             "d0107,temid ")
      .arg(numCol);
}

// Rule 12: three cells of row 19 summed, the ratio in column val1.
inline QString rule12Statement() {
  return QStringLiteral(
      "select a.temid, c.d0101,c.d0107,cast(round(cast(w.val as float)/cast(y.val as float),6) as "
      "text ) as val1 from rptreport a,d01 c,(select sum(1 * d.val) as val,d.REPORTID  from "
      "rptreportdata d ,rptreport e  where d.reportid = e.reportid   and e.temid ='18000400' and "
      "d.row ='19'  and (d.col ='2' or d.col ='3' or d.col ='4' ) GROUP BY d.REPORTID ) w,(select * "
      "from rptreportdata where row ='19' and col ='1' ) y  where a.reportid = w.reportid and "
      "w.reportid = y.reportid and a.orgid = c.d0107  and  w.val >'0' and y.val >'0'  and "
      "a.timebegin ='20160101' and a.timeend ='20161231' and a.temid ='18000400'  order by "
      "d0107,temid ");
}

struct BuiltinRule {
  int number;
  RuleKind kind;
  QString templateId;
  QString resultColumn;  // ratio rules only
  QString statement;
};

inline std::vector<BuiltinRule> builtinRules() {
  using K = RuleKind;
  const QString t7 = QStringLiteral("18000700"), t8 = QStringLiteral("18000800");
  std::vector<BuiltinRule> r;
  r.push_back({1, K::Presence, t7, {}, presenceStatement({"3", "4", "5"}, "14")});
  r.push_back({2, K::Presence, t7, {}, presenceStatement({"6", "7", "8"}, "19")});
  r.push_back({3, K::Presence, t7, {}, presenceStatement({"9", "10", "11"}, "20")});
  r.push_back({4, K::Presence, t7, {}, presenceStatement({"12"}, "21")});
  r.push_back({5, K::Presence, t7, {}, presenceStatement({"13"}, "15")});
  const char* eqCols[] = {"1", "3", "5", "6", "7", "8"};
  for (int i = 0; i < 6; ++i)
    r.push_back({6 + i, K::Equality, t8, {}, equalityStatement(QString::fromLatin1(eqCols[i]))});
  const QString val = QStringLiteral("val");
  r.push_back({12, K::Ratio, QStringLiteral("18000400"), QStringLiteral("val1"), rule12Statement()});
  r.push_back({13, K::Ratio, QStringLiteral("18001500"), val, ratioStatement("18001500", "1", "7", "1", "1", 6)});
  const char* cols16[] = {"2", "3", "7", "8", "9"};
  for (int i = 0; i < 5; ++i)
    r.push_back({14 + i, K::Ratio, QStringLiteral("18001600"), val, ratio16Statement(QString::fromLatin1(cols16[i]))});
  struct Plain {
    int n;
    const char *tem, *nr, *nc, *dr, *dc;
    int dec;
  };
  const Plain plain[] = {{19, "18001700", "16", "1", "15", "1", 4}, {20, "18001700", "16", "2", "15", "2", 6},
                         {21, "18001800", "4", "7", "4", "1", 6},   {22, "18001800", "18", "7", "18", "1", 6},
                         {23, "18001800", "21", "5", "21", "1", 6}, {24, "18001900", "4", "7", "4", "1", 6},
                         {25, "18001900", "16", "7", "16", "1", 6}, {26, "18001900", "18", "5", "18", "1", 6}};
  for (const Plain& p : plain)
    r.push_back({p.n, K::Ratio, QString::fromLatin1(p.tem), val,
                 ratioStatement(QString::fromLatin1(p.tem), QString::fromLatin1(p.nr), QString::fromLatin1(p.nc),
                                QString::fromLatin1(p.dr), QString::fromLatin1(p.dc), p.dec)});
  return r;
}

}  // namespace dbtest

// The demo data (template rc_demo, made by db/gen_demo.py): an organisation
// tree of four levels, 2016 reports on which every built-in rule finds some
// organisations and passes others, and database rules that the check copies.
#include <gtest/gtest.h>

#include <algorithm>

#include <QMap>
#include <QProcess>
#include <QSet>
#include <QString>
#include <QStringList>

#include "check/BuiltinRules.h"
#include "platform/database.h"
#include "tests/support/GoldenSql.h"
#include "tests/support/TestDatabase.h"

using platform::db::Query;

namespace {

class DemoDataTest : public ::testing::Test {
 protected:
  TestDatabase db{TestDatabase::Content::Demo};
};

TEST_F(DemoDataTest, EveryBuiltinRuleListsSomeOrganisationsAndPassesOthers) {
  for (int rule = 1; rule <= check::kBuiltinRuleCount; ++rule) {
    SCOPED_TRACE("rule " + std::to_string(rule));
    const QString templateId = check::builtinRuleTemplate(rule);
    const QString ratioColumn = check::builtinRuleRatioColumn(rule);
    Query q(db.connection());
    q.setSql(check::builtinRuleStatement(rule, {}));
    q.open();
    QStringList listed;
    for (; !q.eof(); q.next()) {
      listed << q.fieldByName("d0107");
      EXPECT_FALSE(q.fieldByName("d0101").isEmpty());
      EXPECT_EQ(q.fieldByName("temid"), templateId);
      if (!ratioColumn.isEmpty()) {
        bool ok = false;
        const double ratio = q.fieldByName(ratioColumn).toDouble(&ok);
        EXPECT_TRUE(ok && ratio > 0) << q.fieldByName(ratioColumn).toStdString();
      }
    }
    EXPECT_FALSE(listed.isEmpty());
    // One 2016 report per organisation and template, so each is listed at most once.
    EXPECT_EQ(QSet<QString>(listed.begin(), listed.end()).size(), listed.size());

    const QStringList reporting = db.column(
        QStringLiteral("SELECT DISTINCT orgid FROM rptreport WHERE temid = '%1' AND timebegin = '20160101' "
                       "AND timeend = '20161231'")
            .arg(templateId));
    const QSet<QString> listedSet(listed.begin(), listed.end());
    int passing = 0;
    for (const QString& org : reporting) passing += listedSet.contains(org) ? 0 : 1;
    EXPECT_GT(passing, 0) << "no organisation with a report passes";
  }
}

TEST_F(DemoDataTest, OrganisationsFormFourLevelsOfDottedCodes) {
  const QStringList rows = db.rows("SELECT D0107, ISNULL(D0127, '<null>'), D0101, useful FROM D01 ORDER BY D0107");
  ASSERT_GE(rows.size(), 100);
  QSet<QString> codes;
  QSet<int> lengths;
  int topWithNull = 0, topWithEmpty = 0, notInUse = 0;
  for (const QString& row : rows) {
    const QStringList f = row.split(QLatin1Char('|'));
    ASSERT_EQ(f.size(), 4);
    const QString &code = f[0], &parent = f[1], &name = f[2];
    codes.insert(code);
    lengths.insert(code.size());
    if (code.size() == 3) {
      topWithNull += parent == "<null>";
      topWithEmpty += parent.isEmpty();
      EXPECT_TRUE(parent == "<null>" || parent.isEmpty()) << row.toStdString();
    } else {
      EXPECT_EQ(parent, code.left(code.size() - 4)) << row.toStdString();
      EXPECT_TRUE(codes.contains(parent)) << "parent sorts before its child: " << row.toStdString();
      EXPECT_EQ(code.at(code.size() - 4), QLatin1Char('.'));
    }
    const bool chinese = std::any_of(name.begin(), name.end(), [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
    EXPECT_TRUE(chinese) << row.toStdString();
    notInUse += f[3] != "0";
  }
  EXPECT_EQ(lengths, (QSet<int>{3, 7, 11, 15}));
  EXPECT_GT(topWithNull, 0);
  EXPECT_GT(topWithEmpty, 0);
  EXPECT_GT(notInUse, 0);
  EXPECT_LT(notInUse, rows.size() / 4);
}

TEST_F(DemoDataTest, DatabaseRulesOfBothTypesAreCopiedAndSomeAreBroken) {
  db.exec(golden::sql("create_tmp_formula"));
  db.exec(golden::sql("create_tmp_formulaelement"));
  db.exec(golden::sql("copy_formulas"));
  db.exec(golden::sql("copy_elements"));
  EXPECT_EQ(db.column("SELECT DISTINCT I_CHECKTYPE FROM TMP_FORMULA ORDER BY 1"), (QStringList{"3", "4"}));
  EXPECT_EQ(db.column("SELECT count(*) FROM TMP_FORMULA WHERE I_FRELATE = 5"), QStringList{"1"});
  EXPECT_EQ(db.column("SELECT count(*) FROM TMP_FORMULAELEMENT WHERE I_BALANCE = -1"), QStringList{"1"});

  // The copies never share an id; joined under the elements' ids, the
  // formulas hold for some organisations and not for others.
  db.exec("UPDATE TMP_FORMULA SET S_FID = '18' || SUBSTR(S_FID, 3)");
  // The formula query, organisations broken per formula (field S_FID of each row).
  QMap<QString, int> broken;
  {
    Query q(db.connection());
    q.setSql(golden::formulaStatement(QString()));
    q.open();
    for (; !q.eof(); q.next()) ++broken[q.fieldByName("S_FID")];
  }
  const int organisations = db.column("SELECT count(*) FROM D01").value(0).toInt();
  int partly = 0;
  QStringList seen;
  for (auto it = broken.cbegin(); it != broken.cend(); ++it) {
    seen << QStringLiteral("%1:%2").arg(it.key()).arg(it.value());
    partly += it.value() < organisations;
  }
  EXPECT_GE(partly, 3) << seen.join(QLatin1Char(' ')).toStdString();
  EXPECT_FALSE(broken.contains("18000800_1_2")) << "relation <> is never reported";
}

TEST(DemoGenerator, SameSizeGivesTheSameBytes) {
  const QString script = qEnvironmentVariable("RC_SOURCE_DIR") + QStringLiteral("/db/gen_demo.py");
  const auto run = [&](int orgs) {
    QProcess p;
    p.start(QStringLiteral("python3"), {script, QStringLiteral("--orgs"), QString::number(orgs)});
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return p.readAllStandardOutput();
  };
  const QByteArray a = run(40), b = run(40), c = run(41);
  ASSERT_FALSE(a.isEmpty());
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  // The D01 block holds exactly the organisations asked for.
  const QByteArray d01 = a.mid(a.indexOf("COPY D01"), a.indexOf("\\.\n") - a.indexOf("COPY D01"));
  EXPECT_EQ(d01.count('\n'), 41);  // the COPY line and 40 rows
}

}  // namespace

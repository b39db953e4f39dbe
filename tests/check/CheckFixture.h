#pragma once
// Small helpers for the check tests against the test cluster: a progress sink
// that records the gauge at every pump, a statement log, and writers for the
// rows a case needs (organisations, reports, cells, formulas, elements).
#include <QString>
#include <QStringList>

#include <vector>

#include "check/ProgressSink.h"
#include "check/SqlText.h"
#include "check/WorkingTables.h"
#include "platform/database.h"
#include "tests/support/GoldenSql.h"
#include "tests/support/TestDatabase.h"

// Holds the gauge within its bounds as the real gauge does.
class RecordingProgress final : public ProgressSink {
 public:
  void setMessage(const QString& text) override { message = text; }
  void setMinimum(int m) override { minimum = m; }
  void setMaximum(int m) override {
    maximum = m;
    value = clamp(value);
  }
  void setProgress(int v) override { value = clamp(v); }
  int progress() const override { return value; }
  void pump() override { pumped.push_back(value); }

  QString message;
  int minimum = 0, maximum = 0, value = 0;
  std::vector<int> pumped;  // the gauge at each pump

 private:
  int clamp(int v) const { return v < minimum ? minimum : (v > maximum ? maximum : v); }
};

// Records every statement sent over a connection while it lives.
class StatementLog {
 public:
  explicit StatementLog(platform::db::Connection& c) : c_(c) {
    c_.setStatementObserver([this](const QString& sql) { sent << sql; });
  }
  ~StatementLog() { c_.setStatementObserver(nullptr); }
  QStringList sent;

 private:
  platform::db::Connection& c_;
};

// Writes fixture rows; every value goes in as a quoted literal.
class Fixture {
 public:
  explicit Fixture(TestDatabase& db) : db_(db) {}

  void org(const QString& code, const QString& name) {
    db_.exec(QStringLiteral("INSERT INTO D01 (D0107, D0101) VALUES (%1, %2)")
                 .arg(q(code), q(name)));
  }
  // A report of template temId for org; returns its id.
  int report(const QString& temId, const QString& org, const QString& begin = "20160101",
             const QString& end = "20161231") {
    const int id = ++lastReport_;
    db_.exec(QStringLiteral("INSERT INTO RPTREPORT (REPORTID, TEMID, TIMEBEGIN, TIMEEND, ORGID) "
                            "VALUES (%1, %2, %3, %4, %5)")
                 .arg(id)
                 .arg(q(temId), q(begin), q(end), q(org)));
    return id;
  }
  void cell(int reportId, int row, int col, const QString& val) {
    db_.exec(QStringLiteral("INSERT INTO RPTREPORTDATA (REPORTID, ROW, COL, VAL) VALUES (%1, %2, %3, %4)")
                 .arg(reportId)
                 .arg(row)
                 .arg(col)
                 .arg(q(val)));
  }
  // The three working tables as the check makes them, empty.
  void workingTables() {
    testsupport::createWorkingTables(db_);
  }
  struct Formula {
    QString id;
    int checkType = 11;
    QString describe = QStringLiteral("$D");
    int relate = 2;
    QString templateId = QStringLiteral("18000700");
    QString scope = QString();  // S_OSTINT
    int scopeCode = 99999;  // I_ORELATE
    QString except1 = QString(), except2 = QString();
  };
  void formula(const Formula& f) {
    db_.exec(QStringLiteral("INSERT INTO TMP_FORMULA VALUES (%1, %2, %3, %4, '0', %5, %6, %7, %8, %9)")
                 .arg(q(f.id), q(QString::number(f.checkType)), q(f.describe),
                      q(QString::number(f.relate)), q(f.templateId), q(f.scope),
                      q(QString::number(f.scopeCode)), q(f.except1), q(f.except2)));
  }
  // One cell reference; side 0 is the left side. balance "" stores NULL.
  void element(const QString& formulaId, int side, int line, const QString& temId, int row, int col,
               const QString& balance = QStringLiteral("1"), const QString& begin = "20160101",
               const QString& end = "20161231") {
    db_.exec(QStringLiteral("INSERT INTO TMP_FORMULAELEMENT (S_FRMLID, I_TYPE, I_LINE, S_BTIME, "
                            "S_ETIME, S_TIME, S_TEMID, I_COL, I_ROW, I_BALANCE) VALUES "
                            "(%1, %2, %3, %4, %5, '2016', %6, %7, %8, %9)")
                 .arg(q(formulaId), q(QString::number(side)), q(QString::number(line)), q(begin),
                      q(end), q(temId), q(QString::number(col)), q(QString::number(row)),
                      balance.isEmpty() ? QStringLiteral("NULL") : q(balance)));
  }

 private:
  static QString q(const QString& v) { return check::quoteLiteral(v); }
  TestDatabase& db_;
  int lastReport_ = 0;
};

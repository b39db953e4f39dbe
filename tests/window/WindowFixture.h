#pragma once
// A main window connected to a test database of its own, shown (so FormShow
// has laid out the register), with scripted dialogs.
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "app/UCheckEdit.h"
#include "cell/Sheet.h"
#include "cell/TCell.h"
#include "tests/support/GoldenSql.h"
#include "tests/support/MainWindowTest.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/QStringPrint.h"

struct Problem {
  QString rptId;
  QString table;
  QString description;
  QString category;
};

class WindowTest : public MainWindowTest {
 protected:
  explicit WindowTest(TestDatabase::Content content = TestDatabase::Content::Empty) : MainWindowTest(content) {}

  void createProblemTable() { testsupport::createProblemTable(db); }

  // Adds the problems in one statement; ids continue from earlier calls.
  void addProblems(const std::vector<Problem>& problems) {
    if (problems.empty()) return;
    auto quote = [](const QString& s) {
      return QLatin1Char('\'') + QString(s).replace(QLatin1Char('\''), QStringLiteral("''")) +
             QLatin1Char('\'');
    };
    QStringList values;
    for (const Problem& p : problems)
      values << QStringLiteral("(%1,%2,%3,%4,%5,'')")
                    .arg(quote(QStringLiteral("p%1").arg(++lastId_)), quote(p.rptId),
                         quote(p.table), quote(p.description), quote(p.category));
    db.exec(QStringLiteral("INSERT INTO TMP_CONTENT VALUES ") + values.join(QLatin1Char(',')));
  }

  // The texts of data columns 1..4 of a row, joined by "|".
  QString rowText(int row) {
    QStringList cells;
    for (int c = 1; c <= 4; ++c) cells << sheet().text(c, row);
    return cells.join(QLatin1Char('|'));
  }

  // Every text of the sheet, row by row, to compare a sheet before and after.
  QStringList snapshot() {
    QStringList out;
    out << QString::number(sheet().rowCount());
    for (int r = 1; r < sheet().rowCount(); ++r)
      out << rowText(r) + QStringLiteral("|h=") + QString::number(sheet().rowHeight(r));
    return out;
  }

 private:
  int lastId_ = 0;
};

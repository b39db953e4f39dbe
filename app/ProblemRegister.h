#pragma once
// The problem register's one layout: the title and header rows, the column
// widths, fonts and lines, then the problem rows in register order, the
// signature row, the page texts and the print title rows. Knows the sheet only
// through TCell's operations and the problems only through a row source, so
// the window, the tests and the benchmarks all lay out the same register.
#include <QString>

#include <functional>

class TCell;

namespace platform::db {
class Query;
}

namespace problem_register {

// The problems in register order: by template id, category, description
// (each compared as text by the database).
inline const QString kSelectProblems =
    QStringLiteral("select * from TMP_CONTENT order by rptid,CONTENTTYPE,CONTENTSCR");

struct ProblemRow {
  QString table;        // RPTSCR, "表号"
  QString description;  // CONTENTSCR, "问题描述"
  QString category;     // CONTENTTYPE, "类别"
};

// Hands out the next problem into row; false when there are no more.
using RowSource = std::function<bool(ProblemRow&)>;

// Walks an open query from its current row, reading RPTSCR, CONTENTSCR and
// CONTENTTYPE by name (NULL reads as ""). The query must outlive the source.
RowSource rowsOf(platform::db::Query& query);

// Lays out an empty register: title row, header row, column widths, fixed
// rows, the grid under the header; 3 rows (label, title, header).
void layOut(TCell& cell);

// Fills the sheet, whose row count is 3 (title and header rows), with one row
// per problem from row 3 on, the signature row under them, the page texts and
// the print title rows. A failure of the source leaves at once: the rows
// written so far stay, without signature row and page settings. pump, when
// given, is called after each row written and each row height fitted, so a
// long register does not freeze the window.
void fill(TCell& cell, const RowSource& next, const std::function<void()>& pump = {});

}  // namespace problem_register

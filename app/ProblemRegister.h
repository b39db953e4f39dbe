#pragma once
// The problem register's one layout: the title and header rows, the column
// widths, fonts and lines, then the problem rows in register order, the
// signature row, the page texts and the print title rows. Knows the sheet only
// through TCell's operations and the problems only through a row source, so
// the window, the tests and the benchmarks all lay out the same register.
#include <QString>

#include <functional>

#include "check/ProblemStore.h"

class TCell;

namespace problem_register {

// The rows the register shows, as the engine reads them from TMP_CONTENT.
using check::ProblemRow;
using check::RowSource;

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

#pragma once
// The rule-file import: one check-plan file becomes INSERT statements for the
// working tables TMP_FORMULA and TMP_FORMULAELEMENT, which are then run on a
// query. No widgets; the main window gathers, calls and reports.
//
// A check plan: any root element; each child of it is one formula (attributes
// id and type) with, at any depth below it, a "content" (the description), a
// "control" (in, inrelate, out1, out2) and an "item" (operator, expression)
// whose direct "element" children are the cells (rptId, itype, rptDateB,
// rptDateE, row, col, balance). An empty rptId stands for every template of
// type 1800 whose id ends in 00.
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>

#include "platform/database.h"

namespace ruleimport {

// The template lists of an empty rptId. They differ only in blanks: the first
// for element rows, the second for formula rows.
extern const QString kElementTemplatesSql;
extern const QString kFormulaTemplatesSql;

// A formula without its "content", "control" or "item". what() is UTF-8.
class RuleFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The statement lists of the main window, in the order built.
struct StatementLists {
  QStringList& formulas;  // INSERT INTO TMP_FORMULA ...
  QStringList& elements;  // INSERT INTO TMP_FORMULAELEMENT ...
};

// Gives a new 36-character identifier text for each formula key.
using NewId = std::function<QString()>;

// Appends the statements of the rule file at path to lists (which are not
// emptied first); runs only the template queries, on qry. Raises
// xml::XmlError when the file cannot be opened or parsed or an itype is no
// whole number, RuleFileError for a formula without content, control or item,
// platform::db::DbError when a template query fails. Statements appended
// before a failure stay in the lists.
void importCheckPlan(const QString& path, platform::db::Query& qry, StatementLists lists,
                     const NewId& newId);

// Runs every formula statement, then every element statement, on qry, and
// empties both lists. With lastImportSql given, it is set before each formula
// statement to the statement as the query holds it (followed by a line
// break). Stops at the first statement the database refuses with its DbError;
// the lists then keep everything.
void runImportStatements(platform::db::Query& qry, StatementLists lists,
                         QString* lastImportSql = nullptr);

// importCheckPlan and runImportStatements of one file, whose statements take
// effect together or not at all. On any failure both lists are emptied before
// the failure is passed on, so that the statements of a failed file never
// reach the tables with the next file's.
void importRuleFile(const QString& path, platform::db::Query& qry, StatementLists lists,
                    const NewId& newId, QString* lastImportSql = nullptr);

}  // namespace ruleimport

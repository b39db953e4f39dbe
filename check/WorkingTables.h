#pragma once
// The working tables of a check: TMP_CONTENT (problem rows), TMP_FORMULAELEMENT
// and TMP_FORMULA (the formulas to evaluate). Every check drops and makes them
// again, copies the database's own rules into them and then hands each present
// rule file to the import.
#include <QString>
#include <QStringList>

#include <functional>

#include "check/ProblemStore.h"
#include "check/ProgressSink.h"
#include "platform/database.h"

namespace check {

// The statements of the formula tables, each sent exactly as written here
// (TMP_CONTENT's are with its rows, in ProblemStore.h).
extern const QString kElementExistsSql;
extern const QString kFormulaExistsSql;
extern const QString kDropElementSql;
extern const QString kDropFormulaSql;
extern const QString kCreateElementSql;
extern const QString kCreateFormulaSql;
extern const QString kCopyFormulasSql;
extern const QString kCopyElementsSql;
extern const QString kAnalyzeElementSql;
extern const QString kAnalyzeFormulaSql;
extern const QString kSortMemorySql;

// The four rule files of a check, relative to the program folder, in import order.
QStringList ruleFileNames();

// Imports one present rule file (its full path) into the working tables.
using ImportRuleFile = std::function<void(const QString& path)>;

// Makes the working tables afresh and copies the database's rules, reporting to
// progress under "正在解析校核公式": 5 at the start, +10 after each table made,
// after the drop of TMP_CONTENT, after each copy and after each rule file
// (present or not), 100 at the end. Once filled, the two formula tables get
// planner statistics, and the session more memory for the formula statement's
// sorts and hashes (no gauge step). programDir ends with the path separator;
// importRuleFile is called for each rule file that exists there. Database
// failures are not caught: they raise DbError and leave the tables as far as
// the statements before got.
void prepareWorkingTables(platform::db::Query& qry, ProgressSink& progress,
                          const QString& programDir, const ImportRuleFile& importRuleFile);

}  // namespace check

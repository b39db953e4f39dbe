#pragma once
// The formula check run: one statement evaluates every formula of TMP_FORMULA
// for every organisation in scope; each breach becomes one problem row. Then
// the built-in rules add theirs and the register is filled.
#include <QString>
#include <QStringList>

#include <functional>

#include "check/ProgressSink.h"
#include "check/BuiltinRules.h"
#include "platform/database.h"

namespace check {

// The formula statement for the chosen organisation codes: no filter for none,
// "D0107 = 'code'" for one, "D0107 IN ('a','b','1')" for several.
QString formulaStatement(const QStringList& orgCodes);

// One result row of the formula statement, every column as text.
struct FormulaBreach {
  QString checkType;  // I_CHECKTYPE
  QString orgName;    // D0101
  QString describe;   // S_FDESCRIBE
  QString templateId; // S_FTMID
  QString left;       // I_LEFT
  QString right;      // I_RIGHT
};

// (left - right) / right * 100 as "0.00%" with "." as decimal separator
// whatever the locale; "0" when right is the text "0". Raises TextError when
// either is not an integer.
QString breachPercentage(const QString& left, const QString& right);

// Turns one breach into its problem row and hands it to store, or stores
// nothing (a "$V" formula with an empty tail and a right sum of 0).
void storeBreach(const FormulaBreach& breach, const StoreProblem& store);

// The built-in rules as the run calls them (runBuiltinRules in the program).
using BuiltinRulesRun = std::function<void(platform::db::Query&, const QStringList&,
                                           const StoreProblem&, ProgressSink&)>;

// Where the check run's gauge starts.
inline constexpr int kCheckProgressStart = 5;

// The progress window's start: "正在进行校核...", gauge 0..100, pump, then 5.
void startCheckProgress(ProgressSink& progress);

// The guarded part of a check run, on qry: the formula statement for orgCodes,
// the gauge maximum (5 + rows + the built-in rules' 23 steps), one store per breach with a gauge step and a
// pump after each row, the built-in rules, then fillRegister. Any failure
// (database, a value that is no integer, a text function) leaves as RunError
// naming the step (a lost connection as its DbError); rows stored so far stay
// stored.
void runFormulaChecks(platform::db::Query& qry, const QStringList& orgCodes,
                      const StoreProblem& store, ProgressSink& progress,
                      const BuiltinRulesRun& builtinRules, const std::function<void()>& fillRegister);

}  // namespace check

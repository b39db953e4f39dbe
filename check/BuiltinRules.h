#pragma once
// The 26 built-in plausibility rules: their statements and their run.
#include <QString>
#include <QStringList>
#include <functional>
#include "check/ProgressSink.h"
#include "platform/database.h"
namespace check {
using StoreProblem = std::function<void(const QString& rptId, const QString& label, const QString& text,
                                        const QString& category, const QString& reply)>;
// Runs the 26 rules on qry (each: close, set text, open, walk rows, store), taking
// the rules' 23 progress steps (each: progress.step(), progress.pump()). It
// also pumps after each row and after each rule, steps or not, so that rules
// that take no step do not freeze the window. A failure leaves as RunError
// naming the rule's number and table label (a lost connection as its DbError).
void runBuiltinRules(platform::db::Query& qry, const QStringList& orgCodes,
                     const StoreProblem& store, ProgressSink& progress);
// Rules are numbered 1 to kBuiltinRuleCount; a number outside raises std::out_of_range.
inline constexpr int kBuiltinRuleCount = 26;
// The rule's statement for the chosen organisations (none: all of them).
QString builtinRuleStatement(int ruleNumber, const QStringList& orgCodes);
// The template the rule reads (its rows' temid).
QString builtinRuleTemplate(int ruleNumber);
// The column of a ratio rule's rows that holds the ratio ("val", or "val1"
// for rule 12); empty for the presence and equality rules.
QString builtinRuleRatioColumn(int ruleNumber);
// The gauge steps the 26 rules take in all (23).
int builtinRuleProgressSteps();
}

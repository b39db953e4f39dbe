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
QString builtinRuleStatement(int ruleNumber, const QStringList& orgCodes);  // 1..26
// The gauge steps the 26 rules take in all (23).
int builtinRuleProgressSteps();
}

#pragma once
// Problem rows for the register benchmarks: texts of the length the checks
// write, most short, every fifth long.
#include <QString>

#include "app/ProblemRegister.h"

namespace bench {

inline problem_register::ProblemRow problemRow(int i) {
  QString text = QStringLiteral("某某县委第%1党支部：第%2表第%3行第2列的值应等于第4行至第9行之和")
                     .arg(i)
                     .arg(i % 12 + 1)
                     .arg(i % 40 + 1);
  if (i % 5 == 0) text += QStringLiteral("，实际相差%1人，请逐项核对各基层党组织的上报数据后重新汇总上报。").arg(i % 97);
  const QString categories[] = {QStringLiteral("表内审核"), QStringLiteral("表间审核"),
                                QStringLiteral("逻辑性审核"), QStringLiteral("合理性审核")};
  return {QStringLiteral("第%1表").arg(i % 12 + 1), text, categories[i % 4]};
}

}  // namespace bench

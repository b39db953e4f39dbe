#pragma once
// Test fixture: the problem register laid out and filled by the window's own
// register layout, from a plain list of problems.
#include <QString>

#include <vector>

#include "app/ProblemRegister.h"
#include "app/Texts.h"
#include "cell/TCell.h"

namespace celltest {

struct Problem {
  QString table;
  QString description;
  QString category;
};

inline const QString kTitle = texts::kRegisterTitle;
inline const QString kSignature = texts::kSignature;

// The problem rows and the signature under the laid-out title and header.
inline void fillRows(TCell& c, const std::vector<Problem>& problems) {
  size_t next = 0;
  problem_register::fill(c, [&](problem_register::ProblemRow& row) {
    if (next == problems.size()) return false;
    const Problem& p = problems[next++];
    row = {p.table, p.description, p.category};
    return true;
  });
}

inline void fillRegister(TCell& c, const std::vector<Problem>& problems) {
  problem_register::layOut(c);
  fillRows(c, problems);
}

inline std::vector<Problem> numberedProblems(int count) {
  std::vector<Problem> out;
  for (int i = 1; i <= count; ++i)
    out.push_back({QStringLiteral("中组统%1表").arg(i % 14 + 1), QStringLiteral("第%1项：党员人数与合计不符，请核实。").arg(i),
                   QStringLiteral("逻辑")});
  return out;
}

}  // namespace celltest

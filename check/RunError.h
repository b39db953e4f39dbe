#pragma once
// A check run that stopped, with the step where it stopped: the formula
// checks, one built-in rule, or the filling of the register.
#include <QString>

#include <functional>
#include <stdexcept>

namespace check {

// what() is UTF-8: "校核失败，出错位置：<where>", a line break, then the cause's
// own text (the database's message, or the text function's).
class RunError : public std::runtime_error {
 public:
  RunError(const QString& where, const QString& cause);
  const QString& where() const { return where_; }
  const QString& cause() const { return cause_; }

 private:
  QString where_;
  QString cause_;
};

// Runs step. A failure in it leaves as a RunError naming where, except a
// RunError from a step inside, which already names its place, and a DbError
// saying that the connection is gone, which ends every command alike.
void runStep(const QString& where, const std::function<void()>& step);

}  // namespace check

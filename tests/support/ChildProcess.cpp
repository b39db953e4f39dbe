#include "tests/support/ChildProcess.h"

#include <QCoreApplication>

#include <map>
#include <string>

namespace testsupport {
namespace {

const char* const kChildVariable = "RC_TEST_CHILD";

std::map<std::string, ChildMain>& children() {
  static std::map<std::string, ChildMain> registered;
  return registered;
}

}  // namespace

bool registerChild(const char* name, ChildMain main) {
  children()[name] = std::move(main);
  return true;
}

std::optional<int> childExitCode() {
  const QByteArray name = qgetenv(kChildVariable);
  if (name.isEmpty()) return std::nullopt;
  const auto found = children().find(name.toStdString());
  if (found == children().end()) return 2;  // no such child here
  return found->second();
}

void startChild(QProcess& process, const char* name, const QProcessEnvironment& extra) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(extra);
  env.insert(QString::fromLatin1(kChildVariable), QString::fromLatin1(name));
  process.setProcessEnvironment(env);
  process.start(QCoreApplication::applicationFilePath(), {});
}

}  // namespace testsupport

#pragma once
// A second real program process for a test: the test binary starts itself
// again, and the copy runs one function registered under a name instead of
// the tests (its main asks childExitCode() first).
#include <QProcess>
#include <QProcessEnvironment>

#include <functional>
#include <optional>

namespace testsupport {

using ChildMain = std::function<int()>;

// Registers a child's function under name; for a namespace-scope initialiser:
//   const bool registered = testsupport::registerChild("holder", [] { ... });
bool registerChild(const char* name, ChildMain main);

// When this process was started as a child: the exit code of its function
// (it has run); nullopt otherwise.
std::optional<int> childExitCode();

// Starts this binary as the child of that name, with the extra environment.
void startChild(QProcess& process, const char* name, const QProcessEnvironment& extra = {});

}  // namespace testsupport

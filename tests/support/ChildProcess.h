#pragma once
// Runs one test of the test binary again in a process of its own, for a test
// that needs what a process sets once (its locale, the print server its CUPS
// library talks to) or a second program beside its own (one that it kills).
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace testsupport {

inline const char* const kChildTestVariable = "RC_CHILD_TEST";

// Whether this process is the child that runs the test (gtest's "Suite.Name").
inline bool isChildProcessOf(const char* test) {
  return qEnvironmentVariable(kChildTestVariable) == QLatin1String(test);
}

// Starts the test in child, with the given variables added to the
// environment, and returns at once; the caller reads, waits for or kills it.
inline void startChildProcess(QProcess& child, const char* test,
                              const std::vector<std::pair<QString, QString>>& environment) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const auto& [name, value] : environment) env.insert(name, value);
  env.insert(QString::fromLatin1(kChildTestVariable), QString::fromLatin1(test));
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + QString::fromLatin1(test)});
}

// In the test's own process: runs the test in a child with the given
// variables added to the environment, fails here with the child's output
// when it fails there, and is false. In the child: true, and the test goes on
// there.
inline bool inChildProcess(const char* test, const std::vector<std::pair<QString, QString>>& environment) {
  if (isChildProcessOf(test)) return true;
  QProcess child;
  child.setProcessChannelMode(QProcess::MergedChannels);
  startChildProcess(child, test, environment);
  const bool finished = child.waitForFinished(120000);
  if (!finished) child.kill();
  EXPECT_TRUE(finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
      << child.readAll().toStdString();
  return false;
}

}  // namespace testsupport

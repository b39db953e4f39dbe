// gtest main for tests that need Qt but no widgets: one QCoreApplication for
// the whole binary.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <optional>

#include "tests/support/ChildProcess.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  if (const std::optional<int> child = testsupport::childExitCode()) return *child;
  return RUN_ALL_TESTS();
}

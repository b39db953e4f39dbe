// gtest main for tests of widgets and windows: one QApplication for the whole
// binary, named as the program names it (the plain message dialog's caption).
#include <QApplication>

#include <gtest/gtest.h>

#include <optional>

#include "app/Texts.h"
#include "tests/support/ChildProcess.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName(texts::kApplicationTitle);
  if (const std::optional<int> child = testsupport::childExitCode()) return *child;
  return RUN_ALL_TESTS();
}

// gtest main for tests of widgets and windows: one QApplication for the whole
// binary, named as the program names it (the plain message dialog's caption).
#include <QApplication>

#include <gtest/gtest.h>

#include "app/Texts.h"
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  QApplication::setApplicationName(texts::kApplicationTitle);
  return RUN_ALL_TESTS();
}

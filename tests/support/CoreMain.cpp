// gtest main for tests that need Qt but no widgets: one QCoreApplication for
// the whole binary.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}

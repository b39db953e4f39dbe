#include <QApplication>

#include "app/UCheckEdit.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  return ProgramMain();
}

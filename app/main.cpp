#include <QApplication>

#include "app/UCheckEdit.h"
#include "platform/dialogs.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  platform::prepareChineseDesktop(application);
  return ProgramMain();
}

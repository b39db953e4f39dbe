// TFmCheckEdit: the problem register, export and print.
#include "app/UCheckEdit.h"

void TFmCheckEdit::Datetocell() {}
void TFmCheckEdit::btnExportClick() {}
void TFmCheckEdit::btnPrintClick() {}

// TFmCheckEdit: the rule-file import.
#include "app/UCheckEdit.h"

void TFmCheckEdit::btnReadXMLClick() {}
void TFmCheckEdit::ImportCheckPlan(const QString&) {}

// TFmCheckEdit: the choice of organisations.
#include "app/UCheckEdit.h"

void TFmCheckEdit::btnCheckUnitClick() {}

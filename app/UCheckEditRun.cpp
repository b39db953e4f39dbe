// TFmCheckEdit: the check command and the check run.
#include "app/UCheckEdit.h"

void TFmCheckEdit::btnCheckClick() {}
void TFmCheckEdit::PrepareCheckTables() {}
void TFmCheckEdit::RunChecks() {}
void TFmCheckEdit::ValuetoDate(const QString&, const QString&, const QString&, const QString&,
                               const QString&) {}
QString TFmCheckEdit::NewIdText() { return QString(); }
QString TFmCheckEdit::SubText(const QString& text, int start, int count) {
  return text.mid(start - 1, count);
}

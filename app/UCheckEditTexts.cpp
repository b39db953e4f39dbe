// TFmCheckEdit: the problem-text functions.
#include "app/UCheckEdit.h"

QString TFmCheckEdit::CheckTypeCaption(const QString&) { return QString(); }
QString TFmCheckEdit::BuildProblemText(const QString&, const QString&, const QString&,
                                       const QString&) {
  return QString();
}
QString TFmCheckEdit::RenderExpression(const QString&, const QString&, const QString&) {
  return QString();
}
QString TFmCheckEdit::RenderExpressionSide(const QString&, const QString&) { return QString(); }
QString TFmCheckEdit::RenderCellRef(const QString&, const QString&) { return QString(); }
QString TFmCheckEdit::TableLabel(const QString&) { return QString(); }

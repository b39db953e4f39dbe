// TFmCheckEdit: the problem-text functions (the work lives in check/ProblemTexts).
#include "app/UCheckEdit.h"
#include "check/ProblemTexts.h"

QString TFmCheckEdit::CheckTypeCaption(const QString& checkType) {
  return check::checkTypeCaption(checkType);
}

QString TFmCheckEdit::BuildProblemText(const QString& checkType, const QString& describe,
                                       const QString& orgName, const QString& value) {
  return check::buildProblemText(checkType, describe, orgName, value);
}

QString TFmCheckEdit::RenderExpression(const QString& checkType, const QString& expression,
                                       const QString& orgName) {
  return check::renderExpression(checkType, expression, orgName);
}

QString TFmCheckEdit::RenderExpressionSide(const QString& checkType, const QString& side) {
  return check::renderExpressionSide(checkType, side);
}

QString TFmCheckEdit::RenderCellRef(const QString& checkType, const QString& ref) {
  return check::renderCellRef(checkType, ref);
}

QString TFmCheckEdit::TableLabel(const QString& templateId) {
  return check::tableLabel(templateId);
}

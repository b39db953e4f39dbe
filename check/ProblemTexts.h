#pragma once
// The texts of a problem row: the category of a check type, the problem
// description with its markers filled in, the readable form of a relation
// between cell sums (check types 3 and 4) and the table label of a template id.
// Free functions without state; every failure raises TextError.
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace check {

// A text that cannot be made into a problem text; what() is UTF-8.
class TextError : public std::runtime_error {
 public:
  explicit TextError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// Splits text at delimiter as the rule texts are written: characters of codes
// 1..32 separate items just as the delimiter does, an item opening with a double
// quote runs to its closing quote (a doubled quote inside stands for one), a
// leading, doubled or trailing delimiter gives an empty item, a character of
// code 0 ends the text. An empty text gives no item.
QStringList splitItems(const QString& text, QChar delimiter);

// Reads a whole decimal integer (leading blanks and a sign allowed); raises
// TextError when the text is not one.
int readInteger(const QString& text);

// The category of a check type ("3" -> "原库中表内校核(未通过)"); empty for an
// integer without a category. Raises TextError when checkType is not an integer.
QString checkTypeCaption(const QString& checkType);

// Check type "3" or "4": the rendered relation of the description. Any other
// type: the description with "$D" replaced by orgName, "$T" by nothing and "$V"
// by value, in that order.
QString buildProblemText(const QString& checkType, const QString& describe, const QString& orgName,
                         const QString& value);

// "orgName left<word>right" for an expression holding one of = > < >= <=.
// Raises TextError when the expression does not give two sides.
QString renderExpression(const QString& checkType, const QString& expression,
                         const QString& orgName);

// One side of an expression: its references rendered, joined by "+" and "-".
QString renderExpressionSide(const QString& checkType, const QString& side);

// One reference: "R12C3" -> "C12" (type 3); "T17000400R12C3" -> "4表C12" (type 4);
// empty for any other type. Raises TextError when the reference does not
// split into row and column or a number in it is not an integer.
QString renderCellRef(const QString& checkType, const QString& ref);

// "18000700" -> "第7表"; empty for an empty id. Raises TextError when the id
// leaves no integer.
QString tableLabel(const QString& templateId);

}  // namespace check

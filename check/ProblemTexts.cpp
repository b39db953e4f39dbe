#include "check/ProblemTexts.h"

namespace check {
namespace {

const QChar kQuote = QLatin1Char('"');

bool isBlank(QChar c) { return c.unicode() >= 1 && c.unicode() <= 32; }
// The end of an unquoted item: a blank, a control character or code 0.
bool endsItem(QChar c, QChar delimiter) { return c.unicode() <= 32 || c == delimiter; }

struct Category {
  int checkType;
  const char16_t* text;
};
const Category kCategories[] = {
    {3, u"原库中表内校核(未通过)"}, {4, u"原库中表间校核(未通过)"}, {11, u"不应为零(应该有数据)"},
    {12, u"不应有数据"},           {13, u"需报说明"},             {14, u"校核未通过"},
};

// Relation operators in the order they are tested; the last one found decides,
// so ">=" wins over ">" and "=".
struct Relation {
  const char* op;
  const char16_t* word;
};
const Relation kRelations[] = {
    {"=", u"等于"}, {">", u"大于"}, {"<", u"小于"}, {">=", u"大于等于"}, {"<=", u"小于等于"},
};

QString removeAll(QString text, const QString& what) { return text.remove(what); }

// The character for a column number: 1 is "A", 26 is "Z"; other numbers keep
// the low byte of 64 + column (worked unsigned, so no number overflows).
QString columnChar(int column) {
  return QString(QChar(static_cast<char16_t>((64u + static_cast<unsigned>(column)) & 0xFFu)));
}

// "12C3" (the "R" already gone) -> "C12".
QString renderRowColumn(const QString& cellPart, const QString& ref) {
  const QStringList items = splitItems(cellPart, QLatin1Char('C'));
  if (items.size() < 2)
    throw TextError(QStringLiteral("'%1' is not a cell reference").arg(ref));
  return columnChar(readInteger(items[1])) + items[0];
}

}  // namespace

QStringList splitItems(const QString& text, QChar delimiter) {
  QStringList items;
  // A character of code 0 ends the text, as it ends a C string.
  const qsizetype nul = text.indexOf(QChar(0));
  const QStringView s = QStringView(text).left(nul < 0 ? text.size() : nul);
  const qsizetype n = s.size();
  qsizetype p = 0;
  while (p < n && isBlank(s[p])) ++p;
  while (p < n) {
    QString item;
    if (s[p] == kQuote) {
      ++p;
      while (p < n) {
        if (s[p] == kQuote) {
          if (p + 1 < n && s[p + 1] == kQuote) {
            item += kQuote;
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += s[p++];
      }
    } else {
      const qsizetype start = p;
      while (p < n && !endsItem(s[p], delimiter)) ++p;
      item = s.mid(start, p - start).toString();
    }
    items << item;
    while (p < n && isBlank(s[p])) ++p;
    if (p < n && s[p] == delimiter) {
      if (p + 1 == n) items << QString();
      do ++p;
      while (p < n && isBlank(s[p]));
    }
  }
  return items;
}

int readInteger(const QString& text) {
  qsizetype p = 0;
  const qsizetype n = text.size();
  while (p < n && text[p] == QLatin1Char(' ')) ++p;
  bool negative = false;
  if (p < n && (text[p] == QLatin1Char('-') || text[p] == QLatin1Char('+')))
    negative = text[p++] == QLatin1Char('-');
  long long value = 0;
  const qsizetype first = p;
  for (; p < n && text[p] >= QLatin1Char('0') && text[p] <= QLatin1Char('9'); ++p) {
    value = value * 10 + (text[p].unicode() - '0');
    if (value > 2147483648LL) break;
  }
  if (negative) value = -value;
  if (p == first || p != n || value > 2147483647LL || value < -2147483648LL)
    throw TextError(QStringLiteral("'%1' is not a valid integer value").arg(text));
  return static_cast<int>(value);
}

QString checkTypeCaption(const QString& checkType) {
  const int type = readInteger(checkType);
  for (const Category& c : kCategories)
    if (c.checkType == type) return QString::fromUtf16(c.text);
  return QString();
}

QString buildProblemText(const QString& checkType, const QString& describe, const QString& orgName,
                         const QString& value) {
  if (checkType == QLatin1String("3") || checkType == QLatin1String("4"))
    return renderExpression(checkType, describe, orgName);
  QString text = describe;
  text.replace(QLatin1String("$D"), orgName);
  text.replace(QLatin1String("$T"), QString());
  text.replace(QLatin1String("$V"), value);
  return text;
}

QString renderExpression(const QString& checkType, const QString& expression,
                         const QString& orgName) {
  const Relation* found = nullptr;
  for (const Relation& r : kRelations)
    if (expression.contains(QLatin1String(r.op))) found = &r;
  if (!found) throw TextError(QStringLiteral("'%1' holds no relation").arg(expression));
  QString split = expression;
  split.replace(QLatin1String(found->op), QStringLiteral(","));
  const QStringList sides = splitItems(split, QLatin1Char(','));
  if (sides.size() < 2)
    throw TextError(QStringLiteral("'%1' does not give two sides").arg(expression));
  return orgName + QLatin1Char(' ') + renderExpressionSide(checkType, sides[0]) +
         QString::fromUtf16(found->word) + renderExpressionSide(checkType, sides[1]);
}

QString renderExpressionSide(const QString& checkType, const QString& side) {
  auto renderDifference = [&checkType](const QString& term) {
    QStringList parts;
    for (const QString& part : splitItems(term, QLatin1Char('-')))
      parts << renderCellRef(checkType, part);
    return parts.join(QLatin1Char('-'));
  };
  if (side.contains(QLatin1Char('+'))) {
    QStringList terms;
    for (const QString& term : splitItems(side, QLatin1Char('+')))
      terms << (term.contains(QLatin1Char('-')) ? renderDifference(term)
                                                : renderCellRef(checkType, term));
    return terms.join(QLatin1Char('+'));
  }
  if (side.contains(QLatin1Char('-'))) return renderDifference(side);
  return renderCellRef(checkType, side);
}

QString renderCellRef(const QString& checkType, const QString& ref) {
  QString r = removeAll(removeAll(ref, QStringLiteral("(")), QStringLiteral(")"));
  if (checkType == QLatin1String("3")) return renderRowColumn(removeAll(r, QStringLiteral("R")), ref);
  if (checkType == QLatin1String("4")) {
    r = removeAll(r, QStringLiteral("T1700"));
    // The "00" around the table number goes; the row and column after "R" keep
    // theirs (row 100 is row 100, not row 1).
    const qsizetype cellStart = r.indexOf(QLatin1Char('R'));
    const qsizetype split = cellStart < 0 ? r.size() : cellStart;
    r = removeAll(r.left(split), QStringLiteral("00")) + r.mid(split);
    const int table = readInteger(r.left(2));
    return QString::number(table) + QStringLiteral("表") +
           renderRowColumn(removeAll(r.mid(2), QStringLiteral("R")), ref);
  }
  return QString();
}

QString tableLabel(const QString& templateId) {
  if (templateId.isEmpty()) return QString();
  QString text = templateId == QLatin1String("18001800")
                     ? QStringLiteral("1800")
                     : removeAll(templateId, QStringLiteral("1800"));
  text = removeAll(text, QStringLiteral("00"));
  return QStringLiteral("第") + QString::number(readInteger(text)) + QStringLiteral("表");
}

}  // namespace check

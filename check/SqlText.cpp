#include "check/SqlText.h"

namespace check {

const QString kStandardStringsSql = QStringLiteral("SET standard_conforming_strings = on");

QString quoteLiteral(const QString& value) {
  QString out;
  out.reserve(value.size() + 2);
  appendQuoted(out, value);
  return out;
}

void appendQuoted(QString& out, QStringView value) {
  const QChar quote = QLatin1Char('\'');
  out += quote;
  for (qsizetype from = 0;;) {
    const qsizetype at = value.indexOf(quote, from);
    if (at < 0) {
      out += value.mid(from);
      break;
    }
    out += value.mid(from, at + 1 - from);
    out += quote;
    from = at + 1;
  }
  out += quote;
}

QString quotedCodeList(const QStringList& codes) {
  QString out;
  for (const QString& code : codes) out += quoteLiteral(code) + QLatin1Char(',');
  return out + QStringLiteral("'1'");
}

}  // namespace check

#include "check/SqlText.h"

namespace check {

const QString kStandardStringsSql = QStringLiteral("SET standard_conforming_strings = on");

QString quoteLiteral(const QString& value) {
  QString out = value;
  out.replace(QLatin1Char('\''), QStringLiteral("''"));
  return QLatin1Char('\'') + out + QLatin1Char('\'');
}

QString quotedCodeList(const QStringList& codes) {
  QString out;
  for (const QString& code : codes) out += quoteLiteral(code) + QLatin1Char(',');
  return out + QStringLiteral("'1'");
}

}  // namespace check

#pragma once
// Small helpers of the import tests: fixture paths and rule files written on the fly.
#include <QFile>
#include <QString>

#include <ostream>
#include <string>

#include "tests/support/QStringPrint.h"

inline QString importData(const char* name) {
  return QStringLiteral(RC_IMPORT_DATA_DIR "/") + QString::fromUtf8(name);
}

// Writes bytes as they are.
inline void writeBytes(const QString& path, const std::string& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw std::runtime_error("cannot write");
  f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// One formula around the given element lines, the way the program's files shape it.
inline std::string planWith(const std::string& formulaBody, const std::string& id = "F") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<checkplan><formula id=\"" + id +
         "\" type=\"14\">" + formulaBody + "</formula></checkplan>\n";
}

#include "tests/support/XlsDump.h"

#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

#include <stdexcept>

namespace xlsdump {
namespace {

QString script() { return qEnvironmentVariable("RC_SOURCE_DIR") + QStringLiteral("/tests/support/xls_dump.py"); }

// The first python3 that imports both readers: the system's (where the
// Debian packages put them), then the one on PATH.
const QString& python() {
  static const QString found = [] {
    QStringList candidates{QStringLiteral("/usr/bin/python3")};
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (!onPath.isEmpty()) candidates << onPath;
    for (const QString& p : candidates) {
      QProcess check;
      check.start(p, {QStringLiteral("-c"), QStringLiteral("import xlrd, olefile")});
      if (check.waitForFinished(30000) && check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0) return p;
    }
    return QString();
  }();
  return found;
}

}  // namespace

QString unavailable() {
  if (qEnvironmentVariableIsEmpty("RC_SOURCE_DIR")) return QStringLiteral("RC_SOURCE_DIR is not set");
  if (python().isEmpty()) return QStringLiteral("no python3 with xlrd and olefile (python3-xlrd, python3-olefile)");
  return QString();
}

QJsonObject read(const QString& file) {
  QProcess p;
  p.start(python(), {script(), file});
  if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
    throw std::runtime_error("xls_dump.py failed: " + p.readAllStandardError().toStdString());
  QJsonParseError error{};
  const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput(), &error);
  if (!doc.isObject()) throw std::runtime_error("xls_dump.py output: " + error.errorString().toStdString());
  return doc.object();
}

std::map<std::pair<int, int>, QString> texts(const QJsonObject& sheet) {
  std::map<std::pair<int, int>, QString> out;
  for (const QJsonValue& v : sheet.value(QStringLiteral("cells")).toArray()) {
    const QJsonArray c = v.toArray();
    const QString text = c.at(2).toString();
    if (!text.isEmpty()) out[{c.at(0).toInt(), c.at(1).toInt()}] = text;
  }
  return out;
}

std::map<std::pair<int, int>, QJsonObject> formats(const QJsonObject& dump, const QJsonObject& sheet) {
  const QJsonArray xfs = dump.value(QStringLiteral("xfs")).toArray();
  std::map<std::pair<int, int>, QJsonObject> out;
  for (const QJsonValue& v : sheet.value(QStringLiteral("cells")).toArray()) {
    const QJsonArray c = v.toArray();
    out[{c.at(0).toInt(), c.at(1).toInt()}] = xfs.at(c.at(3).toInt()).toObject();
  }
  return out;
}

}  // namespace xlsdump

#pragma once
// Outside programs the tests read our output with: poppler's PDF tools and
// LibreOffice headless. Each helper gives an empty result where the program
// is missing or fails, so a test can skip or fail on that.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace tools {

// Standard output of a program; empty when it cannot be run or fails.
inline QString run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(240000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return QString();
  return QString::fromUtf8(p.readAllStandardOutput());
}

// One field of pdfinfo's report ("Pages", "Page size"); empty when absent.
inline QString pdfInfo(const QString& pdf, const QString& field) {
  for (const QString& line : run(QStringLiteral("pdfinfo"), {pdf}).split(u'\n'))
    if (line.startsWith(field + u':')) return line.mid(field.size() + 1).trimmed();
  return QString();
}

// Number of pages of a PDF; 0 when it cannot tell.
inline int pdfPages(const QString& pdf) { return pdfInfo(pdf, QStringLiteral("Pages")).toInt(); }

// The text of one page, laid out as on the page (pdftotext -layout).
inline QString pdfPageText(const QString& pdf, int page) {
  return run(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                           QString::number(page), QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

// LibreOffice's program; empty when it is not installed.
inline QString office() {
  const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
  return soffice.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("libreoffice")) : soffice;
}

// Converts a file with LibreOffice headless into outDir, with a profile of
// its own under profileDir (so runs never share one).
inline void officeConvert(const QString& file, const QString& filter, const QString& outDir, const QString& profileDir) {
  run(office(), {QStringLiteral("--headless"), QStringLiteral("-env:UserInstallation=file://") + profileDir,
                 QStringLiteral("--convert-to"), filter, QStringLiteral("--outdir"), outDir, file});
}

// Keeps a copy of a file in RC_ARTIFACT_DIR under the given name, for a look
// after the run; nothing when the variable is not set.
inline void keepArtifact(const QString& file, const QString& name) {
  const QString dir = qEnvironmentVariable("RC_ARTIFACT_DIR");
  if (dir.isEmpty() || !QDir().mkpath(dir)) return;
  QFile::remove(dir + u'/' + name);
  QFile::copy(file, dir + u'/' + name);
}

}  // namespace tools

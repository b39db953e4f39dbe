#pragma once
// A CUPS print server of the test's own: cupsd in a temporary folder,
// listening on a socket there and nowhere else, so that the machine's print
// queues (and other test runs) see nothing of it. A process whose
// CUPS_SERVER names socket() prints through it. Unavailable where CUPS is not
// installed or cupsd does not start.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

namespace testsupport {

class PrivateCups {
 public:
  PrivateCups() {
    const QString cupsd = QStandardPaths::findExecutable(QStringLiteral("cupsd"), {QStringLiteral("/usr/sbin")});
    if (cupsd.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("lpadmin")).isEmpty()) {
      why_ = QStringLiteral("CUPS (cupsd, lpadmin) is not installed");
      return;
    }
    const QString root = dir_.path();
    for (const char* sub : {"etc", "spool/tmp", "cache", "state", "log"}) QDir(root).mkpath(QString::fromLatin1(sub));
    write(QStringLiteral("etc/cupsd.conf"), QStringLiteral("Listen %1\nLogLevel warn\n"
                                                           "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                                           "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n")
                                                .arg(socket()));
    write(QStringLiteral("etc/cups-files.conf"),
          QStringLiteral("ServerRoot %1/etc\nRequestRoot %1/spool\nTempDir %1/spool/tmp\nCacheDir %1/cache\n"
                         "StateDir %1/state\nErrorLog %1/log/error_log\nAccessLog %1/log/access_log\n"
                         "PageLog %1/log/page_log\nFileDevice Yes\n")
              .arg(root));
    // cupsd's helpers run as a user of their own (lp), which must reach them.
    QFile::setPermissions(root, QFile::permissions(root) | QFileDevice::ReadOther | QFileDevice::ExeOther);
    cupsd_.setProcessChannelMode(QProcess::MergedChannels);
    cupsd_.start(cupsd, {QStringLiteral("-f"), QStringLiteral("-c"), root + QStringLiteral("/etc/cupsd.conf"),
                         QStringLiteral("-s"), root + QStringLiteral("/etc/cups-files.conf")});
    for (int i = 0; i < 100 && cupsd_.state() != QProcess::NotRunning && !answers(); ++i) QThread::msleep(50);
    if (!answers()) why_ = QStringLiteral("cupsd did not start: ") + QString::fromLocal8Bit(cupsd_.readAll());
  }
  ~PrivateCups() {
    if (cupsd_.state() == QProcess::NotRunning) return;
    cupsd_.terminate();
    if (!cupsd_.waitForFinished(10000)) {
      cupsd_.kill();
      cupsd_.waitForFinished(10000);
    }
  }
  PrivateCups(const PrivateCups&) = delete;
  PrivateCups& operator=(const PrivateCups&) = delete;

  // Why there is no server; empty when it runs.
  QString unavailable() const { return why_; }
  // The socket a client names in CUPS_SERVER.
  QString socket() const { return dir_.path() + QStringLiteral("/cups.sock"); }
  // Runs a CUPS command (lpadmin, cupsreject, ...) against this server; true
  // when it succeeds.
  bool run(const QString& program, const QStringList& args, QString* output = nullptr) const {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CUPS_SERVER"), socket());
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    const bool ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output) *output = QString::fromLocal8Bit(p.readAllStandardOutput());
    return ok;
  }

 private:
  // Whether the server answers (lpstat says so, with exit code 0 either way).
  bool answers() const {
    QString said;
    return run(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &said) &&
           said.startsWith(QLatin1String("scheduler is running"));
  }

  void write(const QString& name, const QString& text) {
    QFile f(dir_.filePath(name));
    if (f.open(QIODevice::WriteOnly)) f.write(text.toUtf8());
  }

  QTemporaryDir dir_;
  QProcess cupsd_;
  QString why_;
};

}  // namespace testsupport

#include "platform/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace platform {
namespace {

class QtDialogs final : public Dialogs {
 public:
  void informationBox(QWidget* owner, const QString& text, const QString& caption) override {
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, owner);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
  }

  void plainMessage(const QString& text) override {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
  }

  void startupMessage(const QString& text, const QString& caption) override {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, nullptr);
    box.exec();
  }

  std::optional<QString> openFileName(QWidget* owner, const FileDialogOptions& o) override {
    const QString name = QFileDialog::getOpenFileName(owner, QString(), QString(),
                                                      qtFileFilter(o.filter));
    if (name.isEmpty()) return std::nullopt;
    return name;
  }

  std::optional<QString> saveFileName(QWidget* owner, const FileDialogOptions& o) override {
    QFileDialog dlg(owner);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setNameFilter(qtFileFilter(o.filter));
    dlg.setDefaultSuffix(o.defaultExtension);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, !o.confirmOverwrite);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    return dlg.selectedFiles().first();
  }

  void showFailure(const QString& message) override {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), message,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
  }
};

Dialogs* g_installed = nullptr;

}  // namespace

Dialogs& dialogs() {
  static QtDialogs real;
  return g_installed ? *g_installed : real;
}

ScopedDialogs::ScopedDialogs(Dialogs& replacement) : previous_(g_installed) {
  g_installed = &replacement;
}

ScopedDialogs::~ScopedDialogs() { g_installed = previous_; }

QString qtFileFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    out << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(';', ' '));
  return out.join(QStringLiteral(";;"));
}

}  // namespace platform

#include "platform/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include <memory>

namespace platform {
namespace {

// A shown window that stays on top of the others (the progress window of a
// running step); nullptr when there is none.
QWidget* stayOnTopWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->isWindow() && (w->windowFlags() & Qt::WindowStaysOnTopHint) &&
        !qobject_cast<QMessageBox*>(w))
      return w;
  return nullptr;
}

// Runs a message box above any window that stays on top: the box then belongs
// to that window and stays on top too, so that the window manager stacks it
// above the window instead of letting the window cover its text.
void runAboveAll(QMessageBox::Icon icon, const QString& caption, const QString& text,
                 QWidget* owner, bool stayOnTop) {
  QWidget* cover = stayOnTopWindow();
  QMessageBox box(icon, caption, text, QMessageBox::Ok, cover ? cover : owner);
  box.setWindowFlag(Qt::WindowStaysOnTopHint, stayOnTop || cover);
  box.exec();
}

class QtDialogs final : public Dialogs {
 public:
  void informationBox(QWidget* owner, const QString& text, const QString& caption) override {
    runAboveAll(QMessageBox::Information, caption, text, owner, true);
  }

  void plainMessage(const QString& text) override {
    runAboveAll(QMessageBox::NoIcon, QApplication::applicationName(), text,
                QApplication::activeWindow(), false);
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
    runAboveAll(QMessageBox::Critical, QApplication::applicationName(), message,
                QApplication::activeWindow(), false);
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

bool prepareChineseDesktop(QCoreApplication& application) {
  // Added to what the font database already substitutes, so that without the
  // Ming font the face falls back as before.
  QFont::insertSubstitution(QStringLiteral("宋体"), QString::fromUtf8(kSongSubstitute));
  auto qtTexts = std::make_unique<QTranslator>();
  if (!qtTexts->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  qtTexts->setParent(&application);  // lives as long as the application
  return QCoreApplication::installTranslator(qtTexts.release());
}

QString qtFileFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    out << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(';', ' '));
  return out.join(QStringLiteral(";;"));
}

}  // namespace platform

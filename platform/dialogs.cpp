#include "platform/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QTranslator>
#include <QTreeView>

#include <climits>
#include <memory>

#include "platform/fonts.h"

namespace platform {
namespace {

// A text taller than a third of the screen (a 10,000-character name makes a
// box thousands of pixels tall), or with a run too long to wrap that is wider
// than the screen, would push the box's OK button off it: the box then shows
// as much of the text as fits and keeps the whole of it in its details, which
// scroll. The wrapping width is a narrow guess of the box's own, so the
// height is rather over- than underestimated.
void fitOnScreen(QMessageBox& box) {
  const QScreen* screen = box.screen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const int wrapWidth = qMax(120, qMin(area.width() / 2, 500) - 120);
  const int widest = qMax(120, area.width() - 200);
  const int room = area.height() / 3;
  const QFontMetrics metrics(box.font());
  const auto fits = [&](const QString& t) {
    const QRect wrapped = metrics.boundingRect(QRect(0, 0, wrapWidth, INT_MAX),
                                               Qt::TextWordWrap | Qt::TextWrapAnywhere, t);
    const QRect unbroken = metrics.boundingRect(QRect(0, 0, widest, INT_MAX), Qt::TextWordWrap, t);
    return wrapped.height() <= room && unbroken.width() <= widest;
  };
  const QString text = box.text();
  if (fits(text)) return;
  const QString more = QStringLiteral("…");
  qsizetype shown = 0;  // the longest head that fits, by halving
  for (qsizetype lo = 0, hi = text.size(); lo < hi;) {
    const qsizetype mid = (lo + hi + 1) / 2;
    if (fits(text.left(mid) + more))
      lo = shown = mid;
    else
      hi = mid - 1;
  }
  box.setText(text.left(shown) + more);
  box.setDetailedText(text);
}

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
  fitOnScreen(box);
  box.exec();
}

// The file list of a file dialog in Chinese whatever the process locale:
// the file system model writes sizes and dates in the process locale, and
// names a folder with a text that Qt's translation lacks.
class ChineseFileList final : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files) return QIdentityProxyModel::data(index, role);
    const QModelIndex source = mapToSource(index);
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    switch (index.column()) {
      case 1:
        if (!files->isDir(source)) return chinese.formattedDataSize(files->size(source));
        break;
      case 2:
        if (files->isDir(source)) return QStringLiteral("文件夹");
        break;
      case 3: return chinese.toString(files->lastModified(source), QLocale::ShortFormat);
      default: break;
    }
    return QIdentityProxyModel::data(index, role);
  }
};

// Qt's own file dialog rather than the desktop's, which would speak the
// process locale; its list in Chinese, the size, type and date columns as
// wide as their texts (the dialog sizes them for English ones); each file
// type shown by its description alone ("报表校核情况(.xls)", which names its
// pattern already).
void prepareFileDialog(QFileDialog& dlg, const QString& filter) {
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.setOption(QFileDialog::HideNameFilterDetails);
  dlg.setNameFilter(qtFileFilter(filter));
  dlg.setProxyModel(new ChineseFileList(&dlg));  // the dialog's from now on
  if (auto* details = dlg.findChild<QTreeView*>(QStringLiteral("treeView")))
    for (int column = 1; column < details->header()->count(); ++column)
      details->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
}

std::optional<QString> run(QFileDialog& dlg) {
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
  return dlg.selectedFiles().first();
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

  void startupMessage(const QString& text, const QString& caption, const QString& details) override {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, nullptr);
    fitOnScreen(box);
    if (!details.isEmpty())
      box.setDetailedText(box.detailedText().isEmpty() ? details
                                                       : box.detailedText() + QStringLiteral("\n\n") + details);
    box.exec();
  }

  std::optional<QString> openFileName(QWidget* owner, const FileDialogOptions& o) override {
    QFileDialog dlg(owner);
    prepareFileDialog(dlg, o.filter);
    dlg.setFileMode(QFileDialog::ExistingFile);
    return run(dlg);
  }

  std::optional<QString> saveFileName(QWidget* owner, const FileDialogOptions& o) override {
    QFileDialog dlg(owner);
    prepareFileDialog(dlg, o.filter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(o.defaultExtension);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, !o.confirmOverwrite);
    return run(dlg);
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
  // stand-ins the face falls back as before.
  QFont::insertSubstitutions(QString::fromUtf8(kSongFace), songFamilies().mid(1));
  // Texts that Qt takes from the default locale (file types' descriptions
  // among them) in Chinese too.
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
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

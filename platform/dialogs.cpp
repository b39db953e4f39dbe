#include "platform/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLayout>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>
#include <QTranslator>
#include <QTreeView>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <memory>

namespace platform {
namespace {

// The locale of the program's texts and of Qt's own.
const QLocale& chinese() {
  static const QLocale locale(QLocale::Chinese, QLocale::China);
  return locale;
}

// The type column's text for a folder, which Qt's translation lacks.
const QString kFolderType = QStringLiteral("文件夹");

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

// The details pane (a box's only text edit) as wide as its longest line
// needs, within the screen, and its tabs one blank wide; its text stays as
// it is. Qt sizes the box for its sentence, which leaves a driver's reason
// five lines of a pane 235 pixels wide. The box is widened once Qt has sized
// it for the shown pane, which it does on the details button's click: hence
// the queued call.
void fitDetails(QMessageBox& box) {
  auto* pane = box.findChild<QTextEdit*>();
  if (!pane || box.detailedText().isEmpty()) return;
  const QFontMetrics metrics(pane->font());
  pane->setTabStopDistance(metrics.horizontalAdvance(QLatin1Char(' ')));
  int longest = 0;
  for (const QString& line : box.detailedText().split(QLatin1Char('\n')))
    longest = std::max(longest, metrics.horizontalAdvance(QString(line).replace(QLatin1Char('\t'), QLatin1Char(' '))));
  // The text's width plus the document's margins, the frame and a scroll bar
  // for a reason longer than the pane is tall.
  const int paneWidth = longest + 2 * static_cast<int>(std::ceil(pane->document()->documentMargin())) +
                        2 * pane->frameWidth() + pane->verticalScrollBar()->sizeHint().width() + 1;
  for (QAbstractButton* button : box.buttons()) {
    if (box.buttonRole(button) != QMessageBox::ActionRole) continue;
    QObject::connect(button, &QAbstractButton::clicked, &box, [&box, pane, paneWidth] {
      if (!pane->isVisible() || !box.screen()) return;
      box.layout()->activate();  // the pane's width in the box as Qt sized it
      const QRect screen = box.screen()->availableGeometry();
      const QMargins frame = box.windowHandle() ? box.windowHandle()->frameMargins() : QMargins();
      const int width = std::min(box.width() - pane->width() + paneWidth, screen.width() - frame.left() - frame.right());
      if (width <= box.width()) return;
      const int centre = box.frameGeometry().center().x();
      box.setFixedWidth(width);
      const int frameWidth = width + frame.left() + frame.right();
      box.move(std::clamp(centre - frameWidth / 2, screen.left(), screen.right() + 1 - frameWidth), box.y());
    }, Qt::QueuedConnection);
  }
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

// Runs a message box: the close box alone in its border, its details
// readable.
void run(QMessageBox& box) {
  offerOnlyTheCloseBox(box);
  fitDetails(box);
  box.exec();
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
  run(box);
}

// The file list of a file dialog in Chinese whatever the process locale:
// the file system model writes sizes and dates in the process locale, and
// names a folder with a text that Qt's translation lacks.
class ChineseFileList final : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  // The file system model's columns.
  enum Column { kName = 0, kSize = 1, kType = 2, kModified = 3 };

  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files) return QIdentityProxyModel::data(index, role);
    const QModelIndex source = mapToSource(index);
    switch (index.column()) {
      case kSize:
        if (!files->isDir(source)) return chinese().formattedDataSize(files->size(source));
        break;
      case kType:
        if (files->isDir(source)) return kFolderType;
        break;
      case kModified: return chinese().toString(files->lastModified(source), QLocale::ShortFormat);
      default: break;
    }
    return QIdentityProxyModel::data(index, role);
  }
};

// The dialog's list of details: of the views that show the proxy model (as
// setProxyModel promises), the tree view, with its header. That the detail
// view is a QTreeView is Qt's widget dialog's own choice, which Qt does not
// promise: without one the columns keep Qt's widths, and the dialogs test
// that looks for the list fails.
QTreeView* detailList(QFileDialog& dlg) {
  for (QTreeView* view : dlg.findChildren<QTreeView*>())
    if (view->model() == dlg.proxyModel()) return view;
  return nullptr;
}

// Qt's own file dialog rather than the desktop's, which would speak the
// process locale; its list in Chinese, the size, type and date columns as
// wide as their texts (the dialog sizes them for English ones) and the name
// column taking the rest, so the columns are whole at any size the texts
// fit in; each file type shown by its description alone ("报表校核情况(.xls)",
// which names its pattern already); opening in the given folder, else the
// working folder.
void prepareFileDialog(QFileDialog& dlg, const FileDialogOptions& options) {
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.setOption(QFileDialog::HideNameFilterDetails);
  dlg.setNameFilter(qtFileFilter(options.filter));
  dlg.setProxyModel(new ChineseFileList(&dlg));  // the dialog's from now on
  if (QTreeView* details = detailList(dlg)) {
    QHeaderView* header = details->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(ChineseFileList::kName, QHeaderView::Stretch);
    for (int column = ChineseFileList::kName + 1; column < header->count(); ++column)
      header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }
  const bool folderThere = !options.folder.isEmpty() && QFileInfo(options.folder).isDir();
  dlg.setDirectory(folderThere ? options.folder : QDir::currentPath());
}

std::optional<QString> runFileDialog(QFileDialog& dlg) {
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
    run(box);
  }

  std::optional<QString> openFileName(QWidget* owner, const FileDialogOptions& o) override {
    QFileDialog dlg(owner);
    prepareFileDialog(dlg, o);
    dlg.setFileMode(QFileDialog::ExistingFile);
    return runFileDialog(dlg);
  }

  std::optional<QString> saveFileName(QWidget* owner, const FileDialogOptions& o) override {
    QFileDialog dlg(owner);
    prepareFileDialog(dlg, o);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(o.defaultExtension);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, !o.confirmOverwrite);
    return runFileDialog(dlg);
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
  // Texts that Qt takes from the default locale (file types' descriptions
  // among them) in Chinese too.
  QLocale::setDefault(chinese());
  auto qtTexts = std::make_unique<QTranslator>();
  if (!qtTexts->load(chinese(), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  qtTexts->setParent(&application);  // lives as long as the application
  return QCoreApplication::installTranslator(qtTexts.release());
}

void offerOnlyTheCloseBox(QWidget& window) {
  // Written when the window is shown, after Qt has written the window's type
  // from its flags and before the window manager reads it at the mapping.
  class WindowType final : public QObject {
   public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Show) writeType(*static_cast<QWidget*>(watched));
      return false;
    }

   private:
    static void writeType(QWidget& window) {
      // (The offscreen platform answers for X11 too, without a connection.)
      const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
      if (QGuiApplication::platformName() != QLatin1String("xcb") || !x11 || !window.isWindow()) return;
      xcb_connection_t* connection = x11->connection();
      if (!connection) return;
      const auto atom = [connection](const char* name) {
        const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(qstrlen(name)), name);
        const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
      };
      // In order of preference, as Qt itself writes the types.
      const xcb_atom_t types[] = {atom("_NET_WM_WINDOW_TYPE_MENU"), atom("_NET_WM_WINDOW_TYPE_DIALOG"),
                                  atom("_NET_WM_WINDOW_TYPE_NORMAL")};
      if (std::find(std::begin(types), std::end(types), xcb_atom_t{XCB_ATOM_NONE}) != std::end(types)) return;
      xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window.winId()),
                          atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, std::size(types), types);
      xcb_flush(connection);
    }
  };
  // One filter serves every such window; a window that goes leaves it.
  static WindowType filter;
  window.installEventFilter(&filter);
}

QString qtFileFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2)
    out << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(';', ' '));
  return out.join(QStringLiteral(";;"));
}

}  // namespace platform

#pragma once
// The one seam through which the program talks to the user in dialogs:
// message boxes, the plain message dialog, file dialogs and the default
// handler for a failure that leaves a command. The program uses the Qt
// dialogs behind it; tests install a scripted double (ScopedDialogs).
#include <QString>

#include <optional>

class QCoreApplication;
class QWidget;

namespace platform {

// Makes the desktop speak the program's language: Qt's own texts (standard
// dialogs and buttons) come from its Simplified Chinese translation in Qt's
// translations folder, and the default locale is Chinese (China). The file
// dialogs are Qt's own, in Chinese whatever the process locale. Call once
// the application object exists. False when Qt's translation is missing;
// Qt's English texts then stay.
bool prepareChineseDesktop(QCoreApplication& application);

struct FileDialogOptions {
  QString filter;            // "description|pattern", as the program writes it
  QString defaultExtension;  // without the dot; empty for none
  bool confirmOverwrite = false;
  QString folder;  // where the dialog opens; empty or gone: the working folder
};

// Keeps the border of a window that has the close box alone (a message box,
// the chooser) free of minimise and maximise under window managers that go
// by the window's type rather than its MWM hints. Qt's MWM hints for such a
// window leave both out, but openbox ignores them there and leaves both off
// only a window typed a torn-off menu: the window is typed so, with the
// dialog type after it for any window manager that knows no menu type.
// Without it, a minimised modal dialog leaves its owner ignoring every click
// with no dialog in sight. Nothing happens on platforms other than X11; the
// main window keeps its own border.
void offerOnlyTheCloseBox(QWidget& window);

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // While a window that stays on top is shown (a step's progress window), the
  // information box, the plain message dialog and the failure report belong
  // to it and come above it, so that it does not cover them.
  // Information box: OK button, information icon, always on top, owned by owner.
  virtual void informationBox(QWidget* owner, const QString& text, const QString& caption) = 0;
  // Plain message dialog: OK button, no icon, the application title as caption.
  virtual void plainMessage(const QString& text) = 0;
  // Start-up message: OK button, no icon, no owner window; details, when
  // given, behind the box's details button. A box's details pane is as wide
  // as its longest line needs within the screen, its tabs one blank wide.
  virtual void startupMessage(const QString& text, const QString& caption,
                              const QString& details = QString()) = 0;
  // Open and save dialogs; nullopt when the user cancels.
  virtual std::optional<QString> openFileName(QWidget* owner, const FileDialogOptions& options) = 0;
  virtual std::optional<QString> saveFileName(QWidget* owner, const FileDialogOptions& options) = 0;
  // What the framework's default handler shows for a failure that leaves a command.
  virtual void showFailure(const QString& message) = 0;
};

// The dialogs in force: the installed double, else the real Qt dialogs.
Dialogs& dialogs();

// Installs a double for its lifetime (tests only).
class ScopedDialogs {
 public:
  explicit ScopedDialogs(Dialogs& replacement);
  ~ScopedDialogs();
  ScopedDialogs(const ScopedDialogs&) = delete;
  ScopedDialogs& operator=(const ScopedDialogs&) = delete;

 private:
  Dialogs* previous_;
};

// Turns "description|pattern|..." into Qt's "description (pattern);;..." form.
QString qtFileFilter(const QString& filter);

}  // namespace platform

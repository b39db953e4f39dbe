// The program as a user sees it on a desktop with a window manager (run under
// tests/support/with-window-manager.sh): what the screen shows while start-up
// waits for the database, where message boxes come during a check, and where
// the chooser opens. The screen is read from the X server itself, over a
// connection of the test's own, so that it can be read while the program's
// thread is blocked.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "app/TPicture.h"
#include "app/UCheckEdit.h"
#include "app/uProgressBar.h"
#include "chooser/uChoosePartyOrg.h"
#include "platform/dialogs.h"
#include "tests/support/TestDatabase.h"

namespace {

const QRgb kGaugeBlue = qRgb(0, 0, 255);

// The root window's pixels and the window manager's stacking order, read over
// a display connection of our own.
class XScreen {
 public:
  XScreen() : display_(XOpenDisplay(nullptr)) {
    if (!display_) throw std::runtime_error("cannot open the X display");
  }
  ~XScreen() { XCloseDisplay(display_); }
  XScreen(const XScreen&) = delete;
  XScreen& operator=(const XScreen&) = delete;

  QImage grab() const {
    const Window root = DefaultRootWindow(display_);
    XWindowAttributes a;
    XGetWindowAttributes(display_, root, &a);
    XImage* image = XGetImage(display_, root, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!image) throw std::runtime_error("cannot read the screen");
    QImage out(a.width, a.height, QImage::Format_RGB32);
    for (int y = 0; y < a.height; ++y)
      for (int x = 0; x < a.width; ++x) {
        const unsigned long p = XGetPixel(image, x, y);
        out.setPixel(x, y, qRgb((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff));
      }
    XDestroyImage(image);
    return out;
  }

  // The actions the window manager allows on a window (_NET_WM_ALLOWED_ACTIONS,
  // as "_NET_WM_ACTION_MINIMIZE" ...); empty until it manages the window.
  QStringList allowedActions(unsigned long window) const {
    const Atom property = XInternAtom(display_, "_NET_WM_ALLOWED_ACTIONS", False);
    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    QStringList out;
    if (XGetWindowProperty(display_, window, property, 0, 64, False, XA_ATOM, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
      const auto* atoms = reinterpret_cast<const Atom*>(data);
      for (unsigned long i = 0; i < count; ++i)
        if (char* name = XGetAtomName(display_, atoms[i])) {
          out << QString::fromLatin1(name);
          XFree(name);
        }
      XFree(data);
    }
    return out;
  }

  // The managed windows, bottom first.
  std::vector<unsigned long> stacking() const {
    const Atom property = XInternAtom(display_, "_NET_CLIENT_LIST_STACKING", False);
    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> out;
    if (XGetWindowProperty(display_, DefaultRootWindow(display_), property, 0, 4096, False,
                           XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
        data) {
      const auto* windows = reinterpret_cast<const unsigned long*>(data);
      out.assign(windows, windows + count);
      XFree(data);
    }
    return out;
  }

 private:
  Display* display_;
};

int countPixels(const QImage& image, QRgb colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
  return n;
}

// A server that takes the program's connection and answers nothing while
// whileHeld runs on a thread of its own, as a slow or unreachable database
// server would; then it drops the connection, so that the attempt fails.
class HeldBackServer {
 public:
  HeldBackServer() : listener_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&a), size) != 0 ||
        listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
      throw std::runtime_error("cannot listen");
    port_ = ntohs(a.sin_port);
  }
  ~HeldBackServer() {
    if (thread_.joinable()) thread_.join();
    close(listener_);
  }
  HeldBackServer(const HeldBackServer&) = delete;
  HeldBackServer& operator=(const HeldBackServer&) = delete;

  int port() const { return port_; }
  bool held() const { return held_; }

  void holdFirstConnection(std::function<void()> whileHeld) {
    thread_ = std::thread([this, whileHeld = std::move(whileHeld)] {
      pollfd p{listener_, POLLIN, 0};
      if (poll(&p, 1, 30000) != 1) return;  // never reached: the test fails on held()
      const int client = accept(listener_, nullptr, nullptr);
      if (client < 0) return;
      held_ = true;
      whileHeld();
      close(client);
    });
  }

  void join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  int listener_;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> held_{false};
};

// Lets events run until the window is on the screen and has been painted.
void waitUntilShown(QWidget& w) {
  QElapsedTimer t;
  t.start();
  while (!(w.windowHandle() && w.windowHandle()->isExposed()) && t.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  // The window manager's frame and the first paint follow the exposure.
  for (QElapsedTimer settle; !settle.isValid() || settle.elapsed() < 300;) {
    if (!settle.isValid()) settle.start();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(10);
  }
}

QWidget* visibleTopLevel(const char* className) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->inherits(className)) return w;
  return nullptr;
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw std::runtime_error("cannot write");
  f.write(bytes);
}

}  // namespace

TEST(Desktop, StartupWindowShowsTheGaugeWhileTheConnectionIsHeldBack) {
  TestDatabase db;
  HeldBackServer server;
  DatabaseSettings s = db.settings();
  s.Port = QString::number(server.port());
  QTemporaryDir dir;
  TestDatabase::writeStatisticsIni(dir.path(), s);

  {
    // A user's window manager has managed windows before: its first one,
    // which may take it longer, is not the program's.
    QWidget earlier;
    earlier.show();
    waitUntilShown(earlier);
  }

  // The gauge stands at 145 of 150 while the connection is opened: 96% of
  // its bar is blue (about 352 x 21 pixels).
  const int kGaugeAt145 = 6000;
  int blue = 0;
  server.holdFirstConnection([&] {
    // What the program sent before it blocked reaches the screen in the X
    // server's own time; nothing more can come while the program is blocked.
    const XScreen x;
    for (int tries = 0; tries < 15 && blue <= kGaugeAt145; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      blue = countPixels(x.grab(), kGaugeBlue);
    }
  });
  TFmCheckEdit w(dir.path());
  server.join();
  ASSERT_TRUE(server.held());
  EXPECT_FALSE(w.dbConnected());
  EXPECT_GT(blue, kGaugeAt145);
}

TEST(Desktop, MessagesDuringACheckComeAboveTheProgressWindow) {
  TestDatabase db;
  QTemporaryDir dir;
  db.writeStatisticsIni(dir.path());
  // A rule file whose second statement the database refuses: the check shows
  // the statement in the plain message dialog, then the information box.
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("2016XML")));
  writeFile(dir.path() + QStringLiteral("/2016XML/checkRuler_11.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<checkplan><formula id=\"BAD\" "
            "type=\"14\"><content>$D</content><control/><item operator=\"2\">"
            "<element rptId=\"18000700\" itype=\"0\" row=\"1\" col=\"1\"/>"
            "<element rptId=\"18000700\" itype=\"1\" row=\"x\" col=\"1\"/>"
            "</item></formula></checkplan>\n");
  TFmCheckEdit w(dir.path());
  ASSERT_TRUE(w.dbConnected());
  w.showMaximized();
  waitUntilShown(w);

  struct Seen {
    QString text;
    bool progressShown = false;
    bool aboveProgress = false;
    double sameAsBox = 0;  // share of the pixels where both overlap that show the box
  };
  std::vector<Seen> seen;
  XScreen x;
  QTimer poll;
  poll.setInterval(50);
  QElapsedTimer boxShown;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(visibleTopLevel("QMessageBox"));
    if (!box || !box->windowHandle() || !box->windowHandle()->isExposed()) return;
    if (!boxShown.isValid()) boxShown.start();
    if (boxShown.elapsed() < 400) return;  // mapped, stacked and painted
    boxShown.invalidate();
    Seen s;
    s.text = box->text();
    if (QWidget* progress = visibleTopLevel("TFmProgressBar")) {
      s.progressShown = true;
      const std::vector<unsigned long> order = x.stacking();
      const auto at = [&](QWidget* win) {
        return std::find(order.begin(), order.end(), win->winId()) - order.begin();
      };
      s.aboveProgress = at(box) < static_cast<long>(order.size()) && at(box) > at(progress);
      const QRect both = box->geometry() & progress->geometry();
      const QImage screen = x.grab();
      const QImage own = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
      const QPoint origin = box->geometry().topLeft();  // of the client area, not the frame
      int same = 0;
      for (int py = both.top(); py <= both.bottom(); ++py)
        for (int px = both.left(); px <= both.right(); ++px)
          same += screen.pixel(px, py) == own.pixel(px - origin.x(), py - origin.y());
      s.sameAsBox = both.isEmpty() ? 0 : double(same) / (both.width() * both.height());
    }
    seen.push_back(s);
    box->accept();
  });
  poll.start();
  w.picture("imgJH")->click();
  poll.stop();

  ASSERT_GE(seen.size(), 2u);
  EXPECT_TRUE(seen[0].text.startsWith(QStringLiteral("insert into TMP_FORMULA"))) << seen[0].text.toStdString();
  EXPECT_EQ(seen[1].text, QStringLiteral("导入失败，请重新导入！"));
  for (const Seen& s : seen) {
    EXPECT_TRUE(s.progressShown) << s.text.toStdString();
    EXPECT_TRUE(s.aboveProgress) << s.text.toStdString();
    EXPECT_GT(s.sameAsBox, 0.95) << s.text.toStdString();
  }
}

TEST(Desktop, ChooserOpensCentredOnTheScreenByItsFrame) {
  TestDatabase db;
  TfrmChoosePartyOrg dialog;
  dialog.SetConnection(db.connection());
  QRect frame, screen;
  QTimer::singleShot(0, &dialog, [&] {
    waitUntilShown(dialog);
    QElapsedTimer t;
    t.start();
    while (dialog.windowHandle()->frameMargins().isNull() && t.elapsed() < 3000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    waitUntilShown(dialog);
    frame = dialog.windowHandle()->frameGeometry();
    screen = dialog.screen()->geometry();
    dialog.reject();
  });
  dialog.Execute(true, true);
  // The window manager gave it a frame, and the frame is what is centred.
  EXPECT_GT(frame.height(), dialog.height());
  EXPECT_LE(std::abs(frame.center().x() - screen.center().x()), 1) << frame.x() << "," << frame.y();
  EXPECT_LE(std::abs(frame.center().y() - screen.center().y()), 1) << frame.x() << "," << frame.y();
}

namespace {

// The actions the window manager allows on a shown window, once it has
// managed it.
QStringList allowedActionsOf(QWidget& w) {
  const XScreen x;
  waitUntilShown(w);
  QStringList actions;
  for (QElapsedTimer t; !t.isValid() || (actions.isEmpty() && t.elapsed() < 3000);) {
    if (!t.isValid()) t.start();
    actions = x.allowedActions(w.winId());
    if (actions.isEmpty()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return actions;
}

const QString kMinimise = QStringLiteral("_NET_WM_ACTION_MINIMIZE");
const QString kMaximise = QStringLiteral("_NET_WM_ACTION_MAXIMIZE_VERT");

}  // namespace

// Windows whose border has the close box alone, the chooser and every kind
// of message box, cannot be minimised or maximised; the main window can.
TEST(Desktop, OnlyTheMainWindowCanBeMinimisedOrMaximised) {
  TestDatabase db;
  QTemporaryDir dir;
  db.writeStatisticsIni(dir.path());
  TFmCheckEdit w(dir.path());
  ASSERT_TRUE(w.dbConnected());
  w.showMaximized();
  const QStringList main = allowedActionsOf(w);
  EXPECT_TRUE(main.contains(kMinimise) && main.contains(kMaximise)) << main.join(u' ').toStdString();

  QStringList chooser;
  {
    TfrmChoosePartyOrg dialog(&w);
    dialog.SetConnection(db.connection());
    QTimer::singleShot(0, &dialog, [&] {
      chooser = allowedActionsOf(dialog);
      dialog.reject();
    });
    dialog.Execute(true, true);
  }
  EXPECT_FALSE(chooser.isEmpty());
  EXPECT_FALSE(chooser.contains(kMinimise) || chooser.contains(kMaximise)) << chooser.join(u' ').toStdString();
  EXPECT_TRUE(chooser.contains(QStringLiteral("_NET_WM_ACTION_CLOSE"))) << chooser.join(u' ').toStdString();

  const std::pair<const char*, std::function<void()>> boxes[] = {
      {"information box", [&] { platform::dialogs().informationBox(&w, QStringLiteral("导出完成！"), QStringLiteral("提示")); }},
      {"plain message", [] { platform::dialogs().plainMessage(QStringLiteral("insert into TMP_FORMULA")); }},
      {"failure", [] { platform::dialogs().showFailure(QStringLiteral("SQL已异常")); }},
      {"start-up message",
       [] {
         platform::dialogs().startupMessage(QStringLiteral("由于数据库未启动，程序无法使用！"), QStringLiteral("提示"),
                                            QStringLiteral("connection refused"));
       }},
  };
  for (const auto& [what, show] : boxes) {
    SCOPED_TRACE(what);
    QStringList actions;
    QTimer::singleShot(0, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        actions = allowedActionsOf(*box);
        box->accept();
      }
    });
    show();
    EXPECT_FALSE(actions.isEmpty());
    EXPECT_FALSE(actions.contains(kMinimise) || actions.contains(kMaximise)) << actions.join(u' ').toStdString();
  }
}

// Under the window manager too, the start-up box's details show the reason
// in lines as long as its own, inside the screen with the box's frame.
TEST(Desktop, StartupDetailsShowTheReasonInItsOwnLines) {
  const QString reason = QStringLiteral(
      "connection to server at \"127.0.0.1\", port 54321 failed: Connection refused\n"
      "\tIs the server running on that host and accepting TCP/IP connections?\nSQLSTATE 08001");
  QRect frame, screen;
  int room = 0, longest = 0;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    waitUntilShown(*box);
    auto* pane = box->findChild<QTextEdit*>();
    for (QAbstractButton* b : box->buttons())
      if (box->buttonRole(b) == QMessageBox::ActionRole) b->click();
    waitUntilShown(*box);
    frame = box->windowHandle()->frameGeometry();
    screen = box->screen()->availableGeometry();
    if (pane) {
      room = pane->viewport()->width() - 2 * static_cast<int>(pane->document()->documentMargin());
      for (const QString& line : reason.split(u'\n'))
        longest = std::max(longest, pane->fontMetrics().horizontalAdvance(QString(line).replace(u'\t', u' ')));
    }
    box->accept();
  });
  platform::dialogs().startupMessage(QStringLiteral("由于数据库未启动，程序无法使用！"), QStringLiteral("提示"), reason);
  ASSERT_GT(longest, 0);
  EXPECT_LE(longest, room);
  EXPECT_TRUE(screen.contains(frame)) << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
}

// On a desktop with a window manager, while the server works on a long
// statement: the window answers the window manager's ping (a desktop that
// gets no answer offers to kill the program), and a click made meanwhile is
// held back until the statement has returned, then delivered once.
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "platform/database.h"
#include "tests/support/TestDatabase.h"

namespace {

// Pings a window the way a window manager does (_NET_WM_PING in a
// WM_PROTOCOLS message) over a display connection of the test's own, and
// waits for the answer, which a client sends to the root window for whoever
// watches the root's structure.
class Pinger {
 public:
  Pinger() : display_(XOpenDisplay(nullptr)) {
    if (!display_) throw std::runtime_error("cannot open the X display");
    XSelectInput(display_, DefaultRootWindow(display_), StructureNotifyMask | SubstructureNotifyMask);
    XSync(display_, False);
  }
  ~Pinger() { XCloseDisplay(display_); }
  Pinger(const Pinger&) = delete;
  Pinger& operator=(const Pinger&) = delete;

  // Milliseconds until the answer came; -1 when none came within timeoutMs.
  long ping(unsigned long window, long stamp, int timeoutMs) {
    const Atom protocols = XInternAtom(display_, "WM_PROTOCOLS", False);
    const Atom pingAtom = XInternAtom(display_, "_NET_WM_PING", False);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = protocols;
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(pingAtom);
    e.xclient.data.l[1] = stamp;
    e.xclient.data.l[2] = static_cast<long>(window);
    XSendEvent(display_, window, False, NoEventMask, &e);
    XFlush(display_);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
      while (XPending(display_) > 0) {
        XEvent in;
        XNextEvent(display_, &in);
        if (in.type == ClientMessage && in.xclient.message_type == protocols &&
            static_cast<Atom>(in.xclient.data.l[0]) == pingAtom && in.xclient.data.l[1] == stamp)
          return static_cast<long>(t.elapsed());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }

 private:
  Display* display_;
};

void showAndWait(QWidget& w) {
  w.show();
  QElapsedTimer t;
  t.start();
  while ((!w.windowHandle() || !w.windowHandle()->isExposed()) && t.elapsed() < 5000)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  // Let the window manager finish placing it before pointing at it.
  for (t.restart(); t.elapsed() < 300;) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

TEST(DesktopWait, TheWindowAnswersPingsAndHoldsBackClicksWhileAStatementRuns) {
  TestDatabase db;
  QPushButton button(QStringLiteral("校核"));
  button.resize(200, 80);
  int clicks = 0;
  QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
  showAndWait(button);
  const QPoint at = button.mapToGlobal(button.rect().center());
  const unsigned long window = static_cast<unsigned long>(button.window()->winId());

  // A click at 0.5 s and a ping at 0.7 s into a statement of 2 s.
  QProcess pointer;
  pointer.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("sleep 0.5; xdotool mousemove %1 %2 click 1")
                                                                 .arg(at.x())
                                                                 .arg(at.y())});
  ASSERT_TRUE(pointer.waitForStarted(5000));
  std::atomic<long> answeredAfter{-2};
  std::thread pinging([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    Pinger pinger;
    answeredAfter = pinger.ping(window, 20161231, 1000);
  });
  platform::db::Query q(db.connection());
  q.setSql(QStringLiteral("SELECT pg_sleep(2)"));
  q.open();
  const int clicksAtReturn = clicks;
  pinging.join();
  // Likely seen to end already, by the loop that ran during the statement.
  ASSERT_TRUE(pointer.state() == QProcess::NotRunning || pointer.waitForFinished(5000));
  ASSERT_EQ(pointer.exitCode(), 0) << pointer.readAllStandardError().constData();

  EXPECT_GE(answeredAfter.load(), 0) << "no answer to the ping while the statement ran";
  EXPECT_LT(answeredAfter.load(), 500);
  EXPECT_EQ(clicksAtReturn, 0);  // held back, not delivered in the middle of the statement
  QElapsedTimer t;
  t.start();
  while (clicks == 0 && t.elapsed() < 3000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(clicks, 1);  // then delivered, once
}

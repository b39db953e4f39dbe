#pragma once
// Waiting for the database without freezing the window. A statement of a
// connection runs on that connection's own thread while the GUI thread keeps
// processing the window system's events other than user input: paint and
// expose, the window manager's ping, timers and posted events. User input is
// held back, not dropped, until the statement has returned, so no command can
// start in the middle of one. A statement that returns within
// kDirectWaitMilliseconds is waited for directly, without any of that.
//
// One thread per connection runs its work in order, so the connection's
// handles are used by one thread at a time; a statement asked for while
// another of the same connection runs (from a timer, say) waits behind it.
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

class QEventLoop;

namespace platform::db {

// Long enough that the short statements, nearly all of a check's, never open
// an event loop, and short enough that a repaint is not seen to lag.
inline constexpr int kDirectWaitMilliseconds = 100;

class StatementRunner {
 public:
  StatementRunner() = default;
  ~StatementRunner();
  StatementRunner(const StatementRunner&) = delete;
  StatementRunner& operator=(const StatementRunner&) = delete;

  // Runs work on the connection's thread and returns when it has finished,
  // rethrowing what it threw. Outside the GUI thread (or without an
  // application object) it just waits.
  void run(const std::function<void()>& work);
  // Whether a call of run() has not returned yet.
  bool busy() const;

 private:
  struct Job {
    const std::function<void()>* work = nullptr;
    bool done = false;
    std::exception_ptr failure;
    QEventLoop* loop = nullptr;  // set while the caller waits in one
  };
  void serve();

  mutable std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::deque<Job*> jobs_;
  int waiting_ = 0;  // calls of run() under way
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace platform::db

#pragma once
// A FIFO made for a test, watched: a program that opens it for reading the
// blocking way waits for a writer for ever. After boundSeconds the watchdog
// becomes that writer for a moment (it opens the FIFO for writing and closes
// it again), which ends the wait with an empty read, and fired() says that it
// had to. So a regression fails the test within the bound instead of hanging it.
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

class WatchedFifo {
 public:
  explicit WatchedFifo(const QString& path, int boundSeconds = 5)
      : path_(QFile::encodeName(path).toStdString()) {
    if (::mkfifo(path_.c_str(), 0644) != 0) throw std::runtime_error("mkfifo " + path_);
    watchdog_ = std::thread([this, boundSeconds] { watch(std::chrono::seconds(boundSeconds)); });
  }
  ~WatchedFifo() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    watchdog_.join();
  }
  WatchedFifo(const WatchedFifo&) = delete;
  WatchedFifo& operator=(const WatchedFifo&) = delete;

  // True once the bound passed with the test still running.
  bool fired() const { return fired_; }

 private:
  void watch(std::chrono::seconds bound) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_for(lock, bound, [this] { return done_; })) return;
    fired_ = true;
    // Opening for writing without blocking succeeds only while a reader has
    // the FIFO open (or waits in its open): until then, try again.
    while (!wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return done_; })) {
      const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) ::close(fd);
    }
  }

  std::string path_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::atomic<bool> fired_{false};
  std::thread watchdog_;
};

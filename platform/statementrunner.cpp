#include "platform/statementrunner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>

#include <chrono>

namespace platform::db {
namespace {

bool onGuiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

}  // namespace

StatementRunner::~StatementRunner() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  queued_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool StatementRunner::busy() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return waiting_ > 0;
}

void StatementRunner::run(const std::function<void()>& work) {
  Job job;
  job.work = &work;
  std::unique_lock<std::mutex> lock(mutex_);
  if (!thread_.joinable()) thread_ = std::thread([this] { serve(); });
  jobs_.push_back(&job);
  ++waiting_;
  queued_.notify_one();
  const auto isDone = [&job] { return job.done; };
  if (!finished_.wait_for(lock, std::chrono::milliseconds(kDirectWaitMilliseconds), isDone) && onGuiThread()) {
    // The thread tells the loop once the work is done; until then the loop
    // serves the window system. Set under the lock, so that it cannot miss it.
    QEventLoop loop;
    job.loop = &loop;
    lock.unlock();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    lock.lock();
    job.loop = nullptr;
  }
  // Also when the loop ended early (the application quits): the work goes on
  // with the caller's data, so it is waited for.
  finished_.wait(lock, isDone);
  --waiting_;
  if (job.failure) std::rethrow_exception(job.failure);
}

void StatementRunner::serve() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    queued_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping, with nothing left to do
    Job* job = jobs_.front();
    jobs_.pop_front();
    lock.unlock();
    try {
      (*job->work)();
    } catch (...) {
      job->failure = std::current_exception();
    }
    lock.lock();
    job->done = true;
    if (job->loop) QMetaObject::invokeMethod(job->loop, &QEventLoop::quit, Qt::QueuedConnection);
    finished_.notify_all();
  }
}

}  // namespace platform::db

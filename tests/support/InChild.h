#pragma once
// Runs a piece of a test in a child process under a time bound, so that a
// call that waits for ever (a FIFO opened the blocking way, a loop that never
// ends) fails the test instead of holding it. No Qt.
#include <sys/types.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

// Runs f in a child process and returns its result (0 to 255), or -1 when the
// child crashed or was still running after `limit` (it is then killed). An
// exception that leaves f gives 255.
inline int inChild(const std::function<int()>& f, std::chrono::milliseconds limit) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    int code = 255;
    try {
      code = f();
    } catch (...) {
    }
    ::_exit(code);
  }
  if (pid < 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testsupport

#pragma once
// A TCP port on 127.0.0.1 of a test's own that passes connections on to the
// test cluster, or, once silenced, takes new connections and never answers
// them: a server that hangs at the login, as a stopped or unreachable machine
// whose port still accepts does. A silent connection is closed after
// holdSeconds, so that a program that waits without a bound ends the test
// late rather than hanging it.
#include <atomic>
#include <thread>
#include <utility>
#include <vector>

class TcpProxy {
 public:
  // targetPort 0: silent from the start.
  explicit TcpProxy(int targetPort, int holdSeconds = 40);
  ~TcpProxy();
  TcpProxy(const TcpProxy&) = delete;
  TcpProxy& operator=(const TcpProxy&) = delete;

  int port() const { return port_; }
  // Connections accepted from now on get no answer; those passed on go on.
  void silence() { silent_ = true; }

 private:
  struct Held {
    int fd;
    long long since;  // steady clock, ms
  };
  void run();

  int listener_ = -1;
  int port_ = 0;
  int targetPort_;
  int holdMs_;
  int wake_[2] = {-1, -1};
  std::atomic<bool> silent_;
  std::vector<std::pair<int, int>> passed_;  // client, server
  std::vector<Held> held_;
  std::thread thread_;
};

#pragma once
// A TCP port on 127.0.0.1 of a test's own that passes connections on to the
// test cluster, or, once silenced, takes new connections and never answers
// them: a server that hangs at the login, as a stopped or unreachable machine
// whose port still accepts does. A silent connection is closed after
// holdSeconds, so that a program that waits without a bound ends the test
// late rather than hanging it.
//
// The proxy itself never waits on a peer: its one thread moves bytes only as
// far as each side takes them, through non-blocking sockets and a bounded
// buffer per direction. A pair whose bytes get nowhere for holdSeconds (a
// peer that stopped reading) is closed, so the other pairs go on meanwhile,
// and the destructor returns at once whatever the peers do.
#include <atomic>
#include <string>
#include <thread>
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
  // Bytes read from one side and not yet written to the other.
  struct Flow {
    std::string bytes;
    bool ended = false;   // the side they come from has closed
    long long moved = 0;  // steady clock, ms: bytes last written, or began to wait
  };
  struct Pair {
    int client = -1;
    int server = -1;
    long long since = 0;     // steady clock, ms: accepted
    bool connecting = true;  // the connect to the target is under way
    Flow up;                 // client to server
    Flow down;               // server to client
  };
  struct Held {
    int fd;
    long long since;  // steady clock, ms
  };
  void run();
  void accept(long long now);
  static bool pass(int from, int to, Flow& flow, short fromEvents, long long now);

  int listener_ = -1;
  int port_ = 0;
  int targetPort_;
  int holdMs_;
  int wake_[2] = {-1, -1};
  std::atomic<bool> silent_;
  std::vector<Pair> passed_;
  std::vector<Held> held_;
  std::thread thread_;
};

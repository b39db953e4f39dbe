// The proxy that plays hanging servers must not hang itself: a peer that
// stops reading holds up its own pair only, that pair is closed after the
// hold, and the proxy ends at once whatever its peers do.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "tests/support/Loopback.h"
#include "tests/support/TcpProxy.h"

namespace {

// Ends the test process when the test is not over within the bound, so that
// a hang fails the test instead of holding the suite up.
class KillBound {
 public:
  explicit KillBound(unsigned seconds) { ::alarm(seconds); }
  ~KillBound() { ::alarm(0); }
  KillBound(const KillBound&) = delete;
  KillBound& operator=(const KillBound&) = delete;
};

class Socket {
 public:
  explicit Socket(int fd = -1) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Socket& operator=(Socket&&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Whether fd has events within ms milliseconds.
bool ready(const Socket& s, short events, int ms) {
  pollfd p{s.fd(), events, 0};
  return ::poll(&p, 1, ms) == 1;
}

// A listening socket on a free loopback port: the proxy's target.
Socket listenOn(int& port) {
  Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in a = loopback(0);
  socklen_t length = sizeof a;
  if (::bind(s.fd(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s.fd(), 8) != 0 ||
      ::getsockname(s.fd(), reinterpret_cast<sockaddr*>(&a), &length) != 0)
    return Socket();
  port = ntohs(a.sin_port);
  return s;
}

Socket connectTo(int port) {
  Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in a = loopback(port);
  if (::connect(s.fd(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) return Socket();
  return s;
}

// The next connection the proxy makes to the target; none within 5 s is none.
Socket acceptFrom(const Socket& listener) {
  if (!ready(listener, POLLIN, 5000)) return Socket();
  return Socket(::accept4(listener.fd(), nullptr, nullptr, SOCK_CLOEXEC));
}

// Whether text sent on from arrives whole on to within 5 s.
bool passes(const Socket& from, const Socket& to, std::string_view text) {
  if (::send(from.fd(), text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size())) return false;
  std::string got;
  char buffer[256];
  while (got.size() < text.size() && ready(to, POLLIN, 5000)) {
    const ssize_t n = ::recv(to.fd(), buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got == text;
}

// Writes to s without waiting until it has taken nothing for half a second:
// its peer has stopped taking bytes. Returns how many it took.
size_t writeUntilHeldUp(const Socket& s) {
  const std::string chunk(65536, 'x');
  size_t taken = 0;
  for (;;) {
    const ssize_t n = ::send(s.fd(), chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      taken += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!ready(s, POLLOUT, 500)) return taken;
    } else {
      return taken;
    }
  }
}

// Whether the connection of s ends (end of stream or reset) within ms.
bool endsWithin(const Socket& s, int ms) {
  char buffer[65536];
  while (ready(s, POLLIN, ms)) {
    const ssize_t n = ::recv(s.fd(), buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno == ECONNRESET)) return true;
    if (n < 0) return false;
  }
  return false;
}

}  // namespace

TEST(TcpProxy, APeerThatNeverReadsHoldsUpOnlyItsOwnPairAndTheProxyEndsAtOnce) {
  KillBound bound(30);  // far below the hold: the proxy cannot end by waiting it out
  int port = 0;
  const Socket target = listenOn(port);
  ASSERT_GE(target.fd(), 0);
  auto proxy = std::make_unique<TcpProxy>(port, 40);

  const Socket client = connectTo(proxy->port());
  ASSERT_GE(client.fd(), 0);
  const Socket neverReads = acceptFrom(target);
  ASSERT_GE(neverReads.fd(), 0);
  // More than the target's socket takes: the proxy holds the rest.
  EXPECT_GT(writeUntilHeldUp(client), 0u);

  // A second pair through the same proxy goes on, both ways.
  const Socket other = connectTo(proxy->port());
  ASSERT_GE(other.fd(), 0);
  const Socket otherEnd = acceptFrom(target);
  EXPECT_GE(otherEnd.fd(), 0) << "the proxy connected no further pair";
  EXPECT_TRUE(passes(other, otherEnd, "ping"));
  EXPECT_TRUE(passes(otherEnd, other, "pong"));

  proxy.reset();  // returns, the stalled pair still open
  EXPECT_TRUE(endsWithin(client, 5000));
  EXPECT_TRUE(endsWithin(other, 5000));
}

TEST(TcpProxy, APairWhoseBytesGetNowhereForTheHoldIsClosed) {
  KillBound bound(30);
  int port = 0;
  const Socket target = listenOn(port);
  ASSERT_GE(target.fd(), 0);
  TcpProxy proxy(port, 1);
  const Socket client = connectTo(proxy.port());
  ASSERT_GE(client.fd(), 0);
  const Socket neverReads = acceptFrom(target);
  ASSERT_GE(neverReads.fd(), 0);
  EXPECT_GT(writeUntilHeldUp(client), 0u);
  EXPECT_TRUE(endsWithin(client, 10000)) << "the stalled pair stayed open past its hold";

  // The proxy still passes new connections on.
  const Socket next = connectTo(proxy.port());
  const Socket nextEnd = acceptFrom(target);
  ASSERT_GE(nextEnd.fd(), 0);
  EXPECT_TRUE(passes(next, nextEnd, "ping"));
  EXPECT_TRUE(passes(nextEnd, next, "pong"));
}

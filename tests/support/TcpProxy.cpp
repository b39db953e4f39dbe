#include "tests/support/TcpProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <tuple>

namespace {

long long nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

sockaddr_in loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// Writes all of n bytes; false when the peer is gone.
bool writeAll(int fd, const char* p, ssize_t n) {
  while (n > 0) {
    const ssize_t w = ::send(fd, p, static_cast<size_t>(n), MSG_NOSIGNAL);
    if (w <= 0) return false;
    p += w;
    n -= w;
  }
  return true;
}

}  // namespace

TcpProxy::TcpProxy(int targetPort, int holdSeconds)
    : targetPort_(targetPort), holdMs_(holdSeconds * 1000), silent_(targetPort == 0) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = loopback(0);
  socklen_t length = sizeof a;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listener_, 16) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0 ||
      ::pipe2(wake_, O_CLOEXEC) != 0)
    throw std::runtime_error("TcpProxy: no listening port");
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] { run(); });
}

TcpProxy::~TcpProxy() {
  const char stop = 0;
  (void)::write(wake_[1], &stop, 1);
  thread_.join();
  for (const auto& [client, server] : passed_) {
    ::close(client);
    ::close(server);
  }
  for (const Held& h : held_) ::close(h.fd);
  ::close(listener_);
  ::close(wake_[0]);
  ::close(wake_[1]);
}

void TcpProxy::run() {
  char buffer[65536];
  for (;;) {
    std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    for (const auto& [client, server] : passed_) {
      fds.push_back({client, POLLIN, 0});
      fds.push_back({server, POLLIN, 0});
    }
    ::poll(fds.data(), fds.size(), 100);
    if (fds[0].revents) return;
    const size_t polled = passed_.size();

    if (fds[1].revents & POLLIN) {
      const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client >= 0 && silent_) {
        held_.push_back({client, nowMs()});
      } else if (client >= 0) {
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in target = loopback(targetPort_);
        if (server >= 0 &&
            ::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
          passed_.emplace_back(client, server);
        } else {
          ::close(client);
          if (server >= 0) ::close(server);
        }
      }
    }

    // Bytes of each pair pass on; a pair whose either side ends is closed whole.
    std::vector<std::pair<int, int>> open;
    for (size_t i = 0; i < passed_.size(); ++i) {
      const auto [client, server] = passed_[i];
      bool alive = true;
      for (const auto& [from, to, at] : {std::tuple{client, server, 2 + 2 * i},
                                         std::tuple{server, client, 3 + 2 * i}}) {
        if (!alive || i >= polled || !fds[at].revents) continue;
        const ssize_t n = ::recv(from, buffer, sizeof buffer, 0);
        alive = n > 0 && writeAll(to, buffer, n);
      }
      if (alive) {
        open.emplace_back(client, server);
      } else {
        ::close(client);
        ::close(server);
      }
    }
    passed_.swap(open);

    const long long now = nowMs();
    std::erase_if(held_, [&](const Held& h) {
      if (now - h.since < holdMs_) return false;
      ::close(h.fd);
      return true;
    });
  }
}

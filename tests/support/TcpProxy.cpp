#include "tests/support/TcpProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

#include "tests/support/Loopback.h"

namespace {

// Bytes a direction holds before the proxy stops reading their source, so
// that a side that does not read holds the other back as a direct link would.
constexpr size_t kFlowLimit = 256 * 1024;

long long nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool wouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR; }

// A pollfd asking for events; one that asks for none is left out of the
// poll (a side that hung up would else report it at once, every time).
pollfd watch(int fd, short events) { return {events != 0 ? fd : -1, events, 0}; }

}  // namespace

TcpProxy::TcpProxy(int targetPort, int holdSeconds)
    : targetPort_(targetPort), holdMs_(holdSeconds * 1000), silent_(targetPort == 0) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
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
  for (const Pair& p : passed_) {
    ::close(p.client);
    ::close(p.server);
  }
  for (const Held& h : held_) ::close(h.fd);
  ::close(listener_);
  ::close(wake_[0]);
  ::close(wake_[1]);
}

void TcpProxy::accept(long long now) {
  const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (client < 0) return;
  if (silent_) {
    held_.push_back({client, now});
    return;
  }
  const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  const sockaddr_in target = loopback(targetPort_);
  const int connected =
      server < 0 ? -1 : ::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target);
  if (connected != 0 && (server < 0 || errno != EINPROGRESS)) {
    ::close(client);
    if (server >= 0) ::close(server);
    return;
  }
  Pair p;
  p.client = client;
  p.server = server;
  p.since = now;
  p.connecting = connected != 0;
  passed_.push_back(std::move(p));
}

// Moves what from offers into the flow, as far as its limit, and what the
// flow holds on to to, as far as to takes it; false when either side failed.
bool TcpProxy::pass(int from, int to, Flow& flow, short fromEvents, long long now) {
  if ((fromEvents & (POLLIN | POLLHUP | POLLERR)) && !flow.ended && flow.bytes.size() < kFlowLimit) {
    char buffer[65536];
    const ssize_t n = ::recv(from, buffer, std::min(sizeof buffer, kFlowLimit - flow.bytes.size()), 0);
    if (n > 0) {
      if (flow.bytes.empty()) flow.moved = now;
      flow.bytes.append(buffer, static_cast<size_t>(n));
    } else if (n == 0) {
      flow.ended = true;
    } else if (!wouldBlock()) {
      return false;
    }
  }
  if (!flow.bytes.empty()) {
    const ssize_t w = ::send(to, flow.bytes.data(), flow.bytes.size(), MSG_NOSIGNAL);
    if (w > 0) {
      flow.bytes.erase(0, static_cast<size_t>(w));
      flow.moved = now;
    } else if (w < 0 && !wouldBlock()) {
      return false;
    }
  }
  return true;
}

void TcpProxy::run() {
  for (;;) {
    std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    for (const Pair& p : passed_) {
      short client = 0;
      short server = POLLOUT;  // while connecting: the connect's end
      if (!p.connecting) {
        if (!p.up.ended && p.up.bytes.size() < kFlowLimit) client |= POLLIN;
        if (!p.down.bytes.empty()) client |= POLLOUT;
        server = 0;
        if (!p.down.ended && p.down.bytes.size() < kFlowLimit) server |= POLLIN;
        if (!p.up.bytes.empty()) server |= POLLOUT;
      }
      fds.push_back(watch(p.client, client));
      fds.push_back(watch(p.server, server));
    }
    ::poll(fds.data(), fds.size(), 100);
    if (fds[0].revents) return;
    const long long now = nowMs();
    const size_t polled = passed_.size();
    if (fds[1].revents & POLLIN) accept(now);

    std::vector<Pair> open;
    for (size_t i = 0; i < passed_.size(); ++i) {
      Pair& p = passed_[i];
      const short client = i < polled ? fds[2 + 2 * i].revents : 0;
      const short server = i < polled ? fds[3 + 2 * i].revents : 0;
      bool alive = true;
      if (p.connecting) {
        if (server) {
          int error = 0;
          socklen_t length = sizeof error;
          alive = ::getsockopt(p.server, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
          p.connecting = false;
        }
        alive = alive && now - p.since < holdMs_;
      } else {
        alive = pass(p.client, p.server, p.up, client, now) && pass(p.server, p.client, p.down, server, now);
        // A side that ended ends the pair once its bytes are through; bytes
        // that get nowhere for the hold end it too.
        for (const Flow* f : {&p.up, &p.down}) {
          if (f->ended && f->bytes.empty()) alive = false;
          if (!f->bytes.empty() && now - f->moved >= holdMs_) alive = false;
        }
      }
      if (alive) {
        open.push_back(std::move(p));
      } else {
        ::close(p.client);
        ::close(p.server);
      }
    }
    passed_.swap(open);

    std::erase_if(held_, [&](const Held& h) {
      if (now - h.since < holdMs_) return false;
      ::close(h.fd);
      return true;
    });
  }
}

#pragma once
// The IPv4 address of a port on 127.0.0.1, for the tests' own sockets.
#include <arpa/inet.h>
#include <netinet/in.h>

inline sockaddr_in loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

#include "platform/readablefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

ReadableFile::ReadableFile(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    error_ = std::strerror(errno);
    return;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0)
    error_ = std::strerror(errno);
  else if (S_ISDIR(st.st_mode))
    error_ = std::strerror(EISDIR);  // reads would fail while its size looks huge
  else if (!S_ISREG(st.st_mode))
    error_ = "Not a regular file";
  else if (::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK) != 0)
    error_ = std::strerror(errno);
  if (!error_.empty()) {
    ::close(fd_);
    fd_ = -1;
  }
}

ReadableFile::~ReadableFile() {
  if (fd_ >= 0) ::close(fd_);
}

ReadableFile::ReadableFile(ReadableFile&& other) noexcept : fd_(other.fd_), error_(std::move(other.error_)) {
  other.fd_ = -1;
}

bool ReadableFile::readAll(std::string& out) const {
  if (fd_ < 0) return false;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    out.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace platform

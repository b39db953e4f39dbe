#include "xml/XmlStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "xml/XmlErrors.h"

namespace xml {
namespace {

// Writes all of count bytes unless the file refuses; the number taken.
int64_t writeAll(int fd, const void* buffer, int64_t count) {
  int64_t total = 0;
  const auto* p = static_cast<const char*>(buffer);
  while (total < count) {
    const ssize_t n = ::write(fd, p + total, static_cast<size_t>(count - total));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    total += n;
  }
  return total;
}

int64_t seekFd(int fd, int64_t offset, SeekOrigin origin, XmlErrc failure) {
  const int whence = origin == SeekOrigin::Beginning ? SEEK_SET
                     : origin == SeekOrigin::Current ? SEEK_CUR
                                                     : SEEK_END;
  const off_t r = ::lseek(fd, static_cast<off_t>(offset), whence);
  if (r < 0) raise(failure, {}, std::strerror(errno));
  return r;
}

}  // namespace


int64_t TStream::Size() {
  const int64_t pos = Seek(0, SeekOrigin::Current);
  const int64_t size = Seek(0, SeekOrigin::End);
  Seek(pos, SeekOrigin::Beginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count > 0 && Read(buffer, count) != count) raise(XmlErrc::StreamRead);
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count > 0 && Write(buffer, count) != count) raise(XmlErrc::StreamWrite);
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const auto size = static_cast<int64_t>(data_.size());
  if (count < 1 || pos_ < 0 || pos_ >= size) return 0;
  const int64_t n = std::min(count, size - pos_);
  std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count < 1 || pos_ < 0) return 0;
  if (pos_ + count > static_cast<int64_t>(data_.size()))
    data_.resize(static_cast<size_t>(pos_ + count), '\0');
  std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
  pos_ += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  switch (origin) {
    case SeekOrigin::Beginning: pos_ = offset; break;
    case SeekOrigin::Current: pos_ += offset; break;
    case SeekOrigin::End: pos_ = static_cast<int64_t>(data_.size()) + offset; break;
  }
  return pos_;
}

void TMemoryStream::SetSize(int64_t size) { data_.resize(static_cast<size_t>(std::max<int64_t>(0, size)), '\0'); }

TStringStream::TStringStream(std::string_view text) {
  if (!text.empty()) Write(text.data(), static_cast<int64_t>(text.size()));
  SetPosition(0);
}

std::string TStringStream::DataText() {
  Seek(0, SeekOrigin::End);
  return Bytes();
}

TFileStream::TFileStream(const std::string& path, Mode mode) : path_(path) {
  if (mode == Mode::OpenRead) {
    // Only a regular file, checked once it is open (so that it is the type
    // of what was opened), and without waiting for a FIFO's writer.
    std::string reason;
    fd_ = platform::files::openRegularFile(path, reason);
    if (fd_ < 0) raise(XmlErrc::FileOpen, path, reason);
    if (::flock(fd_, LOCK_SH | LOCK_NB) != 0) {
      const int err = errno;
      ::close(fd_);
      fd_ = -1;
      raise(XmlErrc::FileOpen, path, std::strerror(err));
    }
    return;
  }
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) raise(XmlErrc::FileCreate, path, std::strerror(errno));
  struct stat st {};
  int err = 0;
  if (::fstat(fd_, &st) != 0)
    err = errno;
  else if (S_ISDIR(st.st_mode))
    err = EISDIR;
  else if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd_, 0) != 0)
    err = errno;
  if (err != 0) {
    ::close(fd_);
    fd_ = -1;
    raise(XmlErrc::FileCreate, path, std::strerror(err));
  }
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t total = 0;
  auto* p = static_cast<char*>(buffer);
  while (total < count) {
    const ssize_t n = ::read(fd_, p + total, static_cast<size_t>(count - total));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) raise(XmlErrc::FileRead, path_, std::strerror(errno));
    if (n == 0) break;
    total += n;
  }
  return total;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) { return writeAll(fd_, buffer, count); }

int64_t TFileStream::Seek(int64_t offset, SeekOrigin origin) {
  return seekFd(fd_, offset, origin, XmlErrc::StreamRead);
}

TReplacingFileStream::TReplacingFileStream(const std::string& path) : path_(path), file_(std::make_unique<platform::files::ReplacingFile>(path)) {
  if (!file_->open()) raise(XmlErrc::FileCreate, path_, file_->reason());
}

TReplacingFileStream::~TReplacingFileStream() = default;

int64_t TReplacingFileStream::Read(void*, int64_t) { raise(XmlErrc::ReadFromWritingStream); }

int64_t TReplacingFileStream::Write(const void* buffer, int64_t count) {
  return file_->fd() < 0 ? 0 : writeAll(file_->fd(), buffer, count);
}

int64_t TReplacingFileStream::Seek(int64_t offset, SeekOrigin origin) {
  return seekFd(file_->fd(), offset, origin, XmlErrc::StreamWrite);
}

void TReplacingFileStream::Commit() {
  if (!file_->commit()) raise(XmlErrc::FileCreate, path_, file_->reason());
}

}  // namespace xml

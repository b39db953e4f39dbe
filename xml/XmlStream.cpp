#include "xml/XmlStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

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
  const bool create = mode == Mode::Create;
  // Opened for reading without blocking: opening a FIFO (a named pipe) the
  // usual way waits for a writer, which may never come. The type is checked
  // once the file is open, so that it is the type of what was opened.
  const int flags = create ? (O_WRONLY | O_CREAT | O_CLOEXEC) : (O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  fd_ = ::open(path.c_str(), flags, 0644);
  const XmlErrc code = create ? XmlErrc::FileCreate : XmlErrc::FileOpen;
  if (fd_ < 0) raise(code, path, std::strerror(errno));
  struct stat st {};
  int err = 0;
  const char* notAFile = nullptr;
  if (::fstat(fd_, &st) != 0)
    err = errno;
  else if (S_ISDIR(st.st_mode))
    err = EISDIR;  // reads would fail while its size looks huge
  else if (!create && !S_ISREG(st.st_mode))
    notAFile = "Not a regular file";  // a FIFO, socket or device: no end, or no size, to read to
  else if ((!create && ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK) != 0) ||
           ::flock(fd_, (create ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 || (create && ::ftruncate(fd_, 0) != 0))
    err = errno;
  if (err != 0 || notAFile) {
    ::close(fd_);
    fd_ = -1;
    raise(code, path, notAFile ? notAFile : std::strerror(err));
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

TReplacingFileStream::TReplacingFileStream(const std::string& path) : path_(path) {
  // Through a symbolic link the file it names is replaced, not the link.
  std::error_code ec;
  if (std::filesystem::is_symlink(path_, ec)) {
    const std::filesystem::path target = std::filesystem::canonical(path_, ec);
    if (!ec) path_ = target.string();
  }
  struct stat st {};
  const bool exists = ::stat(path_.c_str(), &st) == 0;
  if (exists) {
    // The target must be writable and free of readers, as when it was written in place.
    lockFd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (lockFd_ < 0) raise(XmlErrc::FileCreate, path, std::strerror(errno));
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      ::close(lockFd_);
      lockFd_ = -1;
      raise(XmlErrc::FileCreate, path, std::strerror(err));
    }
  }
  const std::filesystem::path target(path_);
  const std::string stem = (target.parent_path() / ("." + target.filename().string() + ".")).string();
  static int serial = 0;
  for (int attempt = 0; fd_ < 0; ++attempt) {
    temp_ = stem + std::to_string(::getpid()) + "-" + std::to_string(++serial) + ".tmp";
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd_ < 0 && (errno != EEXIST || attempt > 100)) {
      const int err = errno;
      temp_.clear();
      Discard();
      raise(XmlErrc::FileCreate, path, std::strerror(err));
    }
  }
  if (exists) (void)::fchmod(fd_, st.st_mode & 07777);  // the new file keeps the old one's permissions
}

TReplacingFileStream::~TReplacingFileStream() { Discard(); }

void TReplacingFileStream::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  if (lockFd_ >= 0) ::close(lockFd_);
  lockFd_ = -1;
}

int64_t TReplacingFileStream::Read(void*, int64_t) { raise(XmlErrc::ReadFromWritingStream); }

int64_t TReplacingFileStream::Write(const void* buffer, int64_t count) {
  return fd_ < 0 ? 0 : writeAll(fd_, buffer, count);
}

int64_t TReplacingFileStream::Seek(int64_t offset, SeekOrigin origin) {
  return seekFd(fd_, offset, origin, XmlErrc::StreamWrite);
}

void TReplacingFileStream::Commit() {
  if (fd_ < 0) raise(XmlErrc::FileCreate, path_, std::strerror(EBADF));
  int err = 0;
  if (::fsync(fd_) != 0) err = errno;
  if (::close(fd_) != 0 && err == 0) err = errno;
  fd_ = -1;
  if (err == 0 && ::rename(temp_.c_str(), path_.c_str()) != 0) err = errno;
  if (err != 0) {
    Discard();
    raise(XmlErrc::FileCreate, path_, std::strerror(err));
  }
  temp_.clear();
  // The rename itself reaches the disk with the folder's sync; the new file
  // is complete either way, so a failure here is not reported.
  const std::string folder = std::filesystem::path(path_).parent_path().string();
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  Discard();  // releases the lock on the old file
}

}  // namespace xml

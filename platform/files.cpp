#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace platform::files {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNotRegular = "Not a regular file";
constexpr const char* kReplacedMeanwhile = "File was replaced by another while it was being saved";

// Where a write to path lands: its symbolic links followed to the file they
// name, which need not exist yet. A loop of links stays a link, which the
// open then refuses with the system's reason.
std::string followLinks(const std::string& path) {
  fs::path p(path);
  for (int i = 0; i < 40; ++i) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) break;
    const fs::path next = fs::read_symlink(p, ec);
    if (ec) break;
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  return p.string();
}

bool inGroup(gid_t gid) {
  if (gid == ::getegid()) return true;
  const int n = ::getgroups(0, nullptr);
  if (n <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(n));
  const int got = ::getgroups(n, groups.data());
  for (int i = 0; i < got; ++i)
    if (groups[static_cast<size_t>(i)] == gid) return true;
  return false;
}

// 0 when this process may write the opened file fd, else the errno that says
// why not. Root may write any file, so for root the permission bits decide:
// a file that no one may write is not replaced by root either.
int writeDenied(int fd, const struct stat& st) {
  const uid_t me = ::geteuid();
  if (me == 0) return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 ? 0 : EACCES;
  if (::faccessat(fd, "", W_OK, AT_EMPTY_PATH | AT_EACCESS) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A system without that call: the bits of the class this process falls in.
  const mode_t bit = st.st_uid == me ? S_IWUSR : inGroup(st.st_gid) ? S_IWGRP : S_IWOTH;
  return (st.st_mode & bit) != 0 ? 0 : EACCES;
}

bool unsupported(int err) { return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP; }

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

int openRegularFile(const std::string& path, std::string& reason, struct stat* info, int* error, bool noFollow) {
  auto failed = [&](int err, std::string why) {
    if (error != nullptr) *error = err;
    reason = std::move(why);
    return -1;
  };
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0));
  if (fd < 0) {
    const int err = errno;
    // A socket cannot be opened at all ("No such device or address"), nor a
    // device where devices are off: say what it is instead.
    struct stat st {};
    const int found = noFollow ? ::lstat(path.c_str(), &st) : ::stat(path.c_str(), &st);
    if (err != ENOENT && found == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode))
      return failed(err, kNotRegular);
    return failed(err, std::strerror(err));
  }
  // The type is that of what was opened, whatever the name means by now.
  struct stat st {};
  int err = 0;
  const char* why = nullptr;
  if (::fstat(fd, &st) != 0) {
    err = errno;
  } else if (S_ISDIR(st.st_mode)) {
    err = EISDIR;  // reads would fail while its size looks huge
  } else if (!S_ISREG(st.st_mode)) {
    err = ENXIO;  // a FIFO or device: no end, or no size, to read to, nothing to replace
    why = kNotRegular;
  } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    err = errno;
  }
  if (err != 0) {
    ::close(fd);
    return failed(err, why != nullptr ? why : std::strerror(err));
  }
  if (info != nullptr) *info = st;
  if (error != nullptr) *error = 0;
  return fd;
}

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {}

ReplacingFile::~ReplacingFile() { discard(); }

bool ReplacingFile::fail(std::string reason) {
  reason_ = std::move(reason);
  discard();
  return false;
}

void ReplacingFile::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  if (oldFd_ >= 0) ::close(oldFd_);  // closing releases the lock
  oldFd_ = -1;
}

bool ReplacingFile::open() {
  discard();
  reason_.clear();
  target_ = followLinks(path_);
  // The links are followed already: one that appears now is refused.
  std::string why;
  int err = 0;
  oldFd_ = openRegularFile(target_, why, &old_, &err, true);
  hadOld_ = oldFd_ >= 0;
  if (!hadOld_ && err != ENOENT) return fail(why);
  if (hadOld_) {
    if (const int denied = writeDenied(oldFd_, old_); denied != 0) return fail(std::strerror(denied));
    if (::flock(oldFd_, LOCK_EX | LOCK_NB) != 0) return fail(std::strerror(errno));
  }
  const fs::path target(target_);
  const std::string stem = (target.parent_path() / ("." + target.filename().string() + ".")).string();
  static std::atomic<unsigned> serial{0};
  for (int attempt = 0; fd_ < 0; ++attempt) {
    std::string name = stem + std::to_string(::getpid()) + "-" + std::to_string(++serial) + ".tmp";
    // Private until it has the old file's permissions.
    fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, hadOld_ ? 0600 : 0666);
    if (fd_ >= 0)
      temp_ = std::move(name);
    else if (errno != EEXIST || attempt > 100)
      return fail(std::strerror(errno));
  }
  if (hadOld_) {
    // Owner and group first (a change of owner clears set-id bits); only
    // root may give the file away, others may keep at most the group.
    const uid_t owner = ::geteuid() == 0 ? old_.st_uid : static_cast<uid_t>(-1);
    if ((owner != static_cast<uid_t>(-1) && owner != ::geteuid()) || old_.st_gid != ::getegid()) {
      if (::fchown(fd_, owner, old_.st_gid) != 0) {
        // Not allowed: the new file stays this process's own.
      }
    }
    if (::fchmod(fd_, old_.st_mode & 07777) != 0) return fail(std::strerror(errno));
  }
  return true;
}

// Renames the fresh file over the target while the target is the file that
// was checked, or still absent: a file that took the name meanwhile (a FIFO,
// a device node) is never replaced. Empty on success, else the reason.
std::string ReplacingFile::putInPlace() {
  const char* from = temp_.c_str();
  const char* to = target_.c_str();
  struct stat now {};
  if (!hadOld_) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) {
      temp_.clear();
      return {};
    }
    if (!unsupported(errno)) return std::strerror(errno);  // EEXIST: the name was taken meanwhile
  } else if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE) == 0) {
    // The old file has the fresh file's name now: it must be the one checked.
    if (::lstat(from, &now) == 0 && sameFile(now, old_)) {
      ::unlink(from);
      temp_.clear();
      return {};
    }
    // Back as it was; should even that fail, what has that name is not ours to remove.
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE) != 0) temp_.clear();
    return kReplacedMeanwhile;
  } else if (!unsupported(errno)) {
    return std::strerror(errno);
  }
  // A file system that renames without these checks (NFS, for one): the
  // same check by name, just before a plain rename.
  const bool present = ::lstat(to, &now) == 0;
  if (present && !hadOld_) return std::strerror(EEXIST);
  if (present != hadOld_ || (present && !sameFile(now, old_))) return kReplacedMeanwhile;
  if (::rename(from, to) != 0) return std::strerror(errno);
  temp_.clear();
  return {};
}

bool ReplacingFile::commit() {
  if (fd_ < 0) return fail(std::strerror(EBADF));
  int err = 0;
  if (::fsync(fd_) != 0) err = errno;
  if (::close(fd_) != 0 && err == 0) err = errno;
  fd_ = -1;
  if (err != 0) return fail(std::strerror(err));
  if (std::string why = putInPlace(); !why.empty()) return fail(std::move(why));
  // The rename itself reaches the disk with the folder's sync; the new file
  // is complete either way, so a failure here is not reported.
  const std::string folder = fs::path(target_).parent_path().string();
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  discard();  // releases the lock on the old file
  return true;
}

}  // namespace platform::files

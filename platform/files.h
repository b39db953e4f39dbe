#pragma once
// Opening files by what they are, not by their names: a document is read
// only from a regular file, and a file is replaced only when it is a regular
// file that may be written. Every check is made on the file that was opened,
// so a name that is changed meanwhile cannot slip something else in. No Qt;
// failures come back as the system's reasons, for the caller's own errors.
#include <sys/stat.h>

#include <string>

namespace platform::files {

// Opens path for reading without waiting (opening a FIFO the usual way waits
// for a writer that may never come) and checks what was opened. Returns the
// descriptor of a regular file, blocking again, which the caller closes; else
// -1 with reason: "Is a directory", "Not a regular file" (a FIFO, socket or
// device), or the system's reason why it cannot be opened. info receives what
// was opened, error the failure's errno (ENOENT for a missing file); both may
// be null. With noFollow, a symbolic link is refused instead of followed.
int openRegularFile(const std::string& path, std::string& reason, struct stat* info = nullptr,
                    int* error = nullptr, bool noFollow = false);

// Writes a file in another's place: the new content goes to a fresh file
// beside the target, which takes the target's name only when complete
// (commit); without commit the fresh file is removed and the target stays as
// it was. A symbolic link is followed and the file it names is replaced. The
// target must be absent or a regular file this process may write by its
// permission bits (root too: a file that no one may write stays read-only);
// meanwhile it is held under an exclusive advisory lock, so the save is
// refused while a reader holds it. The new file keeps the old one's
// permission bits (and, where the process may give them, owner and group).
class ReplacingFile {
 public:
  explicit ReplacingFile(std::string path);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Checks the target and creates the fresh file; false with reason().
  bool open();
  // The fresh file's descriptor for writing; -1 before open and after commit or a failure.
  int fd() const { return fd_; }
  // Syncs and closes the fresh file and renames it over the target, provided
  // the target is still the file that was checked (or still absent); false
  // with reason(), the target then as it was.
  bool commit();
  // Why open or commit failed; empty before a failure.
  const std::string& reason() const { return reason_; }

 private:
  bool fail(std::string reason);
  std::string putInPlace();
  void discard();

  std::string path_;    // as given
  std::string target_;  // path_ with its symbolic links followed
  std::string temp_;    // the fresh file; empty when there is none to remove
  struct stat old_ {};  // the target as checked
  bool hadOld_ = false;
  int fd_ = -1;
  int oldFd_ = -1;      // the target, open and locked
  std::string reason_;
};

}  // namespace platform::files

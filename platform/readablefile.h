#pragma once
// Opening one of the program's own files to read it whole (statistics.ini, a
// rule file). It must be a regular file: a FIFO (a named pipe) opened the
// usual way waits for a writer that may never come, and a FIFO, socket or
// device has no end or no size to read to. So the file is opened without
// blocking and the type of what was opened is checked, so that nothing can
// be swapped in between the check and the open. No Qt; nothing throws.
#include <string>

namespace platform {

class ReadableFile {
 public:
  // Opens path for reading (close-on-exec, blocking reads); on failure fd()
  // is -1 and error() says why: the system's text, or "Not a regular file".
  explicit ReadableFile(const std::string& path);
  ~ReadableFile();
  ReadableFile(ReadableFile&& other) noexcept;
  ReadableFile& operator=(ReadableFile&&) = delete;
  ReadableFile(const ReadableFile&) = delete;
  ReadableFile& operator=(const ReadableFile&) = delete;

  int fd() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }
  // Why the open failed; empty when it did not.
  const std::string& error() const { return error_; }
  // The rest of the file from the current offset; false on a read error.
  bool readAll(std::string& out) const;

 private:
  int fd_ = -1;
  std::string error_;
};

}  // namespace platform

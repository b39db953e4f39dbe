#pragma once
// The byte streams the library reads and writes: a small interface of our own
// with memory, string and file streams. Positions and sizes are 64-bit.
#include <cstdint>
#include <string>
#include <memory>
#include <string_view>

namespace platform::files {
class ReplacingFile;
}

namespace xml {

enum class SeekOrigin { Beginning, Current, End };

class TStream {
 public:
  virtual ~TStream() = default;
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Copies up to count bytes into buffer; returns the number copied (0 at the end or for count < 1).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes up to count bytes; returns the number the stream took (0 for count < 1).
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position; returns the new position.
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
  // The size in bytes: position, seek to the end, seek back.
  virtual int64_t Size();
  // The bytes from the position on that one-byte reads would hand out as
  // they stand (no conversion), as far as the stream has them at hand; empty
  // when it has none or converts. A reader may scan them and take them with
  // Skip instead of reading them one by one.
  virtual std::string_view Peek() { return {}; }
  // Takes the first n bytes of the last Peek, as n one-byte reads would.
  virtual void Skip(size_t n) { (void)n; }
  // Where the character read last begins, in the stream's own bytes (for the
  // place of a failure): Position() - 1 for a stream of bytes; a codec gives
  // where the source character begins, whatever it became.
  virtual int64_t LastCharOffset() { return Position() - 1; }

  // The parser says whether what it reads next stands where a name or other
  // markup is read (true) or in text, a quoted value or a comment (false). A
  // stream that converts characters fails a read in markup when it meets one
  // that the document's code page cannot hold, since its stand-in "?" would
  // be read as markup; in text it gives "?". Other streams ignore it.
  void SetReadingMarkup(bool markup) { readingMarkup_ = markup; }

  // The position (a seek of 0 from the current position).
  int64_t Position() { return Seek(0, SeekOrigin::Current); }
  // Moves to pos from the beginning.
  void SetPosition(int64_t pos) { Seek(pos, SeekOrigin::Beginning); }
  // Reads exactly count bytes or raises "Stream read error".
  void ReadBuffer(void* buffer, int64_t count);
  // Writes exactly count bytes or raises "Stream write error".
  void WriteBuffer(const void* buffer, int64_t count);

 protected:
  bool readingMarkup_ = false;  // SetReadingMarkup's last word; text at first
};

// A growable stream in memory; the position may lie beyond the end (a read
// there gives 0 bytes, a write there fills the gap with zero bytes).
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  int64_t Read(void* buffer, int64_t count) override;
  // Takes nothing at a negative position.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  // The bytes from the position to the end; empty outside the data.
  std::string_view Peek() override {
    if (pos_ < 0 || pos_ >= static_cast<int64_t>(data_.size())) return {};
    return std::string_view(data_).substr(static_cast<size_t>(pos_));
  }
  void Skip(size_t n) override { pos_ += static_cast<int64_t>(n); }
  // Cuts or extends (with zero bytes) the data; the position stays.
  void SetSize(int64_t size);
  // The bytes held, whatever the position.
  const std::string& Bytes() const { return data_; }

 private:
  std::string data_;
  int64_t pos_ = 0;
};

// A memory stream made from a text, position 0.
class TStringStream : public TMemoryStream {
 public:
  explicit TStringStream(std::string_view text = {});
  // All bytes of the stream as one text; the position ends at the end.
  std::string DataText();
};

// A file. OpenRead allows other readers and takes a shared advisory lock
// (flock), so it fails while another process holds the file locked for
// writing; Linux cannot deny writers that take no lock. It refuses, without
// waiting, anything but a regular file (a directory, FIFO, socket or device).
// Create truncates an existing file under an exclusive lock.
class TFileStream : public TStream {
 public:
  enum class Mode { OpenRead, Create };
  // Raises the stream error "Cannot open file" / "Cannot create file" with the reason.
  TFileStream(const std::string& path, Mode mode);
  ~TFileStream() override;
  // Bytes read; 0 at the end. A failed read raises the filer error "Cannot
  // read file" with the reason (it is never taken for the end).
  int64_t Read(void* buffer, int64_t count) override;
  // Bytes written; fewer than count when the file refuses the rest.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;

 private:
  int fd_ = -1;
  std::string path_;
};

// A save that keeps the old file until the new one is complete: writes go to
// a fresh file beside the target, and Commit syncs it, closes it and renames
// it over the target. Without Commit (a failed save) the new file is removed
// and the target stays as it was. Only a regular file that may be written is
// replaced (a FIFO, device or read-only file is refused, also for root); a
// symbolic link is followed. An existing target is held under an exclusive
// lock meanwhile, so the save is refused while a reader holds it.
class TReplacingFileStream : public TStream {
 public:
  // Raises the stream error "Cannot create file" with the reason.
  explicit TReplacingFileStream(const std::string& path);
  ~TReplacingFileStream() override;
  // Always raises "Cannot read from a conversion stream opened for writing".
  int64_t Read(void* buffer, int64_t count) override;
  // Bytes written; fewer than count when the disk refuses the rest.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  // Puts the written file in the target's place; raises "Cannot create file"
  // with the reason when the sync, the close or the rename fails, or the
  // target was replaced by another file meanwhile (the target then stays as
  // it was).
  void Commit();

 private:
  std::string path_;
  std::unique_ptr<platform::files::ReplacingFile> file_;
};

}  // namespace xml

#pragma once
// Paged buffering in front of a stream for one-byte reads and writes, the
// parser's push-back reader and its growable text.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "xml/XmlStream.h"

namespace xml {

// Reads the inner stream a 65,536-byte page at a time. Seeks only move the
// logical position; the next read loads the page it falls in.
class TBufferedReadStream final : public TStream {
 public:
  static constexpr int64_t kPageSize = 65536;
  // Reads from inner, which stays the caller's and must outlive this stream.
  explicit TBufferedReadStream(TStream& inner);
  // Reads from inner and frees it with this stream.
  explicit TBufferedReadStream(std::unique_ptr<TStream> inner);

  // Bytes copied; 0 at the end, beyond it, and at a negative position. Raises
  // the filer error "Input ended at byte %s before its size" when the inner
  // stream gives nothing before the size it reports.
  int64_t Read(void* buffer, int64_t count) override;
  // Always raises "Cannot write to an UTF stream opened for reading".
  int64_t Write(const void* buffer, int64_t count) override;
  // The new logical position; any value is kept, also a negative one.
  int64_t Seek(int64_t offset, SeekOrigin origin) override;

  // One byte, for the codecs: false at the end (same rules as Read).
  bool TakeByte(unsigned char& b) {
    if (!recheck_ && pageOffset_ < pageFill_ - 1) {
      b = static_cast<unsigned char>(page_[pageOffset_++]);
      ++logicalPos_;
      return true;
    }
    return Read(&b, 1) == 1;
  }
  // The logical position without a virtual call.
  int64_t LogicalPosition() const { return logicalPos_; }
  // The rest of the page held (loaded first when needed); empty at the end.
  std::string_view Peek() override {
    if (recheck_) LoadPage();
    if (pageOffset_ >= pageFill_) return {};
    return std::string_view(page_.get() + pageOffset_, static_cast<size_t>(pageFill_ - pageOffset_));
  }
  // Moves on by n bytes of the page; the next page is loaded at its end.
  void Skip(size_t n) override {
    pageOffset_ += static_cast<int64_t>(n);
    logicalPos_ += static_cast<int64_t>(n);
    if (pageOffset_ >= pageFill_) LoadPage();
  }

 private:
  void LoadPage();

  std::unique_ptr<TStream> owned_;
  TStream& inner_;
  std::unique_ptr<char[]> page_;
  int64_t pageIndex_ = -1;
  int64_t pageOffset_ = 0;
  int64_t pageFill_ = 0;
  int64_t logicalPos_ = 0;
  bool recheck_ = true;
};

// Collects writes in a 65,536-byte page and passes full pages on. Call Flush
// before destruction to learn of a refused write; the destructor flushes too
// but cannot report.
class TBufferedWriteStream final : public TStream {
 public:
  static constexpr int64_t kPageSize = 65536;
  explicit TBufferedWriteStream(TStream& inner);
  explicit TBufferedWriteStream(std::unique_ptr<TStream> inner);
  ~TBufferedWriteStream() override;

  // Always raises "Cannot read from a conversion stream opened for writing".
  int64_t Read(void* buffer, int64_t count) override;
  // Bytes taken (count, or 0 for count < 1); raises when a page the inner stream refuses is flushed.
  int64_t Write(const void* buffer, int64_t count) override;
  // Position queries only (the number of bytes written); anything else raises
  // "Cannot perform seek on codec stream".
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  // Passes the waiting bytes on; raises "Cannot write to output stream" when
  // the inner stream takes fewer.
  void FlushPage();

 private:
  std::unique_ptr<TStream> owned_;
  TStream& inner_;
  std::unique_ptr<char[]> page_;
  int64_t pageFill_ = 0;
  int64_t logicalPos_ = 0;
};

// Characters from the PushBack text first, then from the stream.
class TPushbackReader {
 public:
  explicit TPushbackReader(TStream& stream) : stream_(stream) {}
  // 1 with the next character, else what a one-byte read of the stream returns (0 at the end).
  int TakeChar(char& c) {
    if (pushPos_ < pushBack_.size()) {
      c = pushBack_[pushPos_++];
      return 1;
    }
    return static_cast<int>(stream_.Read(&c, 1));
  }
  // The next non-blank character; false when the input ends first.
  bool TakeNonBlank(char& c);
  // Replaces the characters still to be handed back.
  void SetPushBack(std::string text) {
    pushBack_ = std::move(text);
    pushPos_ = 0;
  }
  // The characters not yet handed back.
  std::string PushBack() const { return pushBack_.substr(pushPos_); }
  // True when the next character comes from the stream.
  bool PushBackEmpty() const { return pushPos_ >= pushBack_.size(); }
  TStream& Stream() const { return stream_; }

 private:
  TStream& stream_;
  std::string pushBack_;
  size_t pushPos_ = 0;
};

// Growable text: capacity 64, doubled as needed.
class TStringBuilder {
 public:
  TStringBuilder() : buffer_(64, '\0') {}
  void AppendChar(char c) {
    if (used_ == buffer_.size()) EnsureCapacity(used_ + 1);
    buffer_[used_++] = c;
  }
  // Appends the bytes of text.
  void Append(std::string_view text) {
    EnsureCapacity(used_ + text.size());
    text.copy(buffer_.data() + used_, text.size());
    used_ += text.size();
  }
  // Capacity at least count; never shrinks.
  void EnsureCapacity(size_t count);
  // The character at 1-based index from 1 to Used(); '\0' outside.
  char CharAt(size_t index) const { return index >= 1 && index <= used_ ? buffer_[index - 1] : '\0'; }
  // At most count characters from 1-based start; empty when start is outside the used text.
  std::string Slice(size_t start, size_t count) const;
  // The used text.
  std::string Value() const { return buffer_.substr(0, used_); }
  std::string_view View() const { return std::string_view(buffer_).substr(0, used_); }
  // Empties the text; the capacity stays (a builder may be reused).
  void Clear() { used_ = 0; }
  size_t Used() const { return used_; }
  size_t Capacity() const { return buffer_.size(); }
  // True when the used text ends with tail.
  bool EndsWith(std::string_view tail) const {
    return used_ >= tail.size() && std::string_view(buffer_).substr(used_ - tail.size(), tail.size()) == tail;
  }

 private:
  std::string buffer_;
  size_t used_ = 0;
};

}  // namespace xml

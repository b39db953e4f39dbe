#include "xml/XmlBuffered.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "xml/XmlErrors.h"
#include "xml/internal/ByteClass.h"

namespace xml {

TBufferedReadStream::TBufferedReadStream(TStream& inner)
    : inner_(inner), page_(std::make_unique<char[]>(kPageSize)) {}

TBufferedReadStream::TBufferedReadStream(std::unique_ptr<TStream> inner)
    : owned_(std::move(inner)), inner_(*owned_), page_(std::make_unique<char[]>(kPageSize)) {}

void TBufferedReadStream::LoadPage() {
  recheck_ = false;
  if (logicalPos_ < 0) {
    // Nothing lies before the start: hand out nothing until a seek moves back in.
    pageIndex_ = -1;
    pageOffset_ = 0;
    pageFill_ = 0;
    return;
  }
  const int64_t p = logicalPos_ / kPageSize;
  pageOffset_ = logicalPos_ % kPageSize;
  if (p == pageIndex_) return;
  pageIndex_ = p;
  const int64_t start = p * kPageSize;
  const int64_t want = std::min(kPageSize, inner_.Size() - start);
  pageFill_ = 0;
  if (want <= 0) return;
  inner_.Seek(start, SeekOrigin::Beginning);
  // Inner streams may hand out less than asked: keep reading until the page is
  // full. Nothing more before the size the stream reported is an error: taken
  // as the end, it would leave the loader short of a size it never reaches.
  while (pageFill_ < want) {
    const int64_t n = inner_.Read(page_.get() + pageFill_, want - pageFill_);
    if (n <= 0) raiseAt(XmlErrc::UnexpectedEnd, start + pageFill_, std::to_string(start + pageFill_));
    pageFill_ += n;
  }
}

int64_t TBufferedReadStream::Read(void* buffer, int64_t count) {
  if (recheck_) LoadPage();
  if (count == 1 && pageOffset_ < pageFill_ - 1) {
    *static_cast<char*>(buffer) = page_[pageOffset_++];
    ++logicalPos_;
    return 1;
  }
  auto* dest = static_cast<char*>(buffer);
  int64_t total = 0;
  while (count > 0) {
    const int64_t n = std::min(pageFill_ - pageOffset_, count);
    if (n <= 0) break;
    std::memcpy(dest, page_.get() + pageOffset_, static_cast<size_t>(n));
    dest += n;
    pageOffset_ += n;
    logicalPos_ += n;
    total += n;
    count -= n;
    if (pageOffset_ >= pageFill_) LoadPage();
  }
  return total;
}

int64_t TBufferedReadStream::Write(const void*, int64_t) { raise(XmlErrc::WriteToReadingStream); }

int64_t TBufferedReadStream::Seek(int64_t offset, SeekOrigin origin) {
  switch (origin) {
    case SeekOrigin::Beginning: logicalPos_ = offset; break;
    case SeekOrigin::Current:
      if (offset == 0) return logicalPos_;
      logicalPos_ += offset;
      break;
    case SeekOrigin::End: logicalPos_ = inner_.Size() + offset; break;
  }
  recheck_ = true;
  return logicalPos_;
}

TBufferedWriteStream::TBufferedWriteStream(TStream& inner)
    : inner_(inner), page_(std::make_unique<char[]>(kPageSize)) {}

TBufferedWriteStream::TBufferedWriteStream(std::unique_ptr<TStream> inner)
    : owned_(std::move(inner)), inner_(*owned_), page_(std::make_unique<char[]>(kPageSize)) {}

TBufferedWriteStream::~TBufferedWriteStream() {
  try {
    FlushPage();
  } catch (const XmlError&) {
    // A destructor cannot report; callers that care call FlushPage first.
  }
}

int64_t TBufferedWriteStream::Read(void*, int64_t) { raise(XmlErrc::ReadFromWritingStream); }

int64_t TBufferedWriteStream::Write(const void* buffer, int64_t count) {
  if (count < 1) return 0;
  const auto* src = static_cast<const char*>(buffer);
  if (pageFill_ + count < kPageSize) {
    std::memcpy(page_.get() + pageFill_, src, static_cast<size_t>(count));
    pageFill_ += count;
    logicalPos_ += count;
    return count;
  }
  int64_t total = 0;
  while (count > 0) {
    const int64_t n = std::min(kPageSize - pageFill_, count);
    if (n <= 0) break;
    std::memcpy(page_.get() + pageFill_, src, static_cast<size_t>(n));
    src += n;
    total += n;
    logicalPos_ += n;
    pageFill_ += n;
    count -= n;
    if (pageFill_ == kPageSize) FlushPage();
  }
  return total;
}

int64_t TBufferedWriteStream::Seek(int64_t offset, SeekOrigin origin) {
  const bool query = origin == SeekOrigin::Beginning ? offset == logicalPos_ : offset == 0;
  if (!query) raise(XmlErrc::SeekOnCodec);
  return logicalPos_;
}

void TBufferedWriteStream::FlushPage() {
  if (pageFill_ <= 0) return;
  const int64_t n = inner_.Write(page_.get(), pageFill_);
  const int64_t waiting = pageFill_;
  pageFill_ = 0;
  if (n != waiting) raise(XmlErrc::CannotWriteOutput);
}

bool TPushbackReader::TakeNonBlank(char& c) {
  while (TakeChar(c) == 1)
    if (!detail::isBlank(c)) return true;
  return false;
}

void TStringBuilder::EnsureCapacity(size_t count) {
  size_t cap = buffer_.size();
  while (count > cap) cap *= 2;
  if (cap != buffer_.size()) buffer_.resize(cap, '\0');
}

std::string TStringBuilder::Slice(size_t start, size_t count) const {
  if (start < 1 || start > used_) return {};
  return buffer_.substr(start - 1, std::min(count, used_ - start + 1));
}

}  // namespace xml

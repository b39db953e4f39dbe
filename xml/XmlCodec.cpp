#include "xml/XmlCodec.h"

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"
#include "xml/XmlBuffered.h"
#include "xml/XmlErrors.h"
#include "xml/XmlText.h"

namespace xml {
namespace {

namespace cp = platform::codepage;

struct Signature {
  unsigned char bytes[4];
  int length;
  CodecEncoding encoding;
  bool mark;
};

// The XML 1.0 detection signatures; first match wins.
constexpr Signature kSignatures[] = {
    {{0x00, 0x00, 0xFE, 0xFF}, 4, CodecEncoding::Ucs4BigEndian, true},
    {{0xFF, 0xFE, 0x00, 0x00}, 4, CodecEncoding::Ucs4LittleEndian, true},
    {{0x00, 0x00, 0xFF, 0xFE}, 4, CodecEncoding::Ucs4Order2143, true},
    {{0xFE, 0xFF, 0x00, 0x00}, 4, CodecEncoding::Ucs4Order3412, true},
    {{0xFE, 0xFF}, 2, CodecEncoding::Utf16BigEndian, true},
    {{0xFF, 0xFE}, 2, CodecEncoding::Utf16LittleEndian, true},
    {{0xEF, 0xBB, 0xBF}, 3, CodecEncoding::Utf8, true},
    {{0x00, 0x00, 0x00, 0x3C}, 4, CodecEncoding::Ucs4BigEndian, false},
    {{0x3C, 0x00, 0x00, 0x00}, 4, CodecEncoding::Ucs4LittleEndian, false},
    {{0x00, 0x00, 0x3C, 0x00}, 4, CodecEncoding::Ucs4Order2143, false},
    {{0x00, 0x3C, 0x00, 0x00}, 4, CodecEncoding::Ucs4Order3412, false},
    {{0x00, 0x3C, 0x00, 0x3F}, 4, CodecEncoding::Utf16BigEndian, false},
    {{0x3C, 0x00, 0x3F, 0x00}, 4, CodecEncoding::Utf16LittleEndian, false},
    {{0x3C, 0x3F, 0x78, 0x6D}, 4, CodecEncoding::Ansi, false},
    {{0x4C, 0x6F, 0xA7, 0x94}, 4, CodecEncoding::Ebcdic, false},
};

bool refused(CodecEncoding e) {
  return e == CodecEncoding::Ucs4BigEndian || e == CodecEncoding::Ucs4Order2143 ||
         e == CodecEncoding::Ucs4Order3412 || e == CodecEncoding::Ebcdic;
}

bool isGbkTrail(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// Length of the UTF-8 sequence a byte starts; 1 for bytes that start none.
int utf8Length(unsigned char b) {
  if (b >= 0xC0 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF7) return 4;
  return 1;
}

}  // namespace

TCodecStream::TCodecStream(TStream* inner) : inner_(inner) {
  buffered_ = dynamic_cast<TBufferedReadStream*>(inner);
}

int64_t TCodecStream::innerPosition() {
  return buffered_ ? buffered_->LogicalPosition() : inner_->Position();
}

bool TCodecStream::Is16Bit() const {
  return encoding_ == CodecEncoding::Ucs2BigEndian || encoding_ == CodecEncoding::Ucs2LittleEndian ||
         encoding_ == CodecEncoding::Utf16BigEndian || encoding_ == CodecEncoding::Utf16LittleEndian;
}

void TCodecStream::OpenForReading() {
  mode_ = Mode::Reading;
  if (inner_ == nullptr) raise(XmlErrc::EncodingStreamUnassigned);
  encoding_ = CodecEncoding::Ansi;
  unsigned char head[4] = {0, 0, 0, 0};
  const int64_t start = innerPosition();
  const int64_t n = inner_->Read(head, 4);
  // An empty input has no signature: it is single-byte text with nothing in it.
  const Signature* match = nullptr;
  if (n > 0) {
    for (const Signature& s : kSignatures) {
      const int k = static_cast<int>(std::min<int64_t>(n, s.length));
      if (std::memcmp(head, s.bytes, static_cast<size_t>(k)) == 0) {
        match = &s;
        break;
      }
    }
  }
  if (match != nullptr) {
    encoding_ = match->encoding;
    markPresent_ = match->mark;
  }
  if (refused(encoding_)) raiseAt(XmlErrc::UnsupportedEncoding, start);
  // Right after the mark; an input that ends inside it ends there too,
  // never further on (where nothing lies and no failure could point).
  inner_->Seek(markPresent_ ? std::min<int64_t>(match->length, n) - n : -n, SeekOrigin::Current);
  if (encoding_ == CodecEncoding::Ucs2BigEndian || encoding_ == CodecEncoding::Utf16BigEndian)
    swapUnits_ = true;
}

int64_t TCodecStream::Read(void* buffer, int64_t count) {
  if (mode_ == Mode::Idle) OpenForReading();
  if (mode_ != Mode::Reading) raise(XmlErrc::ReadFromWritingStream);
  if (count != 1) raise(XmlErrc::MultiCharRead);
  const unsigned char c = NextChar();
  *static_cast<unsigned char*>(buffer) = c;
  return c != 0 ? 1 : 0;
}

bool TCodecStream::ReadInnerByte(unsigned char& b) {
  const bool ok = buffered_ ? buffered_->TakeByte(b) : inner_->Read(&b, 1) == 1;
  if (ok && b == 0) raiseAt(XmlErrc::NulCharacter, innerPosition() - 1);
  return ok;
}

bool TCodecStream::ReadInnerUnit(char16_t& u) {
  unsigned char b[2] = {0, 0};
  const int64_t n = inner_->Read(b, 2);
  if (n <= 0) return false;
  if (n == 1) raiseAt(XmlErrc::TruncatedUtf16, innerPosition() - 1);
  u = swapUnits_ ? static_cast<char16_t>((b[0] << 8) | b[1]) : static_cast<char16_t>(b[0] | (b[1] << 8));
  if (u == 0) raiseAt(XmlErrc::NulCharacter, innerPosition() - 2);
  return true;
}

bool TCodecStream::ReadInnerCodePoint(char32_t& c) {
  char16_t u = 0;
  if (!ReadInnerUnit(u)) return false;
  c = u;
  if (u >= 0xD800 && u <= 0xDBFF) {
    char16_t low = 0;
    const int64_t before = innerPosition();
    if (ReadInnerUnit(low)) {
      if (low >= 0xDC00 && low <= 0xDFFF)
        c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00);
      else
        UnreadInner(innerPosition() - before);
    }
  }
  return true;
}

void TCodecStream::UnreadInner(int64_t n) {
  if (n > 0) inner_->Seek(-n, SeekOrigin::Current);
}

void TCodecStream::SignalLoss() {
  if (lossSignalled_) return;
  lossSignalled_ = true;
  if (OnCharacterLoss) OnCharacterLoss(*this);
}

int64_t TCodecStream::Seek(int64_t offset, SeekOrigin origin) {
  if (mode_ == Mode::Idle) raise(XmlErrc::SeekBeforeUse);
  if (origin == SeekOrigin::Current && offset == 0) return innerPosition();
  if (origin == SeekOrigin::Current && (offset == -1 || offset == -2) && mode_ == Mode::Reading) {
    pending_.clear();
    pendingIndex_ = 0;
    inner_->Seek(offset == -1 ? posBeforeLast_ : posBeforePrevious_, SeekOrigin::Beginning);
    return 0;
  }
  if (origin == SeekOrigin::End && offset == 0) return inner_->Size();
  if (origin == SeekOrigin::Beginning) return 0;
  raise(XmlErrc::SeekOnCodec);
}

std::string_view TCodecStream::Peek() {
  if (mode_ != Mode::Reading || buffered_ == nullptr || pendingIndex_ < pending_.size() || !PassesBytes()) return {};
  return buffered_->Peek();
}

void TCodecStream::Skip(size_t n) {
  if (n == 0) return;
  const int64_t pos = buffered_->LogicalPosition();
  const auto k = static_cast<int64_t>(n);
  posBeforePrevious_ = k >= 2 ? pos + k - 2 : posBeforeLast_;
  posBeforeLast_ = pos + k - 1;
  buffered_->Skip(n);
}

void TCodecStream::OpenForWriting() {
  mode_ = Mode::Writing;
  if (refused(encoding_)) raise(XmlErrc::UnsupportedEncoding);
  for (const Signature& s : kSignatures) {
    if (s.encoding == encoding_) {
      markPresent_ = s.mark;
      if (s.mark) inner_->WriteBuffer(s.bytes, s.length);
      break;
    }
  }
  if (encoding_ == CodecEncoding::Ucs2BigEndian || encoding_ == CodecEncoding::Utf16BigEndian)
    swapUnits_ = true;
}

int64_t TCodecStream::Write(const void* buffer, int64_t count) {
  if (mode_ == Mode::Idle) OpenForWriting();
  if (mode_ != Mode::Writing) raise(XmlErrc::WriteToReadingStream);
  PutChars(static_cast<const char*>(buffer), 0, count);
  return count;
}

void TCodecStream::PutChars(const char* buffer, int64_t offset, int64_t count) {
  for (int64_t i = 0; i < count; ++i) PutChar(static_cast<unsigned char>(buffer[offset + i]));
}

void TCodecStream::WriteInner(const char* data, size_t n) {
  if (n == 0) return;
  if (inner_->Write(data, static_cast<int64_t>(n)) != static_cast<int64_t>(n))
    raise(XmlErrc::CannotWriteOutput);
}

void TCodecStream::WriteUnit(char16_t u) {
  char b[2];
  if (swapUnits_) {
    b[0] = static_cast<char>(u >> 8);
    b[1] = static_cast<char>(u & 0xFF);
  } else {
    b[0] = static_cast<char>(u & 0xFF);
    b[1] = static_cast<char>(u >> 8);
  }
  WriteInner(b, 2);
}

// ---- TAnsiStream ----

int64_t TAnsiStream::Read(void* buffer, int64_t count) {
  const CodecEncoding e = ActiveEncoding();
  if (buffered_ != nullptr && count == 1 && AccessMode() == Mode::Reading && pendingIndex_ >= pending_.size() &&
      (e == CodecEncoding::Ansi || e == CodecEncoding::Utf8)) {
    MarkCharStart();
    unsigned char b = 0;
    if (!ReadInnerByte(b)) b = 0;
    *static_cast<unsigned char*>(buffer) = b;
    return b != 0 ? 1 : 0;
  }
  return TCodecStream::Read(buffer, count);
}

bool TAnsiStream::PassesBytes() const {
  return ActiveEncoding() == CodecEncoding::Ansi || ActiveEncoding() == CodecEncoding::Utf8;
}

unsigned char TAnsiStream::NextChar() {
  if (pendingIndex_ < pending_.size()) return static_cast<unsigned char>(pending_[pendingIndex_++]);
  MarkCharStart();
  switch (ActiveEncoding()) {
    case CodecEncoding::Ansi:
    case CodecEncoding::Utf8: {
      unsigned char b = 0;
      return ReadInnerByte(b) ? b : 0;
    }
    case CodecEncoding::Ucs2BigEndian:
    case CodecEncoding::Ucs2LittleEndian:
    case CodecEncoding::Utf16BigEndian:
    case CodecEncoding::Utf16LittleEndian: {
      char32_t c = 0;
      if (!ReadInnerCodePoint(c)) return 0;
      if (c < 0x80) return static_cast<unsigned char>(c);
      // Whole characters into GBK; never a cut-off low byte.
      pending_ = cp::codePointToAnsi(c);
      pendingIndex_ = 0;
      if (pending_.empty()) {
        // Its "?" would be markup (after "<" a processing instruction): the
        // document's structure would change without a word.
        if (readingMarkup_) raiseAt(XmlErrc::CharacterInMarkupLost, LastCharOffset());
        SignalLoss();
        return '?';
      }
      return static_cast<unsigned char>(pending_[pendingIndex_++]);
    }
    default: raiseAt(XmlErrc::UnsupportedEncoding, LastCharOffset());
  }
}

void TAnsiStream::PutChars(const char* buffer, int64_t offset, int64_t count) {
  if (ActiveEncoding() == CodecEncoding::Ansi) {
    WriteInner(buffer + offset, static_cast<size_t>(count));
    return;
  }
  TCodecStream::PutChars(buffer, offset, count);
}

void TAnsiStream::PutChar(unsigned char c) {
  const CodecEncoding e = ActiveEncoding();
  if (e == CodecEncoding::Ansi) {
    const char b = static_cast<char>(c);
    WriteInner(&b, 1);
    return;
  }
  if (e != CodecEncoding::Utf8 && !Is16Bit()) raise(XmlErrc::UnsupportedEncoding);
  auto put = [&](const std::string& text) {
    if (e == CodecEncoding::Utf8) {
      const std::string utf8 = AnsiTextToUtf8(text);
      if (utf8.empty()) raise(XmlErrc::CannotWriteOutput);
      WriteInner(utf8.data(), utf8.size());
      return;
    }
    for (char16_t u : cp::ansiToWide(text)) WriteUnit(u);
  };
  // A GBK lead byte waits for its trail byte; the pair converts as one
  // character. A byte that cannot be a trail byte (markup such as "<") is no
  // part of it: the lone lead byte goes out by itself, so nothing is swallowed.
  if (!pending_.empty() && !isGbkTrail(c)) {
    const std::string lone = std::move(pending_);
    pending_.clear();
    put(lone);
  }
  pending_.push_back(static_cast<char>(c));
  if (pending_.size() == 1 && cp::isAnsiLeadByte(c)) return;
  const std::string text = std::move(pending_);
  pending_.clear();
  put(text);
}

// ---- TUtf8Stream ----

// UTF-8 sequences pass whole and unchanged, so their bytes do too.
bool TUtf8Stream::PassesBytes() const { return ActiveEncoding() == CodecEncoding::Utf8; }

unsigned char TUtf8Stream::NextChar() {
  if (pendingIndex_ < pending_.size()) return static_cast<unsigned char>(pending_[pendingIndex_++]);
  MarkCharStart();
  pending_.clear();
  pendingIndex_ = 0;
  switch (ActiveEncoding()) {
    case CodecEncoding::Ansi: {
      unsigned char b = 0;
      if (!ReadInnerByte(b)) return 0;
      if (b < 0x80) return b;
      std::string gbk(1, static_cast<char>(b));
      if (cp::isAnsiLeadByte(b)) {
        unsigned char t = 0;
        if (ReadInnerByte(t)) {
          if (isGbkTrail(t))
            gbk.push_back(static_cast<char>(t));
          else
            UnreadInner(1);
        }
      }
      pending_ = AnsiTextToUtf8(gbk);
      break;
    }
    case CodecEncoding::Utf8: {
      unsigned char b = 0;
      if (!ReadInnerByte(b)) return 0;
      if (b < 0x80) return b;
      pending_.push_back(static_cast<char>(b));
      // Take the continuation bytes of the sequence, but never a byte that
      // starts something else (such as the "<" after a cut-off sequence).
      for (int k = utf8Length(b); k > 1; --k) {
        unsigned char t = 0;
        if (!ReadInnerByte(t)) break;
        if ((t & 0xC0) != 0x80) {
          UnreadInner(1);
          break;
        }
        pending_.push_back(static_cast<char>(t));
      }
      break;
    }
    case CodecEncoding::Ucs2BigEndian:
    case CodecEncoding::Ucs2LittleEndian:
    case CodecEncoding::Utf16BigEndian:
    case CodecEncoding::Utf16LittleEndian: {
      char32_t c = 0;
      if (!ReadInnerCodePoint(c)) return 0;
      if (c < 0x80) return static_cast<unsigned char>(c);
      char16_t units[2];
      size_t n = 1;
      if (c >= 0x10000) {
        units[0] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        units[1] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        n = 2;
      } else {
        units[0] = static_cast<char16_t>(c);
      }
      pending_ = WideToUtf8Text(std::u16string_view(units, n));
      break;
    }
    default: raiseAt(XmlErrc::UnsupportedEncoding, LastCharOffset());
  }
  return pending_.empty() ? 0 : static_cast<unsigned char>(pending_[pendingIndex_++]);
}

void TUtf8Stream::PutChars(const char* buffer, int64_t offset, int64_t count) {
  if (ActiveEncoding() == CodecEncoding::Utf8) {
    WriteInner(buffer + offset, static_cast<size_t>(count));
    return;
  }
  TCodecStream::PutChars(buffer, offset, count);
}

void TUtf8Stream::PutChar(unsigned char c) {
  const CodecEncoding e = ActiveEncoding();
  if (e == CodecEncoding::Utf8) {
    const char b = static_cast<char>(c);
    WriteInner(&b, 1);
    return;
  }
  if (e != CodecEncoding::Ansi && !Is16Bit()) raise(XmlErrc::UnsupportedEncoding);
  // Collect one whole UTF-8 sequence (up to four bytes), then convert it.
  pending_.push_back(static_cast<char>(c));
  if (static_cast<int>(pending_.size()) < utf8Length(static_cast<unsigned char>(pending_[0]))) return;
  const std::string seq = std::move(pending_);
  pending_.clear();
  if (e == CodecEncoding::Ansi) {
    const std::string ansi = Utf8TextToAnsi(seq);
    WriteInner(ansi.data(), ansi.size());
    return;
  }
  for (char16_t u : Utf8TextToWide(seq)) WriteUnit(u);
}

}  // namespace xml

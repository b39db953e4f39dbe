#pragma once
// Codec streams between a document and its bytes. Reading, a codec detects the
// encoding from the first bytes, skips a byte-order mark and hands the text out
// one byte per read in the document's form: TAnsiStream as GBK bytes,
// TUtf8Stream as UTF-8. Writing, it converts the document's bytes to the chosen
// encoding after that encoding's mark.
#include <cstdint>
#include <functional>
#include <string>

#include "xml/XmlStream.h"

namespace xml {

class TBufferedReadStream;

enum class CodecEncoding : uint8_t {
  Ansi = 0,
  Ucs4BigEndian = 1,
  Ucs4LittleEndian = 2,
  Ucs4Order2143 = 3,
  Ucs4Order3412 = 4,
  Ucs2BigEndian = 5,
  Ucs2LittleEndian = 6,
  Utf8 = 7,
  Utf16BigEndian = 8,
  Utf16LittleEndian = 9,
  Ebcdic = 10,
};

class TCodecStream : public TStream {
 public:
  enum class Mode : uint8_t { Idle, Reading, Writing };

  // inner stays the caller's; a null inner fails at the first read.
  explicit TCodecStream(TStream* inner);

  // One byte of converted text into buffer; 1, or 0 at the end of the input.
  // A NUL character in the input raises the filer error "NUL character in xml".
  int64_t Read(void* buffer, int64_t count) override;
  // Converts and writes count bytes; returns count.
  int64_t Write(const void* buffer, int64_t count) override;
  // Position queries, the step back of one or two characters (-1, -2 from the
  // current position) and size queries; a seek from the beginning does nothing and returns 0.
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  // While reading bytes that pass unconverted from a buffered stream: the rest
  // of its page; else empty. Skip remembers the step-back positions as one
  // read per byte would.
  std::string_view Peek() override;
  void Skip(size_t n) override;
  // Where in the inner stream the source character read last begins (0 before the first read).
  int64_t LastCharOffset() override { return posBeforeLast_; }
  // The stream read or written; nullptr for none.
  TStream* InnerStream() const { return inner_; }

  // The encoding in force (the detected one after the first read).
  CodecEncoding ActiveEncoding() const { return encoding_; }
  // Sets the output encoding before the first write, or switches reading to
  // another encoding from the next character on.
  void SetActiveEncoding(CodecEncoding e) { encoding_ = e; }
  // Reading: the input began with a byte-order mark; writing: the mark is written.
  bool MarkPresent() const { return markPresent_; }
  Mode AccessMode() const { return mode_; }
  // Writing: true when a character of the document's text may have no form
  // in the output encoding and go out as "?" (UTF-8 text written as GBK).
  virtual bool MayLoseCharacters() const { return false; }

  // Called once per codec, the first time a character cannot be converted.
  std::function<void(TCodecStream&)> OnCharacterLoss;

 protected:
  // The next byte of converted text; 0 at the end.
  virtual unsigned char NextChar() = 0;
  // Writes one byte of document text converted.
  virtual void PutChar(unsigned char c) = 0;
  // Writes count bytes from buffer + offset; the base calls PutChar for each.
  virtual void PutChars(const char* buffer, int64_t offset, int64_t count);
  // True when the encoding in force hands the input bytes out one for one.
  virtual bool PassesBytes() const = 0;

  // Remembers the inner position before a source character (for the step back).
  void MarkCharStart() {
    posBeforePrevious_ = posBeforeLast_;
    posBeforeLast_ = innerPosition();
  }
  // One byte of the inner stream; false at its end.
  bool ReadInnerByte(unsigned char& b);
  // One 16-bit unit of the inner stream (swapped when needed); false at its
  // end. A lone last byte raises the filer error "UTF-16 text ends inside a character".
  bool ReadInnerUnit(char16_t& u);
  // A whole UTF-16 character: a surrogate pair combined, else the unit; false at the end.
  bool ReadInnerCodePoint(char32_t& c);
  // Moves the inner stream back by n bytes (after a peek that was no part of the character).
  void UnreadInner(int64_t n);
  // Writes bytes to the inner stream; raises "Cannot write to output stream" when it takes fewer.
  void WriteInner(const char* data, size_t n);
  // Writes a UTF-16 unit in the output byte order.
  void WriteUnit(char16_t u);
  // Fires OnCharacterLoss the first time only.
  void SignalLoss();
  bool Is16Bit() const;

  std::string pending_;     // converted bytes of the current source character
  size_t pendingIndex_ = 0; // next byte of pending_ to hand out

 private:
  void OpenForReading();
  void OpenForWriting();
  int64_t innerPosition();

  CodecEncoding encoding_ = CodecEncoding::Ansi;
  Mode mode_ = Mode::Idle;
  int64_t posBeforeLast_ = 0;
  int64_t posBeforePrevious_ = 0;
  TStream* inner_;

 protected:
  TBufferedReadStream* buffered_ = nullptr;  // inner_ when it is one (fast one-byte path)

 private:
  bool swapUnits_ = false;
  bool lossSignalled_ = false;
  bool markPresent_ = false;
};

// Hands the text out as GBK bytes. GBK and UTF-8 input pass as stored; a
// 16-bit character becomes its GBK bytes, or "?" (firing the loss event once)
// when GBK has no such character. Such a character where markup is read
// (SetReadingMarkup) raises the stream error "Character in a name or markup
// that the code page cannot hold" at its place instead.
class TAnsiStream final : public TCodecStream {
 public:
  using TCodecStream::TCodecStream;
  // Single-byte text from a buffered stream takes a short path; else as the base.
  int64_t Read(void* buffer, int64_t count) override;

 protected:
  unsigned char NextChar() override;
  void PutChar(unsigned char c) override;
  void PutChars(const char* buffer, int64_t offset, int64_t count) override;
  bool PassesBytes() const override;
};

// Hands the text out as UTF-8: GBK input is converted character by character,
// UTF-8 input passes in whole sequences, 16-bit input is encoded.
class TUtf8Stream final : public TCodecStream {
 public:
  using TCodecStream::TCodecStream;
  // Writing GBK: a character GBK cannot hold goes out as "?".
  bool MayLoseCharacters() const override { return ActiveEncoding() == CodecEncoding::Ansi; }

 protected:
  unsigned char NextChar() override;
  void PutChar(unsigned char c) override;
  void PutChars(const char* buffer, int64_t offset, int64_t count) override;
  bool PassesBytes() const override;
};

}  // namespace xml

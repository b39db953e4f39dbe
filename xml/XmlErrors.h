#pragma once
// The library's four kinds of failure. XmlError is the general kind and the
// base of the others; a filer error (malformed document) is a kind of stream
// error. Every message comes from one switch of fixed texts (XmlErrors.cpp).
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace xml {

enum class ErrorKind { General, Conversion, Stream, Filer };

// Every failure the library raises. The comment names its kind.
enum class XmlErrc {
  IllegalNodeName,          // general
  UnwritableNode,           // general
  SignificantDigits,        // general
  NotABool,                 // general
  FloatNotFinite,           // general
  SortedListOperation,      // general
  InvalidDate,              // conversion
  InvalidTime,              // conversion
  NotValidInteger,          // conversion
  StreamRead,               // stream
  StreamWrite,              // stream
  FileOpen,                 // stream
  FileCreate,               // stream
  FileRead,                 // filer
  UnexpectedEnd,            // filer
  TruncatedUtf16,           // filer
  EncodingStreamUnassigned, // stream
  UnsupportedEncoding,      // stream
  CharacterInMarkupLost,    // stream
  ReadFromWritingStream,    // stream
  MultiCharRead,            // stream
  WriteToReadingStream,     // stream
  SeekBeforeUse,            // stream
  SeekOnCodec,              // stream
  CannotWriteOutput,        // stream
  MissingBinaryData,        // filer
  StreamLength,             // filer
  MissingElementName,       // filer
  MissingCloseTag,          // filer
  MissingDataAfterLt,       // filer
  MissingGtInCloseTag,      // filer
  IncorrectCloseTag,        // filer
  NestingTooDeep,           // filer
  NulCharacter,             // filer
  NoRootElement,            // filer
  MoreThanOneRoot,          // filer
  MoreThanOneDeclaration,   // filer
  DeclarationNotFirst,      // filer
  MoreThanOneDocType,       // filer
  DocTypeAfterRoot,         // filer
  CDataInRoot,              // filer
  RootNotDefined,           // filer
  IllegalElementType,       // filer
};

// A failure, with where it was found when it was found in an input.
//
// offset() counts bytes of the input as read, before any decoding: of the
// text given to ReadFromString, or of the stream or file a load reads, from
// its first byte (a byte-order mark included; a load reads a stream from its
// beginning, wherever it stood). A failure found at a character gives where
// that character begins in the input: a NUL, the ">" of a tag, the "<" of
// markup nested too deep; in UTF-16 input, where its 16-bit unit begins. A
// failure found at the end of the input gives the input's length. The root
// checks give where the node they refuse begins ("No root element found in
// xml": the end of the input).
// line() is the 1-based line of that offset: one more than the line breaks
// before it, where LF, CR LF and a CR alone each end one (in UTF-16 input,
// 16-bit units of those codes).
class XmlError : public std::runtime_error {
 public:
  XmlError(XmlErrc code, ErrorKind kind, const std::string& message, int64_t offset = -1)
      : std::runtime_error(message), code_(code), kind_(kind), offset_(offset) {}
  // Which failure this is; never changes after construction.
  XmlErrc code() const { return code_; }
  // The kind the code belongs to (general, conversion, stream or filer).
  ErrorKind kind() const { return kind_; }
  // The byte offset in the input where the failure was found; -1 when it has
  // no place in an input (a call on a tree, a save, a value conversion, a
  // stream used against its mode, a file that cannot be opened or read).
  int64_t offset() const { return offset_; }
  // The 1-based line of offset(); -1 without an offset, or when the input
  // could not be read again to count its lines.
  int64_t line() const { return line_; }
  // Set by the library as a failure leaves a parse.
  void setOffset(int64_t offset) { offset_ = offset; }
  void setLine(int64_t line) { line_ = line; }

 private:
  XmlErrc code_;
  ErrorKind kind_;
  int64_t offset_ = -1;
  int64_t line_ = -1;
};

class XmlConversionError : public XmlError {
 public:
  using XmlError::XmlError;
};

class XmlStreamError : public XmlError {
 public:
  using XmlError::XmlError;
};

class XmlFilerError : public XmlStreamError {
 public:
  using XmlStreamError::XmlStreamError;
};

// The kind of a code; every code has exactly one.
ErrorKind errorKind(XmlErrc code);

// The message of a code with "%s" replaced by arg (arg unused when the text has
// none), followed by ". " and detail when detail is not empty.
std::string errorMessage(XmlErrc code, std::string_view arg = {}, std::string_view detail = {});

// Throws the exception class of the code's kind with its message.
[[noreturn]] void raise(XmlErrc code, std::string_view arg = {}, std::string_view detail = {});
// The same with the byte offset in the input where the failure was found.
[[noreturn]] void raiseAt(XmlErrc code, int64_t offset, std::string_view arg = {}, std::string_view detail = {});

}  // namespace xml

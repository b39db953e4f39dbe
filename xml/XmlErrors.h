#pragma once
// The library's four kinds of failure. XmlError is the general kind and the
// base of the others; a filer error (malformed document) is a kind of stream
// error. Every message comes from one switch of fixed texts (XmlErrors.cpp).
#include <stdexcept>
#include <string>
#include <string_view>

namespace xml {

enum class ErrorKind { General, Conversion, Stream, Filer };

// Every failure the library raises. The comment names its kind.
enum class XmlErrc {
  IllegalNodeName,          // general
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

class XmlError : public std::runtime_error {
 public:
  XmlError(XmlErrc code, ErrorKind kind, const std::string& message)
      : std::runtime_error(message), code_(code), kind_(kind) {}
  // Which failure this is; never changes after construction.
  XmlErrc code() const { return code_; }
  // The kind the code belongs to (general, conversion, stream or filer).
  ErrorKind kind() const { return kind_; }

 private:
  XmlErrc code_;
  ErrorKind kind_;
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

}  // namespace xml

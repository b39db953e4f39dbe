#include "xml/XmlErrors.h"

namespace xml {
namespace {

struct ErrorText {
  ErrorKind kind;
  const char* text;
};

// No default: the compiler names a code that lacks its text.
ErrorText describe(XmlErrc code) {
  using K = ErrorKind;
  switch (code) {
    case XmlErrc::IllegalNodeName: return {K::General, "Illegal character in node name \"%s\""};
    case XmlErrc::UnwritableNode: return {K::General, "Cannot save %s: the load would not read it back as it is"};
    case XmlErrc::SignificantDigits: return {K::General, "Significant digits out of range"};
    case XmlErrc::NotABool: return {K::General, "Cannot convert value to bool"};
    case XmlErrc::FloatNotFinite: return {K::General, "Float value is not finite"};
    case XmlErrc::SortedListOperation: return {K::General, "Operation not allowed on sorted list"};
    case XmlErrc::InvalidDate: return {K::Conversion, "Invalid argument to date encode"};
    case XmlErrc::InvalidTime: return {K::Conversion, "Invalid argument to time encode"};
    case XmlErrc::NotValidInteger: return {K::Conversion, "'%s' is not a valid integer value"};
    case XmlErrc::StreamRead: return {K::Stream, "Stream read error"};
    case XmlErrc::StreamWrite: return {K::Stream, "Stream write error"};
    case XmlErrc::FileOpen: return {K::Stream, "Cannot open file \"%s\""};
    case XmlErrc::FileCreate: return {K::Stream, "Cannot create file \"%s\""};
    case XmlErrc::FileRead: return {K::Filer, "Cannot read file \"%s\""};
    case XmlErrc::UnexpectedEnd: return {K::Filer, "Input ended at byte %s before its size"};
    case XmlErrc::TruncatedUtf16: return {K::Filer, "UTF-16 text ends inside a character"};
    case XmlErrc::EncodingStreamUnassigned: return {K::Stream, "Encoding stream unassigned"};
    case XmlErrc::UnsupportedEncoding: return {K::Stream, "Unsupported string encoding"};
    case XmlErrc::CharacterInMarkupLost:
      return {K::Stream, "Character in a name or markup that the code page cannot hold"};
    case XmlErrc::ReadFromWritingStream:
      return {K::Stream, "Cannot read from a conversion stream opened for writing"};
    case XmlErrc::MultiCharRead:
      return {K::Stream, "Cannot read multiple chars from conversion stream at once"};
    case XmlErrc::WriteToReadingStream:
      return {K::Stream, "Cannot write to an UTF stream opened for reading"};
    case XmlErrc::SeekBeforeUse:
      return {K::Stream, "Cannot seek before reading or writing in conversion stream"};
    case XmlErrc::SeekOnCodec: return {K::Stream, "Cannot perform seek on codec stream"};
    case XmlErrc::CannotWriteOutput: return {K::Stream, "Cannot write to output stream"};
    case XmlErrc::MissingBinaryData: return {K::Filer, "Missing data in binary stream"};
    case XmlErrc::StreamLength: return {K::Filer, "Error while calculating streamlength"};
    case XmlErrc::MissingElementName: return {K::Filer, "Missing element name"};
    case XmlErrc::MissingCloseTag: return {K::Filer, "Missing close tag in element %s"};
    case XmlErrc::MissingDataAfterLt: return {K::Filer, "Missing data after \"<\" in element %s"};
    case XmlErrc::MissingGtInCloseTag:
      return {K::Filer, "Missing \">\" in close tag of element %s"};
    case XmlErrc::IncorrectCloseTag: return {K::Filer, "Incorrect close tag in element %s"};
    case XmlErrc::NestingTooDeep: return {K::Filer, "Element nesting too deep"};
    case XmlErrc::NulCharacter: return {K::Filer, "NUL character in xml"};
    case XmlErrc::NoRootElement: return {K::Filer, "No root element found in xml"};
    case XmlErrc::MoreThanOneRoot: return {K::Filer, "More than one root element found in xml"};
    case XmlErrc::MoreThanOneDeclaration:
      return {K::Filer, "More than one xml declaration found in xml"};
    case XmlErrc::DeclarationNotFirst: return {K::Filer, "Xml declaration must be first element"};
    case XmlErrc::MoreThanOneDocType:
      return {K::Filer, "More than one doctype declaration found in root"};
    case XmlErrc::DocTypeAfterRoot: return {K::Filer, "Doctype declaration found after root element"};
    case XmlErrc::CDataInRoot: return {K::Filer, "No CDATA allowed in root"};
    case XmlErrc::RootNotDefined: return {K::Filer, "XML root element not defined."};
    case XmlErrc::IllegalElementType: return {K::Filer, "Illegal element type"};
  }
  return {K::General, "Unknown xml error"};
}

}  // namespace

ErrorKind errorKind(XmlErrc code) { return describe(code).kind; }

std::string errorMessage(XmlErrc code, std::string_view arg, std::string_view detail) {
  std::string text = describe(code).text;
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, arg);
  if (!detail.empty()) text.append(". ").append(detail);
  return text;
}

void raise(XmlErrc code, std::string_view arg, std::string_view detail) { raiseAt(code, -1, arg, detail); }

void raiseAt(XmlErrc code, int64_t offset, std::string_view arg, std::string_view detail) {
  const std::string message = errorMessage(code, arg, detail);
  switch (errorKind(code)) {
    case ErrorKind::General: throw XmlError(code, ErrorKind::General, message, offset);
    case ErrorKind::Conversion: throw XmlConversionError(code, ErrorKind::Conversion, message, offset);
    case ErrorKind::Stream: throw XmlStreamError(code, ErrorKind::Stream, message, offset);
    case ErrorKind::Filer: throw XmlFilerError(code, ErrorKind::Filer, message, offset);
  }
  throw XmlError(code, ErrorKind::General, message, offset);
}

}  // namespace xml

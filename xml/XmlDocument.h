#pragma once
// The XML document: owns the top-level nodes, holds the settings the parser,
// the writer and the nodes read, loads documents from files, streams and
// strings and saves them again.
//
// A load detects the encoding from the first bytes (XmlCodec.h). With
// Utf8Mode off the texts are GBK bytes: GBK and UTF-8 files pass as stored,
// 16-bit files are converted to GBK. Utf8Mode is set after loading a file
// with a UTF-8 mark or a declaration encoding "UTF-8" (any case).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xml/XmlCodec.h"
#include "xml/XmlNode.h"

namespace xml {

class TStream;

class TXmlDocument {
 public:
  // The defaults, a declaration (version "1.0", encoding "windows-1252") and an empty root element.
  TXmlDocument();
  // The same with the root element named rootName; raises like TXmlNode::SetNodeName.
  explicit TXmlDocument(std::string_view rootName);
  ~TXmlDocument();
  TXmlDocument(const TXmlDocument&) = delete;
  TXmlDocument& operator=(const TXmlDocument&) = delete;

  // ---- settings (SetDefaults restores all but StrictRootChecks) ----
  bool StopParsing = false;
  int BinaryFormat = 1;  // 0 hex, 1 Base64
  bool DiscardComments = false;
  CodecEncoding FileEncoding = CodecEncoding::Ansi;
  bool ScientificFloats = true;
  int FloatPrecision = 6;
  bool StrictRootChecks = false;
  std::string IndentUnit = "  ";
  bool FullEndTags = false;
  bool Utf8Mode = false;
  bool WriteDefaultValues = true;
  int LineLayout = 1;  // 0 CR LF and indentation, 1 compact, other LF
  bool SortAttributes = false;

  std::function<void(TXmlDocument&, TXmlNode&)> OnNodeStarted;
  std::function<void(TXmlDocument&, TXmlNode&)> OnNodeCompleted;
  std::function<void(TXmlDocument&, int64_t)> OnStreamProgress;
  std::function<void(TXmlDocument&)> OnCharacterLoss;

  // The nameless container of the top-level nodes.
  TXmlNode& TopLevelNodes() { return *topLevel_; }
  const TXmlNode& TopLevelNodes() const { return *topLevel_; }
  // The codec of a running load or save; nullptr otherwise.
  TCodecStream* ActiveCodec() const { return activeCodec_; }

  // Restores the default settings.
  void SetDefaults();
  // Defaults, then the top level becomes a declaration and an empty root element.
  void Clear();
  // First top-level element; nullptr when there is none.
  TXmlNode* RootElement() const;
  // True without root element, else the root element's IsEmpty.
  bool IsEmpty() const;
  // "encoding" of a first top-level declaration, decoded; empty otherwise.
  std::string DeclaredEncoding() const;
  // CR LF for layout 0, LF otherwise.
  std::string LineBreak() const;

  // Copies the source's settings (not floats, callbacks, StopParsing) and its tree.
  void Assign(const TXmlDocument& source);
  // The tree becomes a copy of node.
  void Assign(const TXmlNode& node);
  // Assign when source is given; nothing for nullptr.
  void AssignIfGiven(const TXmlDocument* source);

  // Loads a file opened for reading under a shared lock. Raises the stream
  // error "Cannot open file" (document untouched; also, without waiting, for
  // anything but a regular file: a directory, FIFO, socket or device), parse
  // errors (filer kind), a failed read ("Cannot read file", filer kind), input
  // that ends before the file's size (filer kind) and codec errors (stream
  // kind); the nodes read before a failure stay. A failure found in the
  // input carries its place there (XmlError::offset and line, XmlErrors.h).
  void LoadFromFile(const std::string& path);
  // Loads through a buffered reader and a codec over stream (which stays the caller's).
  void LoadFromStream(TStream& stream);
  // Parses the bytes of the text as they are: no detection, no buffering.
  void ReadFromString(std::string_view text);
  // Parses the top-level nodes from a character stream and checks the root.
  void ParseStream(TStream& stream);
  // Reads the rest of a "<!DOCTYPE" into node: header, then the internal subset.
  void ReadDocType(TXmlNode& node, TStream& stream);

  // Saves into a new file beside path and puts it in path's place once it is
  // complete and on the disk; a failed save leaves an existing file as it was.
  // Refused while a reader holds the file, and for anything but a regular
  // file that may be written (TReplacingFileStream). Raises the stream error
  // "Cannot create file" and the errors of SaveToStream.
  void SaveToFile(const std::string& path);
  // Writes the document through a buffered writer and a codec (UTF-8 codec in
  // Utf8Mode, else the single-byte one) in FileEncoding, after that
  // encoding's byte-order mark. stream stays the caller's. An element or
  // attribute whose name cannot be written fails the save (the check of
  // TXmlNode::WriteToStream), so a save never writes what the load would not
  // read back. A write the stream refuses raises a stream error; nothing
  // reports success over a short write.
  void SaveToStream(TStream& stream);
  // Writes every top-level node followed by LineBreak. With StrictRootChecks,
  // raises the filer error "XML root element not defined." when there is no root element.
  void WriteStream(TStream& stream);
  // WriteStream into a text in the document's text form (no mark, no
  // conversion), the tree as it stands: names are not checked here.
  std::string WriteToString();

  // Event relays: each calls its callback when one is set.
  void NotifyNodeStarted(TXmlNode& node);
  void NotifyNodeCompleted(TXmlNode& node);
  void NotifyProgress(int64_t position);
  void NotifyCharacterLoss();
  // True when a progress callback is set (the parser asks positions only then).
  bool WantsProgress() const { return static_cast<bool>(OnStreamProgress); }

 private:
  // The codec of the document's text form (Utf8Mode) over inner, reporting
  // character loss through the document.
  std::unique_ptr<TCodecStream> OpenCodec(TStream* inner);
  // Makes a codec the active one for the length of a load or save.
  struct ActiveCodecScope {
    ActiveCodecScope(TCodecStream*& slot, TCodecStream* codec) : slot_(slot) { slot_ = codec; }
    ~ActiveCodecScope() { slot_ = nullptr; }
    ActiveCodecScope(const ActiveCodecScope&) = delete;
    ActiveCodecScope& operator=(const ActiveCodecScope&) = delete;
    TCodecStream*& slot_;
  };

  // WriteStream, checking names on a save (TXmlNode::WriteToStream).
  void WriteNodes(TStream& stream, bool checkNames);
  void ParseTopLevel(TStream& stream);
  // The root checks; starts holds where each top-level node begins, end where the input ended.
  void CheckRoot(const std::vector<int64_t>& starts, int64_t end);
  std::unique_ptr<TXmlNode> topLevel_;
  TCodecStream* activeCodec_ = nullptr;
};

}  // namespace xml

#include "xml/XmlDocument.h"

#include "xml/XmlBuffered.h"
#include "xml/XmlErrors.h"
#include "xml/XmlStream.h"
#include "xml/XmlText.h"
#include "xml/internal/ByteClass.h"
#include "xml/internal/Options.h"
#include "xml/internal/Parser.h"

namespace xml {
namespace {

bool isWide(CodecEncoding e) {
  return e != CodecEncoding::Ansi && e != CodecEncoding::Utf8 && e != CodecEncoding::Ebcdic;
}

bool namesUtf8(std::string_view encoding) { return CompareNames(encoding, "UTF-8") == 0; }

// The size for the final progress report; a codec that wrote nothing has
// none to ask for.
int64_t writtenSize(TStream& stream) {
  if (auto* codec = dynamic_cast<TCodecStream*>(&stream); codec && codec->AccessMode() == TCodecStream::Mode::Idle)
    return 0;
  return stream.Size();
}

}  // namespace

TXmlDocument::TXmlDocument() : topLevel_(std::make_unique<TXmlNode>(this)) { Clear(); }

TXmlDocument::TXmlDocument(std::string_view rootName) : TXmlDocument() {
  RootElement()->SetNodeName(rootName);
}

TXmlDocument::~TXmlDocument() = default;

void TXmlDocument::SetDefaults() {
  FileEncoding = CodecEncoding::Ansi;
  LineLayout = 1;
  WriteDefaultValues = true;
  BinaryFormat = 1;
  Utf8Mode = false;
  IndentUnit = "  ";
  DiscardComments = false;
  FullEndTags = false;
  SortAttributes = false;
  ScientificFloats = true;
  FloatPrecision = 6;
}

void TXmlDocument::Clear() {
  SetDefaults();
  topLevel_->Clear();
  auto declaration = TXmlNode::CreateType(this, ElementType::Declaration);
  declaration->SetNodeName("xml");
  declaration->AttributeAdd("version", "1.0");
  declaration->AttributeAdd("encoding", "windows-1252");
  topLevel_->AddChild(std::move(declaration));
  topLevel_->AddNewChild("");
}

TXmlNode* TXmlDocument::RootElement() const { return topLevel_->FirstChildOfType(ElementType::Element); }

bool TXmlDocument::IsEmpty() const {
  const TXmlNode* root = RootElement();
  return root == nullptr || root->IsEmpty();
}

std::string TXmlDocument::DeclaredEncoding() const {
  const TXmlNode* first = topLevel_->ChildAt(0);
  if (first == nullptr || first->Type() != ElementType::Declaration) return {};
  return first->AttributeValue("encoding");
}

std::string TXmlDocument::LineBreak() const {
  return detail::lineStyle(LineLayout) == detail::LineStyle::CrLfIndented ? "\r\n" : "\n";
}

void TXmlDocument::Assign(const TXmlDocument& source) {
  if (&source == this) return;
  BinaryFormat = source.BinaryFormat;
  DiscardComments = source.DiscardComments;
  FileEncoding = source.FileEncoding;
  StrictRootChecks = source.StrictRootChecks;
  IndentUnit = source.IndentUnit;
  FullEndTags = source.FullEndTags;
  Utf8Mode = source.Utf8Mode;
  WriteDefaultValues = source.WriteDefaultValues;
  LineLayout = source.LineLayout;
  SortAttributes = source.SortAttributes;
  topLevel_->Assign(source.TopLevelNodes());
}

void TXmlDocument::Assign(const TXmlNode& node) { topLevel_->Assign(node); }

void TXmlDocument::AssignIfGiven(const TXmlDocument* source) {
  if (source != nullptr) Assign(*source);
}

void TXmlDocument::LoadFromFile(const std::string& path) {
  TFileStream file(path, TFileStream::Mode::OpenRead);
  LoadFromStream(file);
}

std::unique_ptr<TCodecStream> TXmlDocument::OpenCodec(TStream* inner) {
  std::unique_ptr<TCodecStream> codec;
  if (Utf8Mode)
    codec = std::make_unique<TUtf8Stream>(inner);
  else
    codec = std::make_unique<TAnsiStream>(inner);
  codec->OnCharacterLoss = [this](TCodecStream&) { NotifyCharacterLoss(); };
  return codec;
}

void TXmlDocument::LoadFromStream(TStream& stream) {
  TBufferedReadStream buffered(stream);
  const std::unique_ptr<TCodecStream> codec = OpenCodec(&buffered);
  ActiveCodecScope active(activeCodec_, codec.get());
  ParseStream(*codec);
  FileEncoding = codec->ActiveEncoding();
  // A 16-bit file was converted to GBK whatever its declaration says.
  if (FileEncoding == CodecEncoding::Utf8 || (!isWide(FileEncoding) && namesUtf8(DeclaredEncoding())))
    Utf8Mode = true;
}

void TXmlDocument::SaveToFile(const std::string& path) {
  TReplacingFileStream file(path);
  SaveToStream(file);
  file.Commit();
}

void TXmlDocument::SaveToStream(TStream& stream) {
  TBufferedWriteStream buffered(stream);
  const std::unique_ptr<TCodecStream> codec = OpenCodec(&buffered);
  ActiveCodecScope active(activeCodec_, codec.get());
  codec->SetActiveEncoding(FileEncoding);
  // Nothing is saved that the load would not read back as it stands.
  WriteNodes(*codec, true);
  // The last page goes out here, where a refusal can still be reported.
  buffered.FlushPage();
}

void TXmlDocument::WriteStream(TStream& stream) { WriteNodes(stream, false); }

void TXmlDocument::WriteNodes(TStream& stream, bool checkNames) {
  if (StrictRootChecks && RootElement() == nullptr) raise(XmlErrc::RootNotDefined);
  NotifyProgress(0);
  const std::string lineBreak = LineBreak();
  for (int i = 0; i < topLevel_->ChildCount(); ++i) {
    topLevel_->ChildAt(i)->WriteToStream(stream, checkNames);
    WriteTextToStream(stream, lineBreak);
  }
  if (WantsProgress()) NotifyProgress(writtenSize(stream));
}

std::string TXmlDocument::WriteToString() {
  TStringStream stream;
  WriteStream(stream);
  return stream.DataText();
}

void TXmlDocument::ReadFromString(std::string_view text) {
  TStringStream stream(text);
  ParseStream(stream);
}

void TXmlDocument::ParseStream(TStream& stream) {
  try {
    ParseTopLevel(stream);
  } catch (XmlError& e) {
    detail::AddLine(e, stream);
    throw;
  }
}

void TXmlDocument::ParseTopLevel(TStream& stream) {
  StopParsing = false;
  topLevel_->ClearChildren();
  NotifyProgress(0);
  std::string lastEncoding;
  std::vector<int64_t> starts;  // where each top-level node's "<" begins, for the root checks
  int64_t position = 0;
  do {
    TXmlNode* node = topLevel_->AddNewChild("");
    int64_t start = -1;
    const bool ended = !detail::ParseNode(*node, stream, &start);
    if (StopParsing) return;
    if (node->Type() == ElementType::Declaration && node->HasAttribute("encoding")) {
      lastEncoding = node->AttributeValue("encoding");
      if (activeCodec_ != nullptr && namesUtf8(lastEncoding) && !isWide(activeCodec_->ActiveEncoding()))
        activeCodec_->SetActiveEncoding(CodecEncoding::Utf8);
    }
    if (node->IsEmpty())
      topLevel_->RemoveChild(node);
    else
      starts.push_back(start);
    // Every turn takes a character unless the input ended; one that ends
    // before its size would otherwise hold this loop forever. (A character
    // that becomes several bytes of text is taken over as many turns, while
    // the position stays after it.)
    position = stream.Position();
    if (ended && position < stream.Size()) raiseAt(XmlErrc::UnexpectedEnd, position, std::to_string(position));
  } while (position < stream.Size());
  NotifyProgress(stream.Size());
  CheckRoot(starts, position);
}

void TXmlDocument::CheckRoot(const std::vector<int64_t>& starts, int64_t end) {
  // Each count with the index of the node that breaks its rule: the second
  // of a kind that may stand once, or the one standing where it may not.
  int elements = 0;
  int cdata = 0;
  int declarations = 0;
  int doctypes = 0;
  int lastElement = -1;
  int secondElement = -1;
  int firstDeclaration = -1;
  int secondDeclaration = -1;
  int lastDocType = -1;
  int secondDocType = -1;
  int firstCData = -1;
  for (int i = 0; i < topLevel_->ChildCount(); ++i) {
    switch (topLevel_->ChildAt(i)->Type()) {
      case ElementType::Element:
        if (++elements == 2) secondElement = i;
        lastElement = i;
        break;
      case ElementType::CData:
        if (cdata++ == 0) firstCData = i;
        break;
      case ElementType::Declaration:
        if (++declarations == 1) firstDeclaration = i;
        if (declarations == 2) secondDeclaration = i;
        break;
      case ElementType::DocType:
        if (++doctypes == 2) secondDocType = i;
        lastDocType = i;
        break;
      default: break;
    }
  }
  auto at = [&](int index) { return starts[static_cast<size_t>(index)]; };
  if (elements == 0) raiseAt(XmlErrc::NoRootElement, end);
  if (!StrictRootChecks) return;
  if (elements > 1) raiseAt(XmlErrc::MoreThanOneRoot, at(secondElement));
  if (declarations > 1) raiseAt(XmlErrc::MoreThanOneDeclaration, at(secondDeclaration));
  if (declarations == 1 && firstDeclaration != 0) raiseAt(XmlErrc::DeclarationNotFirst, at(firstDeclaration));
  if (doctypes > 1) raiseAt(XmlErrc::MoreThanOneDocType, at(secondDocType));
  if (doctypes == 1 && lastDocType > lastElement) raiseAt(XmlErrc::DocTypeAfterRoot, at(lastDocType));
  if (cdata > 0) raiseAt(XmlErrc::CDataInRoot, at(firstCData));
}

void TXmlDocument::ReadDocType(TXmlNode& node, TStream& stream) {
  std::string header;
  char c = 0;
  char quote = 0;
  for (;;) {
    if (!detail::ReadXmlChar(stream, c)) return;
    if (c == '>' || c == '[') break;
    if (detail::isQuote(c)) {
      quote = quote == 0 ? c : c == quote ? 0 : quote;
      stream.SetReadingMarkup(quote == 0);  // a quoted identifier is text
    }
    header.push_back(c);
  }
  stream.SetReadingMarkup(false);  // the subset's declarations each set their own
  std::vector<std::string> tokens = detail::SplitTagTokens(header);
  if (!tokens.empty()) {
    try {
      node.SetNodeName(tokens[0]);
    } catch (XmlError& e) {
      e.setOffset(detail::OffsetOfLast(stream));  // the ">" or "[" after the name
      throw;
    }
    std::string rest;
    for (size_t i = 1; i < tokens.size(); ++i) {
      if (i > 1) rest += ' ';
      for (size_t k = 0; k < tokens[i].size(); ++k) {
        if (tokens[i][k] == '\r' && k + 1 < tokens[i].size() && tokens[i][k + 1] == '\n') {
          rest += ' ';
          ++k;
        } else {
          rest += tokens[i][k];
        }
      }
    }
    node.SetRawValue(std::string(TrimText(rest)));
  }
  if (c != '[') return;  // no internal subset: the ">" is already read
  // The internal subset: "]" ends it; a declaration starts only at "<", which
  // goes back to the stream for the child to read; every other byte (blanks,
  // parameter entity references) is skipped. Each turn consumes input.
  for (;;) {
    if (!detail::ReadXmlChar(stream, c)) return;
    if (c == ']') break;
    if (c != '<') continue;
    stream.Seek(-1, SeekOrigin::Current);
    TXmlNode* child = node.ChildAt(node.AddChild(TXmlNode::CreateOwned(this)));
    child->ParseFromStream(stream);
    if (StopParsing) return;
  }
  while (detail::ReadXmlChar(stream, c) && c != '>') {
  }
}

void TXmlDocument::NotifyNodeStarted(TXmlNode& node) {
  if (OnNodeStarted) OnNodeStarted(*this, node);
}

void TXmlDocument::NotifyNodeCompleted(TXmlNode& node) {
  if (OnNodeCompleted) OnNodeCompleted(*this, node);
}

void TXmlDocument::NotifyProgress(int64_t position) {
  if (OnStreamProgress) OnStreamProgress(*this, position);
}

void TXmlDocument::NotifyCharacterLoss() {
  if (OnCharacterLoss) OnCharacterLoss(*this);
}

}  // namespace xml

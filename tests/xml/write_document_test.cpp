// Saving documents: declaration and line breaks, the encodings of the saved
// file, round trips through files, the root check, refused writes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "XmlTestUtil.h"

using namespace xml;
using xmltest::caught;
using xmltest::dataPath;
using xmltest::expectSameTree;
using xmltest::readBytes;

namespace {

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>";

}  // namespace

TEST(WriteDocument, ClearedDocument) {
  TXmlDocument doc;
  EXPECT_EQ(doc.WriteToString(), kDecl + "\n<></>\n");
  doc.LineLayout = 0;
  doc.RootElement()->SetNodeName("r");
  doc.RootElement()->AddNewChild("a");
  EXPECT_EQ(doc.WriteToString(), kDecl + "\r\n<r>\r\n  <a/>\r\n</r>\r\n");
}

TEST(WriteDocument, RootCheck) {
  TXmlDocument doc;
  doc.TopLevelNodes().DeleteChild(1);  // the declaration stays, the root goes
  EXPECT_EQ(doc.WriteToString(), kDecl + "\n");
  doc.StrictRootChecks = true;
  TStringStream out;
  const XmlError e = caught([&] { doc.WriteStream(out); });
  EXPECT_STREQ(e.what(), "XML root element not defined.");
  EXPECT_EQ(e.kind(), ErrorKind::Filer);
  EXPECT_EQ(out.DataText(), "");
}

TEST(WriteDocument, SavedEncodings) {
  struct Case {
    bool utf8Mode;
    CodecEncoding encoding;
    std::string head;  // mark and "<r>" as saved
    std::string chinese;
    bool detectable = true;  // 16-bit text without a mark or declaration is not
  };
  using E = CodecEncoding;
  const Case cases[] = {
      {false, E::Ansi, "<r>", "\xD6\xD0"},
      {false, E::Utf8, "\xEF\xBB\xBF<r>", "\xE4\xB8\xAD"},
      {false, E::Utf16LittleEndian, std::string("\xFF\xFE<\0r\0>\0", 8), "\x2D\x4E"},
      {false, E::Utf16BigEndian, std::string("\xFE\xFF\0<\0r\0>", 8), "\x4E\x2D"},
      {false, E::Ucs2LittleEndian, std::string("<\0r\0>\0", 6), "\x2D\x4E", false},
      {true, E::Utf8, "\xEF\xBB\xBF<r>", "\xE4\xB8\xAD"},
      {true, E::Ansi, "<r>", "\xD6\xD0"},
      {true, E::Utf16LittleEndian, std::string("\xFF\xFE<\0r\0>\0", 8), "\x2D\x4E"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "utf8 " << c.utf8Mode << " encoding " << int(c.encoding));
    TXmlDocument doc("r");
    doc.TopLevelNodes().DeleteChild(0);
    doc.Utf8Mode = c.utf8Mode;
    doc.FileEncoding = c.encoding;
    doc.RootElement()->SetValue(c.utf8Mode ? "\xE4\xB8\xAD" : "\xD6\xD0");
    TMemoryStream out;
    doc.SaveToStream(out);
    EXPECT_EQ(doc.ActiveCodec(), nullptr);
    const std::string& bytes = out.Bytes();
    EXPECT_EQ(bytes.substr(0, c.head.size()), c.head);
    EXPECT_NE(bytes.find(c.chinese, c.head.size()), std::string::npos);

    if (!c.detectable) continue;
    TXmlDocument back;
    back.Utf8Mode = c.utf8Mode;
    out.SetPosition(0);
    back.LoadFromStream(out);
    // A UTF-8 file reads back in UTF-8 mode; the characters are the same.
    EXPECT_EQ(back.RootElement()->TextToWide(back.RootElement()->Value()), u"\u4E2D");
  }
}

TEST(WriteDocument, RefusedEncodings) {
  using E = CodecEncoding;
  for (E e : {E::Ucs4BigEndian, E::Ucs4LittleEndian, E::Ucs4Order2143, E::Ucs4Order3412, E::Ebcdic}) {
    for (bool utf8 : {false, true}) {
      TXmlDocument doc("r");
      doc.FileEncoding = e;
      doc.Utf8Mode = utf8;
      TMemoryStream out;
      const XmlError err = caught([&] { doc.SaveToStream(out); });
      EXPECT_STREQ(err.what(), "Unsupported string encoding") << int(e);
      EXPECT_EQ(doc.ActiveCodec(), nullptr);
    }
  }
}

TEST(WriteDocument, RoundTripsThroughFiles) {
  const char* files[] = {"gbk_plain.xml",  "rule_gbk_crlf.xml", "utf16le_bom.xml", "utf16be_bom.xml",
                         "utf16le.xml",    "utf16be.xml",       "utf8_bom.xml",    "utf8_decl.xml",
                         "utf8_emoji.xml", "utf16le_loss.xml"};
  for (const char* file : files) {
    for (int layout : {1, 0}) {
      SCOPED_TRACE(testing::Message() << file << " layout " << layout);
      TXmlDocument first;
      first.LoadFromFile(dataPath(file));
      first.LineLayout = layout;
      xmltest::TempFile saved("");
      first.SaveToFile(saved.path());
      TXmlDocument second;
      second.LoadFromFile(saved.path());
      EXPECT_EQ(second.FileEncoding, first.FileEncoding);
      EXPECT_EQ(second.Utf8Mode, first.Utf8Mode);
      if (layout == 1) {
        expectSameTree(first.TopLevelNodes(), second.TopLevelNodes());
      } else {
        // Indentation comes back as blank text; the writer's own output is stable.
        second.LineLayout = 0;
        EXPECT_EQ(second.WriteToString(), first.WriteToString());
      }
    }
  }
}

TEST(WriteDocument, RuleFileRoundTripKeepsEveryValue) {
  TXmlDocument first;
  first.LoadFromFile(dataPath("rule_gbk_crlf.xml"));
  first.LineLayout = 0;  // the rule files' own layout: CR LF and indentation
  xmltest::TempFile saved("");
  first.SaveToFile(saved.path());
  TXmlDocument second;
  second.LoadFromFile(saved.path());
  const TXmlNode* a = first.RootElement();
  const TXmlNode* b = second.RootElement();
  ASSERT_EQ(a->ChildCount(), b->ChildCount());
  for (const char* name : {"content", "control", "item", "element", "ELEMENT"}) {
    for (int i = 0; i < a->ChildCount(); ++i) {
      const TXmlNode* x = a->ChildAt(i)->FindDescendant(name);
      const TXmlNode* y = b->ChildAt(i)->FindDescendant(name);
      ASSERT_EQ(x == nullptr, y == nullptr) << name;
      if (x == nullptr) continue;
      EXPECT_EQ(x->TextValue(), y->TextValue()) << name;
      ASSERT_EQ(x->AttributeCount(), y->AttributeCount());
      for (int k = 0; k < x->AttributeCount(); ++k) EXPECT_EQ(x->AttributePair(k), y->AttributePair(k));
    }
  }
  EXPECT_EQ(second.DeclaredEncoding(), "GB2312");
}

TEST(WriteDocument, LargeFileMatchesTheText) {
  TXmlDocument doc("plan");
  for (int i = 0; i < 5000; ++i) {
    TXmlNode* item = doc.RootElement()->AddNewChild("item");
    item->AttributeAdd("id", std::to_string(i));
    item->SetValue("value " + std::to_string(i) + " \xD6\xD0\xCE\xC4");
  }
  std::vector<int64_t> progress;
  bool codecSeen = false;
  doc.OnStreamProgress = [&](TXmlDocument& d, int64_t pos) {
    progress.push_back(pos);
    codecSeen = codecSeen || d.ActiveCodec() != nullptr;
  };
  xmltest::TempFile saved("");
  doc.SaveToFile(saved.path());
  const std::string text = doc.WriteToString();
  ASSERT_GT(text.size(), 2u * 65536);
  EXPECT_EQ(readBytes(saved.path()), text);
  EXPECT_TRUE(codecSeen);
  ASSERT_GE(progress.size(), 2u);
  EXPECT_EQ(progress.back(), static_cast<int64_t>(text.size()));

  TXmlDocument back;
  back.LoadFromFile(saved.path());
  expectSameTree(doc.TopLevelNodes(), back.TopLevelNodes());
}

TEST(WriteDocument, NothingToWriteWritesNothing) {
  TXmlDocument doc;
  doc.TopLevelNodes().ClearChildren();
  doc.FileEncoding = CodecEncoding::Utf16LittleEndian;
  std::vector<int64_t> progress;
  doc.OnStreamProgress = [&](TXmlDocument&, int64_t pos) { progress.push_back(pos); };
  TMemoryStream out;
  doc.SaveToStream(out);
  EXPECT_EQ(out.Size(), 0);
  EXPECT_EQ(progress, (std::vector<int64_t>{0, 0}));
}

TEST(WriteDocument, RefusedWritesRaise) {
  struct Case {
    int items;
    int64_t limit;
    CodecEncoding encoding;
  };
  using E = CodecEncoding;
  const Case cases[] = {
      {1, 0, E::Ansi},             // nothing taken at all
      {1, 10, E::Ansi},            // the last page cut short
      {1, 2, E::Utf8},             // the mark and the page cut short
      {20000, 1000, E::Ansi},      // the first full page cut short
      {20000, 65536, E::Utf16LittleEndian},  // a later page refused
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.items << " items, limit " << c.limit);
    TXmlDocument doc("r");
    doc.FileEncoding = c.encoding;
    for (int i = 0; i < c.items; ++i) doc.RootElement()->AddNewChild("i")->SetValue("12345");
    xmltest::LimitedStream out(c.limit);
    const XmlError e = caught([&] { doc.SaveToStream(out); });
    EXPECT_EQ(e.kind(), ErrorKind::Stream);
    EXPECT_STREQ(e.what(), "Cannot write to output stream");
    EXPECT_EQ(doc.ActiveCodec(), nullptr);
  }
}

TEST(WriteDocument, FileThatCannotBeCreated) {
  TXmlDocument doc("r");
  const std::string path = (std::filesystem::temp_directory_path() / "rc_no_such_dir" / "x" / "t.xml").string();
  const XmlError e = caught([&] { doc.SaveToFile(path); });
  EXPECT_EQ(e.code(), XmlErrc::FileCreate);
  EXPECT_EQ(e.kind(), ErrorKind::Stream);
  EXPECT_EQ(doc.RootElement()->Name(), "r");
}

TEST(WriteDocument, SaveOverwritesAnExistingFile) {
  xmltest::TempFile file(std::string(100000, 'x'));
  TXmlDocument doc("r");
  doc.SaveToFile(file.path());
  EXPECT_EQ(readBytes(file.path()), kDecl + "\n<r></r>\n");
}

namespace {

// The names in the folder of path, path's own included.
std::vector<std::string> folderNames(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A document of about `items` * 20 bytes.
void fill(TXmlDocument& doc, int items) {
  for (int i = 0; i < items; ++i) doc.RootElement()->AddNewChild("i")->SetValue("1234567890");
}

}  // namespace

TEST(WriteDocument, FailedSaveKeepsTheOldFile) {
  using E = CodecEncoding;
  struct Case {
    const char* what;
    std::function<void(TXmlDocument&)> spoil;
    XmlErrc code;
  };
  const Case cases[] = {
      {"no root with the root check", [](TXmlDocument& d) { d.TopLevelNodes().DeleteChild(1); d.StrictRootChecks = true; },
       XmlErrc::RootNotDefined},
      {"UCS-4 output", [](TXmlDocument& d) { d.FileEncoding = E::Ucs4BigEndian; }, XmlErrc::UnsupportedEncoding},
      {"UCS-4 little-endian output", [](TXmlDocument& d) { d.FileEncoding = E::Ucs4LittleEndian; },
       XmlErrc::UnsupportedEncoding},
      {"EBCDIC output", [](TXmlDocument& d) { d.FileEncoding = E::Ebcdic; }, XmlErrc::UnsupportedEncoding},
      {"an illegal node type after 100,000 nodes",
       [](TXmlDocument& d) {
         fill(d, 100000);
         d.RootElement()->AddNewChild("bad")->SetType(static_cast<ElementType>(14));
       },
       XmlErrc::IllegalElementType},
      {"an element without a name after 100,000 nodes",
       [](TXmlDocument& d) {
         fill(d, 100000);
         d.RootElement()->AddNewChild("");
       },
       XmlErrc::UnwritableNode},
      {"a lenient read's tree with an attribute without a name",
       [](TXmlDocument& d) { d.ReadFromString("<r><a =\"v\" \"q\"/></r>"); }, XmlErrc::UnwritableNode},
  };
  const std::string old = kDecl + "\n<old>keep me</old>\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    xmltest::TempFile file(old);
    const auto before = folderNames(file.path());
    TXmlDocument doc("r");
    c.spoil(doc);
    EXPECT_EQ(caught([&] { doc.SaveToFile(file.path()); }).code(), c.code);
    EXPECT_EQ(readBytes(file.path()), old);
    EXPECT_EQ(folderNames(file.path()), before);  // no temporary file left behind
  }
}

TEST(WriteDocument, SaveThatTheDiskRefusesKeepsTheOldFile) {
  // The child may write files of at most 64 KB (the kernel refuses the rest,
  // as a full disk would); the old file is larger than that.
  const std::string old = kDecl + "\n<old>" + std::string(200000, 'k') + "</old>\n";
  xmltest::TempFile file(old);
  const auto before = folderNames(file.path());
  const int result = xmltest::inChild(
      [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{65536, 65536};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
        TXmlDocument doc("r");
        fill(doc, 20000);
        return xmltest::raisesCode([&] { doc.SaveToFile(file.path()); }, XmlErrc::CannotWriteOutput);
      },
      std::chrono::seconds(10));
  EXPECT_EQ(result, 0) << "1: another error; 2: no error";
  EXPECT_EQ(readBytes(file.path()), old);
  EXPECT_EQ(folderNames(file.path()), before);
}

TEST(WriteDocument, SaveReplacesTheFileWhole) {
  xmltest::TempFile file(kDecl + "\n<old/>\n");
  ::chmod(file.path().c_str(), 0640);
  const auto before = folderNames(file.path());
  TXmlDocument doc("r");
  fill(doc, 10000);
  doc.SaveToFile(file.path());
  EXPECT_EQ(readBytes(file.path()), doc.WriteToString());
  EXPECT_EQ(folderNames(file.path()), before);
  struct stat st {};
  ASSERT_EQ(::stat(file.path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the old file's permissions
  // Through a link, the file it names is replaced and the link stays.
  const std::string link = file.path() + ".link";
  ASSERT_EQ(::symlink(file.path().c_str(), link.c_str()), 0);
  TXmlDocument other("s");
  other.SaveToFile(link);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(readBytes(file.path()), other.WriteToString());
}

TEST(WriteDocument, SaveIsRefusedWhileAReaderHoldsTheFile) {
  const std::string old = kDecl + "\n<old/>\n";
  xmltest::TempFile file(old);
  TFileStream reader(file.path(), TFileStream::Mode::OpenRead);
  TXmlDocument doc("r");
  EXPECT_EQ(caught([&] { doc.SaveToFile(file.path()); }).code(), XmlErrc::FileCreate);
  EXPECT_EQ(readBytes(file.path()), old);
}

// Only a regular file that may be written is replaced, also when root saves
// (root may write any file: the permission bits decide); anything else stays
// as it was and the save fails with the reason, at once (a FIFO opened for
// writing the usual way waits for a reader: each save runs in a bounded child).
TEST(WriteDocument, SaveReplacesOnlyARegularFileThatMayBeWritten) {
  const std::string old = kDecl + "\n<old/>\n";
  xmltest::TempFile file(old);
  const std::string dir = std::filesystem::path(file.path()).parent_path().string();
  const std::string fifo = dir + "/fifo.xml";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  ASSERT_EQ(::chmod(file.path().c_str(), 0444), 0);
  const std::pair<std::string, const char*> cases[] = {{fifo, "Not a regular file"},
                                                       {file.path(), "Permission denied"}};
  for (const auto& [path, reason] : cases) {
    SCOPED_TRACE(path);
    const auto before = folderNames(file.path());
    const int result = xmltest::inChild(
        [&, &path = path, &reason = reason] {
          try {
            TXmlDocument("r").SaveToFile(path);
          } catch (const XmlError& e) {
            return e.code() == XmlErrc::FileCreate && std::string(e.what()).find(reason) != std::string::npos ? 0 : 1;
          }
          return 2;
        },
        std::chrono::seconds(10));
    EXPECT_EQ(result, 0) << "-1: the save waited; 1: another error; 2: no error";
    EXPECT_EQ(folderNames(file.path()), before);
  }
  struct stat st {};
  ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(readBytes(file.path()), old);
}

// The file checked at the start is the one replaced: a file that takes its
// name during the save (a FIFO here) is never replaced, nor one that takes a
// free name; the save fails and no temporary file is left.
TEST(WriteDocument, AFileThatTakesTheNameDuringTheSaveIsNotReplaced) {
  xmltest::TempFile file(kDecl + "\n<old/>\n");
  const std::string dir = std::filesystem::path(file.path()).parent_path().string();
  for (const std::string& target : {file.path(), dir + "/new.xml"}) {
    SCOPED_TRACE(target);
    const auto before = folderNames(file.path());
    TReplacingFileStream out(target);
    out.WriteBuffer("<r/>", 4);
    const std::string fifo = dir + "/fifo.xml";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_EQ(::rename(fifo.c_str(), target.c_str()), 0);
    EXPECT_EQ(caught([&] { out.Commit(); }).code(), XmlErrc::FileCreate);
    struct stat st {};
    ASSERT_EQ(::lstat(target.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    auto names = before;
    if (target != file.path()) names.insert(std::lower_bound(names.begin(), names.end(), "new.xml"), "new.xml");
    EXPECT_EQ(folderNames(file.path()), names);
    ::unlink(target.c_str());
  }
}

namespace {

// Saves doc: with refused, the save must fail naming it; else what it wrote
// must load again to the same tree.
void expectSavedOrRefused(TXmlDocument& doc, const char* refused) {
  TMemoryStream out;
  if (refused != nullptr) {
    const XmlError failure = caught([&] { doc.SaveToStream(out); });
    EXPECT_EQ(failure.code(), XmlErrc::UnwritableNode);
    EXPECT_EQ(failure.kind(), ErrorKind::General);
    EXPECT_EQ(std::string(failure.what()), errorMessage(XmlErrc::UnwritableNode, refused));
    return;
  }
  doc.SaveToStream(out);
  out.SetPosition(0);
  TXmlDocument again;
  again.LoadFromStream(out);
  expectSameTree(doc.TopLevelNodes(), again.TopLevelNodes());
}

}  // namespace

// A save writes nothing that the load would not read back as it stands:
// an element or attribute whose name would come back otherwise (or not at
// all) fails the save, naming it; every other name comes back as it was
// saved.
TEST(WriteDocument, ASaveRefusesANameTheLoadWouldNotReadBack) {
  struct Case {
    const char* element;    // the name of the element under r/s
    const char* attribute;  // an attribute line of it, or none
    const char* refused;    // what the failure names; nullptr: saved and read back
  };
  const Case cases[] = {
      {"", nullptr, "element \"r/s/#2\""},
      {"!x", nullptr, "element \"r/s/!x\""},
      {"?x", nullptr, "element \"r/s/?x\""},
      {"/x", nullptr, "element \"r/s//x\""},
      {"x/", nullptr, "element \"r/s/x/\""},
      {"a<b", nullptr, "element \"r/s/a<b\""},
      {"a>b", nullptr, "element \"r/s/a>b\""},
      {"a\"b", nullptr, "element \"r/s/a\"b\""},
      {"a'b", nullptr, "element \"r/s/a'b\""},
      {"a\x01", nullptr, "element \"r/s/a\x01\""},
      {"e", "=\"v\"", "attribute \"=\"v\"\" of element \"r/s/e\""},
      {"e", "\"q\"", "attribute \"\"q\"\" of element \"r/s/e\""},
      {"e", "a b=\"1\"", "attribute \"a b=\"1\"\" of element \"r/s/e\""},
      {"e", "a>b=\"1\"", "attribute \"a>b=\"1\"\" of element \"r/s/e\""},
      {"e", "b/", "attribute \"b/\" of element \"r/s/e\""},
      {"e", "", "attribute \"\" of element \"r/s/e\""},
      {"e", "b=\"1\"/", "attribute \"b=\"1\"/\" of element \"r/s/e\""},  // "/>": an empty element
      // Written and read back as they are.
      {"=b", nullptr, nullptr},
      {"a=b", nullptr, nullptr},
      {"x:y-z.1", nullptr, nullptr},
      {"\xD6\xD0", "\xCE\xC4=\"1\"", nullptr},
      {"e", "checked", nullptr},  // an attribute without a value
      {"e", "b='x y'", nullptr},
      {"e", "b=", nullptr},
      {"e", "b=\"a>b c\"", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "element " << c.element << ", attribute " << (c.attribute ? c.attribute : "-"));
    TXmlDocument doc("r");
    TXmlNode* s = doc.RootElement()->AddNewChild("s");
    s->AddNewChild("before");
    TXmlNode* e = s->AddNewChild("");
    if (*c.element != '\0') e->SetNodeName(c.element);
    if (c.attribute != nullptr) e->AttributeAddLine(c.attribute);
    e->AddNewChild("child");
    expectSavedOrRefused(doc, c.refused);
  }
  // A fresh document's root has no name yet: saved, it would not load.
  TXmlDocument fresh;
  TMemoryStream out;
  EXPECT_EQ(caught([&] { fresh.SaveToStream(out); }).code(), XmlErrc::UnwritableNode);
}

// Attribute lines as the parser read them come back as they are, odd bytes
// in their names and all; only a last line ending in "/" (read before a
// blank) would end the tag as an empty element's, and is refused. Once a
// line is added or changed, the lines are looked at one by one.
TEST(WriteDocument, LinesAsReadSaveAsTheyAre) {
  struct Case {
    const char* text;
    const char* refused;  // what the failure names; nullptr: saved and read back
  };
  const Case cases[] = {
      {"<r><e x\"y\"=1 b\x01c=\"2\" k<l='3' flag \"q\">t</e></r>", nullptr},
      {"<r><e b/ c=\"1\">t</e></r>", nullptr},
      {"<r><e c=\"1\" b/ >t</e></r>", "attribute \"b/\" of element \"r/e\""},
      {"<?xml version=\"1.0\" x/ ?><r/>", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TXmlDocument doc;
    doc.ReadFromString(c.text);
    expectSavedOrRefused(doc, c.refused);
  }
  // A line added to lines as read: all are looked at.
  TXmlDocument doc;
  doc.ReadFromString("<r><e x\"y\"=1/></r>");
  doc.RootElement()->ChildAt(0)->AttributeAdd("z", "1");
  expectSavedOrRefused(doc, "attribute \"x\"y\"=1\" of element \"r/e\"");
}

// UTF-8 text saved as GBK: a character GBK cannot hold goes out as "?",
// which in a name would be other markup ("<?" a processing instruction):
// such a name fails the save; in text and values the "?" stays.
TEST(WriteDocument, ACharacterGbkCannotHoldInMarkupFailsTheSave) {
  const std::string hangul = "\xED\x95\x9C";  // no GBK character
  struct Case {
    std::string element, attribute;  // the name of r's child and of its attribute
    const char* refused;             // what the failure names; nullptr: saved
  };
  const Case cases[] = {
      {hangul, "a", "element \"r/\xED\x95\x9C\""},
      {"b" + hangul, "a", "element \"r/b\xED\x95\x9C\""},
      {"b", hangul, "attribute \"\xED\x95\x9C=\"1\"\" of element \"r/b\""},
      {"b\xE4\xB8\xAD", "a\xE4\xB8\xAD", nullptr},  // 中: GBK has it
  };
  for (const Case& c : cases) {
    for (CodecEncoding encoding : {CodecEncoding::Ansi, CodecEncoding::Utf8, CodecEncoding::Utf16LittleEndian}) {
      SCOPED_TRACE(testing::Message() << c.element << " " << c.attribute << " encoding " << static_cast<int>(encoding));
      TXmlDocument doc("r");
      doc.Utf8Mode = true;
      doc.FileEncoding = encoding;
      TXmlNode* e = doc.RootElement()->AddNewChild(c.element);
      e->AttributeAdd(c.attribute, "1");
      e->SetValue("x" + hangul);
      if (c.refused != nullptr && encoding == CodecEncoding::Ansi) {
        expectSavedOrRefused(doc, c.refused);
        continue;
      }
      TMemoryStream out;
      doc.SaveToStream(out);
      out.SetPosition(0);
      TXmlDocument again;
      again.Utf8Mode = true;
      again.LoadFromStream(out);
      ASSERT_NE(again.RootElement(), nullptr);
      ASSERT_EQ(again.RootElement()->ChildCount(), 1);
      const TXmlNode* back = again.RootElement()->ChildAt(0);
      EXPECT_EQ(back->Type(), ElementType::Element);
      EXPECT_EQ(back->AttributeCount(), 1);
      // GBK text comes back as UTF-8 in Utf8Mode; the Hangul of the value as "?" from GBK.
      EXPECT_EQ(back->Value(), encoding == CodecEncoding::Ansi ? "x?" : "x" + hangul);
    }
  }
  // Other markup: a processing instruction's text and a declaration's lines
  // outside quotes ("?" and ">" would end them early), a doctype's name.
  const std::pair<std::string, std::string> markup[] = {
      {"<r><?p " + hangul + "><x/>?></r>", "processing instruction \"r/Special\""},
      {"<?xml n=" + hangul + "><?><r/>", "attribute \"n=" + hangul + "><\" of declaration \"xml\""},
      {"<!DOCTYPE " + hangul + "><r/>", "doctype \"" + hangul + "\""},
  };
  for (const auto& [text, refused] : markup) {
    SCOPED_TRACE(text);
    TXmlDocument doc;
    doc.Utf8Mode = true;
    doc.ReadFromString(text);
    expectSavedOrRefused(doc, refused.c_str());
  }
  // In a declaration's quoted value the "?" stays, as in any value.
  TXmlDocument doc;
  doc.Utf8Mode = true;
  doc.ReadFromString("<?xml v=\"" + hangul + "\"?><r/>");
  TMemoryStream out;
  doc.SaveToStream(out);
  EXPECT_EQ(out.Bytes(), "<?xml v=\"?\"?>\n<r></r>\n");
}

// The leniencies that stored rule files rely on still load, and the trees
// they give save and load again unchanged: several roots, "--" inside a
// comment, a bare "&", a "<" before a blank in text, an attribute without a
// value.
TEST(WriteDocument, TheLenienciesOfStoredFilesLoadAndSaveAgain) {
  const char* inputs[] = {
      "<a>1</a>\r\n<b>2</b>",
      "<r><!-- a -- b --><c/></r>",
      "<r t=\"a & b\">x & y<c/>z</r>",
      "<doc>1 < 23 c</doc>",
      "<r>\r\n<c/>1 <\r\n</r>",
      "<r checked><c/></r>",
  };
  for (const char* text : inputs) {
    SCOPED_TRACE(text);
    xmltest::TempFile file(text);
    TXmlDocument doc;
    doc.LoadFromFile(file.path());
    doc.SaveToFile(file.path());
    TXmlDocument again;
    again.LoadFromFile(file.path());
    expectSameTree(doc.TopLevelNodes(), again.TopLevelNodes());
  }
}

namespace {
// Names the writer's markup does not give back: none at all, or a tag token
// that starts other markup or holds markup characters ("<</!/>" names "</!"),
// or ends in a control byte that the close tag's trim drops.
bool unwritableName(const std::string& name) {
  return name.empty() || std::string_view("!?/=").find(name.front()) != std::string_view::npos ||
         name.back() == '/' || name.find_first_of("<>\"'") != std::string::npos ||
         static_cast<unsigned char>(name.front()) <= 32 || static_cast<unsigned char>(name.back()) <= 32;
}

bool hasNamelessElement(const TXmlNode& n) {
  for (int i = 0; i < n.ChildCount(); ++i) {
    const TXmlNode& c = *n.ChildAt(i);
    if ((c.Type() == ElementType::Element && unwritableName(c.Name())) || hasNamelessElement(c)) return true;
  }
  return false;
}
}  // namespace

// Every input file that loads (the per-encoding files and the fuzzer's kept
// inputs) is written and read back to the same tree.
TEST(WriteDocument, LoadedInputsRoundTripThroughText) {
  int compared = 0;
  for (const char* dir : {RC_XML_DATA_DIR, RC_FUZZ_REGRESSION_DIR}) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (!entry.is_regular_file() || entry.path().filename() == "README") continue;
      const std::string bytes = readBytes(entry.path().string());
      for (bool utf8 : {false, true}) {
        SCOPED_TRACE(testing::Message() << entry.path().filename() << " utf8 " << utf8);
        TXmlDocument doc;
        doc.Utf8Mode = utf8;
        TStringStream in(bytes);
        try {
          doc.LoadFromStream(in);
        } catch (const XmlError&) {
          continue;
        }
        if (hasNamelessElement(doc.TopLevelNodes())) continue;
        TXmlDocument again;
        again.Utf8Mode = doc.Utf8Mode;
        again.ReadFromString(doc.WriteToString());
        expectSameTree(doc.TopLevelNodes(), again.TopLevelNodes());
        ++compared;
      }
    }
  }
  EXPECT_GE(compared, 10);
}

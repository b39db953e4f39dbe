// Loading documents: encodings per file, the UTF-8 switch, root checks,
// the page boundary, file opening and locking, reads that fail or end early.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>

#include <filesystem>

#include "XmlTestUtil.h"

using namespace xml;
using xmltest::caught;
using xmltest::dataPath;
using xmltest::inChild;
using xmltest::raisesCode;

namespace {

constexpr std::chrono::milliseconds kNoSpin{500};

// A stream that reports more bytes than it gives, like a file cut short
// under the reader.
class ShortStream : public TStringStream {
 public:
  ShortStream(std::string_view text, int64_t claimed) : TStringStream(text), claimed_(claimed) {}
  int64_t Size() override { return claimed_; }
  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    if (origin == SeekOrigin::End) return TStringStream::Seek(claimed_ + offset, SeekOrigin::Beginning);
    return TStringStream::Seek(offset, origin);
  }

 private:
  int64_t claimed_;
};

// Makes every read of descriptor fd fail with EIO in this process (a kernel
// filter, so the file's own read path meets a real failed read); false when
// the system does not allow it.
bool failReadsOf(int fd) {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_read, 0, 3),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(fd), 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

}  // namespace

TEST(DocumentLoad, EncodingsPerFile) {
  struct Case {
    const char* file;
    CodecEncoding encoding;
    bool utf8Mode;
    std::string attr;   // attribute a of the root, as the document holds it
    std::string value;  // root text
  };
  using E = CodecEncoding;
  const std::string gbkAttr = "\xD6\xD0\xCE\xC4", gbkValue = "\xD6\xB5";
  const std::string utf8Attr = "\xE4\xB8\xAD\xE6\x96\x87", utf8Value = "\xE5\x80\xBC";
  const Case cases[] = {
      {"utf8_bom.xml", E::Utf8, true, utf8Attr, utf8Value},
      {"utf8_decl.xml", E::Utf8, true, utf8Attr, utf8Value},
      {"utf8_decl_lower.xml", E::Utf8, true, utf8Attr, utf8Value},  // "utf-8" is the same encoding
      {"utf16le_bom.xml", E::Utf16LittleEndian, false, gbkAttr, gbkValue},
      {"utf16be_bom.xml", E::Utf16BigEndian, false, gbkAttr, gbkValue},
      {"utf16le.xml", E::Utf16LittleEndian, false, gbkAttr, gbkValue},
      {"utf16be.xml", E::Utf16BigEndian, false, gbkAttr, gbkValue},
      {"gbk_plain.xml", E::Ansi, false, "\xCA\xFD", gbkAttr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TXmlDocument doc;
    doc.LoadFromFile(dataPath(c.file));
    EXPECT_EQ(doc.FileEncoding, c.encoding);
    EXPECT_EQ(doc.Utf8Mode, c.utf8Mode);
    ASSERT_NE(doc.RootElement(), nullptr);
    EXPECT_EQ(doc.RootElement()->AttributeValue("a"), c.attr);
    EXPECT_EQ(doc.RootElement()->TextValue(), c.value);
    EXPECT_EQ(doc.ActiveCodec(), nullptr);
  }
}

TEST(DocumentLoad, RefusedEncodings) {
  for (const char* file : {"ucs4le_bom.xml", "ucs4be.xml", "ucs4be_bom.xml", "ucs4_2143.xml", "ucs4_3412.xml",
                           "ebcdic.xml"}) {
    TXmlDocument doc;
    const XmlError e = caught([&] { doc.LoadFromFile(dataPath(file)); });
    EXPECT_STREQ(e.what(), "Unsupported string encoding") << file;
    EXPECT_EQ(doc.ActiveCodec(), nullptr);
  }
}

TEST(DocumentLoad, EmptyFileHasNoRoot) {
  TXmlDocument doc;
  const XmlError e = caught([&] { doc.LoadFromFile(dataPath("empty.xml")); });
  EXPECT_STREQ(e.what(), "No root element found in xml");
  EXPECT_EQ(e.kind(), ErrorKind::Filer);
}

TEST(DocumentLoad, Utf16DeclaringUtf8StaysGbk) {
  TXmlDocument doc;
  doc.LoadFromFile(dataPath("utf16le_decl_utf8.xml"));
  EXPECT_EQ(doc.FileEncoding, CodecEncoding::Utf16LittleEndian);
  EXPECT_FALSE(doc.Utf8Mode);
  EXPECT_EQ(doc.RootElement()->Value(), "\xD6\xD0");
}

TEST(DocumentLoad, CharacterLossIsReportedOnce) {
  TXmlDocument doc;
  int losses = 0;
  doc.OnCharacterLoss = [&](TXmlDocument& d) {
    EXPECT_EQ(&d, &doc);
    ++losses;
  };
  doc.LoadFromFile(dataPath("utf16le_loss.xml"));
  EXPECT_EQ(losses, 1);
  EXPECT_EQ(doc.RootElement()->AttributeValue("a"), "?");
  EXPECT_EQ(doc.RootElement()->Value(), "x?y\xD6\xD0");
}

TEST(DocumentLoad, Utf8ModeReadsFourByteCharactersBeforeATag) {
  TXmlDocument doc;
  doc.Utf8Mode = true;
  doc.LoadFromFile(dataPath("utf8_emoji.xml"));
  TXmlNode* r = doc.RootElement();
  EXPECT_EQ(r->Value(), "\xF0\x9F\x98\x80");
  ASSERT_EQ(r->ChildCount(), 1);
  EXPECT_EQ(r->ChildAt(0)->Value(), "x");
  // A UTF-8 document turns GBK input into UTF-8, whole characters at a time.
  TXmlDocument gbk;
  gbk.Utf8Mode = true;
  gbk.LoadFromFile(dataPath("gbk_plain.xml"));
  EXPECT_EQ(gbk.RootElement()->Value(), "\xE4\xB8\xAD\xE6\x96\x87");
}

TEST(DocumentLoad, CharacterBeforeTheRootIsPassedOverOnEveryLoadPath) {
  // A character before the root element makes no node. From UTF-16 (or in a
  // UTF-8 document from GBK) it becomes several bytes of text, which the
  // document's loop takes one per turn while the input's position stays
  // after the character: those turns are steps, not an input cut short.
  using xmltest::utf16;
  const std::string le = xmltest::readBytes(dataPath("utf16le_text_before_root.xml"));
  ASSERT_EQ(le, utf16(u"\u4E2D<a>x</a>", false));
  ASSERT_EQ(le.size(), 20u);
  const std::string inputs[] = {
      le,
      xmltest::readBytes(dataPath("gbk_text_before_root.xml")),  // the same in GBK, which always loaded
      utf16(u"\u4E2D<a>x</a>", true),
      utf16(u"\u4E2D\u6587 \r\n\u4E2D<a>x</a>", false),  // several, with blanks between
      utf16(u"\u20AC\U0001F600<a>x</a>", false),        // one GBK has, one it lacks (read as "?")
      "\xEF\xBB\xBF\xE4\xB8\xAD<a>x</a>",                // UTF-8 after its mark
  };
  for (const std::string& bytes : inputs) {
    for (int path = 0; path < 3; ++path) {
      SCOPED_TRACE(::testing::PrintToString(bytes) + " path " + std::to_string(path));
      TXmlDocument doc;
      doc.Utf8Mode = path == 1;
      xmltest::TempFile file(bytes);
      TStringStream stream(bytes);
      EXPECT_NO_THROW(path == 2 ? doc.LoadFromFile(file.path()) : doc.LoadFromStream(stream));
      ASSERT_EQ(doc.TopLevelNodes().ChildCount(), 1);
      ASSERT_NE(doc.RootElement(), nullptr);
      EXPECT_EQ(doc.RootElement()->Name(), "a");
      EXPECT_EQ(doc.RootElement()->Value(), "x");
    }
  }
}

TEST(DocumentLoad, CharacterBeforeTheRootInTextsAndStrings) {
  // Texts in the document's own form load the same way, read in place or
  // byte by byte; a character of one byte or three.
  for (const std::string& text : {std::string("\xD6\xD0<a>x</a>"), std::string("\xE4\xB8\xAD \xE4\xB8\xAD<a>x</a>")}) {
    for (bool byteWise : {false, true}) {
      SCOPED_TRACE(::testing::PrintToString(text) + (byteWise ? " byte-wise" : ""));
      TXmlDocument doc;
      if (byteWise) {
        xmltest::ByteWiseStream stream(text);
        doc.ParseStream(stream);
      } else {
        doc.ReadFromString(text);
      }
      ASSERT_EQ(doc.TopLevelNodes().ChildCount(), 1);
      EXPECT_EQ(doc.RootElement()->Value(), "x");
    }
  }
  // A string is taken byte for byte, without detection: UTF-16 bytes there
  // fail at the zero byte of "<", which is what stops them.
  TXmlDocument doc;
  const XmlError e = caught([&] { doc.ReadFromString(xmltest::readBytes(dataPath("utf16le_text_before_root.xml"))); });
  EXPECT_EQ(e.code(), XmlErrc::NulCharacter);
  EXPECT_EQ(e.offset(), 5);
}

TEST(DocumentLoad, RootChecks) {
  struct Case {
    const char* text;
    const char* strictMessage;
  };
  const Case cases[] = {
      {"<a/><b/>", "More than one root element found in xml"},
      {"<?xml version='1.0'?><?xml version='1.0'?><a/>", "More than one xml declaration found in xml"},
      {"<!-- c --><?xml version='1.0'?><a/>", "Xml declaration must be first element"},
      {"<!DOCTYPE a><!DOCTYPE a><a/>", "More than one doctype declaration found in root"},
      {"<a/><!DOCTYPE a>", "Doctype declaration found after root element"},
      {"<![CDATA[x]]><a/>", "No CDATA allowed in root"},
      {"<a/><b/><![CDATA[x]]><!-- c --><?xml version='1.0'?>", "More than one root element found in xml"},
      {"<?xml version='1.0'?><!DOCTYPE a><a/>", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TXmlDocument lax;
    EXPECT_NO_THROW(lax.ReadFromString(c.text));
    TXmlDocument strict;
    strict.StrictRootChecks = true;
    if (c.strictMessage == nullptr) {
      EXPECT_NO_THROW(strict.ReadFromString(c.text));
      continue;
    }
    const XmlError e = caught([&] { strict.ReadFromString(c.text); });
    EXPECT_STREQ(e.what(), c.strictMessage);
    EXPECT_EQ(e.kind(), ErrorKind::Filer);
    EXPECT_EQ(strict.TopLevelNodes().ChildCount(), lax.TopLevelNodes().ChildCount());
  }
}

TEST(DocumentLoad, BlankTextBetweenTopLevelNodesLeavesNothing) {
  TXmlDocument doc;
  doc.ReadFromString("  \r\n<?xml version=\"1.0\"?>\r\n\r\n<r/>\r\n  ");
  EXPECT_EQ(doc.TopLevelNodes().ChildCount(), 2);
}

TEST(DocumentLoad, StepBackAcrossThePageBoundary) {
  for (size_t at : {65534u, 65535u, 65536u, 65537u}) {
    SCOPED_TRACE(at);
    std::string text = "<r>";
    text += std::string(at - text.size(), 'x');
    text += "<c k=\"1\"/>tail</r>";
    ASSERT_EQ(text[at], '<');
    xmltest::TempFile file(text);
    TXmlDocument doc;
    doc.LoadFromFile(file.path());
    TXmlNode* r = doc.RootElement();
    EXPECT_EQ(r->Value(), std::string(at - 3, 'x'));
    ASSERT_EQ(r->ChildCount(), 2);
    EXPECT_EQ(r->ChildAt(0)->Name(), "c");
    EXPECT_EQ(r->ChildAt(0)->AttributeValue("k"), "1");
    EXPECT_EQ(r->ChildAt(1)->Value(), "tail");
  }
}

TEST(DocumentLoad, ManyChildrenOverSeveralPages) {
  std::string text = "<plan>";
  for (int i = 0; i < 5000; ++i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "<item id=\"%05d\">v%d</item>\r\n", i, i % 10);
    text += buf;
  }
  text += std::string(150000 - text.size() - 7, ' ');
  text += "</plan>";
  ASSERT_EQ(text.size(), 150000u);
  xmltest::TempFile file(text);
  TXmlDocument doc;
  std::vector<int64_t> progress;
  doc.OnStreamProgress = [&](TXmlDocument&, int64_t pos) { progress.push_back(pos); };
  doc.LoadFromFile(file.path());
  TXmlNode* plan = doc.RootElement();
  ASSERT_EQ(plan->ChildCount(), 5000);
  for (int i = 0; i < 5000; ++i) {
    char id[8];
    std::snprintf(id, sizeof id, "%05d", i);
    ASSERT_EQ(plan->ChildAt(i)->AttributeValue("id"), id);
    ASSERT_EQ(plan->ChildAt(i)->Value(), "v" + std::to_string(i % 10));
  }
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front(), 0);
  EXPECT_EQ(progress.back(), 150000);
}

TEST(DocumentLoad, MissingFileLeavesTheDocumentAlone) {
  TXmlDocument doc("keep");
  const XmlError e = caught([&] { doc.LoadFromFile(dataPath("no_such_file.xml")); });
  EXPECT_EQ(e.code(), XmlErrc::FileOpen);
  EXPECT_EQ(e.kind(), ErrorKind::Stream);
  EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"", 0), 0u);
  EXPECT_EQ(doc.RootElement()->Name(), "keep");
}

TEST(DocumentLoad, FileLockedForWritingCannotBeLoaded) {
  xmltest::TempFile file("<r/>");
  const int fd = ::open(file.path().c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  TXmlDocument doc;
  EXPECT_EQ(caught([&] { doc.LoadFromFile(file.path()); }).code(), XmlErrc::FileOpen);
  ::close(fd);
  EXPECT_NO_THROW(doc.LoadFromFile(file.path()));
  // Readers do not block each other.
  TFileStream reader(file.path(), TFileStream::Mode::OpenRead);
  EXPECT_NO_THROW(doc.LoadFromFile(file.path()));
}

TEST(DocumentLoad, LoadFromStreamLeavesTheStreamToTheCaller) {
  TStringStream stream("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>\xE4\xB8\xAD</r>");
  TXmlDocument doc;
  doc.LoadFromStream(stream);
  EXPECT_EQ(doc.FileEncoding, CodecEncoding::Utf8);
  EXPECT_TRUE(doc.Utf8Mode);
  EXPECT_EQ(doc.RootElement()->Value(), "\xE4\xB8\xAD");
  EXPECT_EQ(stream.DataText().size(), stream.Bytes().size());
  // ReadFromString has no codec: the declaration switches nothing.
  TXmlDocument plain;
  plain.ReadFromString("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r/>");
  EXPECT_EQ(plain.FileEncoding, CodecEncoding::Ansi);
  EXPECT_FALSE(plain.Utf8Mode);
}

TEST(DocumentLoad, DocTypeSubsetWithStrayBytesEndsInUtf8Mode) {
  // 0xFF becomes the three-byte U+FFFD; the subset reader once replayed it forever.
  TStringStream stream("<!DOCTYPE a [\xFF x <!ENTITY e \"v\">]><r/>");
  TXmlDocument doc;
  doc.Utf8Mode = true;
  doc.LoadFromStream(stream);
  ASSERT_NE(doc.RootElement(), nullptr);
  EXPECT_EQ(doc.RootElement()->Name(), "r");
  const TXmlNode* dt = doc.TopLevelNodes().ChildAt(0);
  EXPECT_NE(dt->FirstChildOfType(ElementType::DtdEntity), nullptr);
}

TEST(DocumentLoad, DirectoryIsRefusedAtOpen) {
  xmltest::TempFile file("<r/>");
  const std::string dir = std::filesystem::path(file.path()).parent_path().string();
  TXmlDocument doc("keep");
  const int result = inChild([&] { return raisesCode([&] { doc.LoadFromFile(dir); }, XmlErrc::FileOpen); }, kNoSpin);
  EXPECT_EQ(result, 0) << "-1: the load ran on";
  const XmlError e = caught([&] { doc.LoadFromFile(dir); });
  EXPECT_NE(std::string(e.what()).find("Is a directory"), std::string::npos) << e.what();
  EXPECT_EQ(doc.RootElement()->Name(), "keep");
}

// What is no regular file is refused at once, and the document keeps its
// tree: a FIFO without a writer (opening it the usual way waits for one for
// ever), a link to it, a Unix socket, and devices that never end or are empty.
TEST(DocumentLoad, FifoSocketAndDeviceAreRefusedAtOpenWithoutWaiting) {
  xmltest::TempFile file("<r/>");
  const std::filesystem::path dir = std::filesystem::path(file.path()).parent_path();
  const std::string fifo = (dir / "fifo.xml").string();
  const std::string link = (dir / "link.xml").string();
  const std::string socketPath = (dir / "socket.xml").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  std::filesystem::create_symlink(fifo, link);
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  // A socket cannot even be opened; the reason says what it is all the same.
  const std::pair<std::string, const char*> cases[] = {
      {fifo, "Not a regular file"},        {link, "Not a regular file"},
      {socketPath, "Not a regular file"},  {"/dev/zero", "Not a regular file"},
      {"/dev/null", "Not a regular file"}};
  for (const auto& [path, reason] : cases) {
    SCOPED_TRACE(path);
    TXmlDocument doc("keep");
    const int result = inChild(
        [&] { return raisesCode([&] { doc.LoadFromFile(path); }, XmlErrc::FileOpen); }, kNoSpin);
    EXPECT_EQ(result, 0) << "-1: the load waited or ran on";
    if (result != 0) continue;
    const XmlError e = caught([&] { doc.LoadFromFile(path); });
    EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    EXPECT_EQ(doc.RootElement()->Name(), "keep");
  }
  ::close(listener);
}

TEST(DocumentLoad, ReadErrorEndsTheLoad) {
  // Reads fail from the first page on, and past the first page.
  for (const int64_t size : {int64_t{100}, int64_t{200000}}) {
    SCOPED_TRACE(size);
    std::string text = "<r>" + std::string(static_cast<size_t>(size), 'x') + "</r>";
    xmltest::TempFile file(text);
    const int result = inChild(
        [&] {
          // The file gets the lowest free descriptor: the one probed here.
          const int probe = ::open("/dev/null", O_RDONLY);
          ::close(probe);
          if (!failReadsOf(probe)) return 3;
          TXmlDocument doc;
          return raisesCode([&] { doc.LoadFromFile(file.path()); }, XmlErrc::FileRead);
        },
        kNoSpin);
    if (result == 3) GTEST_SKIP() << "no seccomp filters here";
    EXPECT_EQ(result, 0) << "-1: the load ran on; 1: another error; 2: no error";
  }
  EXPECT_EQ(errorKind(XmlErrc::FileRead), ErrorKind::Filer);
  EXPECT_EQ(errorMessage(XmlErrc::FileRead, "f.xml", "Input/output error"),
            "Cannot read file \"f.xml\". Input/output error");
}

TEST(DocumentLoad, InputShortOfItsSizeEndsTheLoad) {
  struct Case {
    const char* text;
    int64_t claimed;
  };
  const Case cases[] = {
      {"", 10},                // nothing at all
      {"<r/>", 100000},        // a whole document, then nothing
      {"<r/>  ", 70000},       // the page after the first never comes
      {"<r>text", 100},        // cut inside an element
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const int result = inChild(
        [&] {
          ShortStream stream(c.text, c.claimed);
          TXmlDocument doc;
          try {
            doc.LoadFromStream(stream);
          } catch (const XmlError& e) {
            return e.code() == XmlErrc::UnexpectedEnd || e.code() == XmlErrc::MissingCloseTag ? 0 : 1;
          }
          return 2;
        },
        kNoSpin);
    EXPECT_EQ(result, 0) << "-1: the load ran on; 1: another error; 2: no error";
  }
  ShortStream stream("<r/>", 100000);
  TXmlDocument doc;
  const XmlError e = caught([&] { doc.LoadFromStream(stream); });
  EXPECT_STREQ(e.what(), "Input ended at byte 4 before its size");
  EXPECT_EQ(e.offset(), 4);
  // Parsed straight from the stream, the document's loop finds the same end.
  ShortStream direct("<r/>\n  ", 100);
  const XmlError d = caught([&] { doc.ParseStream(direct); });
  EXPECT_STREQ(d.what(), "Input ended at byte 7 before its size");
  EXPECT_EQ(d.offset(), 7);
  EXPECT_EQ(d.line(), 2);
}

TEST(DocumentLoad, Utf16EndingInsideACharacter) {
  const std::string cases[] = {
      std::string("\xFF\xFE<\0r\0/\0>\0\n", 11),  // little-endian, a lone last byte
      std::string("\xFE\xFF\0<\0r\0/\0>\0", 11),  // big-endian, the last unit's low byte missing
      std::string("<\0?\0x\0m\0l\0?\0>\0<\0r\0/\0>", 21),  // no mark
  };
  for (const std::string& bytes : cases) {
    for (bool utf8 : {false, true}) {
      TStringStream stream(bytes);
      TXmlDocument doc;
      doc.Utf8Mode = utf8;
      const XmlError e = caught([&] { doc.LoadFromStream(stream); });
      EXPECT_EQ(e.code(), XmlErrc::TruncatedUtf16) << e.what();
      EXPECT_STREQ(e.what(), "UTF-16 text ends inside a character");
    }
  }
  // One byte fewer is whole again.
  TStringStream whole(std::string("\xFF\xFE<\0r\0/\0>\0", 10));
  TXmlDocument doc;
  doc.LoadFromStream(whole);
  EXPECT_EQ(doc.RootElement()->Name(), "r");
}

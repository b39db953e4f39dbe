// Every input the fuzzer ever crashed on loads again here: it may fail with
// the library's errors, but never crash, hang or leak.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "XmlTestUtil.h"

using namespace xml;

namespace {

// The inputs the fuzzer kept. The folder always holds some: when none are
// found (a moved folder, a lost checkout), every test over them would pass
// without loading anything, so that is a failure of its own.
std::vector<std::filesystem::path> regressionInputs() {
  std::vector<std::filesystem::path> files;
  const std::filesystem::path dir(RC_FUZZ_REGRESSION_DIR);
  if (std::filesystem::is_directory(dir))
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      if (entry.is_regular_file() && entry.path().filename() != "README") files.push_back(entry.path());
  EXPECT_FALSE(files.empty()) << "no regression input in " << dir;
  return files;
}

}  // namespace

TEST(Regression, FuzzCrashInputsLoadCleanly) {
  int files = 0;
  for (const std::filesystem::path& path : regressionInputs()) {
    ++files;
    SCOPED_TRACE(path.string());
    const std::string bytes = xmltest::readBytes(path.string());
    for (bool utf8 : {false, true}) {
      TXmlDocument doc;
      doc.Utf8Mode = utf8;
      TStringStream stream(bytes);
      try {
        doc.LoadFromStream(stream);
      } catch (const XmlError&) {
      }
    }
    TXmlDocument doc;
    try {
      doc.ReadFromString(bytes);
    } catch (const XmlError&) {
    }
  }
  RecordProperty("files", files);
}

namespace {

// The outcome of a parse: the tree written out, or the error's code, text
// and place.
std::string outcome(TXmlDocument& doc, TStream& stream) {
  try {
    doc.ParseStream(stream);
  } catch (const XmlError& e) {
    return std::string("error ") + std::to_string(static_cast<int>(e.code())) + " " + e.what() + " at " +
           std::to_string(e.offset()) + " line " + std::to_string(e.line()) + " after " + doc.WriteToString();
  }
  return doc.WriteToString();
}

}  // namespace

TEST(Regression, ScannedAndByteWiseReadsAgree) {
  std::vector<std::string> inputs = {
      "<a b = \"1\" c= '2' d =3 e = 4 f=\"x>y\" g='a\"b'/>",
      "<a>t<b/>u<c x=\"1\" />v\r\n</a>",
      "<a><b></b ><c></ c></a>",
      "<a>< b/></a>",
      "<doc>1 < 23 c</doc>",
      "<a>x <\r\n/a>",
      "<a><!-- c --><![CDATA[x<y]]><?p i?></a>",
      "<a/ ><b / >",
      "<a \"q\" b=\"1\"\"2\" =c/>",
      "<a>x<</a>",
      std::string("<a b=\"1\0\"/>", 11),
      std::string("<a>x\0</a>", 9),
      "<!DOCTYPE a [<!ENTITY e \"v\"> %p; ]><a/>",
      "<a>" + std::string(70000, 'x') + "<b c=\"" + std::string(70000, 'y') + "\"/></a>",
  };
  // Tags across the page boundary.
  std::string many = "<r>";
  for (int i = 0; i < 3000; ++i) many += "<e a=\"" + std::to_string(i) + "\" b = 'v'>t</e>\r\n";
  inputs.push_back(many + "</r>");
  for (const auto& entry : std::filesystem::directory_iterator(RC_XML_DATA_DIR))
    if (entry.is_regular_file()) inputs.push_back(xmltest::readBytes(entry.path().string()));
  for (const std::filesystem::path& path : regressionInputs()) inputs.push_back(xmltest::readBytes(path.string()));
  for (const std::string& bytes : inputs) {
    SCOPED_TRACE(bytes.substr(0, 60));
    for (bool utf8 : {false, true}) {
      TXmlDocument scanned, byteWise;
      scanned.Utf8Mode = byteWise.Utf8Mode = utf8;
      TStringStream fast(bytes);
      xmltest::ByteWiseStream slow(bytes);
      EXPECT_EQ(outcome(scanned, fast), outcome(byteWise, slow)) << utf8;
    }
  }
}

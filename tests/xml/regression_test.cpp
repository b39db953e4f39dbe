// Every input the fuzzer ever crashed on loads again here: it may fail with
// the library's errors, but never crash, hang or leak.
#include <gtest/gtest.h>

#include <filesystem>

#include "XmlTestUtil.h"

using namespace xml;

TEST(Regression, FuzzCrashInputsLoadCleanly) {
  const std::filesystem::path dir(RC_FUZZ_REGRESSION_DIR);
  ASSERT_TRUE(std::filesystem::is_directory(dir));
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (!entry.is_regular_file() || entry.path().filename() == "README") continue;
    ++files;
    SCOPED_TRACE(entry.path().string());
    const std::string bytes = xmltest::readBytes(entry.path().string());
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

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/inifile.h"

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  std::filesystem::path path_ =
      std::filesystem::temp_directory_path() / ("rc_ini_" + std::to_string(::getpid()) + ".ini");
  void write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  void TearDown() override { std::filesystem::remove(path_); }
};

TEST_F(IniFileTest, WindowsProfileRules) {
  write(
      "; comment\r\n"
      "[Other]\r\nPORT=1\r\n"
      "[validdatabase]\r\n"
      "  port  =  54321  \r\n"
      "Driver={PostgreSQL Unicode}\r\n"
      "Quoted=\"  a b  \"\r\n"
      "Single='x'\r\n"
      "Unbalanced=\"abc\r\n"
      "Empty=\r\n"
      "PORT=99\r\n"
      "Name=\xD6\xD0\xCE\xC4\r\n"
      "[ValidDataBase]\r\nLate=1\r\n");
  platform::IniFile ini(path_.string());
  struct Case {
    const char* key;
    const char* expected;
  } cases[] = {
      {"PORT", "54321"},                    // names without regard to case, first key wins
      {"DRIVER", "{PostgreSQL Unicode}"},
      {"quoted", "  a b  "},                // matching quotes removed, inner blanks kept
      {"Single", "x"},
      {"Unbalanced", "\"abc"},
      {"Empty", ""},                        // present but empty: empty, not the default
      {"Name", "\xD6\xD0\xCE\xC4"},         // bytes as stored
      {"Late", "default"},                  // only the first section of a name counts
      {"Missing", "default"},
  };
  for (const Case& c : cases) EXPECT_EQ(ini.readString("ValidDataBase", c.key, "default"), c.expected) << c.key;
  EXPECT_EQ(ini.readString("Nowhere", "PORT", "d"), "d");
}

TEST_F(IniFileTest, MissingFileGivesDefaults) {
  platform::IniFile ini((path_.string() + ".absent"));
  EXPECT_EQ(ini.readString("ValidDataBase", "PORT", "54321"), "54321");
}

}  // namespace

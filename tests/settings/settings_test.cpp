// statistics.ini, the password unscrambling and the connection string.
#include <QDir>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "settings/Settings.h"
#include "tests/support/TestDatabase.h"
#include "tests/support/WatchedFifo.h"

namespace {

DatabaseSettings readSettings(const QString& dir, const std::string& ini, bool writeIni = true) {
  if (writeIni) std::ofstream((dir + "/statistics.ini").toStdString(), std::ios::binary) << ini;
  const QString folder = settings::programFolder(dir);
  EXPECT_TRUE(folder.endsWith('/'));
  return settings::readDatabaseSettings(folder);
}

void expectDefaults(const DatabaseSettings& s) {
  EXPECT_EQ(s.Provider, "MSDASQL.1");
  EXPECT_EQ(s.Driver, "{KingbaseES 6 ODBC driver}");
  EXPECT_EQ(s.ServerName, QSysInfo::machineHostName());
  EXPECT_EQ(s.Database, "KELDOVAR");
  EXPECT_EQ(s.LogId, "ADMIN");
  EXPECT_EQ(s.Password, "reportcheck");
  EXPECT_EQ(s.Port, "54321");
  EXPECT_EQ(s.UserName, "admin");
  EXPECT_EQ(s.VersionType, QString::fromStdString(settings::unscramble("vtSingle")));
  EXPECT_EQ(BuildConnectionString(s),
            "Provider=MSDASQL.1;DRIVER={KingbaseES 6 ODBC driver};Extended Properties='';"
            "PWD=reportcheck;Persist Security Info=True;UID=ADMIN;MaxVarcharSize=8000 ;"
            "DATABASE=KELDOVAR;SERVER=" + QSysInfo::machineHostName() + ";PORT= 54321");
}

}  // namespace

TEST(Settings, UnscrambleWorksOnBytes) {
  EXPECT_EQ(settings::unscramble("abc"), "psd");
  EXPECT_EQ(settings::unscramble(""), "");
  // An eight-byte value steps by 1, 3, 6, 10, ...: byte 250 at position 4 wraps to 4.
  std::string eight(8, 'a');
  eight[3] = static_cast<char>(250);
  const std::string out = settings::unscramble(eight);
  EXPECT_EQ(static_cast<unsigned char>(out[3]), 4);
  EXPECT_EQ(out[0], 'b');
  EXPECT_EQ(ScrambleSetting(settings::unscramble("any value")), "any value");
}

// A settings file that is missing, or that is no regular file, gives the
// defaults; a FIFO is not waited on (its watchdog would end such a wait after
// the bound, and says whether it had to).
TEST(Settings, MissingFileOrOneThatIsNoRegularFileGivesTheDefaults) {
  for (const std::string kind : {"missing", "FIFO", "folder"}) {
    SCOPED_TRACE(kind);
    QTemporaryDir dir;
    std::optional<WatchedFifo> fifo;
    if (kind == "FIFO") fifo.emplace(dir.path() + "/statistics.ini", 3);
    if (kind == "folder") {
      ASSERT_TRUE(QDir(dir.path()).mkdir("statistics.ini"));
    }
    const DatabaseSettings s = readSettings(dir.path(), "", false);
    if (fifo) {
      EXPECT_FALSE(fifo->fired());
    }
    expectDefaults(s);
  }
}


TEST(Settings, FileValuesWithMixedCaseNamesBlanksAndQuotes) {
  QTemporaryDir dir;
  const DatabaseSettings s = readSettings(
      dir.path(),
      "[VALIDDATABASE]\r\n"
      "provider = P1\r\n"
      "Driver={PostgreSQL Unicode}\r\n"
      "SERVERNAME=my host\r\n"
      "database=\"quoted name\"\r\n"
      "LogPassword=\r\n"
      "port=5432\r\n");
  EXPECT_EQ(s.Provider, "P1");
  EXPECT_EQ(s.ServerName, "my host");
  EXPECT_EQ(s.Database, "quoted name");
  EXPECT_EQ(s.Password, "");
  EXPECT_EQ(BuildConnectionString(s),
            "Provider=P1;DRIVER={PostgreSQL Unicode};Extended Properties='';PWD=;Persist Security "
            "Info=True;UID=ADMIN;MaxVarcharSize=8000 ;DATABASE=quoted name;SERVER=my host;PORT= 5432");
}

TEST(Settings, ValuesThatWouldBreakTheStringAreBraced) {
  DatabaseSettings s;
  struct Case {
    QString value;
    QString piece;
  } cases[] = {
      {"a;b", ";PWD={a;b};"},
      {"a;b}c", ";PWD={a;b}}c};"},
      {"{abc", ";PWD={{abc};"},
      // Braces of a value other than the driver's are the value's own.
      {"{x}", ";PWD={{x}}};"},
      {"{a}}b}", ";PWD={{a}}}}b}}};"},
      {"{a}b}", ";PWD={{a}}b}}};"},
      {"it's \"q\"", ";PWD=it's \"q\";"},
  };
  for (const Case& c : cases) {
    s.Password = c.value;
    EXPECT_TRUE(BuildConnectionString(s).contains(c.piece)) << c.value.toStdString();
  }
}

// The driver's name alone is written in the string's own braces.
TEST(Settings, BracedDriverNamePassesUnchanged) {
  DatabaseSettings s;
  struct Case {
    QString value;
    QString piece;
  } cases[] = {
      {"{PostgreSQL Unicode}", ";DRIVER={PostgreSQL Unicode};"},
      {"{a}}b}", ";DRIVER={a}}b};"},
      {"PostgreSQL Unicode", ";DRIVER=PostgreSQL Unicode;"},
      {"{a;b}", ";DRIVER={{a;b}}};"},  // ";" inside: braced again, whole
      {"{a}b}", ";DRIVER={{a}}b}}};"},  // its inner brace would end it
      {"a;b", ";DRIVER={a;b};"},
  };
  for (const Case& c : cases) {
    s.Driver = c.value;
    EXPECT_TRUE(BuildConnectionString(s).contains(c.piece)) << c.value.toStdString();
  }
  // The same braced text in any other setting is the value itself.
  s.Driver = "{x}";
  s.LogId = "{x}";
  s.Database = "{x}";
  EXPECT_TRUE(BuildConnectionString(s).contains(";DRIVER={x};"));
  EXPECT_TRUE(BuildConnectionString(s).contains(";UID={{x}}};"));
  EXPECT_TRUE(BuildConnectionString(s).contains(";DATABASE={{x}}};"));
}

// statistics.ini and the connection string.
#include <QCoreApplication>
#include <QDir>
#include <QSysInfo>

#include "settings/Settings.h"
#include "platform/inifile.h"
#include "platform/qtext.h"

namespace {

constexpr const char* kSection = "ValidDataBase";

// The stored (scrambled) default of LogPassword; it unscrambles to "reportcheck".
constexpr const char* kScrambledDefaultPassword = "n_gb`oWg[b_";

// Whether v is one braced value already: "{", then text whose every "}" is
// doubled, then the closing "}".
bool isBraced(const QString& v) {
  if (v.size() < 2 || !v.startsWith(QLatin1Char('{')) || !v.endsWith(QLatin1Char('}'))) return false;
  const QString inner = v.mid(1, v.size() - 2);
  for (qsizetype i = 0; i < inner.size(); ++i) {
    if (inner[i] != QLatin1Char('}')) continue;
    if (i + 1 >= inner.size() || inner[i + 1] != QLatin1Char('}')) return false;
    ++i;
  }
  return true;
}

// A value that would change the meaning of the connection string (";" ends a
// piece, a leading "{" starts a braced value) is braced, with "}" doubled, so
// it reaches the driver whole: a password "{x}" arrives as "{x}". Every other
// value goes in unchanged.
QString connectionValue(const QString& v) {
  if (!v.contains(QLatin1Char(';')) && !v.startsWith(QLatin1Char('{'))) return v;
  return QLatin1Char('{') + QString(v).replace(QLatin1Char('}'), QStringLiteral("}}")) +
         QLatin1Char('}');
}

// The driver's name is written braced in the settings ("{PostgreSQL Unicode}"):
// only there are the braces the string's own syntax, and such a value passes
// unchanged.
QString driverValue(const QString& v) {
  if (isBraced(v) && !v.contains(QLatin1Char(';'))) return v;
  return connectionValue(v);
}

}  // namespace

namespace settings {

QString programFolder(const QString& programDir) {
  QString folder = programDir.isEmpty()
                       ? QDir::toNativeSeparators(QCoreApplication::applicationDirPath())
                       : programDir;
  if (!folder.endsWith(QDir::separator())) folder += QDir::separator();
  return folder;
}

DatabaseSettings readDatabaseSettings(const QString& programFolder) {
  const platform::IniFile ini(QString(programFolder + QStringLiteral("statistics.ini")).toStdString());
  const std::string host = platform::toAnsi(QSysInfo::machineHostName());
  auto read = [&](const char* key, std::string_view def) {
    return ini.readString(kSection, key, def);
  };
  DatabaseSettings s;
  s.Provider = platform::fromAnsi(read("Provider", "MSDASQL.1"));
  s.Driver = platform::fromAnsi(read("DRIVER", "{KingbaseES 6 ODBC driver}"));
  s.ServerName = platform::fromAnsi(read("ServerName", host));
  s.Database = platform::fromAnsi(read("Database", "KELDOVAR"));
  s.LogId = platform::fromAnsi(read("LogId", "ADMIN"));
  // Unscrambled on its bytes, before any conversion to wide text.
  s.Password = platform::fromAnsi(unscramble(read("LogPassword", kScrambledDefaultPassword)));
  s.Port = platform::fromAnsi(read("PORT", "54321"));
  s.UserName = platform::fromAnsi(read("UserName", "admin"));
  s.VersionType = platform::fromAnsi(unscramble(read("VersionType", "vtSingle")));
  // Read and not used, as the settings always were.
  read("Fetch", "5000");
  read("InitRecordCount", "1000");
  read("ChangeDegree", "10");
  return s;
}

std::string unscramble(std::string s) {
  // Works on the GBK bytes of the value, as the settings file stores them.
  int k = static_cast<int>(s.size()) + 11;
  for (size_t i = 1; i <= s.size(); ++i) {
    k = (k + static_cast<int>(i)) % 19;
    s[i - 1] = static_cast<char>((static_cast<unsigned char>(s[i - 1]) + k) % 256);
  }
  return s;
}

}  // namespace settings

QString BuildConnectionString(const DatabaseSettings& s) {
  return QStringLiteral("Provider=") + connectionValue(s.Provider) +
         QStringLiteral(";DRIVER=") + driverValue(s.Driver) +
         QStringLiteral(";Extended Properties=''") + QStringLiteral(";PWD=") +
         connectionValue(s.Password) + QStringLiteral(";Persist Security Info=True") +
         QStringLiteral(";UID=") + connectionValue(s.LogId) +
         QStringLiteral(";MaxVarcharSize=8000 ") + QStringLiteral(";DATABASE=") +
         connectionValue(s.Database) + QStringLiteral(";SERVER=") +
         connectionValue(s.ServerName) + QStringLiteral(";PORT= ") + connectionValue(s.Port);
}

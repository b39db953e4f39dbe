#pragma once
// The program's settings: section ValidDataBase of statistics.ini beside the
// program, read once at start-up, and the connection string made from them.
// No window and no database are involved, so both are tested on their own.
#include <QString>

#include <string>

// The nine text settings that make the connection string.
struct DatabaseSettings {
  QString Provider;
  QString Driver;
  QString ServerName;
  QString Database;
  QString LogId;
  QString Password;
  QString Port;
  QString UserName;
  QString VersionType;
};

namespace settings {

// The folder that holds statistics.ini and the rule folder, ending with the
// path separator: programDir as given, or the executable's folder when empty.
QString programFolder(const QString& programDir);

// Reads statistics.ini in programFolder (which ends with the separator); a
// missing file or key gives that setting's default.
DatabaseSettings readDatabaseSettings(const QString& programFolder);

// On the setting's GBK bytes, as stored in statistics.ini.
std::string unscramble(std::string bytes);

}  // namespace settings

// The connection string handed to the ODBC driver manager.
QString BuildConnectionString(const DatabaseSettings& s);

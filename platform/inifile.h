#pragma once
// Reader for Windows-style profile (INI) files, with the rules callers of
// such files rely on: section and key names match without regard to ASCII
// case, the first section of a name and its first matching key win, blanks around names and
// values are trimmed, a value in matching quotes ('...' or "...") loses them,
// and a missing file, section or key gives the caller's default.
// Values are returned as the file's bytes (GBK text); nothing is written.
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class IniFile {
 public:
  // Reads the whole file now; a missing or unreadable file, or one that is
  // no regular file (a FIFO, a device), reads as empty.
  explicit IniFile(const std::string& path);

  // The value of key in section, or def when either is absent.
  std::string readString(std::string_view section, std::string_view key,
                         std::string_view def) const;

 private:
  struct Entry {
    int sectionIndex;  // into sections_
    std::string key;
    std::string value;
  };
  std::vector<std::string> sections_;
  std::vector<Entry> entries_;
};

}  // namespace platform

#include "platform/inifile.h"

#include <unistd.h>

#include <cerrno>

#include "platform/files.h"

namespace platform {
namespace {

std::string_view trim(std::string_view s) {
  const char* blanks = " \t\r\n";
  const size_t b = s.find_first_not_of(blanks);
  if (b == std::string_view::npos) return {};
  const size_t e = s.find_last_not_of(blanks);
  return s.substr(b, e - b + 1);
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

IniFile::IniFile(const std::string& path) {
  // A FIFO, socket or device reads as a missing file, without waiting on it.
  std::string reason;
  const int fd = files::openRegularFile(path, reason);
  if (fd < 0) return;
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    ::close(fd);
    if (n < 0) return;  // unreadable: as a missing file
    break;
  }
  int sectionIndex = -1;  // none yet: keys before the first section are ignored
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view l = trim(std::string_view(text).substr(start, end - start));
    start = end + 1;
    if (l.empty() || l.front() == ';') continue;
    if (l.front() == '[') {
      const size_t close = l.find(']');
      sections_.emplace_back(trim(l.substr(1, close == std::string_view::npos ? l.npos : close - 1)));
      ++sectionIndex;
      continue;
    }
    const size_t eq = l.find('=');
    if (sectionIndex < 0 || eq == std::string_view::npos) continue;
    std::string_view key = trim(l.substr(0, eq));
    std::string_view value = trim(l.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    entries_.push_back({sectionIndex, std::string(key), std::string(value)});
  }
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view def) const {
  // Only the first section of that name counts, as with the system's own reader.
  int first = -1;
  for (size_t i = 0; i < sections_.size() && first < 0; ++i)
    if (sameName(sections_[i], section)) first = static_cast<int>(i);
  for (const Entry& e : entries_)
    if (e.sectionIndex == first && sameName(e.key, key)) return e.value;
  return std::string(def);
}

}  // namespace platform
